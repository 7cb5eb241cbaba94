// The window's commands driven without a window: keys, special keys and pop-up menu entries.
// Each case says what it changed, what it printed and which grains it moved or painted, into a
// golden transcript; the key cases also name the values they must leave behind.
#include <GL/freeglut.h>
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
#include "sim/dead_particles.h"
#include "sim/simulation.h"
#include "tests/support/test_support.h"
#include "view/keys.h"
#include "view/menus.h"
#include "view/view_state.h"

// Recording stand-ins for the GLUT calls of the menu code: defined in the test program, they
// take the place of the library's, so no display is needed. Menu k is line k of `menus`.
namespace {
std::string menus, windowCalls;
}  // namespace

extern "C" {
int glutCreateMenu(void (*callback)(int)) {
    menus += std::string(callback == &qv::menuHandler ? "" : "(not the menu handler) ") + "\n";
    return static_cast<int>(std::count(menus.begin(), menus.end(), '\n'));
}
void glutAddMenuEntry(const char* label, int value) {
    menus.insert(menus.size() - 1, std::string(label) + "=" + std::to_string(value) + "; ");
}
void glutAddSubMenu(const char* label, int menu) {
    menus.insert(menus.size() - 1, std::string(label) + ">" + std::to_string(menu) + "; ");
}
void glutAttachMenu(int button) {
    menus += "attached to button " + std::to_string(button) + "\n";
}
void glutDestroyWindow(int window) {
    windowCalls += "destroy " + std::to_string(window) + "; ";
}
void glutReshapeWindow(int width, int height) {
    windowCalls += "reshape " + std::to_string(width) + " " + std::to_string(height) + "; ";
}
void glutPositionWindow(int x, int y) {
    windowCalls += "position " + std::to_string(x) + " " + std::to_string(y) + "; ";
}
int glutGet(GLenum query) {
    return query == GLUT_SCREEN_WIDTH ? 1280 : query == GLUT_SCREEN_HEIGHT ? 1024 : 0;
}
}  // extern "C"

