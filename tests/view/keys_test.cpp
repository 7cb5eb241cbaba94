// Key commands driven without a window: their effect on program state and what they print.
#include "view/keys.h"

#include <GL/freeglut_std.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "analysis/tracker.h"
#include "console/console.h"
#include "sim/constants.h"
#include "sim/state.h"
#include "tests/support/test_support.h"
#include "view/view_state.h"

namespace qv {
namespace {

using test::ScriptedConsole;
using test::TempDir;

constexpr double kDegree = pi / 180;

void keys(const std::string& pressed) {
    for (unsigned char key : pressed) keyboardHandler(key, 0, 0);
}
void specials(std::initializer_list<int> codes) {
    for (int code : codes) specialKeyHandler(code, 0, 0);
}

std::string clearText() {
    ScriptedConsole console("");
    console::clearScreen();
    return console.output();
}

// `live` black grains, then `waiting` dead particles parked at (0, 60, 0) in the dead colour, as
// set-up leaves them; Rapar 40, mean grain charge -10.
void makeCloud(int live, int waiting) {
    params.apparatusRadius = 40;
    params.grainRadius = 0.5;
    params.grainCharge = -10;
    params.grainMass = 2;
    params.interparticleDistance = 5;
    params.deadParkY = 60;
    params.timeStep = 0.1;
    params.numParticles = live + waiting;
    params.numDeadParticles = waiting;
    arrays.particleArray.assign(live + waiting, Particle{});
    for (int i = 0; i < live + waiting; ++i) {
        Particle& p = arrays.particleArray[i];
        p.setRadius(0.5);
        if (i < live) {
            p.pos[0] = i;
            p.pos[1] = -i;
            p.setMass(2);
            p.setCharge(-10);
        } else {
            p.setColour(deadColourRed, deadColourGreen, deadColourBlue);
            p.pos[1] = 60;
        }
    }
}

bool sameParticles(const std::vector<Particle>& a, const std::vector<Particle>& b) {
    return a.size() == b.size() &&
           std::memcmp(a.data(), b.data(), a.size() * sizeof(Particle)) == 0;
}

void expectPoint(const float* p, double x, double y, double z) {
    EXPECT_NEAR(p[0], x, 1e-4);
    EXPECT_NEAR(p[1], y, 1e-4);
    EXPECT_NEAR(p[2], z, 1e-4);
}

TEST(CameraTarget, AnglesPlaceTheTarget50FromTheEye) {
    struct Case {
        float eye[3];
        double phi, theta, want[3];
    };
    const Case cases[] = {
        {{3, -4, 7}, 0, 0, {3, -4, -43}},                                   // straight below
        {{10, 20, 30}, pi / 2, pi / 2, {10, 70, 30}},                       // sideways along +y
        {{10, 20, 30}, pi, 0.3, {10, 20, 80}},                              // straight up
        {{10, 20, 30}, pi / 6, pi, {-15, 20, 30 - 50 * std::cos(pi / 6)}},  // back along -x
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("phi " + std::to_string(c.phi) + " theta " + std::to_string(c.theta));
        double phi = c.phi;
        float target[3] = {};
        placeCameraTarget(phi, c.theta, c.eye, target);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(target[i], c.want[i], 1e-5) << "axis " << i;
        EXPECT_EQ(phi, c.phi);
    }
}

TEST(CameraTarget, TurnsWrapThePolarAngleAfterAFullCircle) {
    for (const char* key : {"w", "s"}) {
        test::resetProgramState();
        const double sign = key[0] == 'w' ? 1 : -1;
        for (int i = 1; i <= 400; ++i) {
            keys(key);
            ASSERT_LE(std::abs(view.targetPhi), 2 * pi + kDegree) << key << i;
            if (i == 360) expectPoint(view.cameraTarget, 0, 0, 150);
        }
        EXPECT_NEAR(view.targetPhi, sign * 40 * kDegree, 1e-9) << key;
    }
}

TEST(KeyCommands, ReplayKeysAreIgnoredOutsideReplay) {
    for (int mode : {0, kRender, kCrystal}) {
        test::resetProgramState();
        ScriptedConsole console("");
        params.runMode = mode;
        params.playStep = 3;
        params.framesToCalculate = 10;
        keys("prg");  // a jump would have asked for its frame
        EXPECT_EQ(params.playStep, 3) << "run mode " << mode;
        EXPECT_EQ(view.savedPlayStep, 1);
        EXPECT_EQ(console.output(), "");
    }
}

TEST(KeyCommands, PPausesAndResumesRRewindsAtTheSavedSpeed) {
    test::resetProgramState();
    params.runMode = kPlay;
    params.playStep = -3;
    keys("p");
    EXPECT_EQ(params.playStep, 0);
    EXPECT_EQ(view.savedPlayStep, 3);
    keys("p");
    EXPECT_EQ(params.playStep, 3);
    params.playStep = 2;
    keys("r");
    EXPECT_EQ(params.playStep, -2);
    keys("r");
    EXPECT_EQ(params.playStep, -2);
    // Paused: the saved speed is kept and used backwards.
    params.playStep = 0;
    view.savedPlayStep = 4;
    keys("r");
    EXPECT_EQ(params.playStep, -4);
    EXPECT_EQ(view.savedPlayStep, 4);
}

TEST(KeyCommands, GJumpsToAFrameReasksOutOfRangeAndEndsOnEndOfInput) {
    test::resetProgramState();
    params.runMode = kPlay;
    params.framesToCalculate = 50;
    const std::string cleared = clearText();
    ScriptedConsole console("0\n51\n7\n");
    keys("g");
    EXPECT_EQ(params.currentFrame, 7);
    const std::string sorry =
        "Sorry Invalid Choice : Please enter the frame you wish to jump to (Max:50) : ";
    EXPECT_EQ(console.output(), cleared +
                                    "Please enter the frame you wish to jump to (Max:50) : \n" +
                                    sorry + "\n" + sorry + "\nThank you\n\n");
    for (int frame : {1, 50}) {
        ScriptedConsole edge(std::to_string(frame) + "\n");
        keys("g");
        EXPECT_EQ(params.currentFrame, frame);
    }
    ScriptedConsole ended("51\n");
    EXPECT_THROW(keys("g"), test::ProgramExit);
}

TEST(KeyCommands, ShiftRResetsCameraRotationAndPlayStep) {
    test::resetProgramState();
    params.runMode = kPlay;
    keys("wail");
    specials({GLUT_KEY_RIGHT, GLUT_KEY_PAGE_UP});
    params.playStep = -5;
    view.savedPlayStep = 5;
    keys("R");
    expectPoint(view.cameraTarget, 0, 0, -50);
    expectPoint(view.cameraEye, 0, 0, 200);
    // Angles, scene rotations, play step and saved step.
    EXPECT_EQ((std::vector<double>{view.targetPhi, view.targetTheta, view.sceneRotX, view.sceneRotY,
                                   1.0 * params.playStep, 1.0 * view.savedPlayStep}),
              (std::vector<double>{0, 0, 0, 0, 1, 1}));
}

TEST(KeyCommands, SpaceAndBackspaceWalkTheSelectionOverEverySlot) {
    test::resetProgramState();
    makeCloud(3, 2);  // slots 3 and 4 are dead particles
    // One letter a slot: g selected green, k black, d the dead colour.
    const auto colours = [] {
        std::string s;
        for (const Particle& p : arrays.particleArray) {
            const bool black = p.colour(0) == 0 && p.colour(2) == 0;
            s += p.isDeadParticle() ? 'd' : !black ? '?' : "kg"[p.colour(1) == 1];
        }
        return s;
    };
    const std::pair<const char*, const char*> steps[] = {
        {" ", "kgkdd"},
        {"   ", "kkkkg"},  // the dead colour left behind is painted black
        {" ", "gkkkk"},    // wraps to slot 0
        {"\b", "kkkkg"},   // and back to the last slot
        {"\b", "kkkgk"}};
    for (const auto& [pressed, want] : steps) {
        keys(pressed);
        EXPECT_EQ(colours(), want) << "selected " << view.highlightedParticle;
    }
    EXPECT_EQ(view.highlightedParticle, 3);

    // Without particles, or with a count larger than the array, the walk does nothing.
    test::resetProgramState();
    keys(" \b");
    EXPECT_EQ(view.highlightedParticle, 0);
    params.numParticles = 10;
    arrays.particleArray.resize(3);
    keys(" ");
    EXPECT_EQ(view.highlightedParticle, 0);
}

TEST(KeyCommands, RotationsByOneDegreeShellRadiusAndWidthStopAtZero) {
    test::resetProgramState();
    keys("iikkkljj");
    EXPECT_FLOAT_EQ(view.sceneRotX, -1);
    EXPECT_FLOAT_EQ(view.sceneRotY, -1);
    params.apparatusRadius = 40;
    keys("+++-");
    EXPECT_DOUBLE_EQ(view.shellViewRadius, 2);
    view.shellViewRadius = 0.5;
    keys("-");
    EXPECT_EQ(view.shellViewRadius, 0);
    keys(">><");
    EXPECT_DOUBLE_EQ(view.shellViewWidth, 0.1);
    view.shellViewWidth = 0.05;
    keys("<");
    EXPECT_EQ(view.shellViewWidth, 0);
}

TEST(KeyCommands, ShiftCSwitchesSmartCoolingOffOrOnWithAPositiveTarget) {
    for (int state : {1, 2}) {
        test::resetProgramState();
        ScriptedConsole console("");
        params.coolingState = state;
        params.ccpleTarget = 77;
        keys("C");
        EXPECT_EQ(params.coolingState, -1);
        EXPECT_EQ(params.ccpleTarget, 77);
        EXPECT_EQ(console.output(), "\nSmart cooling is off\n\n");
    }
    ScriptedConsole console("250.5\n");
    keys("C");
    EXPECT_EQ(params.coolingState, 1);
    EXPECT_EQ(params.ccpleTarget, 250.5);
    EXPECT_EQ(console.output(), "\nPlease enter target ccple: \n\n\nSmart cooling is on\n\n");

    // The thermostat divides by the target: 0, negatives and words are asked again.
    params.coolingState = -1;
    ScriptedConsole reask("0\n-3\nlots\n120\n");
    keys("C");
    EXPECT_EQ(params.ccpleTarget, 120);
    EXPECT_TRUE(reask.output().ends_with("\n\nSmart cooling is on\n\n"));
    params.coolingState = -1;
    ScriptedConsole ended("");
    EXPECT_THROW(keys("C"), test::ProgramExit);
}

TEST(KeyCommands, FSwitchesAutoFiringShiftFResetsTheReserveQTracks) {
    test::resetProgramState();
    TempDir dir;
    makeCloud(4, 3);
    ScriptedConsole console("120\n2\n");
    keys("f");  // asks for the target only when switching on
    EXPECT_EQ(params.autoFiringOn, 1);
    console.clearOutput();
    keys("f");
    EXPECT_EQ(params.autoFiringOn, -1);
    EXPECT_EQ(console.output(), "");
    keys("F");
    EXPECT_EQ(params.numDeadParticles, 3);
    EXPECT_EQ(console.output(), "\nDead particles reset, total number of deadparticles is: 3\n\n");
    keys("q");
    EXPECT_EQ(tracker.trackedCount, 1);
    EXPECT_EQ(tracker.trackedParticles[0], 1);
}

TEST(KeyCommands, UnboundKeysAndCodesChangeNothing) {
    test::resetProgramState();
    makeCloud(3, 1);
    params.runMode = kPlay;  // where the lower-case p, r and g would act
    ScriptedConsole console("");
    const std::vector<Particle> before = arrays.particleArray;
    keys("xzPGW*\r059");
    specials({0, 13, 99, 109, 112, 114, 200});
    EXPECT_TRUE(sameParticles(arrays.particleArray, before));
    EXPECT_EQ(console.output(), "");
    EXPECT_EQ(params.playStep, 1);
    EXPECT_EQ(params.slowMotionDelay, 0);
    EXPECT_EQ(params.lastFireFrame, 0);
    expectPoint(view.cameraTarget, 0, 0, -50);
    expectPoint(view.cameraEye, 0, 0, 200);
}

TEST(ProbeKeys, DigitsDoNothingWithoutAProbe) {
    test::resetProgramState();
    makeCloud(3, 2);
    const std::vector<Particle> before = arrays.particleArray;
    keys("0123456789");
    EXPECT_TRUE(sameParticles(arrays.particleArray, before));
    dead.probeIndex = 5;  // a slot outside the array is no probe either
    keys("61");
    EXPECT_TRUE(sameParticles(arrays.particleArray, before));
}

TEST(ProbeKeys, DigitsSetTheChargeInMeanGrainChargesAndMoveByAHundredthOfRapar) {
    test::resetProgramState();
    makeCloud(3, 2);
    dead.probeIndex = 3;
    Particle& probe = arrays.particleArray[3];
    keys("11");
    EXPECT_DOUBLE_EQ(probe.charge(), 20);  // the mean charge is -10
    keys("777");
    EXPECT_DOUBLE_EQ(probe.charge(), -10);
    keys("0");
    EXPECT_EQ(probe.charge(), 0);

    dead.probeIndex = 0;  // slot 0 counts as a probe for the keys
    keys("5");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(arrays.particleArray[0].pos[i], 0.01);
    keys("6649338882");  // steps of 0.4 with Rapar 40
    EXPECT_NEAR(arrays.particleArray[0].pos[0], 0.41, 1e-12);
    EXPECT_NEAR(arrays.particleArray[0].pos[1], -0.39, 1e-12);
    EXPECT_NEAR(arrays.particleArray[0].pos[2], 0.81, 1e-12);
    EXPECT_EQ(arrays.particleArray[1].pos[0], 1);  // other grains stay
}

TEST(SpecialKeys, F3F4ChangeTheDelayNeverBelowZeroHomeEndThePlayStepAlsoWhilePaused) {
    test::resetProgramState();
    specials({GLUT_KEY_F3, GLUT_KEY_F3, GLUT_KEY_F3, GLUT_KEY_F4});
    EXPECT_EQ(params.slowMotionDelay, 20);
    params.slowMotionDelay = 5;
    specials({GLUT_KEY_F4});
    EXPECT_EQ(params.slowMotionDelay, 0);
    params.runMode = kPlay;
    params.playStep = 0;
    specials({GLUT_KEY_HOME});
    EXPECT_EQ(params.playStep, 1);
    params.playStep = 0;
    for (int i = 0; i < 21; ++i) specials({GLUT_KEY_END});
    EXPECT_EQ(params.playStep, -21);  // no bound
    for (int i = 0; i < 30; ++i) specials({GLUT_KEY_HOME});
    EXPECT_EQ(params.playStep, 9);
}

TEST(SwitchKeys, ShiftQF9F10F11SwitchAndSayWhichWay) {
    struct Case {
        std::function<void()> press;
        int* value;
        std::string said;
    };
    const Case cases[] = {
        {[] { keys("Q"); }, &params.velocityTrackingOn,
         "\nTracking velocity (1 is on): 1\n\n\nTracking velocity (1 is on): -1\n\n"},
        {[] { specials({GLUT_KEY_F9}); }, &params.apparatusFieldOn,
         "\nE-Field is off\n\n\nE-Field is on\n\n"},
        {[] { specials({GLUT_KEY_F10}); }, &params.pairInteractionOn,
         "\nParticle-Particle is off\n\n\nParticle-Particle is on\n\n"},
        {[] { specials({GLUT_KEY_F11}); }, &view.equalMagnification,
         "\nEqual magnification is on\n\n\nEqual magnification is off\n\n"},
    };
    for (const Case& c : cases) {
        test::resetProgramState();
        ScriptedConsole console("");
        const int initial = *c.value;
        c.press();
        EXPECT_EQ(*c.value, -initial) << c.said;
        c.press();
        EXPECT_EQ(*c.value, initial) << c.said;
        EXPECT_EQ(console.output(), c.said);
    }
}

TEST(SpecialKeys, ArrowsAndPagesMoveEyeAndTargetTogetherF2LooksAtTheCentre) {
    test::resetProgramState();
    specials({GLUT_KEY_LEFT, GLUT_KEY_LEFT, GLUT_KEY_RIGHT, GLUT_KEY_UP, GLUT_KEY_UP, GLUT_KEY_DOWN,
              GLUT_KEY_DOWN, GLUT_KEY_DOWN, GLUT_KEY_PAGE_UP, GLUT_KEY_PAGE_UP,
              GLUT_KEY_PAGE_DOWN});
    expectPoint(view.cameraEye, -10, -10, 190);
    expectPoint(view.cameraTarget, -10, -10, -60);
    keys("wdda");
    specials({GLUT_KEY_F2});
    expectPoint(view.cameraTarget, 0, 0, 0);
    EXPECT_NEAR(view.targetPhi, kDegree, 1e-12);  // the angles stay
    EXPECT_NEAR(view.targetTheta, -kDegree, 1e-12);
    keys("w");  // back on the sphere of radius 50 around the moved eye
    EXPECT_NEAR(std::hypot(view.cameraTarget[0] + 10, view.cameraTarget[1] + 10,
                           view.cameraTarget[2] - 190),
                50, 1e-3);
}

TEST(SpecialKeys, InsertFiresAtMostOncePerFrameAndMarksTheFrameEvenWithAnEmptyReserve) {
    for (int waiting : {3, 0}) {
        SCOPED_TRACE("reserve " + std::to_string(waiting));
        test::resetProgramState();
        TempDir dir;
        makeCloud(4, waiting);
        ScriptedConsole console("");
        const std::vector<Particle> before = arrays.particleArray;
        params.currentFrame = 12;
        specials({GLUT_KEY_INSERT});
        EXPECT_EQ(params.lastFireFrame, 12);
        EXPECT_EQ(sameParticles(arrays.particleArray, before), waiting == 0);
        const std::vector<Particle> afterFirst = arrays.particleArray;
        const int left = params.numDeadParticles;
        specials({GLUT_KEY_INSERT});
        EXPECT_TRUE(sameParticles(arrays.particleArray, afterFirst));
        EXPECT_EQ(params.numDeadParticles, left);
        params.currentFrame = 13;
        specials({GLUT_KEY_INSERT});
        EXPECT_EQ(params.lastFireFrame, 13);
    }
}

TEST(SpecialKeys, F1AndF12ShowTheConsoleScreens) {
    test::resetProgramState();
    ScriptedConsole console("");
    specials({GLUT_KEY_F1});
    EXPECT_NE(console.output().find("KEY SETUP\n"), std::string::npos);
    console.clearOutput();
    specials({GLUT_KEY_F12});
    EXPECT_NE(console.output().find("Particles : 0 : Particle Highlighted : 1\n"),
              std::string::npos);
}

}  // namespace
}  // namespace qv
