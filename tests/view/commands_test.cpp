// The window's commands driven without a window: keys, special keys, menu entries and the
// dialogues they raise. Each case writes what it changed, printed and painted into a golden
// transcript.
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
#include <variant>
#include <vector>

#include "console/console.h"
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
void chosen(int) {}
std::string text(int a, int b) {
    return std::to_string(a) + " " + std::to_string(b) + "; ";
}
}  // namespace

extern "C" {
int glutCreateMenu(void (*callback)(int)) {
    menus += std::string(callback == &chosen ? "" : "(not the menu handler) ") + "\n";
    return static_cast<int>(std::count(menus.begin(), menus.end(), '\n'));
}
void glutAddMenuEntry(const char* label, int value) {
    menus.insert(menus.size() - 1, std::string(label) + "=" + std::to_string(value) + "; ");
}
void glutAddSubMenu(const char* label, int menu) {
    menus.insert(menus.size() - 1, std::string(label) + ">" + std::to_string(menu) + "; ");
}
void glutAttachMenu(int button) { menus += "attached to button " + std::to_string(button) + "\n"; }
void glutDestroyWindow(int window) { windowCalls += "destroy " + std::to_string(window) + "; "; }
void glutReshapeWindow(int width, int height) { windowCalls += "reshape " + text(width, height); }
void glutPositionWindow(int x, int y) { windowCalls += "position " + text(x, y); }
int glutGet(GLenum query) {
    return query == GLUT_SCREEN_WIDTH ? 1280 : query == GLUT_SCREEN_HEIGHT ? 1024 : 0;
}
}  // extern "C"

