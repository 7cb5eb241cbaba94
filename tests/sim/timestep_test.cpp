#include "sim/timestep.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "analysis/tracker.h"
#include "sim/constants.h"
#include "sim/simulation.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

// What the step called, space-separated; analyses also show the automatedAnalysis they saw.
std::string calls;
std::vector<Particle> detected;

void record(const std::string& name) {
    calls += (calls.empty() ? "" : " ") + name;
}
void analysis(const std::string& name, int n) {
    record(name + std::to_string(n) + "(" + std::to_string(sim.switches.automatedAnalysis) + ")");
}

class TimeStep : public ::testing::Test {
  protected:
    void SetUp() override {
        test::resetProgramState();
        console.emplace("");  // after the reset, which points the console at std::cout
        calls.clear();
        detected.clear();
        stepOutputs.writeDataRow = [] { record("data"); };
        stepOutputs.computeFieldStructure = [](const Particle*, int n) { analysis("field", n); };
        stepOutputs.computePairCorrelation = [](const Particle*, int n) { analysis("pcf", n); };
        stepOutputs.computeShellStructure = [](const Particle*, int n) { analysis("shell", n); };
        stepOutputs.updateCcpleAverage = [] { record("ccpleAverage"); };
        stepOutputs.writeTrackerRow = [] { record("tracker"); };
        stepOutputs.writeVelocityRows = [](int n, const Particle*) {
            record("velocityRows" + std::to_string(n));
        };
        stepOutputs.writeSpeedDensity = [](const Particle*, int n) {
            record("speedDensity" + std::to_string(n));
        };
        stepOutputs.printStatusLine = [] { record("status"); };
        stepOutputs.writeDetectorRow = [](Particle p) { detected.push_back(p); };
        sim.model.apparatusRadius = 10;
        sim.model.debyeSphereCount = 1;
        sim.model.timeStep = 0.1;
        sim.model.grainMass = 2;
        sim.model.grainCharge = -3;
        sim.model.grainRadius = 0.25;
        sim.model.interparticleDistance = 4;
        sim.reserve.deadParkY = 15;
        sim.clock.currentFrame = 2;  // neither sampling nor temperature frame
    }

    // Live grains of mass 2, charge -3, radius 0.25 at the given positions; dead ones in reserve.
    Particle* setUpParticles(const std::vector<std::array<double, 3>>& positions,
                             int waitingDead = 0) {
        const int live = static_cast<int>(positions.size());
        sim.numParticles = live + waitingDead;
        sim.reserve.numDeadParticles = waitingDead;
        sim.arrays.particleArray.assign(sim.numParticles, Particle{});
        sim.arrays.forceArray.assign(3 * sim.numParticles, 0.0);
        for (int i = 0; i < live; ++i) {
            Particle& p = sim.arrays.particleArray[i];
            for (int c = 0; c < 3; ++c) p.pos[c] = positions[i][c];
            p.m = 2;
            p.q = -3;
            p.rad = 0.25;
        }
        sim.model.totalCharge = -3.0 * live;
        return sim.particles();
    }

    void allForcesOff() { sim.switches.apparatusFieldOn = sim.switches.pairInteractionOn = sim.switches.wallOn = -1; }
    void step() { timeStepOnce(sim.particles(), sim.liveCount()); }

    std::optional<test::ScriptedConsole> console;
    test::TempDir dir;
};

void makeDead(Particle& p) {
    p.setColour(deadColourRed, deadColourGreen, deadColourBlue);
}

