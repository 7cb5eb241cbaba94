// The window's keys, special keys and menu entries with the dialogues they raise, without a
// window: what each changed, printed and painted goes into a golden transcript.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
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
#include "view/render.h"
#include "view/view_state.h"

// Recording stand-ins for the GLUT calls of the menu code: defined in the test program, they
// take the place of the library's, so no display is needed. Menu k is line k of `menus`.
namespace {
std::string menus, windowCalls;
void chosen(int) {}
}  // namespace

// clang-format off
std::string two(int a, int b) { return std::to_string(a) + " " + std::to_string(b) + "; "; }
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
void glutReshapeWindow(int width, int height) { windowCalls += "reshape " + two(width, height); }
void glutPositionWindow(int x, int y) { windowCalls += "position " + two(x, y); }
int glutGet(GLenum q) { return q == GLUT_SCREEN_WIDTH ? 1280 : q == GLUT_SCREEN_HEIGHT ? 1024 : 0; }
}  // extern "C"
// clang-format on

namespace qv {
namespace {

constexpr int kSpecial = 1000, kMenu = 3000;  // offsets of special keys and menu entries

// Commands written short, separated by spaces: a key as itself, a special key by its name (F1 to
// F12, Left, PageUp, Insert...) or GLUT code (#13), a menu entry as M<value>; ^n repeats one.
std::vector<int> commands(const std::string& notation) {
    // clang-format off
    static const std::map<std::string, int> named = {
        {"Space", ' '}, {"BS", '\b'}, {"CR", '\r'}, {"Left", kSpecial + GLUT_KEY_LEFT},
        {"Up", kSpecial + GLUT_KEY_UP}, {"Right", kSpecial + GLUT_KEY_RIGHT},
        {"Down", kSpecial + GLUT_KEY_DOWN}, {"PageUp", kSpecial + GLUT_KEY_PAGE_UP},
        {"PageDown", kSpecial + GLUT_KEY_PAGE_DOWN}, {"Home", kSpecial + GLUT_KEY_HOME},
        {"End", kSpecial + GLUT_KEY_END}, {"Insert", kSpecial + GLUT_KEY_INSERT}};
    // clang-format on
    std::istringstream in(notation);
    std::vector<int> out;
    for (std::string word; in >> word;) {
        const std::size_t hat = word.find('^');
        const std::string key = word.substr(0, hat);
        const int code = key.size() == 1 ? key[0]
                         : named.contains(key)
                             ? named.at(key)
                             : (key[0] == 'M' ? kMenu : kSpecial) + std::stoi(key.substr(1));
        out.insert(out.end(), hat == std::string::npos ? 1 : std::stoi(word.substr(hat + 1)), code);
    }
    return out;
}

// A value the cases name, enums as their numbers.
// clang-format off
using Field = std::variant<int*, float*, double*, bool*, RunMode*, DustDraw*, ApparatusDraw*,
                           CoolingState*>;
double get(Field f) { return std::visit([](auto* p) { return static_cast<double>(*p); }, f); }
void put(Field f, double v) {
    std::visit([v]<class T>(T* p) { *p = T(std::conditional_t<std::is_enum_v<T>, int, T>(v)); }, f);
}
// clang-format on

// A replay of 50 frames: black grains at x = 4, 8, 12, 16, or at `at` (x y z each), then
// three dead particles parked at (0, 60, 0) as set-up leaves them; Rapar 40, mean charge -10.
struct Scene {
    Simulation sim;
    ViewState view;

    explicit Scene(const std::string& at = "4 0 0 8 0 0 12 0 0 16 0 0") {
        test::resetConsole();
        set("mode=2 frames=50 rapar=40 charge=-10 mass=2 radius=0.5 timestep=0.1 park=60 dead=3");
        std::istringstream in(at);
        for (Particle p{.q = -25, .rad = 0.5}; in >> p.pos[0] >> p.pos[1] >> p.pos[2];)
            sim.arrays.particleArray.push_back(p);
        sim.numParticles = static_cast<int>(sim.arrays.particleArray.size()) + 3;
        sim.arrays.particleArray.resize(sim.numParticles);
        for (int i = sim.liveCount(); i < sim.numParticles; ++i)
            parkAsDead(sim, sim.arrays.particleArray[i]);
    }

