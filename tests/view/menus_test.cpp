// The pop-up menus: the tree they build, and what each entry changes in each run mode.
#include "view/menus.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <algorithm>
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

constexpr double kRapar = 10.0;

// Six black grains, one of them highlighted and one inside the shell view, four waiting dead
// particles of which the first has become the probe (slot 6), at time step 0.5.
void makeScene(int runMode) {
    test::resetProgramState();
    menus.clear();
    windowCalls.clear();
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
    {[] { return dead.firingPhi; }, {{21, 0.25 * pi}}},
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

// Quit (entry 0): the exit status, or -1 without an exit.
int quit() {
    try {
        menuHandler(0);
    } catch (const test::ProgramExit& e) {
        return e.status;
    }
    return -1;
}

TEST(Menus, SixSubmenusThenTheMainMenuOnTheRightButton) {
    makeScene(kRender);
    buildMenus();
    test::expectGolden("menus.txt", menus);
}

TEST(Menus, EveryEntryInEveryRunModeChangesWhatItShouldAndNothingElse) {
    for (int mode : {kRender, kRenderDefaults, kPlay, kCrystal, 0}) {
        const bool render = mode == kRender || mode == kRenderDefaults;
        for (int value = -1; value <= 33; ++value) {
            SCOPED_TRACE("run mode " + std::to_string(mode) + ", entry " + std::to_string(value));
            makeScene(mode);
            std::vector<double> want = readings();
            test::ScriptedConsole console("4\n4\n");
            // Quit (0) leaves the program with status 0 and changes nothing.
            if (value == 0) {
                EXPECT_EQ(quit(), 0);
            } else {
                menuHandler(value);
            }
            // Entries that only change what is shown act in every run mode, the rest in a render.
            const bool shows =
                value <= 7 || value == 12 || value == 19 || value == 20 || value >= 27;
            const bool acts = value >= 1 && value <= 32 && (render || shows);
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
            EXPECT_TRUE(acts || console.output().empty());
        }
    }
}

TEST(Menus, FullScreenFillsTheScreenOfAnOpenWindowThenReturnsTo900AndQuitClosesTheWindow) {
    for (bool window : {false, true}) {
        makeScene(kPlay);
        params.windowOpen = window;
        params.windowId = 7;
        menuHandler(20);
        EXPECT_EQ(params.windowWidth, window ? 1280 : 900);
        EXPECT_EQ(params.windowHeight, window ? 1024 : 900);
        menuHandler(20);
        EXPECT_EQ(params.windowWidth, 900);
        EXPECT_EQ(params.windowHeight, 900);
        EXPECT_EQ(quit(), 0);
        EXPECT_EQ(windowCalls, window ? "reshape 1280 1024; position 0 0; reshape 900 900; "
                                        "position 15 15; destroy 7; "
                                      : "");
    }
}

TEST(Menus, SwitchesAndStepsInSequence) {
    makeScene(kRender);
    // The probe text rides on the Gamma text (19): on, Gamma on, off, on, Gamma off, off.
    const std::pair<int, int> steps[] = {{25, -2}, {19, 2}, {25, 1}, {25, 2}, {19, -2}, {25, -1}};
    for (const auto& [value, mode] : steps) {
        menuHandler(value);
        EXPECT_EQ(view.screenTextMode, mode) << "after " << value;
    }
    resetDeadParticles();  // no probe: the probe text entry does nothing
    menuHandler(25);
    EXPECT_EQ(view.screenTextMode, -1);
    for (int i = 0; i < 6; ++i) menuHandler(32);
    EXPECT_EQ(view.sphereResolution, -3);  // no lower bound
    // The scan asks for its angles only when switched on.
    test::ScriptedConsole console("4\n4\n");
    menuHandler(21);
    console.clearOutput();
    menuHandler(21);
    EXPECT_EQ(dead.phiScanOn, -1);
    EXPECT_EQ(console.output(), "");
}

TEST(Menus, CoolingToleranceBelowZeroIsAskedAgain) {
    makeScene(kRender);
    test::ScriptedConsole console("-0.1\n0.05\n0\n");
    askCoolingTolerance();
    EXPECT_EQ(params.coolingTolerance, 0.05);
    askCoolingTolerance();
    EXPECT_EQ(params.coolingTolerance, 0.0);
    const std::string prompt = "Please enter cooling target tolerance as a fraction:\n";
    EXPECT_EQ(console.output(), "\n" + prompt + "The tolerance cannot be below 0.\n" + prompt +
                                    "\n\n" + prompt + "\n");
}

}  // namespace
}  // namespace qv