TEST_F(TimeStep, SamplingFrameOutputsInOrderAndWhoDrivesTheAnalyses) {
    struct Case {
        const char* name;
        int automated, autoFiring, automatedAfter;
        bool extras;  // cooling, a tracked grain and velocity tracking on
        const char* expected;
    };
    const Case cases[] = {
        {"periodic", 0, -1, 0, true,
         "data field3(0) pcf3(1) shell3(1) ccpleAverage tracker velocityRows3 speedDensity3 "
         "status"},
        {"schedule", 1, -1, 1, false, "data status"},
        {"firing automation on", 0, 1, 0, false, "data status"},
        // Called while the firing automation's own value 2 is set: the field analysis sees it,
        // the other two run as periodic ones, and the step leaves 0 behind.
        {"fired by automation", 2, -1, 0, false, "data field3(2) pcf3(1) shell3(1) status"},
    };
    for (const Case& c : cases) {
        SetUp();  // each case from a fresh state
        setUpParticles({{1, 0, 0}, {0, 2, 0}, {0, 0, 3}});
        sim.clock.currentFrame = 1;
        sim.switches.automatedAnalysis = c.automated;
        sim.switches.autoFiringOn = c.autoFiring;
        if (c.extras) {
            sim.thermostat.state = 1;
            sim.thermostat.ccpleTarget = 100;
            sim.tracker.trackedCount = 1;
            sim.switches.velocityTrackingOn = 1;
        }
        step();
        EXPECT_EQ(calls, c.expected) << c.name;
        EXPECT_EQ(sim.switches.automatedAnalysis, c.automatedAfter) << c.name;
    }
}

TEST_F(TimeStep, SamplesOnFrameOneAndEachAnalysisPeriodMeasuresEveryTenthFrame) {
    setUpParticles({{1, 0, 0}, {0, 2, 0}, {0, 0, 3}});
    sim.arrays.particleArray[0].vel[0] = 0.01;
    std::vector<int> sampling, temperature;
    for (int frame = 1; frame <= 100; ++frame) {
        sim.clock.currentFrame = frame;
        calls.clear();
        step();
        const bool sampled = calls.starts_with("data");
        if (sampled) {
            sampling.push_back(frame);
        } else {
            // The status line on every frame; cooling is off, so no average to update.
            EXPECT_EQ(calls, "status") << frame;
            if (sim.energies.kineticEnergy > 0) temperature.push_back(frame);
        }
        // Only a sampling frame sums the potential energies.
        EXPECT_EQ(sim.energies.pairEnergy > 0, sampled) << frame;
        EXPECT_EQ(sim.energies.apparatusEnergy != 0, sampled) << frame;
    }
    EXPECT_EQ(sampling, (std::vector<int>{1, 100}));
    EXPECT_EQ(temperature, (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 90}));
}

TEST_F(TimeStep, WhileCoolingEveryFrameMeasuresTemperatureAndCoupling) {
    Particle* p = setUpParticles({{1, 0, 0}, {0, 2, 0}, {0, 0, 3}});
    allForcesOff();
    p[0].vel[0] = 3;
    p[1].vel[1] = 4;
    makeDead(p[2]);  // in flight: counted in the divisor, not in the speeds
    p[2].vel[2] = 100;
    sim.thermostat.state = 1;
    sim.thermostat.coolingTolerance = -1;  // never reached: the state stays 1
    sim.thermostat.ccpleTarget = sim.thermostat.ccpleAverage = 10;
    sim.clock.currentFrame = 7;
    sim.arrays.forceArray.clear();  // smaller than the live count: grown, never written past
    step();
    EXPECT_GE(sim.arrays.forceArray.size(), 9u);
    EXPECT_EQ(calls, "ccpleAverage status");
    const double ratio = (7.0 / 3) * (7.0 / 3) * 2 / 3;
    EXPECT_DOUBLE_EQ(sim.thermostat.temperatureRatio, ratio);
    EXPECT_DOUBLE_EQ(sim.thermostat.ccple, 9 / (3 * 4 * ratio * 1));
    EXPECT_DOUBLE_EQ(sim.energies.kineticEnergy, 0.5 * 2 * 9 + 0.5 * 2 * 16);
}