namespace qv {
namespace {

constexpr double kDegree = pi / 180;
constexpr int kSpecial = 1000, kMenu = 3000;  // offsets of special keys and menu entries

// Commands written short: plain keys as themselves, others as [F9], [Left], [Space], [BS], [CR],
// [<GLUT code>] or [M<menu entry>], and ^n after a group repeats it; groups are separated by
// spaces.
std::vector<int> commands(const std::string& notation) {
    static_assert(GLUT_KEY_LEFT == 100 && GLUT_KEY_INSERT == 108);
    const std::vector<std::string> from100 = {"Left",     "Up",   "Right", "Down",  "PageUp",
                                              "PageDown", "Home", "End",   "Insert"};
    const std::map<std::string, int> plain = {{"Space", ' '}, {"BS", '\b'}, {"CR", '\r'}};
    static const std::regex one(R"(\[(F|M?)([^\]]+)\]|.)");
    std::istringstream in(notation);
    std::vector<int> out;
    for (std::string group; in >> group;) {
        const std::size_t hat = group.find('^');
        const std::string body = group.substr(0, hat);
        std::vector<int> pressed;
        for (std::sregex_iterator k(body.begin(), body.end(), one), end; k != end; ++k) {
            const std::string kind = (*k)[1], name = (*k)[2];
            const auto at = std::find(from100.begin(), from100.end(), name);
            pressed.push_back(name.empty()           ? k->str()[0]
                              : kind == "M"          ? kMenu + std::stoi(name)
                              : plain.contains(name) ? plain.at(name)
                              : at != from100.end()  ? kSpecial + 100 + int(at - from100.begin())
                                                     : kSpecial + std::stoi(name));
        }
        for (int n = hat == std::string::npos ? 1 : std::stoi(group.substr(hat + 1)); n > 0; --n)
            out.insert(out.end(), pressed.begin(), pressed.end());
    }
    return out;
}

// A replay of 50 frames: four black grains at (i, -i, 0), then three dead particles parked at
// (0, 60, 0) in the dead colour, as set-up leaves them; Rapar 40, mean grain charge -10.
void makeScene() {
    test::resetProgramState();
    menus.clear();
    windowCalls.clear();
    sim.run.runMode = RunMode::Play;
    sim.clock.framesToCalculate = 50;
    sim.model.apparatusRadius = 40;
    sim.model.grainCharge = -10;
    sim.model.grainMass = 2;
    sim.model.grainRadius = 0.5;
    sim.model.timeStep = 0.1;
    sim.reserve.deadParkY = 60;
    sim.numParticles = 7;
    sim.reserve.numDeadParticles = 3;
    sim.arrays.particleArray.assign(7, Particle{});
    for (int i = 0; i < 7; ++i) {
        Particle& p = sim.arrays.particleArray[i];
        p.setRadius(0.5);
        p.pos[0] = i < 4 ? i : 0;
        p.pos[1] = i < 4 ? -i : 60;
        if (i >= 4) p.setColour(deadColourRed, deadColourGreen, deadColourBlue);
    }
}

// The values the commands change or depend on, by the names the cases use; angles in degrees.
using Field = std::variant<int*, float*, double*>;
std::map<std::string, Field> fields() {
    ViewState& v = view;
    Parameters& p = params;
    DeadParticleSettings& d = dead;
    TrackerState& t = tracker;
    // The values the keys change, then those the menu entries change.
    std::vector<Field> all = {
        &v.targetPhi,         &v.targetTheta,       &v.cameraTarget[0],    &v.cameraTarget[1],
        &v.cameraTarget[2],   &v.cameraEye[0],      &v.cameraEye[1],       &v.cameraEye[2],
        &v.sceneRotX,         &v.sceneRotY,         &v.shellViewRadius,    &v.shellViewWidth,
        &p.runMode,           &p.playStep,          &v.savedPlayStep,      &p.slowMotionDelay,
        &p.apparatusFieldOn,  &p.pairInteractionOn, &v.equalMagnification, &p.velocityTrackingOn,
        &p.coolingState,      &p.ccpleTarget,       &p.autoFiringOn,       &v.highlightedParticle,
        &p.currentFrame,      &p.lastFireFrame,     &p.numDeadParticles,   &p.numParticles,
        &p.deadSpeedFraction, &d.probeIndex,        &t.trackedCount,       &t.trackedParticles[0],
    };
    const Field menu[] = {
        &v.apparatusDrawMode,
        &v.dustDrawMode,
        &p.timeStep,
        &v.numberDisplayOn,
        &d.deadMassFraction,
        &d.deadRadiusFraction,
        &d.deadChargeFraction,
        &p.wallOn,
        &v.screenTextMode,
        &v.fullScreenOn,
        &d.phiScanOn,
        &d.phiMin,
        &d.phiMax,
        &d.firingPhi,
        &p.coolingTolerance,
        &v.particleSizeScale,
        &v.apparatusSizeScale,
        &v.sphereResolution,
        &p.windowWidth,
        &p.windowHeight,
        &p.compensateDeadAddition,
    };
    all.insert(all.end(), std::begin(menu), std::end(menu));
    std::istringstream names(
        "phi theta tx ty tz ex ey ez rotx roty shellr shellw mode play saved delay field pairs "
        "equal velocity cooling ccple firing selected frame fired dead n speed probe tracked "
        "track0 apparatusdraw dustdraw timestep numbers massfraction radiusfraction "
        "chargefraction wall text fullscreen scan phimin phimax firingphi tolerance "
        "grainscale apparatusscale resolution width height compensate");
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

void set(const std::string& given) {
    const std::map<std::string, Field> named = fields();
    for (const auto& [name, value] : values(given)) {
        std::visit([v = value](auto* f) { *f = static_cast<std::decay_t<decltype(*f)>>(v); },
                   named.at(name));
    }
}

// Runs the commands with input ending after the answers; returns the values that changed, what
// was printed, the exit status if the program was left, and every slot that changed with its
// twelve values (position, velocity, colour, mass, charge, radius).
std::string run(const std::string& notation, const char* answers) {
    const std::map<std::string, double> before = state();
    const std::vector<Particle> slots = sim.arrays.particleArray;
    test::ScriptedConsole console(answers);
    console::setInputEndCancels(true);
    std::ostringstream s;
    s.imbue(std::locale::classic());
    try {
        for (int c : commands(notation)) {
            if (c >= kMenu) {
                menuHandler(c - kMenu);
            } else if (c >= kSpecial) {
                specialKeyHandler(c - kSpecial, 0, 0);
            } else {
                keyboardHandler(static_cast<unsigned char>(c), 0, 0);
            }
        }
    } catch (const test::ProgramExit& e) {
        s << "exit " << e.status << '\n';
    }
    for (const auto& [name, value] : state()) {
        if (value != before.at(name))
            s << name << ": " << before.at(name) << " -> " << value << '\n';
    }
    for (std::size_t i = 0; i < slots.size(); ++i) {
        const Particle& p = sim.arrays.particleArray.at(i);
        if (std::memcmp(&p, &slots[i], sizeof p) == 0) continue;
        double all[12];
        std::memcpy(all, &p, sizeof all);
        s << "slot " << i << ":";
        for (double v : all) s << ' ' << v;
        s << '\n';
    }
    return s.str() + test::markClears(console.output());
}

// Keys pressed in the scene above with the `given` values, and values they must leave.
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
    // Only a replay (mode 2) has frames to pause, rewind or jump to: not a render (1), nor a
    // crystal (6).
    {"prg", "mode=0 play=3", ""},
    {"prg", "mode=1 play=3", ""},
    {"prg", "mode=6 play=3", ""},
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
    {"xzPGW*[CR]0123456789[0][13][99][109][112][114][200]", "", ""},
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

TEST(Commands, KeysChangeWhatTheyShouldAndNothingElseAndSayIt) {
    std::string all;
    for (const KeyCase& c : kKeyCases) {
        const std::string label = std::string(c.pressed) + (*c.given ? " | " : "") + c.given;
        SCOPED_TRACE(label);
        makeScene();
        test::TempDir dir;
        set(c.given);
        std::map<std::string, double> want = state();
        for (const auto& [name, value] : values(c.want)) want.at(name) = value;
        all += "== " + label + "\n" + run(c.pressed, c.answers);
        const std::map<std::string, double> got = state();
        for (const auto& [name, value] : want) EXPECT_NEAR(got.at(name), value, 1e-4) << name;
    }
    test::expectGolden("keys.txt", all);
}

// The scene with slot 1 highlighted, slot 3 (4.24 from the centre) alone in the shell view, a
// draw mode no entry sets and the first waiting dead particle (slot 4) made the probe.
void menuScene(int mode) {
    makeScene();
    sim.run.runMode = mode;
    sim.arrays.particleArray[1].setColour(0, 4, 0);
    view.shellViewRadius = 4.2;
    view.shellViewWidth = 0.2;
    view.dustDrawMode = 0;
    addProbe();
}

// Every entry acts in a render (from the defaults too); elsewhere only those that change what is
// shown, and Quit, act. 4 answers every question.
TEST(Commands, MenuEntriesActInARenderAndOnlyTheViewEntriesElsewhere) {
    std::map<int, std::string> inRender;
    for (int mode : {RunMode::Render, RunMode::RenderDefaults, RunMode::Play, RunMode::Crystal, 0}) {
        for (int value = -1; value <= 33; ++value) {
            SCOPED_TRACE("run mode " + std::to_string(mode) + ", entry " + std::to_string(value));
            menuScene(mode);
            const std::string did = run("[M" + std::to_string(value) + "]", "4\n4\n");
            const bool shows =
                value <= 7 || value == 12 || value == 19 || value == 20 || value >= 27;
            if (mode == RunMode::Render) {
                inRender[value] = did;
            } else {
                EXPECT_EQ(did, mode == RunMode::RenderDefaults || shows ? inRender[value] : "");
            }
        }
    }
    std::string all;
    for (const auto& [value, did] : inRender)
        all += "== entry " + std::to_string(value) + "\n" + did;
    test::expectGolden("menu_entries.txt", all);
}

TEST(Commands, MenuTreeIsSixSubmenusThenTheMainMenuOnTheRightButton) {
    makeScene();
    buildMenus();
    test::expectGolden("menus.txt", menus);
}

TEST(Commands, FullScreenFillsTheScreenOfAnOpenWindowThenReturnsTo900AndQuitClosesTheWindow) {
    menuScene(RunMode::Play);
    view.windowOpen = true;
    view.windowId = 7;
    EXPECT_EQ(run("[M20]", ""), "fullscreen: -1 -> 1\nheight: 900 -> 1024\nwidth: 900 -> 1280\n");
    EXPECT_EQ(run("[M20] [M0]", ""),
              "exit 0\nfullscreen: 1 -> -1\nheight: 1024 -> 900\nwidth: 1280 -> 900\n");
    EXPECT_EQ(windowCalls,
              "reshape 1280 1024; position 0 0; reshape 900 900; position 15 15; destroy 7; ");
}

TEST(Commands, MenuSwitchesInSequence) {
    menuScene(RunMode::Render);
    // The probe text rides on the Gamma text (19): on, Gamma on, off, on, Gamma off, off.
    const std::pair<int, int> steps[] = {{25, -2}, {19, 2}, {25, 1}, {25, 2}, {19, -2}, {25, -1}};
    for (const auto& [value, mode] : steps) {
        menuHandler(value);
        EXPECT_EQ(view.screenTextMode, mode) << "after " << value;
    }
    resetDeadParticles();  // no probe: the probe text entry does nothing
    EXPECT_EQ(run("[M25] [M32]^6", ""), "resolution: 15 -> -3\n");  // no lower bound
    // The scan asks for its angles only when switched on; a tolerance below 0 is asked again.
    test::expectGolden("menu_questions.txt", run("[M21] [M21] [M26]", "4\n4\n-0.1\n0\n"));
}

}  // namespace
}  // namespace qv