namespace qv {
namespace {

constexpr int kSpecial = 1000, kMenu = 3000;  // offsets of special keys and menu entries

// Commands written short: plain keys as themselves, others as [F9], [Left], [Space], [BS], [CR],
// [<GLUT code>] or [M<menu entry>]; ^n after a group repeats it; groups are separated by spaces.
std::vector<int> commands(const std::string& notation) {
    static const std::vector<std::string> from100 = {"Left",     "Up",   "Right", "Down",  "PageUp",
                                                     "PageDown", "Home", "End",   "Insert"};
    static const std::map<std::string, int> plain = {{"Space", ' '}, {"BS", '\b'}, {"CR", '\r'}};
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

using Field = std::variant<int*, float*, double*, bool*, RunMode*, DustDraw*, ApparatusDraw*,
                           CoolingState*>;

double get(Field f) {
    return std::visit(
        []<class T>(T* p) -> double {
            if constexpr (std::is_same_v<T, CoolingState>) return coolingCode(*p);
            else if constexpr (std::is_enum_v<T>) return static_cast<int>(*p);
            else return *p;
        },
        f);
}

void put(Field f, double v) {
    std::visit(
        [v]<class T>(T* p) {
            if constexpr (std::is_same_v<T, CoolingState>)
                *p = v < 0 ? CoolingState::Off : v < 2 ? CoolingState::Steering
                                                       : CoolingState::TargetReached;
            else if constexpr (std::is_enum_v<T>) *p = static_cast<T>(static_cast<int>(v));
            else *p = static_cast<T>(v);
        },
        f);
}

// A replay of 50 frames: black grains at (i, -i, 0) for i = 0..3, or at `at` (x y z each), then
// three dead particles parked at (0, 60, 0) as set-up leaves them; Rapar 40, mean charge -10.
struct Scene {
    Simulation sim;
    ViewState view;

    explicit Scene(const std::string& at = "0 0 0 1 -1 0 2 -2 0 3 -3 0") {
        test::resetConsole();
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
        std::istringstream in(at);
        for (Particle p; in >> p.pos[0] >> p.pos[1] >> p.pos[2];) sim.arrays.particleArray.push_back(p);
        sim.reserve.numDeadParticles = 3;
        for (int i = 0; i < 3; ++i) sim.arrays.particleArray.emplace_back();
        sim.numParticles = static_cast<int>(sim.arrays.particleArray.size());
        for (int i = 0; i < sim.numParticles; ++i) {
            sim.arrays.particleArray[i].setRadius(0.5);
            if (i >= sim.liveCount()) parkAsDead(sim, sim.arrays.particleArray[i]);
        }
    }

    // The values the commands change or depend on, by the names the cases use.
    std::map<std::string, Field> fields() {
        ViewState& v = view;
        DeadReserve& d = sim.reserve;
        Switches& s = sim.switches;
        return {{"phi", &v.targetPhi}, {"theta", &v.targetTheta}, {"tx", &v.cameraTarget[0]},
                {"ty", &v.cameraTarget[1]}, {"tz", &v.cameraTarget[2]}, {"ex", &v.cameraEye[0]},
                {"ey", &v.cameraEye[1]}, {"ez", &v.cameraEye[2]}, {"rotx", &v.sceneRotX},
                {"roty", &v.sceneRotY}, {"shellr", &v.shellViewRadius},
                {"shellw", &v.shellViewWidth}, {"mode", &sim.run.runMode}, {"play", &v.playStep},
                {"saved", &v.savedPlayStep}, {"delay", &v.slowMotionDelay},
                {"field", &s.apparatusFieldOn}, {"pairs", &s.pairInteractionOn},
                {"equal", &v.equalMagnification}, {"velocity", &s.velocityTrackingOn},
                {"cooling", &sim.thermostat.state}, {"ccple", &sim.thermostat.ccpleTarget},
                {"firing", &s.autoFiringOn}, {"selected", &v.highlightedParticle},
                {"frame", &sim.clock.currentFrame}, {"fired", &d.lastFireFrame},
                {"dead", &d.numDeadParticles}, {"n", &sim.numParticles},
                {"speed", &d.deadSpeedFraction}, {"probe", &d.probeIndex},
                {"tracked", &sim.tracker.trackedCount}, {"track0", &sim.tracker.trackedParticles[0]},
                {"apparatusdraw", &v.apparatusDrawMode}, {"dustdraw", &v.dustDrawMode},
                {"timestep", &sim.model.timeStep}, {"numbers", &v.numberDisplayOn},
                {"massfraction", &d.deadMassFraction}, {"radiusfraction", &d.deadRadiusFraction},
                {"chargefraction", &d.deadChargeFraction}, {"wall", &s.wallOn},
                {"text", &v.screenTextMode}, {"fullscreen", &v.fullScreenOn},
                {"scan", &d.phiScanOn}, {"phimin", &d.phiMin}, {"phimax", &d.phiMax},
                {"firingphi", &d.firingPhi}, {"tolerance", &sim.thermostat.coolingTolerance},
                {"grainscale", &v.particleSizeScale}, {"apparatusscale", &v.apparatusSizeScale},
                {"resolution", &v.sphereResolution}, {"width", &v.windowWidth},
                {"height", &v.windowHeight}, {"compensate", &s.compensateDeadAddition},
                {"open", &v.windowOpen}, {"window", &v.windowId},
                {"slicemin", &v.sliceMin}, {"slicemax", &v.sliceMax}};
    }

    std::map<std::string, double> state() {
        std::map<std::string, double> values;
        for (const auto& [name, field] : fields())
            values[name] = get(field) / (name == "phi" || name == "theta" ? pi / 180 : 1);
        return values;
    }

    // "name=value name=value ..."
    void set(const std::string& given) {
        std::istringstream in(given);
        for (std::string word; in >> word;) {
            const std::size_t eq = word.find('=');
            put(fields().at(word.substr(0, eq)), std::stod(word.substr(eq + 1)));
        }
    }

    // Runs the commands with input ending after the answers; returns the values that changed,
    // what was printed, the exit status if the program was left, the window calls and every slot
    // that changed with its twelve values (position, velocity, colour, mass, charge, radius).
    std::string run(const std::string& notation, const std::string& answers) {
        const std::map<std::string, double> before = state();
        const std::vector<Particle> slots = sim.arrays.particleArray;
        test::ScriptedConsole console(answers);
        console::setInputEndCancels(true);
        std::ostringstream s;
        s.imbue(std::locale::classic());
        try {
            for (int c : commands(notation)) {
                if (c >= kMenu) menuHandler(sim, view, c - kMenu);
                else if (c >= kSpecial) specialKeyHandler(sim, view, c - kSpecial, 0, 0);
                else keyboardHandler(sim, view, static_cast<unsigned char>(c), 0, 0);
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
            s << "slot " << i << ":";
            for (const double* v = p.pos; v < p.pos + 12; ++v) s << ' ' << *v;
            s << '\n';
        }
        if (!windowCalls.empty()) s << "window: " << windowCalls << '\n';
        windowCalls.clear();
        return s.str() + test::markClears(console.output());
    }
};

// Commands pressed in the scene with the `given` values (and grains `at`), then the answers.
struct Case {
    const char* pressed;
    const char* given = "";
    const char* answers = "";
    const char* at = nullptr;
};

const Case kCases[] = {
    {"p", "play=-3"},
    {"pp", "play=-3"},
    {"rr", "play=2"},
    {"r", "play=0 saved=4"},
    // Only a replay (mode 2) has frames to pause, rewind or jump to: not a render (1), nor a
    // crystal (6).
    {"prg", "mode=0 play=3"},
    {"prg", "mode=1 play=3"},
    {"prg", "mode=6 play=3"},
    {"g", "", "0\n51\n50\n"},
    {"g", "frame=20", "1\n"},
    {"g", "frame=20"},
    // The polar angle wraps after a full circle; the target is 50 (sin 40, 0, -cos 40) away.
    {"w^400"},
    {"s^400"},
    // Theta turns the target about z: 50 (sin 30 cos 90, sin 30 sin 90, -cos 30) from the eye.
    {"a^90 w^30"},
    {"d^180 w^60"},
    {"wail[Right][PageUp]R", "play=-5 saved=5"},
    {"iikkkljj"},
    {"+++-"},
    {"-", "shellr=0.5"},
    {">><"},
    {"<", "shellw=0.05"},
    {"[F3]^3 [F4]"},
    {"[F4]", "delay=5"},
    {"[End]^21", "play=0"},
    {"[End]^21 [Home]^30", "play=0"},
    {"Q[F9][F10][F11]"},
    {"QQ [F9]^2 [F10]^2 [F11]^2"},
    {"[Left]^2 [Right] [Up]^2 [Down]^3 [PageUp]^2 [PageDown]"},
    // F2 looks at the centre and keeps the angles.
    {"[Left][Up][PageUp]wdda[F2]"},
    {"[F1] [F12]"},
    // Unbound keys and codes; the digits act on a probe only.
    {"xzPGW*[CR]0123456789[0][13][99][109][112][114][200]"},
    {"61", "probe=7"},
    // The probe's charge in mean grain charges (the mean is -10), its place in Rapar / 100.
    {"11", "probe=4"},
    {"11777", "probe=4"},
    {"110", "probe=4"},
    {"56649338882", "probe=0"},  // slot 0 counts as a probe for the keys
    // The selection walks over every slot and wraps; the slot left is painted black.
    {"[Space]"},
    {"[Space]^5"},
    {"[Space]^7"},
    {"[BS]"},
    {"[BS]^2"},
    {"[Space][BS]", "n=0"},
    {"[Space]", "n=10"},
    // At most one shot a frame, at Rapar * speed per time step; the frame is marked even when
    // the reserve is empty.
    {"[Insert]^2", "frame=12 speed=0.02"},
    {"[Insert]", "frame=12 fired=12"},
    {"[Insert]", "frame=12 dead=0"},
    {"f", "", "120\n"},
    {"ff", "", "120\n"},
    {"f"},
    {"F"},
    {"q", "", "2\n"},
    {"C", "cooling=2 ccple=77"},
    {"C", "", "250.5\n"},
    // The thermostat divides by the target: 0, negatives and words are asked again.
    {"C", "", "0\n-3\nlots\n120\n"},
    {"C"},
};

TEST(Commands, KeysChangeWhatTheyShouldAndNothingElseAndSayIt) {
    std::string all;
    for (const Case& c : kCases) {
        const std::string label = std::string(c.pressed) + (*c.given ? " | " : "") + c.given;
        SCOPED_TRACE(label);
        test::TempDir dir;
        Scene scene = c.at ? Scene(c.at) : Scene();
        scene.set(c.given);
        all += "== " + label + "\n" + scene.run(c.pressed, c.answers);
    }
    test::expectGolden("keys.txt", all);
}

// The scene with slot 1 highlighted, slot 3 (4.24 from the centre) alone in the shell view, a
// draw mode no entry sets and the first waiting dead particle (slot 4) made the probe.
Scene menuScene(RunMode mode) {
    Scene s;
    s.sim.run.runMode = mode;
    s.sim.arrays.particleArray[1].setColour(0, 4, 0);
    s.set("shellr=4.2 shellw=0.2 dustdraw=0");
    addProbe(s.sim);
    return s;
}

// Every entry acts in a render (from the defaults too); elsewhere only those that change what is
// shown, and Quit, act. 4 answers every question.
TEST(Commands, MenuEntriesActInARenderAndOnlyTheViewEntriesElsewhere) {
    std::map<int, std::string> inRender;
    for (RunMode mode : {RunMode::Render, RunMode::RenderDefaults, RunMode::Play, RunMode::Crystal,
                         RunMode::NotChosen}) {
        for (int value = -1; value <= 33; ++value) {
            SCOPED_TRACE("run mode " + std::to_string(int(mode)) + ", entry " + std::to_string(value));
            Scene s = menuScene(mode);
            const std::string did = s.run("[M" + std::to_string(value) + "]", "4\n4\n");
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
    Scene s;
    buildMenus(&chosen);
    test::expectGolden("menus.txt", menus);
}

TEST(Commands, FullScreenFillsTheScreenOfAnOpenWindowThenReturnsTo900AndQuitClosesTheWindow) {
    Scene s = menuScene(RunMode::Play);
    s.view.windowOpen = true;
    s.view.windowId = 7;
    EXPECT_EQ(s.run("[M20]", ""), "fullscreen: -1 -> 1\nheight: 900 -> 1024\nwidth: 900 -> 1280\nwindow: reshape 1280 1024; position 0 0; \n");
    EXPECT_EQ(s.run("[M20] [M0]", ""),
              "exit 0\nfullscreen: 1 -> -1\nheight: 1024 -> 900\nwidth: 1280 -> 900\nwindow: reshape 900 900; position 15 15; destroy 7; \n");
}

TEST(Commands, MenuSwitchesInSequence) {
    Scene s = menuScene(RunMode::Render);
    // The probe text rides on the Gamma text (19): on, Gamma on, off, on, Gamma off, off.
    const std::pair<int, int> steps[] = {{25, -2}, {19, 2}, {25, 1}, {25, 2}, {19, -2}, {25, -1}};
    for (const auto& [value, mode] : steps) {
        menuHandler(s.sim, s.view, value);
        EXPECT_EQ(s.view.screenTextMode, mode) << "after " << value;
    }
    resetDeadParticles(s.sim);  // no probe: the probe text entry does nothing
    EXPECT_EQ(s.run("[M25] [M32]^6", ""), "resolution: 15 -> -3\n");  // no lower bound
    // The scan asks for its angles only when switched on; a tolerance below 0 is asked again.
    test::expectGolden("menu_questions.txt", s.run("[M21] [M21] [M26]", "4\n4\n-0.1\n0\n"));
}

}  // namespace
}  // namespace qv
