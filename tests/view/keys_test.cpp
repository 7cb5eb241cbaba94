// Key commands driven without a window: their effect on program state and what they print.
#include "view/keys.h"

#include <GL/freeglut_std.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/tracker.h"
#include "console/console.h"
#include "sim/constants.h"
#include "sim/state.h"
#include "tests/support/test_support.h"
#include "view/screens.h"
#include "view/view_state.h"

namespace qv {
namespace {

using test::ProgramExit;
using test::ScriptedConsole;
using test::TempDir;

constexpr double kDegree = pi / 180;

void press(unsigned char key) {
    keyboardHandler(key, 0, 0);
}
void pressSpecial(int key) {
    specialKeyHandler(key, 0, 0);
}

std::string clearText() {
    ScriptedConsole console("");
    console::clearScreen();
    return console.output();
}

// A consistent little cloud: `live` black grains, then `waiting` dead particles parked at
// (0, deadParkY, 0) in the dead colour, as set-up leaves them.
void makeCloud(int live, int waiting) {
    params.apparatusRadius = 40;
    params.grainRadius = 0.5;
    params.grainCharge = -10;
    params.grainMass = 2;
    params.interparticleDistance = 5;
    params.deadParkY = 1.5 * params.apparatusRadius;
    params.timeStep = 0.1;
    params.numParticles = live + waiting;
    params.numDeadParticles = waiting;
    arrays.particleArray.assign(live + waiting, Particle{});
    for (int i = 0; i < live + waiting; ++i) {
        Particle& p = arrays.particleArray[i];
        p.setRadius(params.grainRadius);
        if (i < live) {
            p.pos[0] = i;
            p.pos[1] = -i;
            p.pos[2] = 0.5 * i;
            p.setMass(params.grainMass);
            p.setCharge(params.grainCharge);
        } else {
            p.setColour(deadColourRed, deadColourGreen, deadColourBlue);
            p.pos[1] = params.deadParkY;
        }
    }
}

bool sameParticles(const std::vector<Particle>& a, const std::vector<Particle>& b) {
    return a.size() == b.size() &&
           std::memcmp(a.data(), b.data(), a.size() * sizeof(Particle)) == 0;
}

void expectTarget(float x, float y, float z) {
    EXPECT_NEAR(view.cameraTarget[0], x, 1e-4);
    EXPECT_NEAR(view.cameraTarget[1], y, 1e-4);
    EXPECT_NEAR(view.cameraTarget[2], z, 1e-4);
}

double distanceEyeToTarget() {
    double sum = 0;
    for (int i = 0; i < 3; ++i) {
        const double d = view.cameraTarget[i] - view.cameraEye[i];
        sum += d * d;
    }
    return std::sqrt(sum);
}

// --- Camera target on its sphere around the eye -------------------------------------------------

TEST(CameraTarget, BothAnglesZeroPutTheTarget50BelowTheEye) {
    const float eye[3] = {3, -4, 7};
    float target[3] = {};
    double phi = 0;
    placeCameraTarget(phi, 0, eye, target);
    EXPECT_FLOAT_EQ(target[0], 3);
    EXPECT_FLOAT_EQ(target[1], -4);
    EXPECT_FLOAT_EQ(target[2], -43);
    EXPECT_EQ(phi, 0);
}

TEST(CameraTarget, AnglesGiveTheDirectionOnTheSphere) {
    const float eye[3] = {10, 20, 30};
    float target[3] = {};
    double phi = pi / 2;
    placeCameraTarget(phi, pi / 2, eye, target);  // sideways along +y
    EXPECT_NEAR(target[0], 10, 1e-5);
    EXPECT_NEAR(target[1], 70, 1e-5);
    EXPECT_NEAR(target[2], 30, 1e-5);
    phi = pi;
    placeCameraTarget(phi, 0.3, eye, target);  // straight up in z, azimuth irrelevant
    EXPECT_NEAR(target[0], 10, 1e-5);
    EXPECT_NEAR(target[1], 20, 1e-5);
    EXPECT_NEAR(target[2], 80, 1e-5);
    phi = pi / 6;
    placeCameraTarget(phi, pi, eye, target);  // towards -x: 50 sin 30 = 25 back, 50 cos 30 down
    EXPECT_NEAR(target[0], -15, 1e-5);
    EXPECT_NEAR(target[1], 20, 1e-5);
    EXPECT_NEAR(target[2], 30 - 50 * std::cos(pi / 6), 1e-5);
}

TEST(CameraTarget, PolarAngleWrapsOnceBeyondTwoPi) {
    const float eye[3] = {0, 0, 200};
    float target[3] = {};
    double phi = 2 * pi + 0.25;
    placeCameraTarget(phi, 0, eye, target);
    EXPECT_NEAR(phi, 0.25, 1e-12);
    phi = -2 * pi - 0.25;
    placeCameraTarget(phi, 0, eye, target);
    EXPECT_NEAR(phi, -0.25, 1e-12);
    phi = 2 * pi;  // exactly 2 pi is not beyond it
    placeCameraTarget(phi, 0, eye, target);
    EXPECT_EQ(phi, 2 * pi);
    phi = 5 * pi;  // wrapped once only
    placeCameraTarget(phi, 0, eye, target);
    EXPECT_NEAR(phi, 3 * pi, 1e-12);
}

TEST(CameraTarget, AzimuthIsNeverWrapped) {
    test::resetProgramState();
    view.targetTheta = 7 * pi;
    press('a');
    EXPECT_NEAR(view.targetTheta, 7 * pi + kDegree, 1e-12);
}

TEST(CameraTarget, TargetStaysOnTheSphereOfRadius50AroundAMovedEye) {
    test::resetProgramState();
    pressSpecial(GLUT_KEY_LEFT);
    pressSpecial(GLUT_KEY_PAGE_UP);
    pressSpecial(GLUT_KEY_UP);
    for (int i = 0; i < 100; ++i) {
        press("wasd"[i % 3]);
        press(i % 2 ? 'w' : 'a');
        EXPECT_NEAR(distanceEyeToTarget(), 50, 1e-3);
    }
    EXPECT_FLOAT_EQ(view.cameraEye[0], -10);
    EXPECT_FLOAT_EQ(view.cameraEye[1], 10);
    EXPECT_FLOAT_EQ(view.cameraEye[2], 190);
}

TEST(CameraTarget, FirstTurnAfterResetPullsTheTargetOntoTheSphere) {
    test::resetProgramState();
    press('R');
    expectTarget(0, 0, -50);  // 250 below the eye
    press('s');
    EXPECT_NEAR(view.targetPhi, -kDegree, 1e-12);
    expectTarget(static_cast<float>(-50 * std::sin(kDegree)), 0,
                 static_cast<float>(200 - 50 * std::cos(kDegree)));
    EXPECT_NEAR(distanceEyeToTarget(), 50, 1e-3);
}

TEST(CameraTarget, ThreeHundredSixtyPressesOfWComeBackBelowTheEye) {
    test::resetProgramState();
    for (int i = 0; i < 360; ++i) {
        press('w');
        EXPECT_LE(view.targetPhi, 2 * pi + kDegree);
    }
    expectTarget(0, 0, 150);
    // 360 steps of one degree come to 2 pi up to rounding, on whichever side of it.
    EXPECT_NEAR(std::cos(view.targetPhi), 1, 1e-12);
    // Passing 2 pi takes 2 pi off, so the stored angle stays small.
    for (int i = 0; i < 40; ++i) {
        press('w');
        EXPECT_LE(view.targetPhi, 2 * pi + kDegree);
    }
    EXPECT_NEAR(view.targetPhi, 40 * kDegree, 1e-9);
}

TEST(CameraTarget, SameAnglesGiveTheSameTargetWhicheverKeyWasLast) {
    test::resetProgramState();
    press('w');
    press('a');
    press('a');
    const float first[3] = {view.cameraTarget[0], view.cameraTarget[1], view.cameraTarget[2]};
    test::resetProgramState();
    press('a');
    press('a');
    press('d');
    press('w');
    press('a');
    EXPECT_FLOAT_EQ(view.cameraTarget[0], first[0]);
    EXPECT_FLOAT_EQ(view.cameraTarget[1], first[1]);
    EXPECT_FLOAT_EQ(view.cameraTarget[2], first[2]);
}

TEST(CameraTarget, F2LooksAtTheCentreAndKeepsTheAngles) {
    test::resetProgramState();
    press('w');
    press('d');
    pressSpecial(GLUT_KEY_F2);
    expectTarget(0, 0, 0);
    EXPECT_FLOAT_EQ(view.cameraEye[2], 200);
    EXPECT_NEAR(view.targetPhi, kDegree, 1e-12);
    EXPECT_NEAR(view.targetTheta, -kDegree, 1e-12);
    press('w');
    EXPECT_NEAR(distanceEyeToTarget(), 50, 1e-3);
}

// --- Stage 1: the command table -----------------------------------------------------------------

TEST(KeyCommands, ReplayKeysAreIgnoredOutsideReplay) {
    for (int mode : {0, 1, 6}) {
        test::resetProgramState();
        ScriptedConsole console("");
        params.runMode = mode;
        params.playStep = 3;
        params.framesToCalculate = 10;
        params.currentFrame = 4;
        press('p');
        press('r');
        press('g');
        EXPECT_EQ(params.playStep, 3);
        EXPECT_EQ(view.savedPlayStep, 1);
        EXPECT_EQ(params.currentFrame, 4);
        EXPECT_EQ(console.output(), "");
    }
}

TEST(KeyCommands, PPausesAndResumesForwardAtTheSavedSpeed) {
    test::resetProgramState();
    params.runMode = 2;
    params.playStep = -3;
    press('p');
    EXPECT_EQ(params.playStep, 0);
    EXPECT_EQ(view.savedPlayStep, 3);
    press('p');
    EXPECT_EQ(params.playStep, 3);
    EXPECT_EQ(view.savedPlayStep, 3);
}

TEST(KeyCommands, RRewindsAtTheSavedSpeedAndStaysBackwards) {
    test::resetProgramState();
    params.runMode = 2;
    params.playStep = 2;
    press('r');
    EXPECT_EQ(params.playStep, -2);
    press('r');
    EXPECT_EQ(params.playStep, -2);
    EXPECT_EQ(view.savedPlayStep, 2);
    // Paused: the saved speed is kept and used backwards.
    params.playStep = 0;
    view.savedPlayStep = 4;
    press('r');
    EXPECT_EQ(params.playStep, -4);
    EXPECT_EQ(view.savedPlayStep, 4);
}

TEST(KeyCommands, GJumpsToAFrameAndReasksOutOfRange) {
    test::resetProgramState();
    params.runMode = 2;
    params.framesToCalculate = 50;
    params.currentFrame = 3;
    const std::string cleared = clearText();
    ScriptedConsole console("0\n51\n7\n");
    press('g');
    EXPECT_EQ(params.currentFrame, 7);
    const std::string sorry =
        "Sorry Invalid Choice : Please enter the frame you wish to jump to (Max:50) : ";
    EXPECT_EQ(console.output(), cleared +
                                    "Please enter the frame you wish to jump to (Max:50) : \n" +
                                    sorry + "\n" + sorry + "\nThank you\n\n");
}

TEST(KeyCommands, GAcceptsBothEndsAndEndsCleanlyOnEndOfInput) {
    test::resetProgramState();
    params.runMode = 2;
    params.framesToCalculate = 9;
    {
        ScriptedConsole console("1\n");
        jumpToFrame();
        EXPECT_EQ(params.currentFrame, 1);
    }
    {
        ScriptedConsole console("9\n");
        jumpToFrame();
        EXPECT_EQ(params.currentFrame, 9);
    }
    ScriptedConsole console("12\n");
    try {
        press('g');
        FAIL() << "end of input must end the program";
    } catch (const ProgramExit& e) {
        EXPECT_EQ(e.status, 1);
    }
}

TEST(KeyCommands, ShiftRResetsCameraRotationAndPlayStep) {
    test::resetProgramState();
    params.runMode = 2;
    press('w');
    press('a');
    press('i');
    press('l');
    pressSpecial(GLUT_KEY_RIGHT);
    params.playStep = -5;
    view.savedPlayStep = 5;
    press('R');
    EXPECT_EQ(view.targetPhi, 0);
    EXPECT_EQ(view.targetTheta, 0);
    expectTarget(0, 0, -50);
    EXPECT_FLOAT_EQ(view.cameraEye[0], 0);
    EXPECT_FLOAT_EQ(view.cameraEye[1], 0);
    EXPECT_FLOAT_EQ(view.cameraEye[2], 200);
    EXPECT_EQ(view.sceneRotX, 0);
    EXPECT_EQ(view.sceneRotY, 0);
    EXPECT_EQ(params.playStep, 1);
    EXPECT_EQ(view.savedPlayStep, 1);
}

TEST(KeyCommands, IKLJRotateTheSceneByOneDegree) {
    test::resetProgramState();
    press('i');
    press('i');
    press('k');
    press('k');
    press('k');
    press('l');
    press('j');
    press('j');
    EXPECT_FLOAT_EQ(view.sceneRotX, -1);
    EXPECT_FLOAT_EQ(view.sceneRotY, -1);
}

TEST(KeyCommands, SpaceAndBackspaceWalkTheSelectionOverEverySlot) {
    test::resetProgramState();
    makeCloud(3, 2);  // slots 3 and 4 are dead particles
    press(' ');
    EXPECT_EQ(view.highlightedParticle, 1);
    EXPECT_EQ(arrays.particleArray[0].colour(1), 0);
    EXPECT_EQ(arrays.particleArray[1].colour(1), 1);
    press(' ');
    press(' ');
    press(' ');  // onto the last, dead, slot
    EXPECT_EQ(view.highlightedParticle, 4);
    EXPECT_EQ(arrays.particleArray[3].colour(0), 0);  // the dead colour is painted black
    press(' ');                                       // wraps to slot 0
    EXPECT_EQ(view.highlightedParticle, 0);
    EXPECT_EQ(arrays.particleArray[4].colour(0), 0);
    EXPECT_EQ(arrays.particleArray[0].colour(1), 1);
    press(8);  // backspace from slot 0 selects the last slot
    EXPECT_EQ(view.highlightedParticle, 4);
    EXPECT_EQ(arrays.particleArray[0].colour(1), 0);
    EXPECT_EQ(arrays.particleArray[4].colour(0), 0);
    EXPECT_EQ(arrays.particleArray[4].colour(1), 1);
    EXPECT_EQ(arrays.particleArray[4].colour(2), 0);
    press(8);
    EXPECT_EQ(view.highlightedParticle, 3);
}

TEST(KeyCommands, SelectionWalkWithoutParticlesDoesNothing) {
    test::resetProgramState();
    press(' ');
    press(8);
    EXPECT_EQ(view.highlightedParticle, 0);
    // A count larger than the array is not trusted either.
    params.numParticles = 10;
    arrays.particleArray.resize(3);
    press(' ');
    EXPECT_EQ(view.highlightedParticle, 0);
}

TEST(KeyCommands, ShellRadiusAndWidthStepAndStopAtZero) {
    test::resetProgramState();
    params.apparatusRadius = 40;
    press('+');
    press('+');
    press('+');
    EXPECT_DOUBLE_EQ(view.shellViewRadius, 3);
    press('-');
    EXPECT_DOUBLE_EQ(view.shellViewRadius, 2);
    view.shellViewRadius = 0.5;
    press('-');
    EXPECT_EQ(view.shellViewRadius, 0);
    press('>');
    press('>');
    EXPECT_DOUBLE_EQ(view.shellViewWidth, 0.2);
    press('<');
    EXPECT_DOUBLE_EQ(view.shellViewWidth, 0.1);
    view.shellViewWidth = 0.05;
    press('<');
    EXPECT_EQ(view.shellViewWidth, 0);
}

TEST(KeyCommands, ShiftCSwitchesSmartCoolingOff) {
    for (int state : {1, 2}) {
        test::resetProgramState();
        ScriptedConsole console("");
        params.coolingState = state;
        params.ccpleTarget = 77;
        press('C');
        EXPECT_EQ(params.coolingState, -1);
        EXPECT_EQ(params.ccpleTarget, 77);
        EXPECT_EQ(console.output(), "\nSmart cooling is off\n\n");
    }
}

TEST(KeyCommands, ShiftCSwitchesSmartCoolingOnWithATarget) {
    test::resetProgramState();
    ScriptedConsole console("250.5\n");
    press('C');
    EXPECT_EQ(params.coolingState, 1);
    EXPECT_EQ(params.ccpleTarget, 250.5);
    EXPECT_EQ(console.output(), "\nPlease enter target ccple: \n\n\nSmart cooling is on\n\n");
}

TEST(KeyCommands, ShiftCReasksForATargetThatCannotBeSteeredTo) {
    test::resetProgramState();
    ScriptedConsole console("0\n-3\nlots\n120\n");
    press('C');
    EXPECT_EQ(params.coolingState, 1);
    EXPECT_EQ(params.ccpleTarget, 120);
    const std::string out = console.output();
    EXPECT_EQ(out.rfind("\nPlease enter target ccple: \n", 0), 0u);
    std::size_t prompts = 0;
    for (std::size_t at = 0;
         (at = out.find("Please enter target ccple: ", at)) != std::string::npos; ++at) {
        ++prompts;
    }
    EXPECT_EQ(prompts, 4u);
    EXPECT_NE(out.find("above 0"), std::string::npos);
    const std::string tail = "\n\nSmart cooling is on\n\n";
    ASSERT_GE(out.size(), tail.size());
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
}

TEST(KeyCommands, ShiftCEndsCleanlyOnEndOfInput) {
    test::resetProgramState();
    ScriptedConsole console("");
    try {
        press('C');
        FAIL() << "end of input must end the program";
    } catch (const ProgramExit& e) {
        EXPECT_EQ(e.status, 1);
    }
}

TEST(KeyCommands, FSwitchesAutomaticFiringAndAsksOnlyWhenSwitchingOn) {
    test::resetProgramState();
    TempDir dir;
    makeCloud(4, 2);
    ScriptedConsole console("120\n");
    press('f');
    EXPECT_EQ(params.autoFiringOn, 1);
    console.clearOutput();
    press('f');
    EXPECT_EQ(params.autoFiringOn, -1);
    EXPECT_EQ(console.output(), "");
}

TEST(KeyCommands, ShiftFReportsTheDeadParticlesInReserve) {
    test::resetProgramState();
    TempDir dir;
    makeCloud(4, 3);
    ScriptedConsole console("");
    press('F');
    EXPECT_EQ(params.numDeadParticles, 3);
    EXPECT_EQ(console.output(), "\nDead particles reset, total number of deadparticles is: 3\n\n");
}

TEST(KeyCommands, QCountsATrackedParticleOnlyWhenOneWasAdded) {
    test::resetProgramState();
    TempDir dir;
    makeCloud(4, 1);
    ScriptedConsole console("2\n");
    press('q');
    // Counted exactly when the tracker took the particle into its next slot.
    ASSERT_TRUE(tracker.trackedCount == 0 || tracker.trackedCount == 1);
    if (tracker.trackedCount == 1) {
        EXPECT_EQ(tracker.trackedParticles[0], 1);
    }
}

TEST(KeyCommands, ShiftQSwitchesVelocityTracking) {
    test::resetProgramState();
    ScriptedConsole console("");
    press('Q');
    EXPECT_EQ(params.velocityTrackingOn, 1);
    press('Q');
    EXPECT_EQ(params.velocityTrackingOn, -1);
    EXPECT_EQ(console.output(),
              "\nTracking velocity (1 is on): 1\n\n\nTracking velocity (1 is on): -1\n\n");
}

TEST(KeyCommands, OtherKeysChangeNothing) {
    test::resetProgramState();
    makeCloud(3, 1);
    ScriptedConsole console("");
    const std::vector<Particle> before = arrays.particleArray;
    for (unsigned char key : {'x', 'z', 'P', 'G', 'W', '*', '\r', '0', '5', '9'}) press(key);
    EXPECT_TRUE(sameParticles(arrays.particleArray, before));
    EXPECT_EQ(console.output(), "");
    EXPECT_EQ(params.playStep, 1);
    EXPECT_EQ(view.targetPhi, 0);
    EXPECT_EQ(view.sceneRotX, 0);
    EXPECT_EQ(view.shellViewRadius, 0);
    EXPECT_EQ(view.highlightedParticle, 0);
}

// --- Stage 2: probe controls --------------------------------------------------------------------

TEST(ProbeKeys, DigitsDoNothingWithoutAProbe) {
    test::resetProgramState();
    makeCloud(3, 2);
    const std::vector<Particle> before = arrays.particleArray;
    for (unsigned char key : {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'}) press(key);
    EXPECT_TRUE(sameParticles(arrays.particleArray, before));
    // A probe slot outside the array is no probe either.
    dead.probeIndex = 5;
    press('6');
    press('1');
    EXPECT_TRUE(sameParticles(arrays.particleArray, before));
}

TEST(ProbeKeys, DigitsSetTheProbeChargeInMeanGrainCharges) {
    test::resetProgramState();
    makeCloud(3, 2);
    dead.probeIndex = 3;
    Particle& probe = arrays.particleArray[3];
    press('1');
    press('1');
    EXPECT_DOUBLE_EQ(probe.charge(), 20);  // the mean charge is -10
    press('7');
    press('7');
    press('7');
    EXPECT_DOUBLE_EQ(probe.charge(), -10);
    press('0');
    EXPECT_EQ(probe.charge(), 0);
}

TEST(ProbeKeys, DigitsMoveTheProbeByAHundredthOfRapar) {
    test::resetProgramState();
    makeCloud(3, 2);
    dead.probeIndex = 0;  // slot 0 counts as a probe for the keys
    Particle& probe = arrays.particleArray[0];
    press('5');
    EXPECT_EQ(probe.pos[0], 0.01);
    EXPECT_EQ(probe.pos[1], 0.01);
    EXPECT_EQ(probe.pos[2], 0.01);
    press('6');
    press('6');
    press('4');
    press('9');
    press('3');
    press('3');
    press('8');
    press('8');
    press('8');
    press('2');
    EXPECT_NEAR(probe.pos[0], 0.41, 1e-12);  // step 0.4 with Rapar 40
    EXPECT_NEAR(probe.pos[1], -0.39, 1e-12);
    EXPECT_NEAR(probe.pos[2], 0.81, 1e-12);
    EXPECT_EQ(arrays.particleArray[1].pos[0], 1);  // other grains stay
}

TEST(ProbeKeys, CommandKeysStillReachTheProbeStage) {
    test::resetProgramState();
    makeCloud(2, 1);
    dead.probeIndex = 2;
    press('w');  // no probe key: the probe stays
    EXPECT_EQ(arrays.particleArray[2].pos[1], params.deadParkY);
    EXPECT_NEAR(view.targetPhi, kDegree, 1e-12);
}

// --- Special keys -------------------------------------------------------------------------------

TEST(SpecialKeys, F3AndF4ChangeTheReplayDelayNeverBelowZero) {
    test::resetProgramState();
    pressSpecial(GLUT_KEY_F3);
    pressSpecial(GLUT_KEY_F3);
    pressSpecial(GLUT_KEY_F3);
    EXPECT_EQ(params.slowMotionDelay, 30);
    pressSpecial(GLUT_KEY_F4);
    EXPECT_EQ(params.slowMotionDelay, 20);
    for (int delay = 0; delay <= 9; ++delay) {
        params.slowMotionDelay = delay;
        pressSpecial(GLUT_KEY_F4);
        EXPECT_EQ(params.slowMotionDelay, 0) << "from " << delay;
    }
}

TEST(SpecialKeys, HomeAndEndChangeThePlayStepAlsoWhilePaused) {
    test::resetProgramState();
    params.runMode = 2;
    params.playStep = 0;
    pressSpecial(GLUT_KEY_HOME);
    EXPECT_EQ(params.playStep, 1);
    params.playStep = 0;
    pressSpecial(GLUT_KEY_END);
    EXPECT_EQ(params.playStep, -1);
    for (int i = 0; i < 20; ++i) pressSpecial(GLUT_KEY_END);
    EXPECT_EQ(params.playStep, -21);  // no bound
    for (int i = 0; i < 30; ++i) pressSpecial(GLUT_KEY_HOME);
    EXPECT_EQ(params.playStep, 9);
}

TEST(SpecialKeys, F9F10F11SwitchAndSayWhichWay) {
    test::resetProgramState();
    ScriptedConsole console("");
    pressSpecial(GLUT_KEY_F9);
    EXPECT_EQ(params.apparatusFieldOn, -1);
    pressSpecial(GLUT_KEY_F9);
    EXPECT_EQ(params.apparatusFieldOn, 1);
    EXPECT_EQ(console.output(), "\nE-Field is off\n\n\nE-Field is on\n\n");
    console.clearOutput();
    pressSpecial(GLUT_KEY_F10);
    EXPECT_EQ(params.pairInteractionOn, -1);
    pressSpecial(GLUT_KEY_F10);
    EXPECT_EQ(params.pairInteractionOn, 1);
    EXPECT_EQ(console.output(), "\nParticle-Particle is off\n\n\nParticle-Particle is on\n\n");
    console.clearOutput();
    pressSpecial(GLUT_KEY_F11);
    EXPECT_EQ(view.equalMagnification, 1);
    pressSpecial(GLUT_KEY_F11);
    EXPECT_EQ(view.equalMagnification, -1);
    EXPECT_EQ(console.output(), "\nEqual magnification is on\n\n\nEqual magnification is off\n\n");
}

TEST(SpecialKeys, ArrowsAndPagesMoveEyeAndTargetTogether) {
    test::resetProgramState();
    pressSpecial(GLUT_KEY_LEFT);
    pressSpecial(GLUT_KEY_LEFT);
    pressSpecial(GLUT_KEY_RIGHT);
    pressSpecial(GLUT_KEY_UP);
    pressSpecial(GLUT_KEY_UP);
    pressSpecial(GLUT_KEY_DOWN);
    pressSpecial(GLUT_KEY_DOWN);
    pressSpecial(GLUT_KEY_DOWN);
    pressSpecial(GLUT_KEY_PAGE_UP);
    pressSpecial(GLUT_KEY_PAGE_UP);
    pressSpecial(GLUT_KEY_PAGE_DOWN);
    EXPECT_FLOAT_EQ(view.cameraEye[0], -10);
    EXPECT_FLOAT_EQ(view.cameraEye[1], -10);
    EXPECT_FLOAT_EQ(view.cameraEye[2], 190);
    expectTarget(-10, -10, -60);
}

TEST(SpecialKeys, InsertFiresAtMostOncePerFrame) {
    test::resetProgramState();
    TempDir dir;
    makeCloud(4, 3);
    ScriptedConsole console("");
    params.currentFrame = 12;
    pressSpecial(GLUT_KEY_INSERT);
    EXPECT_EQ(params.lastFireFrame, 12);
    const std::vector<Particle> afterFirst = arrays.particleArray;
    const int waiting = params.numDeadParticles;
    pressSpecial(GLUT_KEY_INSERT);
    EXPECT_TRUE(sameParticles(arrays.particleArray, afterFirst));
    EXPECT_EQ(params.numDeadParticles, waiting);
    params.currentFrame = 13;
    pressSpecial(GLUT_KEY_INSERT);
    EXPECT_EQ(params.lastFireFrame, 13);
}

TEST(SpecialKeys, InsertWithAnEmptyReserveStillMarksTheFrame) {
    test::resetProgramState();
    TempDir dir;
    makeCloud(4, 0);
    ScriptedConsole console("");
    params.currentFrame = 5;
    const std::vector<Particle> before = arrays.particleArray;
    pressSpecial(GLUT_KEY_INSERT);
    EXPECT_EQ(params.lastFireFrame, 5);
    EXPECT_EQ(params.numDeadParticles, 0);
    EXPECT_TRUE(sameParticles(arrays.particleArray, before));
}

TEST(SpecialKeys, F1AndF12ShowTheConsoleScreens) {
    test::resetProgramState();
    makeCloud(3, 1);
    std::string help;
    std::string parameters;
    {
        ScriptedConsole console("");
        showHelp();
        help = console.output();
        console.clearOutput();
        showParameters();
        parameters = console.output();
    }
    ScriptedConsole console("");
    pressSpecial(GLUT_KEY_F1);
    EXPECT_EQ(console.output(), help);
    console.clearOutput();
    pressSpecial(GLUT_KEY_F12);
    EXPECT_EQ(console.output(), parameters);
}

TEST(SpecialKeys, OtherCodesChangeNothing) {
    test::resetProgramState();
    ScriptedConsole console("");
    for (int code : {0, 13, 99, 109, 112, 114, 200}) pressSpecial(code);
    EXPECT_EQ(console.output(), "");
    EXPECT_EQ(params.playStep, 1);
    EXPECT_EQ(params.slowMotionDelay, 0);
    EXPECT_EQ(params.lastFireFrame, 0);
    expectTarget(0, 0, -50);
    EXPECT_FLOAT_EQ(view.cameraEye[2], 200);
}

}  // namespace
}  // namespace qv
