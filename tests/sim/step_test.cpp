// The time step and what the driver does with its report.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <sstream>
#include <vector>

#include "app/driver.h"
#include "sim/cooling.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

// Rapar 10, ND 1, step 0.1; grains of mass 2, charge -3, radius 0.25 at `at`, then parked dead.
Simulation makeSim(const std::vector<std::array<double, 3>>& at, int waiting = 0) {
    Simulation sim;
    PlasmaModel& m = sim.model;
    m.apparatusRadius = 10, m.debyeSphereCount = 1, m.timeStep = 0.1, m.grainMass = 2;
    m.grainCharge = -3, m.grainRadius = 0.25, m.interparticleDistance = 4;
    sim.reserve.deadParkY = 15, sim.clock.currentFrame = 2;
    sim.numParticles = static_cast<int>(at.size()) + waiting;
    sim.reserve.numDeadParticles = waiting;
    sim.arrays.forceArray.assign(3 * sim.numParticles, 0.0);
    for (const auto& x : at)
        sim.arrays.particleArray.push_back({{x[0], x[1], x[2]}, {}, {}, 2, -3, 0.25});
    sim.arrays.particleArray.resize(sim.numParticles, {{0, 15}, {}, {1, 0, 0.5}, 0, 0, 0.25});
    for (int i = static_cast<int>(at.size()); i < sim.numParticles; ++i)
        sim.arrays.particleArray[i].role = Role::WaitingDead;
    sim.model.totalCharge = -3.0 * static_cast<double>(at.size());
    return sim;
}
void forcesOff(Simulation& sim) {
    sim.switches.apparatusFieldOn = sim.switches.pairInteractionOn = sim.switches.wallOn = false;
}

TEST(TimeStep, SamplesOnFrameOneAndEachAnalysisPeriodAndMeasuresEveryTenthFrame) {
    Simulation sim = makeSim({{1, 0, 0}, {0, 2, 0}, {0, 0, 3}});
    sim.arrays.particleArray[0].vel[0] = 0.01;
    // A record past the slots, beyond the wall: no step may touch it.
    sim.arrays.particleArray.push_back({{50, 0, 0}, {1, 0, 0}, {}, 2, -3, 0.25});
    std::vector<int> sampling, temperature;
    for (int frame = 1; frame <= 100; ++frame) {
        sim.clock.currentFrame = frame;
        const double x = sim.arrays.particleArray[0].pos[0];
        const StepReport r = timeStepOnce(sim);
        const bool sampled = r.frame == FrameKind::Sampling;
        if (r.frame != FrameKind::Plain) (sampled ? sampling : temperature).push_back(frame);
        EXPECT_EQ(r.energies.pairEnergy > 0, sampled) << frame;  // potentials only when sampling
        EXPECT_EQ(r.energies.apparatusEnergy != 0, sampled) << frame;
        EXPECT_EQ(r.energies.kineticEnergy > 0, r.frame != FrameKind::Plain) << frame;
        EXPECT_EQ(r.sampled.size(), sampled ? 3u : 0u);
        EXPECT_TRUE(!sampled || r.sampled[0].pos[0] == x) << "as sampled before the move";
    }
    EXPECT_EQ(sampling, (std::vector<int>{1, 100}));
    EXPECT_EQ(temperature, (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 90}));
    EXPECT_EQ(sim.arrays.particleArray[3].pos[0], 50);
}

