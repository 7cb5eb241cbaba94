#include "sim/timestep.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "analysis/tracker.h"
#include "sim/constants.h"
#include "sim/state.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

// What the step called, with the value of automatedAnalysis each analysis saw.
std::vector<std::string> calls;
std::vector<Particle> detected;

void record(const std::string& name) {
    calls.push_back(name);
}
void recordAnalysis(const std::string& name) {
    calls.push_back(name + "(" + std::to_string(params.automatedAnalysis) + ")");
}

class TimeStep : public ::testing::Test {
  protected:
    void SetUp() override {
        test::resetProgramState();
        calls.clear();
        detected.clear();
        stepOutputs.writeDataRow = [] { record("data"); };
        stepOutputs.computeFieldStructure = [](const Particle*, int n) {
            recordAnalysis("field" + std::to_string(n));
        };
        stepOutputs.computePairCorrelation = [](const Particle*, int n) {
            recordAnalysis("pcf" + std::to_string(n));
        };
        stepOutputs.computeShellStructure = [](const Particle*, int n) {
            recordAnalysis("shell" + std::to_string(n));
        };
        stepOutputs.updateCcpleAverage = [] { record("ccpleAverage"); };
        stepOutputs.writeTrackerRow = [] { record("tracker"); };
        stepOutputs.writeVelocityRows = [](int n, const Particle*) {
            record("velocityRows" + std::to_string(n));
        };
        stepOutputs.writeSpeedDensity = [](const Particle*, int n) {
            record("speedDensity" + std::to_string(n));
        };
        stepOutputs.printStatusLine = [] { record("status"); };
        stepOutputs.writeDetectorRow = [](Particle p) {
            record("detector");
            detected.push_back(p);
        };

        params.apparatusRadius = 10;
        params.debyeSphereCount = 1;
        params.timeStep = 0.1;
        params.grainMass = 2;
        params.grainCharge = -3;
        params.grainRadius = 0.25;
        params.interparticleDistance = 4;
        params.deadParkY = 15;
        params.currentFrame = 2;  // neither sampling nor temperature frame
    }

    // Live grains of mass 2, charge -3, radius 0.25 at the given positions; dead ones in reserve.
    void setUpParticles(const std::vector<std::array<double, 3>>& positions, int waitingDead = 0) {
        const int live = static_cast<int>(positions.size());
        params.numParticles = live + waitingDead;
        params.numDeadParticles = waitingDead;
        arrays.particleArray.assign(params.numParticles, Particle{});
        arrays.forceArray.assign(3 * params.numParticles, 0.0);
        for (int i = 0; i < live; ++i) {
            Particle& p = arrays.particleArray[i];
            for (int c = 0; c < 3; ++c) p.pos[c] = positions[i][c];
            p.m = 2;
            p.q = -3;
            p.rad = 0.25;
        }
        params.totalCharge = -3.0 * live;
    }

    void allForcesOff() {
        params.apparatusFieldOn = -1;
        params.pairInteractionOn = -1;
        params.wallOn = -1;
    }

    void step() { timeStepOnce(particles(), liveCount()); }

    test::ScriptedConsole console{""};
    test::TempDir dir;
};

void makeDead(Particle& p) {
    p.setColour(deadColourRed, deadColourGreen, deadColourBlue);
}

TEST_F(TimeStep, SamplingFrameDrivesTheOutputsInOrder) {
    setUpParticles({{1, 0, 0}, {0, 2, 0}, {0, 0, 3}});
    params.currentFrame = 1;
    params.coolingState = 1;
    params.ccpleTarget = 100;
    tracker.trackedCount = 1;
    params.velocityTrackingOn = 1;
    step();
    const std::vector<std::string> expected = {"data",          "field3(0)",     "pcf3(1)",
                                               "shell3(1)",     "ccpleAverage",  "tracker",
                                               "velocityRows3", "speedDensity3", "status"};
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(params.automatedAnalysis, 0);
}

TEST_F(TimeStep, ScheduleAndFiringAutomationKeepThePeriodicAnalysesOff) {
    setUpParticles({{1, 0, 0}, {0, 2, 0}});
    params.currentFrame = 1;
    params.automatedAnalysis = 1;
    step();
    EXPECT_EQ(calls, (std::vector<std::string>{"data", "status"}));
    EXPECT_EQ(params.automatedAnalysis, 1);

    calls.clear();
    params.automatedAnalysis = 0;
    params.autoFiringOn = 1;
    step();
    EXPECT_EQ(calls, (std::vector<std::string>{"data", "status"}));

    // Called while the firing automation's own value 2 is set: the field analysis sees it, the
    // other two run as periodic ones, and the step leaves 0 behind.
    calls.clear();
    params.autoFiringOn = -1;
    params.automatedAnalysis = 2;
    step();
    EXPECT_EQ(calls,
              (std::vector<std::string>{"data", "field2(2)", "pcf2(1)", "shell2(1)", "status"}));
    EXPECT_EQ(params.automatedAnalysis, 0);
}

