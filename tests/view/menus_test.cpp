#include "view/menus.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "sim/constants.h"
#include "sim/dead_particles.h"
#include "sim/state.h"
#include "tests/support/test_support.h"
#include "view/view_state.h"

// A recording stand-in for the GLUT calls of the menu code, so that the menu tree and the
// window switches can be checked without a display. Definitions in the test program take the
// place of the library's.
namespace {

struct FakeItem {
    std::string label;
    int value;  // entry value, or the submenu id
    bool submenu;
};

struct FakeMenu {
    void (*callback)(int);
    std::vector<FakeItem> items;
};

struct FakeGlut {
    std::vector<FakeMenu> menus;  // menu id k is menus[k - 1]
    int current = 0;
    int attachedButton = -1;
    int attachedMenu = 0;
    std::vector<std::string> windowCalls;
};

FakeGlut fake;

void record(const std::string& call) {
    fake.windowCalls.push_back(call);
}

}  // namespace

extern "C" {

int glutCreateMenu(void (*callback)(int)) {
    fake.menus.push_back(FakeMenu{callback, {}});
    fake.current = static_cast<int>(fake.menus.size());
    return fake.current;
}

void glutAddMenuEntry(const char* label, int value) {
    fake.menus.at(fake.current - 1).items.push_back(FakeItem{label, value, false});
}

void glutAddSubMenu(const char* label, int subMenu) {
    fake.menus.at(fake.current - 1).items.push_back(FakeItem{label, subMenu, true});
}

void glutAttachMenu(int button) {
    fake.attachedButton = button;
    fake.attachedMenu = fake.current;
}

void glutDestroyWindow(int window) {
    record("destroy " + std::to_string(window));
}

void glutReshapeWindow(int width, int height) {
    record("reshape " + std::to_string(width) + " " + std::to_string(height));
}

void glutPositionWindow(int x, int y) {
    record("position " + std::to_string(x) + " " + std::to_string(y));
}

int glutGet(GLenum query) {
    if (query == GLUT_SCREEN_WIDTH) return 1280;
    if (query == GLUT_SCREEN_HEIGHT) return 1024;
    return 0;
}

}  // extern "C"