// e = 0.5 either way: a grain's velocity changes by 0.005 of itself, a dead particle's not. A zero
// step or target must not make the force infinite; a target of 0 leaves the state as it was.
TEST(TimeStep, ThermostatMeasuresEveryFrameAndSpeedsUpTooColdGrainsAndSlowsTheOthers) {
    using S = CoolingState;
    const struct {
        double target, average, factor, tolerance, timeStep;
        S stateAfter;
    } cases[] = {
        {100, 150, 1.005, 0.01, 0.1, S::Steering},    {100, 50, 0.995, 0.01, 0.1, S::Steering},
        {100, 100.5, 1, 0.01, 0.1, S::TargetReached}, {100, 100, 1, -1, 0.1, S::Steering},
        {100, 150, 1, 0.01, 0, S::Steering},          {0, 37, 1, 0.01, 0.1, S::Steering},
        {100, 101, 1, 0.01, 0.1, S::TargetReached}};  // the tolerance itself is reached
    for (const auto& c : cases) {
        SCOPED_TRACE(c.average);
        Simulation sim = makeSim({{1, 0, 0}, {0, 2, 0}, {0, 0, 3}});
        Particle* p = sim.particles();
        forcesOff(sim);
        p[2].role = Role::FiredDead;  // in flight: counted in the divisor, not in the speeds
        p[0].vel[0] = 3, p[1].vel[0] = 4, p[2].vel[0] = 100;
        sim.thermostat = {.ccpleTarget = c.target,
                          .ccpleAverage = c.average,
                          .coolingState = S::Steering,
                          .coolingTolerance = c.tolerance};
        sim.model.timeStep = c.timeStep;
        sim.clock.currentFrame = 7;
        sim.arrays.forceArray.clear();  // smaller than the live count: grown, never written past
        const StepReport r = timeStepOnce(sim);
        EXPECT_NEAR(p[0].vel[0], 3 * c.factor, 1e-14);
        EXPECT_EQ(p[2].vel[0], 100);
        EXPECT_EQ(sim.thermostat.coolingState, c.stateAfter);
        EXPECT_EQ(r.frame, c.stateAfter == S::Steering ? FrameKind::Temperature : FrameKind::Plain);
        if (r.frame == FrameKind::Plain) continue;  // a cloud at its target is measured less often
        const double ratio = (7.0 / 3) * (7.0 / 3) * 2 / 3;
        EXPECT_DOUBLE_EQ(r.temperatureRatio, ratio);
        EXPECT_DOUBLE_EQ(r.ccple, 9 / (3 * 4 * ratio * 1));
        EXPECT_DOUBLE_EQ(sim.thermostat.ccpleHistory[0], r.ccple);  // joined the average
        EXPECT_DOUBLE_EQ(r.energies.kineticEnergy, 9 + 16);
    }
}

// A dead particle 5 Rapar out is reported and parked, the last live record takes its slot (seen
// next step); at 4.9 Rapar one flies on. The wall bounces a grain moved into such a slot at once,
// no dead particle, nothing while off. Slots after each step against a listing checked by hand.
TEST(TimeStep, DeadParticlesLeaveFromFiveApparatusRadiiOnAndTheWallHoldsOnlyGrains) {
    std::ostringstream listing;
    auto step = [&](Simulation& sim) {
        const StepReport r = timeStepOnce(sim);
        listing << "== live " << r.live << ", waiting " << sim.reserve.numDeadParticles << "\n";
        for (const Particle& p : r.escaped) listing << "escaped " << p.pos[1] << ' ' << p.q << '\n';
        for (const Particle& p : sim.arrays.particleArray) {
            for (double v : {p.pos[0], p.pos[1], p.pos[2], p.vel[0], p.vel[1], p.vel[2],
                             displayColour(p)[0], p.m, p.q, p.rad})
                listing << std::round(v * 1e9) / 1e9 + 0.0 << ' ';  // rounding noise left out
            listing << '\n';
        }
    };
    Simulation sim = makeSim({{1, 0, 0}, {49, 0, 0}, {0, 50, 0}, {0, 0, 60}}, 2);
    for (int i = 1; i <= 3; ++i)
        sim.arrays.particleArray[i].role = Role::FiredDead,
        sim.arrays.particleArray[i].vel[0] = 0.5;
    sim.arrays.particleArray[2].q = -7;
    sim.switches.apparatusFieldOn = sim.switches.pairInteractionOn = false;
    step(sim);
    step(sim);
    sim = makeSim({{0, 0, 60}, {0, 9.8, 0}, {9.8, 0, 0}});
    forcesOff(sim);
    Particle* p = sim.particles();
    p[0].role = p[1].role = Role::FiredDead;
    p[1].vel[1] = p[2].vel[0] = 1;  // crossed the wall (at 9.75) during the last step
    sim.switches.wallOn = true;
    step(sim);
    p[0].pos[0] = 9.8, p[0].vel[0] = 1, sim.switches.wallOn = false;
    step(sim);
    test::expectGolden("step_dead_particles_and_wall.txt", listing.str());
}

