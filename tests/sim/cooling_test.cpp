#include "sim/cooling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "sim/simulation.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

TEST(CcpleHistory, TenSampleRingFillsThenWraps) {
    test::resetProgramState();
    sim.thermostat.ccple = 50;
    updateCcpleAverage();
    EXPECT_DOUBLE_EQ(sim.thermostat.ccpleAverage, 5.0);
    EXPECT_EQ(sim.thermostat.ccpleHistoryIndex, 1.0);
    for (int i = 1; i < 10; ++i) updateCcpleAverage();
    EXPECT_DOUBLE_EQ(sim.thermostat.ccpleAverage, 50.0);
    EXPECT_EQ(sim.thermostat.ccpleHistoryIndex, 0.0);
    sim.thermostat.ccple = 80;
    updateCcpleAverage();
    EXPECT_EQ(sim.thermostat.ccpleHistory[0], 80.0);
    EXPECT_EQ(sim.thermostat.ccpleHistory[1], 50.0);
    EXPECT_DOUBLE_EQ(sim.thermostat.ccpleAverage, 53.0);
    EXPECT_EQ(sim.thermostat.ccpleHistoryIndex, 1.0);
}

// Six grains with five dead particles parked above them, as the set-up leaves them; the
// analyses the schedule and the firing automation call run on it.
void cloudWithDeadParticles() {
    sim.numParticles = 11;
    sim.reserve.numDeadParticles = 5;
    sim.model.apparatusRadius = 10;
    sim.model.grainRadius = 0.01;
    sim.model.grainMass = 1e9;
    sim.model.grainCharge = -1000;
    sim.model.interparticleDistance = 2;
    sim.reserve.deadParkY = 15;
    sim.model.timeStep = 0.5;
    sim.model.debyeSphereCount = 1;
    sim.model.dustPlasmaFrequency = 0.01;
    sim.arrays.particleArray.assign(11, Particle{});
    sim.arrays.forceArray.assign(33, 0.0);
    for (int i = 0; i < 11; ++i) {
        Particle& p = sim.arrays.particleArray[i];
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
        sim.switches.automatedAnalysis = 1;
        sim.thermostat.scheduleDivisionLength = length;
        sim.thermostat.scheduleDivisions = 3;
        sim.thermostat.scheduleStep = (150.0 - 50.0) / 2;
        sim.thermostat.ccpleTarget = 150.0 + sim.thermostat.scheduleStep;
        sim.clock.framesToCalculate = frames;
        transcript << "== L = " << length << "\n";
        for (int frame = 1; frame <= frames + 50; ++frame) {
            sim.clock.currentFrame = frame;
            sandbox.console.clearOutput();
            smartCoolingSchedule();
            ASSERT_EQ(sim.switches.automatedAnalysis, 1) << "frame " << frame;
            if (!sandbox.console.output().empty())
                transcript << frame << ":" << sandbox.console.output() << "target "
                           << sim.thermostat.ccpleTarget << ", state " << sim.thermostat.state << "\n";
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
        sim.reserve.numDeadParticles = 37;
        askCcpleTarget();
        EXPECT_EQ(sim.thermostat.ccpleTarget, 75.0);
        EXPECT_EQ(sim.thermostat.state, 1);
        EXPECT_EQ(sim.reserve.autoFiringStartDead, 37);
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
        sim.numParticles = 4;
        sim.reserve.numDeadParticles = 1;
        sim.arrays.particleArray.assign(4, Particle{});
        for (int i = 0; i < 4; ++i) {
            Particle& p = sim.arrays.particleArray[i];
            p.vel[0] = 0.1 * (i + 1);
            p.vel[1] = -0.2 * i;
            p.vel[2] = 0.03;
        }
        sim.arrays.particleArray[3].setColour(1.0, 0.0, 0.5);
        const std::vector<Particle> before = sim.arrays.particleArray;
        sim.thermostat.temperatureRatio = c.measured / sim.model.plasmaTemperature;
        changeTemperature();
        EXPECT_EQ(sim.model.dustTemperature, c.newTemperature) << c.answers;
        for (int i = 0; i < 4; ++i)
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(sim.arrays.particleArray[i].vel[k], c.factor * before[i].vel[k], 1e-14)
                    << c.answers << " particle " << i << " component " << k;
        const std::string out = console.output();
        transcript += "== " + out.substr(out.find("Current temperature: "));
    }
    test::expectGolden("cooling_dialogues.txt", transcript);
}

TEST(AutoFiring, FiresWhenTargetHeldAndTheLastShotIsOld) {
    test::Sandbox sandbox;
    cloudWithDeadParticles();
    sim.switches.autoFiringOn = 1;
    sim.reserve.lastFireFrame = 0;
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
        sim.thermostat.state = c.coolingState;
        sim.clock.currentFrame = c.frame;
        sim.switches.compensateDeadAddition = c.compensate;
        sim.reserve.autoFiringStartDead = c.startDead;
        autoFiring();
        EXPECT_EQ(sim.reserve.lastFireFrame, c.lastFireAfter) << "frame " << c.frame;
        EXPECT_EQ(sim.switches.automatedAnalysis, 0) << "frame " << c.frame;
    }
}

}  // namespace
}  // namespace qv