namespace qv {
namespace {

constexpr double kRapar = 10.0;

void resetAll() {
    test::resetProgramState();
    fake = FakeGlut{};
}

// Six black grains, one of them highlighted and one inside the shell view, four waiting dead
// particles of which the first has become the probe (slot 6), in a render at time step 0.5.
void makeScene(int runMode) {
    params.runMode = runMode;
    params.apparatusRadius = kRapar;
    params.timeStep = 0.5;
    params.grainRadius = 0.05;
    params.grainMass = 2;
    params.grainCharge = -100;
    params.deadParkY = 1.5 * kRapar;
    params.numParticles = 10;
    params.numDeadParticles = 4;
    arrays.particleArray.assign(10, Particle{});
    for (int i = 0; i < 6; ++i) arrays.particleArray[i].setPosition(0, 1.0 + i);
    for (int i = 6; i < 10; ++i) {
        arrays.particleArray[i].setColour(deadColourRed, deadColourGreen, deadColourBlue);
        arrays.particleArray[i].setPosition(1, params.deadParkY);
    }
    arrays.particleArray[1].setColour(0, 4, 0);
    view.shellViewRadius = 4.0;  // 3.5 < r < 4.5: slot 3
    view.shellViewWidth = 1.0;
    view.dustDrawMode = 0;  // a mode no entry sets, so that every draw entry shows
    addProbe();
}

// Everything a menu entry can change, as text.
std::string fingerprint() {
    std::ostringstream s;
    s.precision(17);
    s << view.apparatusDrawMode << ' ' << view.dustDrawMode << ' ' << view.numberDisplayOn << ' '
      << view.screenTextMode << ' ' << view.particleSizeScale << ' ' << view.apparatusSizeScale
      << ' ' << view.sphereResolution << ' ' << view.fullScreenOn << ' ' << params.timeStep << ' '
      << params.wallOn << ' ' << params.coolingTolerance << ' ' << params.windowWidth << ' '
      << params.windowHeight << ' ' << params.compensateDeadAddition << ' '
      << params.deadSpeedFraction << ' ' << params.numDeadParticles << ' ' << dead.deadMassFraction
      << ' ' << dead.deadRadiusFraction << ' ' << dead.deadChargeFraction << ' ' << dead.phiScanOn
      << ' ' << dead.phiMin << ' ' << dead.phiMax << ' ' << dead.probeIndex << ';';
    for (const Particle& p : arrays.particleArray) {
        s << ' ' << p.position(0) << ' ' << p.position(1) << ' ' << p.position(2) << ' '
          << p.mass();
    }
    return s.str();
}

// The effect of `value` on the scene above, with 4 as the answer to any prompt.
void expectEffect(int value) {
    SCOPED_TRACE("menu value " + std::to_string(value));
    switch (value) {
        case 1:
        case 2:
        case 3:
            EXPECT_EQ(view.apparatusDrawMode, value);
            break;
        case 4:
        case 5:
        case 6:
        case 7:
            EXPECT_EQ(view.dustDrawMode, value);
            break;
        case 8:
            EXPECT_EQ(params.timeStep, 1.0);
            break;
        case 9:
            EXPECT_EQ(params.timeStep, 0.25);
            break;
        case 10:
            EXPECT_EQ(params.timeStep, 5.0);
            break;
        case 11:
            EXPECT_EQ(params.timeStep, 0.05);
            break;
        case 12:
            EXPECT_EQ(view.numberDisplayOn, 1);
            break;
        case 13:
            EXPECT_EQ(dead.deadMassFraction, 4);
            break;
        case 14:
            EXPECT_EQ(dead.deadRadiusFraction, 4);
            break;
        case 15:
            EXPECT_EQ(dead.deadChargeFraction, 4);
            break;
        case 16:
            EXPECT_EQ(params.deadSpeedFraction, 4);
            break;
        case 17:
            EXPECT_EQ(params.wallOn, -1);
            break;
        case 18:
            EXPECT_EQ(params.compensateDeadAddition, 1);
            break;
        case 19:
            EXPECT_EQ(view.screenTextMode, 1);
            break;
        case 20:
            EXPECT_EQ(view.fullScreenOn, 1);
            break;
        case 21:
            EXPECT_EQ(dead.phiScanOn, 1);
            EXPECT_DOUBLE_EQ(dead.phiMax, 0.75 * pi);
            EXPECT_DOUBLE_EQ(dead.phiMin, 0.25 * pi);
            break;
        case 22:
            EXPECT_EQ(dead.probeIndex, 7);
            EXPECT_EQ(params.numDeadParticles, 2);
            break;
        case 23:
            EXPECT_DOUBLE_EQ(arrays.particleArray[1].position(0), 2.0 + 4 * kRapar);
            EXPECT_EQ(arrays.particleArray[3].position(0), 4.0);
            break;
        case 24:
            EXPECT_DOUBLE_EQ(arrays.particleArray[3].position(0), 4.0 + 4 * kRapar);
            EXPECT_EQ(arrays.particleArray[1].position(0), 2.0);
            break;
        case 25:
            EXPECT_EQ(view.screenTextMode, -2);
            break;
        case 26:
            EXPECT_EQ(params.coolingTolerance, 4);
            break;
        case 27:
            EXPECT_EQ(view.particleSizeScale, 2.0);
            break;
        case 28:
            EXPECT_EQ(view.particleSizeScale, 0.5);
            break;
        case 29:
            EXPECT_EQ(view.apparatusSizeScale, 200.0);
            break;
        case 30:
            EXPECT_EQ(view.apparatusSizeScale, 50.0);
            break;
        case 31:
            EXPECT_EQ(view.sphereResolution, 18);
            break;
        case 32:
            EXPECT_EQ(view.sphereResolution, 12);
            break;
        default:
            ADD_FAILURE() << "no effect listed";
    }
}

bool actsInEveryRunMode(int value) {
    return value <= 7 || value == 12 || value == 19 || value == 20 || value >= 27;
}

TEST(MenuTree, SixSubmenusThenTheMainMenuOnTheRightButton) {
    resetAll();
    buildMenus();
    using Items = std::vector<std::pair<std::string, int>>;
    const std::vector<Items> expected = {
        {{"Clear", 1}, {"Sphere Wire", 2}, {"Sphere Solid", 3}},
        {{"Clear", 6}, {"Sphere Wire", 4}, {"Sphere Solid", 5}, {"Radius View", 7}},
        {{"Double Timestep", 8},
         {"Half Timestep", 9},
         {"10 fold Timestep", 10},
         {"10th Timestep", 11}},
        {{"Double Particle Size", 27},
         {"Half Particle Size", 28},
         {"Double Aparatus Size", 29},
         {"Half Aparatus Size", 30},
         {"Increase Resolution", 31},
         {"Decrease Resolution", 32}},
        {{"Toggle Number Display", 12},
         {"Toggle Gamma and Time to Screen", 19},
         {"Toggle Probe charge output to Screen", 25},
         {"Change cooling accuracy condition", 26},
         {"Add/Remove Wall", 17},
         {"Full Screen", 20}},
        {{"Dead Particle Mass", 13},
         {"Dead Particle Radius", 14},
         {"Dead Particle Charge", 15},
         {"Dead Particle Speed", 16},
         {"Switch compensate for Dead Particle Addition", 18},
         {"Switch Scanning phi when firing particles", 21},
         {"Add in Probe", 22},
         {"Displace highlighted particles", 23},
         {"Displace shell view particles", 24}},
    };
    ASSERT_EQ(fake.menus.size(), 7u);
    for (std::size_t m = 0; m < expected.size(); ++m) {
        SCOPED_TRACE("submenu " + std::to_string(m + 1));
        const FakeMenu& menu = fake.menus[m];
        EXPECT_EQ(menu.callback, &menuHandler);
        ASSERT_EQ(menu.items.size(), expected[m].size());
        for (std::size_t i = 0; i < menu.items.size(); ++i) {
            EXPECT_EQ(menu.items[i].label, expected[m][i].first);
            EXPECT_EQ(menu.items[i].value, expected[m][i].second);
            EXPECT_FALSE(menu.items[i].submenu);
        }
    }
    // Main menu: submenus by id (creation order above), then Quit.
    const FakeMenu& main = fake.menus[6];
    EXPECT_EQ(main.callback, &menuHandler);
    const std::vector<FakeItem> mainItems = {{"Aparatus Draw", 1, true},
                                             {"Dust Draw", 2, true},
                                             {"Play Back Control", 3, true},
                                             {"Extra's Menu", 5, true},
                                             {"Magnifictaion and Resolution", 4, true},
                                             {"Dead Particles", 6, true},
                                             {"Quit", 0, false}};
    ASSERT_EQ(main.items.size(), mainItems.size());
    for (std::size_t i = 0; i < mainItems.size(); ++i) {
        EXPECT_EQ(main.items[i].label, mainItems[i].label);
        EXPECT_EQ(main.items[i].value, mainItems[i].value);
        EXPECT_EQ(main.items[i].submenu, mainItems[i].submenu);
    }
    EXPECT_EQ(fake.attachedButton, GLUT_RIGHT_BUTTON);
    EXPECT_EQ(fake.attachedMenu, 7);
}

TEST(MenuHandler, ARenderActsOnEveryEntry) {
    for (int mode : {1, 4}) {
        for (int value = 1; value <= 32; ++value) {
            resetAll();
            makeScene(mode);
            const std::string before = fingerprint();
            test::ScriptedConsole console("4\n4\n");
            menuHandler(value);
            EXPECT_NE(fingerprint(), before) << "run mode " << mode << ", value " << value;
            expectEffect(value);
        }
    }
}

TEST(MenuHandler, OtherRunModesOnlyActOnTheViewEntries) {
    for (int mode : {2, 6, 0}) {
        for (int value = 1; value <= 32; ++value) {
            SCOPED_TRACE("run mode " + std::to_string(mode));
            resetAll();
            makeScene(mode);
            const std::string before = fingerprint();
            test::ScriptedConsole console("4\n4\n");
            menuHandler(value);
            if (actsInEveryRunMode(value)) {
                expectEffect(value);
            } else {
                EXPECT_EQ(fingerprint(), before) << "value " << value;
                EXPECT_EQ(console.output(), "") << "value " << value;
            }
        }
    }
}

TEST(MenuHandler, UnknownValuesDoNothing) {
    resetAll();
    makeScene(1);
    const std::string before = fingerprint();
    test::ScriptedConsole console("");
    for (int value : {-1, 33, 100}) menuHandler(value);
    EXPECT_EQ(fingerprint(), before);
    EXPECT_EQ(console.output(), "");
}

TEST(MenuHandler, ProbeTextTogglesOnlyWithAProbeAndKeepsTheGammaText) {
    resetAll();
    params.runMode = 1;
    menuHandler(25);
    EXPECT_EQ(view.screenTextMode, -1);  // no probe

    makeScene(1);
    ASSERT_GT(dead.probeIndex, 0);
    menuHandler(25);
    EXPECT_EQ(view.screenTextMode, -2);  // probe text, no Gamma text
    menuHandler(19);
    EXPECT_EQ(view.screenTextMode, 2);  // Gamma and probe texts together
    menuHandler(25);
    EXPECT_EQ(view.screenTextMode, 1);  // probe text off, Gamma text stays
    menuHandler(25);
    EXPECT_EQ(view.screenTextMode, 2);
    menuHandler(19);
    menuHandler(25);
    EXPECT_EQ(view.screenTextMode, -1);

    // After the probe is recalled the entry does nothing again.
    resetDeadParticles();
    menuHandler(25);
    EXPECT_EQ(view.screenTextMode, -1);
}

TEST(MenuHandler, DecreaseResolutionHasNoLowerBound) {
    resetAll();
    params.runMode = 2;
    for (int i = 0; i < 5; ++i) menuHandler(32);
    EXPECT_EQ(view.sphereResolution, 0);
    menuHandler(32);
    EXPECT_EQ(view.sphereResolution, -3);
    menuHandler(31);
    menuHandler(31);
    EXPECT_EQ(view.sphereResolution, 3);
}

TEST(MenuHandler, FullScreenWithoutAWindowOnlyFlipsTheSwitch) {
    resetAll();
    params.runMode = 2;
    menuHandler(20);
    EXPECT_EQ(view.fullScreenOn, 1);
    EXPECT_EQ(params.windowWidth, 900);
    EXPECT_EQ(params.windowHeight, 900);
    menuHandler(20);
    EXPECT_EQ(view.fullScreenOn, -1);
    EXPECT_TRUE(fake.windowCalls.empty());
}

TEST(MenuHandler, FullScreenFillsTheScreenThenReturnsTo900) {
    resetAll();
    params.runMode = 2;
    params.windowOpen = true;
    menuHandler(20);
    EXPECT_EQ(params.windowWidth, 1280);
    EXPECT_EQ(params.windowHeight, 1024);
    menuHandler(20);
    EXPECT_EQ(params.windowWidth, 900);
    EXPECT_EQ(params.windowHeight, 900);
    const std::vector<std::string> calls = {"reshape 1280 1024", "position 0 0", "reshape 900 900",
                                            "position 15 15"};
    EXPECT_EQ(fake.windowCalls, calls);
}

TEST(MenuHandler, QuitLeavesThroughTheNormalExitWithStatusZero) {
    for (bool window : {false, true}) {
        resetAll();
        makeScene(2);
        params.windowOpen = window;
        params.windowId = 7;
        const std::string before = fingerprint();
        int status = -1;
        try {
            menuHandler(0);
        } catch (const test::ProgramExit& e) {
            status = e.status;
        }
        EXPECT_EQ(status, 0);
        EXPECT_EQ(fingerprint(), before);
        EXPECT_EQ(fake.windowCalls,
                  window ? std::vector<std::string>{"destroy 7"} : std::vector<std::string>{});
    }
}

TEST(CoolingTolerance, PromptAndANegativeAnswerIsAskedAgain) {
    resetAll();
    test::ScriptedConsole console("-0.1\n0.05\n");
    askCoolingTolerance();
    EXPECT_EQ(params.coolingTolerance, 0.05);
    const std::string prompt = "Please enter cooling target tolerance as a fraction:\n";
    EXPECT_EQ(console.output(),
              "\n" + prompt + "The tolerance cannot be below 0.\n" + prompt + "\n");

    test::ScriptedConsole zero("0\n");
    askCoolingTolerance();
    EXPECT_EQ(params.coolingTolerance, 0.0);
}

TEST(MenuHandler, ScanSwitchAsksForAnglesOnlyWhenSwitchedOn) {
    resetAll();
    makeScene(1);
    test::ScriptedConsole console("4\n4\n");
    menuHandler(21);
    EXPECT_EQ(dead.phiScanOn, 1);
    EXPECT_DOUBLE_EQ(dead.firingPhi, 0.25 * pi);
    console.clearOutput();
    menuHandler(21);
    EXPECT_EQ(dead.phiScanOn, -1);
    EXPECT_EQ(console.output(), "");
}

}  // namespace
}  // namespace qv
