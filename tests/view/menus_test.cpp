#include "view/menus.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>
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

struct FakeGlut {
    // Menu id k is menus[k - 1]: its callback and its items as "label=value; ", or
    // "label>submenu id; " for a submenu. Items go to the menu created last.
    std::vector<std::pair<void (*)(int), std::string>> menus;
    int attachedButton = -1;
    int attachedMenu = 0;
    std::string windowCalls;
};

FakeGlut fake;

void addItem(const char* label, const char* kind, int value) {
    fake.menus.at(fake.menus.size() - 1).second += label + (kind + std::to_string(value)) + "; ";
}

}  // namespace

extern "C" {

int glutCreateMenu(void (*callback)(int)) {
    fake.menus.emplace_back(callback, "");
    return static_cast<int>(fake.menus.size());
}

void glutAddMenuEntry(const char* label, int value) {
    addItem(label, "=", value);
}

void glutAddSubMenu(const char* label, int subMenu) {
    addItem(label, ">", subMenu);
}

void glutAttachMenu(int button) {
    fake.attachedButton = button;
    fake.attachedMenu = static_cast<int>(fake.menus.size());
}

void glutDestroyWindow(int window) {
    fake.windowCalls += "destroy " + std::to_string(window) + "; ";
}

void glutReshapeWindow(int width, int height) {
    fake.windowCalls += "reshape " + std::to_string(width) + " " + std::to_string(height) + "; ";
}

void glutPositionWindow(int x, int y) {
    fake.windowCalls += "position " + std::to_string(x) + " " + std::to_string(y) + "; ";
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

// Everything the entries change, read back, and what it is after each entry that changes it in
// the scene above, with 4 as the answer to any prompt.
struct Effect {
    double (*read)();
    std::vector<std::pair<int, double>> after;
};
const Effect kEffects[] = {
    {[] { return 1.0 * view.apparatusDrawMode; }, {{1, 1}, {2, 2}, {3, 3}}},
    {[] { return 1.0 * view.dustDrawMode; }, {{4, 4}, {5, 5}, {6, 6}, {7, 7}}},
    {[] { return params.timeStep; }, {{8, 1.0}, {9, 0.25}, {10, 5.0}, {11, 0.05}}},
    {[] { return 1.0 * view.numberDisplayOn; }, {{12, 1}}},
    {[] { return dead.deadMassFraction; }, {{13, 4}}},
    {[] { return dead.deadRadiusFraction; }, {{14, 4}}},
    {[] { return dead.deadChargeFraction; }, {{15, 4}}},
    {[] { return params.deadSpeedFraction; }, {{16, 4}}},
    {[] { return 1.0 * params.wallOn; }, {{17, -1}}},
    {[] { return 1.0 * params.compensateDeadAddition; }, {{18, 1}}},
    {[] { return 1.0 * view.screenTextMode; }, {{19, 1}, {25, -2}}},
    {[] { return 1.0 * view.fullScreenOn; }, {{20, 1}}},
    {[] { return 1.0 * dead.phiScanOn; }, {{21, 1}}},
    {[] { return dead.phiMin; }, {{21, 0.25 * pi}}},
    {[] { return dead.phiMax; }, {{21, 0.75 * pi}}},
    {[] { return 1.0 * dead.probeIndex; }, {{22, 7}}},
    {[] { return 1.0 * params.numDeadParticles; }, {{22, 2}}},
    // 23 moves the highlighted grain (slot 1) by 4 Rapar, 24 the one in the shell view (slot 3).
    {[] { return arrays.particleArray[1].position(0); }, {{23, 2 + 4 * kRapar}, {24, 2}}},
    {[] { return arrays.particleArray[3].position(0); }, {{23, 4}, {24, 4 + 4 * kRapar}}},
    {[] { return params.coolingTolerance; }, {{26, 4}}},
    {[] { return view.particleSizeScale; }, {{27, 2.0}, {28, 0.5}}},
    {[] { return view.apparatusSizeScale; }, {{29, 200.0}, {30, 50.0}}},
    {[] { return 1.0 * view.sphereResolution; }, {{31, 18}, {32, 12}}},
    {[] { return 1.0 * params.windowWidth; }, {}},
    {[] { return 1.0 * params.windowHeight; }, {}},
};

std::vector<double> readings() {
    std::vector<double> v;
    for (const Effect& e : kEffects) v.push_back(e.read());
    for (const Particle& p : arrays.particleArray) {
        double all[12];  // position, velocity, colour, mass, charge, radius
        std::memcpy(all, &p, sizeof all);
        v.insert(v.end(), all, all + 12);
    }
    return v;
}

// Entries that only change what is shown act in every run mode; the rest only in a render.
bool viewEntry(int value) {
    return value <= 7 || value == 12 || value == 19 || value == 20 || value >= 27;
}

TEST(MenuTree, SixSubmenusThenTheMainMenuOnTheRightButton) {
    resetAll();
    buildMenus();
    const std::string expected[] = {
        "Clear=1; Sphere Wire=2; Sphere Solid=3; ",
        "Clear=6; Sphere Wire=4; Sphere Solid=5; Radius View=7; ",
        "Double Timestep=8; Half Timestep=9; 10 fold Timestep=10; 10th Timestep=11; ",
        "Double Particle Size=27; Half Particle Size=28; Double Aparatus Size=29; "
        "Half Aparatus Size=30; Increase Resolution=31; Decrease Resolution=32; ",
        "Toggle Number Display=12; Toggle Gamma and Time to Screen=19; "
        "Toggle Probe charge output to Screen=25; Change cooling accuracy condition=26; "
        "Add/Remove Wall=17; Full Screen=20; ",
        "Dead Particle Mass=13; Dead Particle Radius=14; Dead Particle Charge=15; "
        "Dead Particle Speed=16; Switch compensate for Dead Particle Addition=18; "
        "Switch Scanning phi when firing particles=21; Add in Probe=22; "
        "Displace highlighted particles=23; Displace shell view particles=24; ",
        // The main menu names the submenus by id, in creation order, then Quit.
        "Aparatus Draw>1; Dust Draw>2; Play Back Control>3; Extra's Menu>5; "
        "Magnifictaion and Resolution>4; Dead Particles>6; Quit=0; ",
    };
    ASSERT_EQ(fake.menus.size(), std::size(expected));
    for (std::size_t m = 0; m < fake.menus.size(); ++m) {
        EXPECT_EQ(fake.menus[m].first, &menuHandler) << "menu " << m + 1;
        EXPECT_EQ(fake.menus[m].second, expected[m]) << "menu " << m + 1;
    }
    EXPECT_EQ(fake.attachedButton, GLUT_RIGHT_BUTTON);
    EXPECT_EQ(fake.attachedMenu, 7);
}

TEST(MenuHandler, EveryValueInEveryRunModeChangesWhatItShouldAndNothingElse) {
    for (int mode : {kRender, kRenderDefaults, kPlay, kCrystal, 0}) {
        const bool render = mode == kRender || mode == kRenderDefaults;
        for (int value = -1; value <= 33; ++value) {
            if (value == 0) continue;  // Quit
            SCOPED_TRACE("run mode " + std::to_string(mode) + ", value " + std::to_string(value));
            resetAll();
            makeScene(mode);
            std::vector<double> want = readings();
            test::ScriptedConsole console("4\n4\n");
            menuHandler(value);
            const bool acts = value >= 1 && value <= 32 && (render || viewEntry(value));
            for (std::size_t k = 0; k < std::size(kEffects); ++k) {
                for (const auto& [entry, after] : kEffects[k].after) {
                    if (acts && entry == value) want[k] = after;
                }
            }
            // An acting entry may move grains (the table says which and where); others do not.
            const std::vector<double> got = readings();
            for (std::size_t k = 0; k < (acts ? std::size(kEffects) : got.size()); ++k) {
                EXPECT_DOUBLE_EQ(got[k], want[k]) << "reading " << k;
            }
            if (!acts) {
                EXPECT_EQ(console.output(), "");
            }
        }
    }
}

TEST(MenuHandler, ProbeTextTogglesOnlyWithAProbeAndKeepsTheGammaText) {
    resetAll();
    params.runMode = kRender;
    menuHandler(25);
    EXPECT_EQ(view.screenTextMode, -1);  // no probe yet
    makeScene(kRender);
    // probe text on, Gamma text on, probe text off, on, Gamma text off, probe text off.
    const std::pair<int, int> steps[] = {{25, -2}, {19, 2}, {25, 1}, {25, 2}, {19, -2}, {25, -1}};
    for (const auto& [value, mode] : steps) {
        menuHandler(value);
        EXPECT_EQ(view.screenTextMode, mode) << "after " << value;
    }
    resetDeadParticles();  // the probe is recalled: the entry does nothing again
    menuHandler(25);
    EXPECT_EQ(view.screenTextMode, -1);
}

TEST(MenuHandler, DecreaseResolutionHasNoLowerBound) {
    resetAll();
    params.runMode = kPlay;
    for (int i = 0; i < 5; ++i) menuHandler(32);
    EXPECT_EQ(view.sphereResolution, 0);
    menuHandler(32);
    EXPECT_EQ(view.sphereResolution, -3);
    menuHandler(31);
    menuHandler(31);
    EXPECT_EQ(view.sphereResolution, 3);
}

TEST(MenuHandler, FullScreenFillsTheScreenOfAnOpenWindowThenReturnsTo900) {
    for (bool window : {false, true}) {
        resetAll();
        params.runMode = kPlay;
        params.windowOpen = window;
        menuHandler(20);
        EXPECT_EQ(view.fullScreenOn, 1);
        EXPECT_EQ(params.windowWidth, window ? 1280 : 900);
        EXPECT_EQ(params.windowHeight, window ? 1024 : 900);
        menuHandler(20);
        EXPECT_EQ(view.fullScreenOn, -1);
        EXPECT_EQ(params.windowWidth, 900);
        EXPECT_EQ(params.windowHeight, 900);
        EXPECT_EQ(
            fake.windowCalls,
            window ? "reshape 1280 1024; position 0 0; reshape 900 900; position 15 15; " : "");
    }
}

TEST(MenuHandler, QuitLeavesThroughTheNormalExitWithStatusZero) {
    for (bool window : {false, true}) {
        resetAll();
        makeScene(kPlay);
        params.windowOpen = window;
        params.windowId = 7;
        const std::vector<double> before = readings();
        int status = -1;
        try {
            menuHandler(0);
        } catch (const test::ProgramExit& e) {
            status = e.status;
        }
        EXPECT_EQ(status, 0);
        EXPECT_EQ(readings(), before);
        EXPECT_EQ(fake.windowCalls, window ? "destroy 7; " : "");
    }
}

TEST(MenuHandler, ScanSwitchAsksForAnglesOnlyWhenSwitchedOn) {
    resetAll();
    makeScene(kRender);
    test::ScriptedConsole console("4\n4\n");
    menuHandler(21);
    EXPECT_DOUBLE_EQ(dead.firingPhi, 0.25 * pi);
    console.clearOutput();
    menuHandler(21);
    EXPECT_EQ(dead.phiScanOn, -1);
    EXPECT_EQ(console.output(), "");
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

}  // namespace
}  // namespace qv
