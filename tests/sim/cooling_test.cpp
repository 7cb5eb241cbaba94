#include "sim/cooling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "sim/state.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

TEST(CcpleHistory, TenSampleRingFillsThenWraps) {
    test::resetProgramState();
    params.ccple = 50;
    updateCcpleAverage();
    EXPECT_DOUBLE_EQ(params.ccpleAverage, 5.0);
    EXPECT_EQ(params.ccpleHistoryIndex, 1.0);
    for (int i = 1; i < 10; ++i) updateCcpleAverage();
    EXPECT_DOUBLE_EQ(params.ccpleAverage, 50.0);
    EXPECT_EQ(params.ccpleHistoryIndex, 0.0);
    params.ccple = 80;
    updateCcpleAverage();
    EXPECT_EQ(params.ccpleHistory[0], 80.0);
    EXPECT_EQ(params.ccpleHistory[1], 50.0);
    EXPECT_DOUBLE_EQ(params.ccpleAverage, 53.0);
    EXPECT_EQ(params.ccpleHistoryIndex, 1.0);
}

// Six grains with five dead particles parked above them, as the set-up leaves them; the
// analyses the schedule and the firing automation call run on it.
void cloudWithDeadParticles() {
    params.numParticles = 11;
    params.numDeadParticles = 5;
    params.apparatusRadius = 10;
    params.grainRadius = 0.01;
    params.grainMass = 1e9;
    params.grainCharge = -1000;
    params.interparticleDistance = 2;
    params.deadParkY = 15;
    params.timeStep = 0.5;
    params.debyeSphereCount = 1;
    params.dustPlasmaFrequency = 0.01;
    arrays.particleArray.assign(11, Particle{});
    arrays.forceArray.assign(33, 0.0);
    for (int i = 0; i < 11; ++i) {
        Particle& p = arrays.particleArray[i];
        p.setRadius(0.01);
        if (i < 6) {
            p.pos[0] = i - 2.5;
            p.setMass(1e9);
            p.setCharge(-1000);
        } else {
            p.pos[1] = 15;
            p.setColour(1.0, 0.0, 0.5);
        }
    }
}

// From a maximum of 150 to a minimum of 50 in three divisions of L frames and back: what is said
// on which frame, with the target and the cooling state after it. Frame L does nothing, the first
// division lasts until frame 2L; a division of one frame has no middle.
TEST(SmartCooling, MaxToMinAndBackFrameByFrame) {
    std::ostringstream transcript;
    for (const auto& [length, frames] : {std::pair{100, 600}, std::pair{1, 20}}) {
        test::Sandbox sandbox;
        cloudWithDeadParticles();
        params.automatedAnalysis = 1;
        params.scheduleDivisionLength = length;
        params.scheduleDivisions = 3;
        params.scheduleStep = (150.0 - 50.0) / 2;
        params.ccpleTarget = 150.0 + params.scheduleStep;
        params.framesToCalculate = frames;
        transcript << "== L = " << length << "\n";
        for (int frame = 1; frame <= frames + 50; ++frame) {
            params.currentFrame = frame;
            sandbox.console.clearOutput();
            smartCoolingSchedule();
            ASSERT_EQ(params.automatedAnalysis, 1) << "frame " << frame;
            if (!sandbox.console.output().empty())
                transcript << frame << ":" << sandbox.console.output() << "target "
                           << params.ccpleTarget << ", state " << params.coolingState << "\n";
        }
    }
    test::expectGolden("smart_cooling.txt", transcript.str());
}

// A positive target starts the thermostat; 0 and below are asked again. A new temperature scales
// the grains' velocities (not the dead particles') by the root of the ratio; without a measured
// temperature nothing is asked.
TEST(CoolingDialogues, TargetAndNewTemperature) {
    std::string transcript;
    {
        test::Sandbox sandbox;
        test::ScriptedConsole console("0\n-5\n75\n");
        params.numDeadParticles = 37;
        askCcpleTarget();
        EXPECT_EQ(params.ccpleTarget, 75.0);
        EXPECT_EQ(params.coolingState, 1);
        EXPECT_EQ(params.autoFiringStartDead, 37);
        transcript = console.output();
    }
    struct Case {
        const char* answers;
        double measured, newTemperature, factor;
    };
    const Case cases[] = {
        {"1200\n", 300, 1200, 2}, {"-5\n75\n", 300, 75, 0.5}, {"1200\n", 0, 0, 1}};
    for (const Case& c : cases) {
        test::Sandbox sandbox;
        test::ScriptedConsole console(c.answers);
        params.numParticles = 4;
        params.numDeadParticles = 1;
        arrays.particleArray.assign(4, Particle{});
        for (int i = 0; i < 4; ++i) {
            Particle& p = arrays.particleArray[i];
            p.vel[0] = 0.1 * (i + 1);
            p.vel[1] = -0.2 * i;
            p.vel[2] = 0.03;
        }
        arrays.particleArray[3].setColour(1.0, 0.0, 0.5);
        const std::vector<Particle> before = arrays.particleArray;
        params.temperatureRatio = c.measured / params.plasmaTemperature;
        changeTemperature();
        EXPECT_EQ(params.dustTemperature, c.newTemperature) << c.answers;
        for (int i = 0; i < 4; ++i)
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(arrays.particleArray[i].vel[k], c.factor * before[i].vel[k], 1e-14)
                    << c.answers << " particle " << i << " component " << k;
        const std::string out = console.output();
        transcript += "== " + out.substr(out.find("Current temperature: "));
    }
    test::expectGolden("cooling_dialogues.txt", transcript);
}

TEST(AutoFiring, FiresWhenTargetHeldAndTheLastShotIsOld) {
    test::Sandbox sandbox;
    cloudWithDeadParticles();
    params.autoFiringOn = 1;
    params.lastFireFrame = 0;
    struct Case {
        int coolingState, frame, compensate, startDead, lastFireAfter;
    };
    // Not while the target is not held; then 26 frames after the last shot, not 25. With
    // compensation a fired particle stays, so firing goes on although the reserve shrank; the
    // analyses in between run as the firing automation's and hand back 0.
    const Case cases[] = {
        {1, 40, -1, 5, 0}, {2, 25, -1, 5, 0}, {2, 26, -1, 5, 26},
        {2, 51, 1, 9, 26}, {2, 52, 1, 9, 52},
    };
    for (const Case& c : cases) {
        params.coolingState = c.coolingState;
        params.currentFrame = c.frame;
        params.compensateDeadAddition = c.compensate;
        params.autoFiringStartDead = c.startDead;
        autoFiring();
        EXPECT_EQ(params.lastFireFrame, c.lastFireAfter) << "frame " << c.frame;
        EXPECT_EQ(params.automatedAnalysis, 0) << "frame " << c.frame;
    }
}

}  // namespace
}  // namespace qv