TEST_F(TimeStep, FrameOneAndMultiplesOfTheAnalysisPeriodSampleAndEveryTenthFrameMeasures) {
    setUpParticles({{1, 0, 0}, {0, 2, 0}, {0, 0, 3}});
    arrays.particleArray[0].vel[0] = 0.01;
    params.analysisFreq = 100;
    std::vector<int> sampling, temperature;
    for (int frame = 1; frame <= 100; ++frame) {
        params.currentFrame = frame;
        calls.clear();
        step();
        ASSERT_EQ(calls.back(), "status") << "the status line is printed on every frame";
        const bool sampled = calls.front() == "data";
        if (sampled) {
            sampling.push_back(frame);
            EXPECT_GT(params.pairEnergy, 0);
            EXPECT_NE(params.apparatusEnergy, 0);
        } else if (params.kineticEnergy > 0) {
            temperature.push_back(frame);
            EXPECT_EQ(params.pairEnergy, 0);
            EXPECT_EQ(params.apparatusEnergy, 0);
            EXPECT_EQ(calls.size(), 1u);  // cooling is off: no average to update
        } else {
            EXPECT_EQ(params.pairEnergy, 0);
            EXPECT_EQ(params.apparatusEnergy, 0);
        }
    }
    EXPECT_EQ(sampling, (std::vector<int>{1, 100}));
    EXPECT_EQ(temperature, (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 90}));
}

TEST_F(TimeStep, WhileCoolingEveryFrameMeasuresTemperatureAndCoupling) {
    setUpParticles({{1, 0, 0}, {0, 2, 0}, {0, 0, 3}});
    allForcesOff();
    Particle* p = particles();
    p[0].vel[0] = 3;
    p[1].vel[1] = 4;
    makeDead(p[2]);  // in flight: counted in the divisor, not in the speeds
    p[2].vel[2] = 100;
    params.coolingState = 1;
    params.coolingTolerance = -1;  // never reached: the state stays 1
    params.ccpleTarget = 10;
    params.ccpleAverage = 10;
    params.currentFrame = 7;
    step();
    EXPECT_EQ(calls, (std::vector<std::string>{"ccpleAverage", "status"}));
    const double ratio = (7.0 / 3) * (7.0 / 3) * 2 / 3;
    EXPECT_DOUBLE_EQ(params.temperatureRatio, ratio);
    EXPECT_DOUBLE_EQ(params.ccple, 9 / (3 * 4 * ratio * 1));
    EXPECT_DOUBLE_EQ(params.kineticEnergy, 0.5 * 2 * 9 + 0.5 * 2 * 16);
}

TEST_F(TimeStep, ThermostatSpeedsUpTooColdGrainsAndSlowsTheOthers) {
    setUpParticles({{1, 0, 0}, {0, 2, 0}});
    allForcesOff();
    makeDead(arrays.particleArray[1]);
    params.coolingState = 1;
    params.ccpleTarget = 100;
    struct Case {
        double average;
        double factor;
        int stateAfter;
    };
    // e = 0.5 either way: the velocity changes by 0.005 of itself.
    for (const Case c : {Case{150, 1.005, 1}, Case{50, 0.995, 1}, Case{100.5, 1.0, 2}}) {
        for (Particle& p : arrays.particleArray) p.vel[0] = p.vel[1] = p.vel[2] = 0.2;
        params.coolingState = 1;
        params.ccpleAverage = c.average;
        step();
        EXPECT_NEAR(arrays.particleArray[0].vel[0], 0.2 * c.factor, 1e-15) << c.average;
        EXPECT_EQ(arrays.particleArray[1].vel[0], 0.2) << "dead particles are not steered";
        EXPECT_EQ(params.coolingState, c.stateAfter);
    }
    // Exactly on target with the tolerance below 0 the thermostat stays on (the slowing branch)
    // but the error is 0, so the velocity keeps its value.
    params.coolingTolerance = -1;
    params.ccpleAverage = 100;
    arrays.particleArray[0].vel[0] = 0.2;
    step();
    EXPECT_EQ(params.coolingState, 1);
    EXPECT_EQ(arrays.particleArray[0].vel[0], 0.2);
}