TEST_F(TimeStep, ThermostatSpeedsUpTooColdGrainsAndSlowsTheOthers) {
    Particle* p = setUpParticles({{1, 0, 0}, {0, 2, 0}});
    allForcesOff();
    makeDead(p[1]);
    struct Case {
        double target, average, factor, tolerance, timeStep;
        int stateAfter;
    };
    // e = 0.5 either way: the velocity changes by 0.005 of itself. Exactly on target with the
    // tolerance below 0 the thermostat stays on, but with no error to act on. Its force divides
    // by the step and the error by the target: a zero step or target must not make either
    // infinite, and a target of 0 leaves the state as it was.
    const Case cases[] = {{100, 150, 1.005, 0.01, 0.1, 1}, {100, 50, 0.995, 0.01, 0.1, 1},
                          {100, 100.5, 1, 0.01, 0.1, 2},   {100, 100, 1, -1, 0.1, 1},
                          {100, 150, 1, 0.01, 0, 1},       {0, 37, 1, 0.01, 0.1, 1},
                          {0, 0, 1, 0.01, 0.1, 1}};
    for (const Case& c : cases) {
        p[0].vel[0] = p[1].vel[0] = 0.2;
        sim.thermostat.state = 1;
        sim.thermostat.coolingTolerance = c.tolerance;
        sim.thermostat.ccpleTarget = c.target;
        sim.thermostat.ccpleAverage = c.average;
        sim.model.timeStep = c.timeStep;
        step();
        EXPECT_NEAR(p[0].vel[0], 0.2 * c.factor, 1e-15) << c.average << " dt " << c.timeStep;
        EXPECT_EQ(p[1].vel[0], 0.2) << "dead particles are not steered";
        EXPECT_EQ(sim.thermostat.state, c.stateAfter) << c.average;
    }
}

TEST_F(TimeStep, DeadParticleIsRecycledFromFiveApparatusRadiiOn) {
    // Slot 1 at 4.9 R flies on; slot 2 at exactly 5 R goes back to the reserve and the last live
    // record (slot 3, itself a far dead particle) takes its place without being examined again.
    Particle* p = setUpParticles({{1, 0, 0}, {49, 0, 0}, {0, 50, 0}, {0, 0, 60}}, 2);
    for (int i = 1; i <= 3; ++i) {
        makeDead(p[i]);
        p[i].vel[0] = 0.5;
    }
    p[2].q = -7;
    sim.switches.apparatusFieldOn = sim.switches.pairInteractionOn = -1;
    step();
    ASSERT_EQ(detected.size(), 1u);
    EXPECT_EQ(detected[0].pos[1], 50);
    EXPECT_EQ(detected[0].q, -7);
    EXPECT_EQ(sim.reserve.numDeadParticles, 3);
    // Slot 2 holds the former slot 3, moved by this step's integration.
    EXPECT_EQ(p[2].pos[2], 60);
    EXPECT_NEAR(p[2].pos[0], 0.05, 1e-15);
    EXPECT_NEAR(p[1].pos[0], 49.05, 1e-12);
    // The returned record waits at the parking place, without motion, mass or charge.
    const Particle& waiting = p[3];
    EXPECT_TRUE(waiting.isDeadParticle());
    EXPECT_EQ(waiting.pos[1], 15);
    EXPECT_EQ(waiting.rad, 0.25);
    EXPECT_EQ(std::abs(waiting.pos[0]) + std::abs(waiting.pos[2]) + waiting.speed() + waiting.m +
                  std::abs(waiting.q),
              0);

    step();  // now the moved record is examined and leaves as well
    EXPECT_EQ(detected.size(), 2u);
    EXPECT_EQ(sim.liveCount(), 2);
}

TEST_F(TimeStep, WallBouncesGrainsButNotDeadParticles) {
    // The dead particle in slot 0 has left and goes back to the reserve; the grain from the last
    // live slot takes its place and is still bounced in this step.
    Particle* p = setUpParticles({{0, 0, 60}, {0, 9.8, 0}, {9.8, 0, 0}});
    allForcesOff();
    makeDead(p[0]);
    makeDead(p[1]);
    p[1].vel[1] = 1;
    p[2].vel[0] = 1;  // crossed the wall (at 9.75) during the last step
    sim.switches.wallOn = 1;
    step();
    EXPECT_EQ(p[0].vel[0], -1);
    EXPECT_NEAR(p[0].pos[0], 9.7 - 0.1, 1e-12);  // mirror point, then this step's motion
    EXPECT_EQ(p[1].vel[1], 1);

    p[0].pos[0] = 9.8;
    p[0].vel[0] = 1;
    sim.switches.wallOn = -1;
    step();
    EXPECT_NEAR(p[0].pos[0], 9.9, 1e-12) << "with the wall off the grain flies on";
}

}  // namespace
}  // namespace qv
