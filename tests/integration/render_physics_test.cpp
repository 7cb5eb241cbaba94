// Whole renders of small clouds through the real set-up, time step, driver and outputs.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "app/driver.h"
#include "app/loop.h"
#include "dataset/writer.h"
#include "setup/configuration.h"
#include "setup/derived.h"
#include "setup/load_dialogue.h"
#include "sim/cooling.h"
#include "sim/dead_particles.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

// A cloud set up as a new render would be: derived quantities, random thermal placement, dead
// particles parked, total charge summed as the data set header does.
Simulation setUpCloud(int liveGrains, int deadParticles, double coupling) {
    Simulation sim;
    sim.run.baseName = "cloud";
    sim.reserve.numDeadParticles = deadParticles;
    sim.numParticles = liveGrains + deadParticles;
    sim.model.dustTemperature = 300;
    sim.thermostat.ccple = sim.thermostat.ccpleTarget = coupling;
    sim.model.grainCharge = -10000;
    sim.model.stepMultiplier = 1.0;
    sim.run.runMode = RunMode::Render;
    sim.clock.framesToCalculate = sim.clock.writeFreq = 1000000;
    sim.clock.analysisFreq = 1000;
    computeDerivedQuantities(sim);
    configureInitialParticles(sim);
    sim.model.totalCharge = chargeSum(sim);
    return sim;
}

// The thermostat steers the averaged coupling from 50 to a target of 150 and holds it there:
// 200 grains make a noisy coupling, so the state flips near the target, but the cloud stays.
TEST(RenderPhysics, ThermostatBringsACloudToItsTargetCouplingAndHoldsIt) {
    test::Sandbox box;
    Simulation sim = setUpCloud(200, 0, 50);
    setCcpleTarget(sim, 150);
    OutputFile none;
    int reached = 0;
    double mean = 0;
    for (int i = 0; i < 6000; ++i, ++sim.clock.currentFrame) {
        renderStep(sim, none);
        ASSERT_TRUE(std::isfinite(sim.thermostat.ccple));
        if (i >= 4000) reached += sim.thermostat.state == CoolingState::TargetReached;
        if (i >= 4000) mean += sim.thermostat.ccpleAverage / 2000;
    }
    EXPECT_GT(reached, 1000);
    EXPECT_NEAR(mean, 150, 150 * 0.01);
}

// A dead particle fired into the cloud flies through it, leaves, is logged by the Detector once
// it is 5 Rapar out on the far side, and waits in the reserve again.
TEST(RenderPhysics, FiredGrainCrossesTheCloudAndReturnsToTheReserve) {
    test::Sandbox box;
    Simulation sim = setUpCloud(40, 3, 500);
    fireDeadParticle(sim, sim.model.apparatusRadius * sim.reserve.deadSpeedFraction / sim.model.timeStep);
    OutputFile none;
    int steps = 0;
    for (; sim.reserve.numDeadParticles == 2 && steps < 2000; ++steps, ++sim.clock.currentFrame) {
        renderStep(sim, none);
        ASSERT_EQ(sim.liveCount() + sim.reserve.numDeadParticles, 43);
    }
    EXPECT_EQ(sim.reserve.numDeadParticles, 3) << "the fired grain never came back";
    EXPECT_GT(steps, static_cast<int>((1.5 + 5 - 1) / 0.06));  // at 0.06 Rapar a step
    std::istringstream detector(test::readFile("cloudDetector.xls"));
    double phi, theta, x, y, z;
    ASSERT_TRUE(detector >> phi >> theta >> x >> y >> z);
    EXPECT_FALSE(detector >> phi);
    EXPECT_GE(std::sqrt(x * x + y * y + z * z), 5 * sim.model.apparatusRadius * (1 - 1e-5));
    EXPECT_LT(y, 0);
}

// Hot grains without the field to hold them hit the wall all the time, many at a glancing angle.
// As sampled (after the wall, before the move) every grain is strictly inside, also after the
// step is halved, the grains are heated, and the wall comes back after grains drifted out.
TEST(RenderPhysics, HotGrainsWithoutTheFieldStayInsideTheWall) {
    test::Sandbox box;
    Simulation sim = setUpCloud(100, 0, 500);
    sim.switches.apparatusFieldOn = -1;
    sim.clock.analysisFreq = 1;
    auto heat = [&](double factor) {
        for (Particle& p : sim.arrays.particleArray)
            for (double& v : p.vel) v *= factor;
    };
    heat(30);
    int outside = 0, wallHits = 0;
    for (int i = 0; i < 20000; ++i) {
        if (i == 8000) sim.model.timeStep /= 2;  // as the menu does
        if (i == 12000) heat(2);                 // as a new temperature does
        if (i == 15000 || i == 15100) sim.switches.wallOn = -sim.switches.wallOn;
        for (const Particle& p : sim.arrays.particleArray)
            wallHits += p.distanceFromCentre() >= sim.model.apparatusRadius - p.rad;
        for (const Particle& p : timeStepOnce(sim).sampled)
            outside += sim.switches.wallOn > 0 &&
                       !(p.distanceFromCentre() < sim.model.apparatusRadius - p.rad && std::isfinite(p.speed()));
    }
    EXPECT_EQ(outside, 0);
    EXPECT_GT(wallHits, 1000);
}

// What a render stores, play mode reads back: every position of every stored frame, to the six
// significant digits the file keeps, and the properties of every slot.
TEST(RenderPhysics, PlayModeLoadsEveryPositionTheRenderStored) {
    test::Sandbox box;
    Session s{setUpCloud(30, 2, 500), {}, openForWrite("trip")};
    s.sim.run.baseName = "trip";
    s.sim.clock.framesToCalculate = 40;
    s.sim.clock.writeFreq = 10;
    s.sim.clock.numWrittenFrames = 4;
    writeDataSetHeader(s.sim, s.dataSet, 4, 10);
    std::vector<std::vector<Particle>> stored;  // the state each write frame saw
    do {
        const int f = s.sim.clock.currentFrame;
        if ((f == 1 || f % 10 == 0) && f <= 40) stored.push_back(s.sim.arrays.particleArray);
    } while (idleFrame(s) == FrameOutcome::Continue);
    ASSERT_EQ(stored.size(), 5u);  // frames 1, 10, 20, 30, 40; a reader loads the first four

    test::ScriptedConsole console("trip\n1\n0\n");
    Simulation sim;
    sim.run.runMode = RunMode::Play;
    openDataSetForReading(sim);
    sim.run.runMode = RunMode::Play;
    allocateParticles(sim, sim.numParticles);
    loadAllFrames(sim);
    ASSERT_EQ(sim.numParticles, 32);
    ASSERT_EQ(sim.clock.framesToCalculate, 4);
    for (int f = 1; f <= 4; ++f) {
        setFrameFromStore(sim, f);
        for (int slot = 0; slot < 32; ++slot) {
            const Particle& p = sim.arrays.particleArray[slot];
            const Particle& w = stored[f - 1][slot];
            EXPECT_EQ(p.isDeadParticle(), w.isDeadParticle()) << "slot " << slot;
            const double loaded[] = {p.pos[0], p.pos[1], p.pos[2], p.m, p.q, p.rad};
            const double written[] = {w.pos[0], w.pos[1], w.pos[2], w.m, w.q, w.rad};
            for (int c = 0; c < 6; ++c)
                EXPECT_NEAR(loaded[c], written[c], 5e-6 * std::abs(written[c]))
                    << "frame " << f << " slot " << slot << " field " << c;
        }
    }
}

}  // namespace
}  // namespace qv