TEST_F(TimeStep, ZeroTargetWhileCoolingKeepsEverythingFinite) {
    setUpParticles({{1, 0, 0}, {0, 2, 0}});
    params.coolingState = 1;
    params.ccpleTarget = 0;
    for (const double average : {0.0, 37.0}) {
        params.ccpleAverage = average;
        arrays.particleArray[0].vel[0] = 0.3;
        step();
        EXPECT_EQ(params.coolingState, 1) << "no relative error to decide by";
        for (const Particle& p : arrays.particleArray)
            for (int c = 0; c < 3; ++c) {
                EXPECT_TRUE(std::isfinite(p.pos[c]));
                EXPECT_TRUE(std::isfinite(p.vel[c]));
            }
    }
}

TEST_F(TimeStep, DeadParticleIsRecycledFromFiveApparatusRadiiOn) {
    // Slot 1 at 4.9 R flies on; slot 2 at exactly 5 R goes back to the reserve and the last live
    // record (slot 3, itself a far dead particle) takes its place without being examined again.
    setUpParticles({{1, 0, 0}, {49, 0, 0}, {0, 50, 0}, {0, 0, 60}}, 2);
    Particle* p = particles();
    for (int i = 1; i <= 3; ++i) {
        makeDead(p[i]);
        p[i].vel[0] = 0.5;
    }
    p[2].q = -7;
    params.apparatusFieldOn = -1;
    params.pairInteractionOn = -1;
    step();
    ASSERT_EQ(detected.size(), 1u);
    EXPECT_EQ(detected[0].pos[1], 50);
    EXPECT_EQ(detected[0].q, -7);
    EXPECT_EQ(params.numDeadParticles, 3);
    EXPECT_EQ(liveCount(), 3);
    // Slot 2 holds the former slot 3, moved by this step's integration.
    EXPECT_EQ(p[2].pos[2], 60);
    EXPECT_NEAR(p[2].pos[0], 0.05, 1e-15);
    EXPECT_NEAR(p[1].pos[0], 49.05, 1e-12);
    // The returned record waits at the parking place, without motion, mass or charge.
    const Particle& waiting = p[3];
    EXPECT_TRUE(waiting.isDeadParticle());
    EXPECT_EQ(waiting.colour(1), 0.0);
    EXPECT_EQ(waiting.colour(2), 0.5);
    EXPECT_EQ(waiting.pos[0], 0);
    EXPECT_EQ(waiting.pos[1], 15);
    EXPECT_EQ(waiting.pos[2], 0);
    EXPECT_EQ(waiting.vel[0], 0);
    EXPECT_EQ(waiting.m, 0);
    EXPECT_EQ(waiting.q, 0);
    EXPECT_EQ(waiting.rad, 0.25);

    // Next step the moved record is examined and leaves as well.
    step();
    EXPECT_EQ(detected.size(), 2u);
    EXPECT_EQ(liveCount(), 2);
}

TEST_F(TimeStep, WallBouncesGrainsButNotDeadParticles) {
    setUpParticles({{9.8, 0, 0}, {0, 9.8, 0}});
    allForcesOff();
    Particle* p = particles();
    p[0].vel[0] = 1;  // crossed the wall (at 9.75) during the last step
    p[1].vel[1] = 1;
    makeDead(p[1]);
    params.wallOn = 1;
    step();
    EXPECT_EQ(p[0].vel[0], -1);
    EXPECT_NEAR(p[0].pos[0], 9.7 - 0.1, 1e-12);  // mirror point, then this step's motion
    EXPECT_EQ(p[1].vel[1], 1);

    // With the wall off the grain flies on.
    p[0].pos[0] = 9.8;
    p[0].vel[0] = 1;
    params.wallOn = -1;
    step();
    EXPECT_NEAR(p[0].pos[0], 9.9, 1e-12);
}

TEST_F(TimeStep, CoincidentGrainsAndAMasslessRecordStayFinite) {
    setUpParticles({{1, 1, 1}, {1, 1, 1}, {-2, 0, 1}, {0, 3, 0}});
    Particle* p = particles();
    p[0].vel[0] = 0.1;
    p[3].m = 0;
    p[3].vel[2] = 0.2;
    params.currentFrame = 1;
    for (int s = 0; s < 20; ++s) {
        step();
        ++params.currentFrame;
    }
    for (int i = 0; i < 4; ++i)
        for (int c = 0; c < 3; ++c) {
            EXPECT_TRUE(std::isfinite(p[i].pos[c])) << i;
            EXPECT_TRUE(std::isfinite(p[i].vel[c])) << i;
        }
    EXPECT_TRUE(std::isfinite(params.pairEnergy));
    EXPECT_EQ(p[3].vel[2], 0.2) << "a record without mass drifts, unaccelerated";
}

TEST_F(TimeStep, ForceAccumulatorSmallerThanTheLiveCountIsGrown) {
    setUpParticles({{1, 0, 0}, {0, 2, 0}, {0, 0, 3}});
    arrays.forceArray.clear();
    step();
    EXPECT_GE(arrays.forceArray.size(), 9u);
}

}  // namespace
}  // namespace qv