    // The values the commands change or depend on, by the names the cases use.
    std::map<std::string, Field> fields() {
        ViewState& v = view;
        DeadReserve& d = sim.reserve;
        Switches& s = sim.switches;
        // clang-format off
        const Field all[] = {
            &v.targetPhi, &v.targetTheta, &v.cameraTarget[0], &v.cameraTarget[1],
            &v.cameraTarget[2], &v.cameraEye[0], &v.cameraEye[1], &v.cameraEye[2], &v.sceneRotX,
            &v.sceneRotY, &v.shellViewRadius, &v.shellViewWidth, &sim.run.runMode, &v.playStep,
            &v.savedPlayStep, &v.slowMotionDelay, &s.apparatusFieldOn, &s.pairInteractionOn,
            &v.equalMagnification, &s.velocityTrackingOn, &sim.thermostat.coolingState,
            &sim.thermostat.ccpleTarget, &s.autoFiringOn, &v.highlightedParticle,
            &sim.clock.currentFrame, &d.lastFireFrame, &d.numDeadParticles, &sim.numParticles,
            &d.deadSpeedFraction, &d.probeIndex, &sim.tracker.trackedCount,
            &sim.tracker.trackedParticles[0], &v.apparatusDrawMode, &v.dustDrawMode,
            &sim.model.timeStep, &v.numberDisplayOn, &d.deadMassFraction, &d.deadRadiusFraction,
            &d.deadChargeFraction, &s.wallOn, &v.screenTextMode, &v.fullScreenOn, &d.phiScanOn,
            &d.phiMin, &d.phiMax, &d.firingPhi, &sim.thermostat.coolingTolerance,
            &v.particleSizeScale, &v.apparatusSizeScale, &v.sphereResolution, &v.windowWidth,
            &v.windowHeight, &s.compensateDeadAddition, &v.windowOpen, &v.windowId, &v.sliceMin,
            &v.sliceMax, &sim.model.debyeSphereCount, &sim.model.grainMass, &s.automatedAnalysis,
            &sim.clock.simTime, &sim.clock.framesToCalculate, &sim.model.apparatusRadius,
            &sim.model.grainCharge, &sim.model.grainRadius, &d.deadParkY,
            &sim.thermostat.temperatureRatio, &sim.options.screeningLength, &sim.options.friction};
        // clang-format on
        std::istringstream names(
            "phi theta tx ty tz ex ey ez rotx roty shellr shellw mode play saved delay "
            "field pairs equal velocity cooling ccple firing selected frame fired dead n "
            "speed probe tracked track0 apparatusdraw dustdraw timestep numbers "
            "massfraction radiusfraction chargefraction wall text fullscreen scan phimin "
            "phimax firingphi tolerance grainscale apparatusscale resolution width height "
            "compensate open window slicemin slicemax nd mass auto time frames rapar charge "
            "radius park tempratio lambda gamma");
        std::map<std::string, Field> named;
        for (std::string name; const Field& f : all) named[(names >> name, name)] = f;
        return named;
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
        for (std::string name, value; std::getline(in >> std::ws, name, '=') && in >> value;)
            put(fields().at(name), std::stod(value));
    }

    // A slot's twelve values (position, velocity, own colour, mass, charge, radius) and role.
    static std::string dump(const Particle& p) {
        double all[12];
        std::memcpy(all, &p, sizeof all);
        std::ostringstream s;
        s.precision(9);
        for (double v : all) s << ' ' << v;
        return s.str() + " role " + std::to_string(int(p.role)) + (p.highlighted ? " marked" : "");
    }