// A sampling frame's files: periodic analyses unless an automation drives them; tracker,
// velocities.
TEST(Driver, SamplingFrameOutputs) {
    std::ostringstream all;
    for (int c = 0; c < 3; ++c) {
        test::Sandbox box;
        Simulation sim = makeSim({{1, 0, 0}, {-9.9, -9.9, 0}, {0, 0, 3}}, 1);  // one in first cells
        sim.run.baseName = "run", sim.clock.currentFrame = 100, sim.reserve.autoFiringStartDead = 1;
        sim.switches.automatedAnalysis = c == 1;
        sim.switches.autoFiringOn = c == 2;
        sim.thermostat = {.ccpleAverage = 7,
                          .coolingState = CoolingState::TargetReached,
                          .scheduleDivisions = 3,
                          .scheduleDivisionLength = 50};
        sim.clock.framesToCalculate = 1000;
        sim.tracker.trackedCount = sim.switches.velocityTrackingOn = c == 0;
        for (int i = 0; i < 3; ++i) sim.arrays.particleArray[i].vel[i] = 0.1 * (i + 1);
        if (c == 0) sim.arrays.particleArray[2].role = Role::FiredDead;  // beyond 5 Rapar: detected
        if (c == 0) sim.arrays.particleArray[2].pos[0] = 60, sim.arrays.particleArray[2].pos[1] = 5;
        OutputFile none;
        renderStep(sim, none);  // held at its target: firing or the schedule only when asked
        EXPECT_EQ(sim.thermostat.ccpleHistory[0], sim.thermostat.ccple);
        all << "#### case " << c << "\n" << test::filesHere() << box.console.output();
    }
    test::expectGolden("step_outputs.txt", all.str());
}

TEST(Thermostat, RingOfTenTargetAndRescale) {
    Thermostat t;
    for (int i = 1; i <= 11; ++i) {  // empty slots count as 0; the eleventh overwrites the first
        t.ccple = 10 * i;
        updateCcpleAverage(t);
        EXPECT_DOUBLE_EQ(t.ccpleAverage, i == 1 ? 1 : i == 11 ? 65 : t.ccpleAverage);
    }
    EXPECT_TRUE(t.ccpleHistoryIndex == 1 && t.ccpleHistory[0] == 110 && t.ccpleHistory[1] == 20);
    Simulation sim = makeSim({{0, 0, 0}, {1, 0, 0}}, 1);
    for (int i = 0; i < 3; ++i) sim.arrays.particleArray[i].vel[i] = 0.1 * (i + 1);
    setCcpleTarget(sim, 75);
    EXPECT_TRUE(sim.thermostat.ccpleTarget == 75 &&
                sim.thermostat.coolingState == CoolingState::Steering);
    EXPECT_EQ(sim.reserve.autoFiringStartDead, 1);
    sim.thermostat.temperatureRatio = 300 / sim.model.plasmaTemperature;  // 300 K measured
    rescaleTemperature(sim, measuredTemperature(sim), 75);  // every slot, dead particles too
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(sim.arrays.particleArray[i].vel[i], 0.05 * (i + 1), 1e-15);
}

