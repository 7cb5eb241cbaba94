// Key commands driven without a window: what they change, and nothing else, and what they print.
#include "view/keys.h"

#include <GL/freeglut_std.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <locale>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "analysis/tracker.h"
#include "console/console.h"
#include "sim/constants.h"
#include "sim/state.h"
#include "tests/support/test_support.h"
#include "view/view_state.h"

namespace qv {
namespace {

constexpr double kDegree = pi / 180;

// Keys written short: plain keys as themselves, others as [F9], [Left], [Space], [BS], [CR] or
// [<GLUT code>], and ^n after a group of keys repeats the group; groups are separated by spaces.
// Special keys travel in the string as 128 + their GLUT code.
std::string keys(const std::string& notation) {
    const auto special = [](int code) { return static_cast<char>(128 + code); };
    static_assert(GLUT_KEY_LEFT == 100 && GLUT_KEY_INSERT == 108);
    const std::vector<std::string> codes100 = {"Left",     "Up",   "Right", "Down",  "PageUp",
                                               "PageDown", "Home", "End",   "Insert"};
    const std::map<std::string, char> plain = {{"Space", ' '}, {"BS", '\b'}, {"CR", '\r'}};
    static const std::regex key(R"(\[(F?)(\w+)\]|.)");
    std::istringstream in(notation);
    std::string out;
    for (std::string group; in >> group;) {
        const std::size_t hat = group.find('^');
        const std::string body = group.substr(0, hat);
        std::string pressed;
        for (std::sregex_iterator k(body.begin(), body.end(), key), end; k != end; ++k) {
            const std::string name = (*k)[2];
            const auto at = std::find(codes100.begin(), codes100.end(), name);
            pressed += name.empty()           ? k->str()[0]
                       : plain.contains(name) ? plain.at(name)
                       : at != codes100.end()
                           ? special(100 + static_cast<int>(at - codes100.begin()))
                           : special(std::stoi(name));
        }
        for (int n = hat == std::string::npos ? 1 : std::stoi(group.substr(hat + 1)); n > 0; --n)
            out += pressed;
    }
    return out;
}

void press(const std::string& pressed) {
    for (unsigned char key : pressed) {
        if (key >= 128) {
            specialKeyHandler(key - 128, 0, 0);
        } else {
            keyboardHandler(key, 0, 0);
        }
    }
}

// A replay of 50 frames: four black grains at (i, -i, 0), then three dead particles parked at
// (0, 60, 0) in the dead colour, as set-up leaves them; Rapar 40, mean grain charge -10.
void makeScene() {
    test::resetProgramState();
    params.runMode = kPlay;
    params.framesToCalculate = 50;
    params.apparatusRadius = 40;
    params.grainCharge = -10;
    params.timeStep = 0.1;
    params.deadParkY = 60;
    params.numParticles = 7;
    params.numDeadParticles = 3;
    arrays.particleArray.assign(7, Particle{});
    for (int i = 0; i < 7; ++i) {
        Particle& p = arrays.particleArray[i];
        p.setRadius(0.5);
        p.pos[0] = i < 4 ? i : 0;
        p.pos[1] = i < 4 ? -i : 60;
        if (i >= 4) p.setColour(deadColourRed, deadColourGreen, deadColourBlue);
    }
}

// The values the keys change or depend on, by the names the cases use; angles in degrees.
using Field = std::variant<int*, float*, double*>;
std::map<std::string, Field> fields() {
    const Field all[] = {&view.targetPhi,           &view.targetTheta,
                         &view.cameraTarget[0],     &view.cameraTarget[1],
                         &view.cameraTarget[2],     &view.cameraEye[0],
                         &view.cameraEye[1],        &view.cameraEye[2],
                         &view.sceneRotX,           &view.sceneRotY,
                         &view.shellViewRadius,     &view.shellViewWidth,
                         &params.runMode,           &params.playStep,
                         &view.savedPlayStep,       &params.slowMotionDelay,
                         &params.apparatusFieldOn,  &params.pairInteractionOn,
                         &view.equalMagnification,  &params.velocityTrackingOn,
                         &params.coolingState,      &params.ccpleTarget,
                         &params.autoFiringOn,      &view.highlightedParticle,
                         &params.currentFrame,      &params.lastFireFrame,
                         &params.numDeadParticles,  &params.numParticles,
                         &params.deadSpeedFraction, &dead.probeIndex,
                         &tracker.trackedCount,     &tracker.trackedParticles[0]};
    std::istringstream names(
        "phi theta tx ty tz ex ey ez rotx roty shellr shellw mode play saved delay field pairs "
        "equal velocity cooling ccple firing selected frame fired dead n speed probe tracked "
        "track0");
    std::map<std::string, Field> named;
    for (const Field& f : all) {
        std::string name;
        names >> name;
        named[name] = f;
    }
    return named;
}

std::map<std::string, double> state() {
    std::map<std::string, double> values;
    for (const auto& [name, field] : fields()) {
        const double v = std::visit([](auto* f) { return static_cast<double>(*f); }, field);
        values[name] = name == "phi" || name == "theta" ? v / kDegree : v;
    }
    return values;
}

// "name=value name=value ..." as pairs.
std::vector<std::pair<std::string, double>> values(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::pair<std::string, double>> v;
    for (std::string word; in >> word;) {
        const std::size_t eq = word.find('=');
        v.emplace_back(word.substr(0, eq), std::stod(word.substr(eq + 1)));
    }
    return v;
}

// The console text, then every slot that differs from `before` with its twelve values
// (position, velocity, colour, mass, charge, radius).
std::string transcript(const std::string& text, const std::vector<Particle>& before) {
    std::ostringstream s;
    s.imbue(std::locale::classic());
    for (std::size_t i = 0; i < before.size(); ++i) {
        const Particle& p = arrays.particleArray.at(i);
        if (std::memcmp(&p, &before[i], sizeof p) == 0) continue;
        double all[12];
        std::memcpy(all, &p, sizeof all);
        s << "slot " << i << ":";
        for (double v : all) s << ' ' << v;
        s << '\n';
    }
    return test::markClears(text) + s.str();
}

// Keys pressed in the scene above with the `given` values, and the values that differ
// afterwards; every other value stays. Input ends after the answers.
struct KeyCase {
    const char* pressed;
    const char* given;
    const char* want;
    const char* answers = "";
};

const KeyCase kKeyCases[] = {
    {"p", "play=-3", "play=0 saved=3"},
    {"pp", "play=-3", "play=3 saved=3"},
    {"rr", "play=2", "play=-2 saved=2"},
    {"r", "play=0 saved=4", "play=-4"},
    // Only a replay has frames to pause, rewind or jump to: not a render, nor a crystal.
    {"prg", "mode=0 play=3", ""},
    {"prg", "mode=1 play=3", ""},
    {"prg", "mode=3 play=3", ""},
    {"g", "", "frame=50", "0\n51\n50\n"},
    {"g", "frame=20", "frame=1", "1\n"},
    {"g", "frame=20", ""},
    // The polar angle wraps after a full circle; the target is 50 (sin 40, 0, -cos 40) away.
    {"w^400", "", "phi=40 tx=32.1394 tz=161.6978"},
    {"s^400", "", "phi=-40 tx=-32.1394 tz=161.6978"},
    // Theta turns the target about z: 50 (sin 30 cos 90, sin 30 sin 90, -cos 30) from the eye.
    {"a^90 w^30", "", "phi=30 theta=90 tx=0 ty=25 tz=156.6987"},
    {"d^180 w^60", "", "phi=60 theta=-180 tx=-43.3013 ty=0 tz=175"},
    {"wail[Right][PageUp]R", "play=-5 saved=5", "play=1 saved=1"},
    {"iikkkljj", "", "rotx=-1 roty=-1"},
    {"+++-", "", "shellr=2"},
    {"-", "shellr=0.5", "shellr=0"},
    {">><", "", "shellw=0.1"},
    {"<", "shellw=0.05", "shellw=0"},
    {"[F3]^3 [F4]", "", "delay=20"},
    {"[F4]", "delay=5", "delay=0"},
    {"[End]^21", "play=0", "play=-21"},
    {"[End]^21 [Home]^30", "play=0", "play=9"},
    {"Q[F9][F10][F11]", "", "velocity=1 field=-1 pairs=-1 equal=1"},
    {"QQ [F9]^2 [F10]^2 [F11]^2", "", ""},
    {"[Left]^2 [Right] [Up]^2 [Down]^3 [PageUp]^2 [PageDown]", "",
     "ex=-10 ey=-10 ez=190 tx=-10 ty=-10 tz=-60"},
    // F2 looks at the centre and keeps the angles.
    {"[Left][Up][PageUp]wdda[F2]", "", "ex=-10 ey=10 ez=190 tx=0 ty=0 tz=0 phi=1 theta=-1"},
    {"[F1] [F12]", "", ""},
    // Unbound keys and codes; the digits act on a probe only.
    {"xzPGW*[CR]0123456789[0][13][99][109][114]", "", ""},
    {"61", "probe=7", ""},
    // The probe's charge in mean grain charges (the mean is -10), its place in Rapar / 100.
    {"11", "probe=4", ""},
    {"11777", "probe=4", ""},
    {"110", "probe=4", ""},
    {"56649338882", "probe=0", ""},  // slot 0 counts as a probe for the keys
    // The selection walks over every slot and wraps; the slot left is painted black.
    {"[Space]", "", "selected=1"},
    {"[Space]^5", "", "selected=5"},
    {"[Space]^7", "", "selected=0"},
    {"[BS]", "", "selected=6"},
    {"[BS]^2", "", "selected=5"},
    {"[Space][BS]", "n=0", ""},
    {"[Space]", "n=10", ""},
    // At most one shot a frame, at Rapar * speed per time step; the frame is marked even when
    // the reserve is empty.
    {"[Insert]^2", "frame=12 speed=0.02", "fired=12 dead=2"},
    {"[Insert]", "frame=12 fired=12", ""},
    {"[Insert]", "frame=12 dead=0", "fired=12"},
    {"f", "", "firing=1 ccple=120 cooling=1", "120\n"},
    {"ff", "", "firing=-1 ccple=120 cooling=1", "120\n"},
    {"f", "", ""},
    {"F", "", ""},
    {"q", "", "tracked=1 track0=1", "2\n"},
    {"C", "cooling=2 ccple=77", "cooling=-1"},
    {"C", "", "cooling=1 ccple=250.5", "250.5\n"},
    // The thermostat divides by the target: 0, negatives and words are asked again.
    {"C", "", "cooling=1 ccple=120", "0\n-3\nlots\n120\n"},
    {"C", "", ""},
};

TEST(Keys, ChangeWhatTheyShouldAndNothingElseAndSayIt) {
    std::string all;
    for (const KeyCase& c : kKeyCases) {
        const std::string label = std::string(c.pressed) + (*c.given ? " | " : "") + c.given;
        SCOPED_TRACE(label);
        makeScene();
        test::TempDir dir;
        const std::map<std::string, Field> named = fields();
        for (const auto& [name, value] : values(c.given)) {
            std::visit([v = value](auto* f) { *f = static_cast<std::decay_t<decltype(*f)>>(v); },
                       named.at(name));
        }
        std::map<std::string, double> want = state();
        for (const auto& [name, value] : values(c.want)) want.at(name) = value;
        const std::vector<Particle> before = arrays.particleArray;
        test::ScriptedConsole console(c.answers);
        console::setInputEndCancels(true);
        press(keys(c.pressed));
        const std::map<std::string, double> got = state();
        for (const auto& [name, value] : want) EXPECT_NEAR(got.at(name), value, 1e-4) << name;
        all += "== " + label + "\n" + transcript(console.output(), before);
    }
    test::expectGolden("keys.txt", all);
}

}  // namespace
}  // namespace qv