    // Runs the commands with input ending after the answers; returns the values and slots that
    // changed, what was printed, the exit status if the program was left and the window calls.
    std::string run(const std::string& notation, const std::string& answers) {
        const std::map<std::string, double> before = state();
        const std::vector<Particle> slots = sim.arrays.particleArray;
        test::ScriptedConsole console(answers);
        console::setInputEndCancels(true);
        console::out().precision(3);  // as the status line of the first step leaves it
        std::ostringstream s;
        s.precision(9);
        try {
            for (int c : commands(notation)) {
                c >= kMenu      ? menuHandler(sim, view, c - kMenu)
                : c >= kSpecial ? specialKeyHandler(sim, view, c - kSpecial, 0, 0)
                                : keyboardHandler(sim, view, static_cast<unsigned char>(c), 0, 0);
            }
        } catch (const test::ProgramExit& e) {
            s << "exit " << e.status << '\n';
        }
        for (const auto& [name, value] : state())
            if (value != before.at(name))
                s << name << ": " << before.at(name) << " -> " << value << '\n';
        for (std::size_t i = 0; i < slots.size(); ++i)
            if (const std::string now = dump(sim.arrays.particleArray.at(i)); now != dump(slots[i]))
                s << "slot " << i << ":" << now << '\n';
        if (!windowCalls.empty()) s << "window: " << windowCalls << '\n';
        windowCalls.clear();
        EXPECT_EQ(console::out().precision(), 3);
        return s.str() + test::markClears(console.output());
    }
};

// Commands pressed in the scene with the `given` values (and live grains `at`), then answers.
struct Case {
    const char *pressed, *given = "", *answers = "", *at = nullptr;
};

const char* const kTie = "8 0 0 0 8 0 0 0 4 0 0 -8";  // slot 2 nearest the centre, 0 1 3 tied

const Case kCases[] = {
    // clang-format off
    // Only a replay (mode 2) has frames to pause, rewind or jump to.
    {"p", "play=-3"}, {"p^2", "play=-3"}, {"r^2", "play=2"}, {"r", "play=0 saved=4"},
    {"p r g", "mode=0 play=3"}, {"p r g", "mode=1 play=3"}, {"p r g", "mode=6 play=3"},
    {"g", "", "0\n51\n50\n"}, {"g", "frame=20", "1\n"}, {"g", "frame=20"}, {"g", "frames=0"},
    {"g", "frames=1", "1\n"},
    // The target is 50 from the eye at (sin phi cos theta, sin phi sin theta, -cos phi); phi
    // wraps after a full circle. F2 looks at the centre and keeps the angles.
    {"w^400"}, {"s^400"}, {"a^90 w^30"}, {"d^180 w^60"}, {"i^2 k^3 l j^2"}, {"+^3 -"},
    {"w a i l Right PageUp R", "play=-5 saved=5"}, {"-", "shellr=0.5"}, {">^2 <"}, {"F3^3 F4"},
    {"<", "shellw=0.05"}, {"F4", "delay=5"}, {"End^21", "play=0"}, {"End^21 Home^30", "play=0"},
    {"Q F9 F10 F11"}, {"Q^2 F9^2 F10^2 F11^2"}, {"F9 F10 F11", "field=0 pairs=0 equal=0"},
    {"Left^2 Right Up^2 Down^3 PageUp^2 PageDown"}, {"Left Up PageUp w d^2 a F2"},
    // Unbound keys and codes; the digits act on a probe only (slot 0 counts as one): its
    // charge in mean grain charges, its place in Rapar / 100.
    {"x z P G W * CR 0 1 2 3 4 5 6 7 8 9 #0 #13 #99 #109 #112 #114 #200"}, {"6 1", "probe=7"},
    {"1^2", "probe=4"}, {"1^2 7^3", "probe=4"}, {"1^2 0", "probe=4"},
    {"5 6^2 4 9 3^2 8^3 2", "probe=0"},
    // The selection walks over every slot and wraps; the slot left is painted black.
    {"Space^5"}, {"Space^7"}, {"BS^2"}, {"Space BS"}, {"Space", "n=1"}, {"Space", "n=8"},
    // One shot a frame at Rapar * speed per time step; the frame is marked with the reserve empty.
    {"Insert^2", "frame=12 speed=0.02"}, {"Insert", "frame=12 fired=12"},
    {"Insert", "frame=12 dead=0"}, {"f", "", "120\n"}, {"f^2", "", "120\n"}, {"f", "", "0\n"},
    {"F"}, {"q", "", "2\n"}, {"C", "cooling=2 ccple=77"}, {"C", "", "250.5\n"}, {"f", "firing=0"},
    {"C", "", "0\n-3\nlots\n120\n"}, {"C"},
    // Shift+M relaxes a render where it stands; a replay's frames are stored and stay.
    {"M", "mode=1 nd=1"}, {"M"},
    // Help, and the parameters in six digits with no probe, one in slot 3, slot 0 (none for the
    // listing) and beyond the array.
    {"F1"}, {"F12", "probe=3"}, {"F12", "probe=0"}, {"F12", "probe=9"}, {"F12", "probe=7"},
    {"F12", "probe=0 lambda=2.5 gamma=4"},
    {"F12", "timestep=0.0123456789 nd=123456.7 mass=1.5e10 frame=77 delay=30 shellr=5 shellw=0.5 "
            "cooling=2 selected=2"},
    // The slice in Rapar; width 0 or none resets, no centre changes nothing.
    {"F7", "slicemax=2", "0\n"}, {"F7", "slicemax=2", "\n"}, {"F7", "slicemax=2", "0.2\n"},
    {"F7", "", "0.2\n0\n"}, {"F7", "", "0.2\n0.5\n"}, {"F7", "", "-0.2\n0\n"},
    // The n + 1 slots nearest a particle or the centre (0) within 5 Rapar, the reserve too; a
    // tie keeps the slot met first; out of range is asked again, below 0 leaves; yes clears the
    // live grains' colours, no keeps earlier marks.
    {"F8", "", "n\n1\n1\n", "12 0 0 0 -4 0 0 0 8 2 2 2 16 16 0"}, {"F8", "", "n\n7\n0\n"},
    {"F8", "", "n\n5\n3\n", "20 0 0 -6 0 0 36 0 0 2 0 0 0 0 0 -12 0 0 10 0 0 -2.8 0 0"},
    {"F8", "", "n\n2\n1\n", "0 -20 0 0 56 0"}, {"F8", "", "n\n0\n1\n", kTie},
    {"F8", "", "n\n0\n2\n", kTie}, {"F8", "", "n\n1\n6\n", "0 0 0 199.6 0 0 200 0 0 0 0 280"},
    {"F8", "", "n\n1\n4\n"}, {"F8", "", "n\n9\n3\n-1\n9\n7\n"}, {"F8", "selected=1", "n\n-1\n"},
    {"F8", "", "n\n9\n8\n-2\n"}, {"F8", "", "n\n2\n"}, {"F8", "", "y\n0\n0\n", ""},
    {"Space^3 F8 F8", "", "n\n2\n0\ny\n3\n0\n"}, {"Space^3 F8 F8", "", "n\n2\n0\nn\n3\n0\n"},
    // Structure by hand (a replay sets its clock), quiet while the schedule drives it.
    {"F5", "frame=6", "0\n100001\n100000\n0\n100001\n1\n"}, {"F5", "auto=1"}, {"F6"},
    {"F6", "tempratio=0.001", "0\n"}, {"F6", "tempratio=1e-5", "900\n"},
    // The probe text rides on the Gamma text (19), only with a probe; the resolution has no
    // lower bound; the scan asks for its angles only when switched on.
    {"M22 M25", "mode=1"}, {"M22 M25^2", "mode=1"}, {"M22 M19 M25", "mode=1"},
    {"M22 M19 M25^2", "mode=1"}, {"M25", "mode=1 probe=0"}, {"M32^6", "mode=1"},
    {"M21 M21 M26", "mode=1", "4\n4\n-0.1\n0\n"}, {"M13", "mode=1", "0\n0.5\n"}, {"M21", "mode=1"},
    // Full screen fills the screen of an open window, then returns to 900; Quit closes it.
    {"M20", "open=1 window=7"}, {"M20^2 M0", "open=1 window=7"}, {"M20", "fullscreen=1 width=500"},
    {"M20", "fullscreen=0 width=500"}, {"M25", "mode=1 probe=4 text=0"}, {"M21", "mode=1 scan=0"},
    // clang-format on
};

TEST(Commands, KeysMenusAndDialoguesChangeWhatTheyShouldAndSayIt) {
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

// Every entry acts in a render (from the defaults too); elsewhere only those that change what is
// shown, and Quit, act. The scene has slot 1 highlighted, slot 3 alone in the shell view, a draw
// mode no entry sets and slot 4 made the probe; 4 answers every question.
TEST(Commands, MenuEntriesActInARenderAndOnlyTheViewEntriesElsewhere) {
    std::string all;
    for (int value = -1; value <= 33; ++value) {
        const bool shows = value <= 7 || value == 12 || value == 19 || value == 20 || value >= 27;
        std::string inRender;
        for (RunMode mode : {RunMode::Render, RunMode::RenderDefaults, RunMode::Play,
                             RunMode::Crystal, RunMode::NotChosen}) {
            Scene s;
            s.sim.run.runMode = mode;
            s.sim.arrays.particleArray[1].highlighted = true;
            s.set("shellr=16 shellw=0.2 dustdraw=0");
            addProbe(s.sim);
            const std::string did = s.run(std::string("M") += std::to_string(value), "4\n4\n");
            if (mode == RunMode::Render)
                all += "== entry " + std::to_string(value) + "\n" + (inRender = did);
            else
                EXPECT_EQ(did, mode == RunMode::RenderDefaults || shows ? inRender : "")
                    << value << " in mode " << int(mode);
        }
    }
    test::expectGolden("menu_entries.txt", all);
    buildMenus(&chosen);
    test::expectGolden("menus.txt", menus);
}

TEST(Commands, OnScreenValuesAreTruncatedTowardZeroAndAlwaysGiveText) {
    // clang-format off
    const std::pair<double, const char*> cases[] = {
        {172.9, "172"}, {-2.5, "-2"}, {-0.7, "0"}, {0.0, "0"}, {-10000.999, "-10000"},
        {3e12 + 0.5, "3000000000000"}, {-2147483648.9, "-2147483648"}, {HUGE_VAL, "inf"},
        {-HUGE_VAL, "-inf"}, {NAN, "nan"}};
    // clang-format on
    for (const auto& [value, text] : cases) EXPECT_EQ(truncatedValueText(value), text) << value;
}

}  // namespace
}  // namespace qv