// From a maximum of 150 to a minimum of 50 in three divisions of L frames and back: what is said
// on which frame, with the target and the cooling state after it.
TEST(Driver, SmartCoolingScheduleFrameByFrameAndAutoFiring) {
    std::ostringstream transcript;
    for (const auto& [length, frames] : {std::pair{100, 600}, {1, 20}, {2, 20}}) {
        test::Sandbox box;
        Simulation sim = makeSim({{-2.5, 0, 0}, {-1.5, 0, 0}, {-0.5, 0, 0}, {0.5, 0, 0}}, 5);
        sim.run.baseName = "cool";
        sim.thermostat = {.ccpleTarget = 200,
                          .scheduleDivisions = 3,
                          .scheduleDivisionLength = length,
                          .scheduleStep = 50};
        sim.clock.framesToCalculate = frames;
        transcript << "== L = " << length << "\n";
        for (int frame = 1; frame <= frames + 50; ++frame) {
            sim.clock.currentFrame = frame;
            box.console.clearOutput();
            smartCoolingSchedule(sim);
            if (!box.console.output().empty())
                transcript << frame << ":" << box.console.output() << "target "
                           << sim.thermostat.ccpleTarget << ", state "
                           << coolingCode(sim.thermostat.coolingState) << "\n";
        }
    }
    test::expectGolden("smart_cooling.txt", transcript.str());

    // Not while the target is not held; then 26 frames after the last shot, not 25. Without
    // compensation a particle still in flight 300 frames on is called back; with it a fired
    // particle stays, so firing goes on although the reserve shrank.
    test::Sandbox box;
    Simulation sim = makeSim({{-2.5, 0, 0}, {-1.5, 0, 0}, {-0.5, 0, 0}, {0.5, 0, 0}}, 5);
    sim.run.baseName = "fire";
    using S = CoolingState;
    const struct {
        S state;
        int frame, compensate, startDead, lastFireAfter, deadAfter;
    } cases[] = {{S::Steering, 40, -1, 5, 0, 5},        {S::TargetReached, 25, -1, 5, 0, 5},
                 {S::TargetReached, 26, -1, 5, 26, 4},  {S::TargetReached, 326, -1, 5, 26, 4},
                 {S::TargetReached, 327, -1, 5, 26, 5}, {S::TargetReached, 51, 1, 9, 26, 5},
                 {S::TargetReached, 52, 1, 9, 52, 4}};
    for (const auto& c : cases) {
        sim.thermostat.coolingState = c.state, sim.clock.currentFrame = c.frame;
        sim.switches.compensateDeadAddition = c.compensate > 0,
        sim.reserve.autoFiringStartDead = c.startDead;
        autoFiring(sim);
        EXPECT_EQ(sim.reserve.lastFireFrame, c.lastFireAfter) << "frame " << c.frame;
        EXPECT_EQ(sim.reserve.numDeadParticles, c.deadAfter) << "frame " << c.frame;
    }
    // At Rapar times the speed fraction per time step.
    EXPECT_DOUBLE_EQ(sim.arrays.particleArray[4].speed(), 10 * sim.reserve.deadSpeedFraction / 0.1);
}

// The debug check names the first thing broken; each case gives slot 2, the parked one, a role.
TEST(Driver, InvariantBreachesAreNamed) {
    const char *counts = "the counts do not fit the slots", *finite = "a live value is not finite",
               *roles = "live + waiting is not the number of slots";
    const struct {
        int slots, waiting, roleOf2, nanSlot;
        const char* breach;
    } cases[] = {{3, 1, 1, -1, nullptr}, {3, 1, 0, -1, roles},  {3, 1, 1, 1, finite},
                 {3, 1, 1, 2, nullptr},  {4, 1, 1, -1, counts}, {3, 4, 1, -1, counts},
                 {3, -1, 1, -1, counts}, {3, 3, 1, 0, roles},   {2, 0, 1, 1, finite},
                 {2, 0, 1, -1, nullptr}};  // a waiting role beyond the slots is not counted
    for (const auto& c : cases) {
        Simulation sim = makeSim({{1, 0, 0}, {2, 0, 0}}, 1);
        sim.numParticles = c.slots, sim.reserve.numDeadParticles = c.waiting;
        sim.arrays.particleArray[2].role = Role(c.roleOf2);
        if (c.nanSlot >= 0) sim.arrays.particleArray[c.nanSlot].vel[2] = NAN;
        EXPECT_STREQ(invariantBreach(sim), c.breach)
            << c.slots << " " << c.waiting << " " << c.nanSlot;
    }
}

}  // namespace
}  // namespace qv
