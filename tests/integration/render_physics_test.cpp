// Whole renders of small clouds through the real set-up, time step and outputs.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/runlog.h"
#include "app/loop.h"
#include "console/console.h"
#include "dataset/loader.h"
#include "dataset/writer.h"
#include "setup/configuration.h"
#include "setup/derived.h"
#include "sim/dead_particles.h"
#include "sim/state.h"
#include "sim/timestep.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

// A cloud set up as a new render would be: derived quantities, random thermal placement, dead
// particles parked, total charge summed as the data set header does.
void setUpCloud(int liveGrains, int deadParticles, double coupling) {
    params.baseName = "cloud";
    params.randomSeed = 13;
    params.numDeadParticles = deadParticles;
    params.numParticles = liveGrains + deadParticles;
    params.dustTemperature = 300;
    params.ccple = coupling;
    params.ccpleTarget = coupling;
    params.grainCharge = -10000;
    params.stepMultiplier = 1.0;
    params.runMode = 1;
    params.framesToCalculate = 1000000;
    params.writeFreq = 1000000;
    params.analysisFreq = 1000;
    computeDerivedQuantities();
    configureInitialParticles();
    params.totalCharge = 0;
    for (const Particle& p : arrays.particleArray) params.totalCharge += p.charge();
}

class RenderPhysics : public ::testing::Test {
  protected:
    test::Sandbox box_;
};

void step() {
    timeStepOnce(particles(), liveCount());
    params.simTime += params.timeStep;
    params.currentFrame += 1;
}

// The thermostat steers the averaged coupling from the set-up's Gamma of 50 to a target of 150,
// reaches it and holds it: 200 grains make a noisy Gamma, so the state flips between 1 and 2 near
// the target, but the cloud stays there.
TEST_F(RenderPhysics, ThermostatBringsACloudToItsTargetCouplingAndHoldsIt) {
    setUpCloud(200, 0, 50);
    params.ccpleTarget = 150;
    params.coolingState = 1;
    const int tail = 2000;
    int reachedAtTheEnd = 0;
    double meanAtTheEnd = 0;
    for (int i = 0; i < 6000; ++i) {
        step();
        ASSERT_TRUE(std::isfinite(params.ccple));
        if (i >= 6000 - tail) {
            reachedAtTheEnd += params.coolingState == 2;
            meanAtTheEnd += params.ccpleAverage / tail;
        }
    }
    EXPECT_GT(reachedAtTheEnd, tail / 2);
    EXPECT_NEAR(meanAtTheEnd, 150, 150 * 0.01);
}

// A dead particle fired into the cloud flies through it, leaves, is logged by the Detector once
// it is 5 Rapar out, and waits in the reserve again; live + waiting is all slots throughout. (How
// a shot starts and a record is parked is pinned by the dead-particle and time-step tests.)
TEST_F(RenderPhysics, FiredGrainCrossesTheCloudAndReturnsToTheReserve) {
    setUpCloud(40, 3, 500);
    writeRunLogHeaders();
    const int slots = params.numParticles;
    fireDeadParticle(params.apparatusRadius * params.deadSpeedFraction / params.timeStep);
    int steps = 0;
    for (; params.numDeadParticles == 2 && steps < 2000; ++steps) {
        step();
        ASSERT_EQ(liveCount() + params.numDeadParticles, slots);
    }
    EXPECT_EQ(params.numDeadParticles, 3) << "the fired grain never came back";
    // 1.5 Rapar in, through the cloud, and 5 Rapar out, at 0.06 Rapar a step.
    EXPECT_GT(steps, static_cast<int>((1.5 + 5 - 1) / 0.06));
    // One escape, one row below the header: 5 Rapar out, on the far side.
    std::istringstream detector(test::readFile("cloudDetector.xls"));
    std::string header;
    std::getline(detector, header);
    double phi, theta, x, y, z;
    ASSERT_TRUE(detector >> phi >> theta >> x >> y >> z);
    EXPECT_FALSE(detector >> header);
    EXPECT_GE(std::sqrt(x * x + y * y + z * z), 5 * params.apparatusRadius * (1 - 1e-5));
    EXPECT_LT(y, 0);
}

// Called by the step between its boundary pass and the integration, when nothing has moved a grain
// since the wall had its say.
int grainsOnOrBeyondTheWall = 0;
void countGrainsOnOrBeyondTheWall() {
    for (int i = 0; i < liveCount() && params.wallOn > 0; ++i) {
        const Particle& p = arrays.particleArray[i];
        grainsOnOrBeyondTheWall +=
            !p.isDeadParticle() &&
            !(p.distanceFromCentre() < params.apparatusRadius - p.rad && std::isfinite(p.speed()));
    }
}

// Hot grains without the apparatus field to hold them hit the wall all the time, many at a glancing
// angle. After every boundary pass every grain is strictly inside, also after the step is halved,
// after the grains are heated, and when the wall comes back after grains have drifted out.
TEST_F(RenderPhysics, HotGrainsWithoutTheFieldStayInsideTheWall) {
    setUpCloud(100, 0, 500);
    params.apparatusFieldOn = -1;
    params.analysisFreq = 1000000;
    stepOutputs.printStatusLine = &countGrainsOnOrBeyondTheWall;
    auto heat = [](double factor) {
        for (Particle& p : arrays.particleArray)
            for (double& v : p.vel) v *= factor;
    };
    heat(30);
    grainsOnOrBeyondTheWall = 0;
    int wallHits = 0;
    for (int i = 0; i < 20000; ++i) {
        if (i == 8000) params.timeStep /= 2;  // as the menu does
        if (i == 12000) heat(2);              // as a new temperature does
        if (i == 15000) params.wallOn = -1;   // grains drift out
        if (i == 15100) params.wallOn = 1;
        for (int s = 0; s < liveCount(); ++s) {
            const Particle& p = arrays.particleArray[s];
            wallHits += p.distanceFromCentre() >= params.apparatusRadius - p.rad;
        }
        step();
    }
    EXPECT_EQ(grainsOnOrBeyondTheWall, 0);
    EXPECT_GT(wallHits, 1000);
}

// What a render stores, play mode reads back: every position of every stored frame, to the six
// significant digits the file keeps, and the properties of every slot.
TEST_F(RenderPhysics, PlayModeLoadsEveryPositionTheRenderStored) {
    setUpCloud(30, 2, 500);
    params.framesToCalculate = 40;
    params.writeFreq = 10;
    params.numWrittenFrames = 4;
    params.baseName = "trip";
    dataSetStream = openForWrite("trip");
    writeDataSetHeader(params.numWrittenFrames, params.writeFreq);
    std::vector<std::vector<Particle>> stored;  // the state each write frame saw
    do {
        const int f = params.currentFrame;
        if ((f == 1 || f % 10 == 0) && f <= params.framesToCalculate)
            stored.push_back(arrays.particleArray);
    } while (idleFrame() == FrameOutcome::Continue);
    ASSERT_EQ(stored.size(), 5u);  // frames 1, 10, 20, 30, 40; a reader loads the first four
    const int slots = static_cast<int>(stored[0].size());

    test::resetProgramState();
    test::ScriptedConsole console("trip\n1\n0\n");
    params.runMode = 2;
    openDataSetForReading();
    params.runMode = 2;
    allocateParticles(params.numParticles);
    loadAllFrames();
    ASSERT_EQ(params.numParticles, slots);
    ASSERT_EQ(params.framesToCalculate, 4);
    for (int f = 1; f <= 4; ++f) {
        setFrameFromStore(f);
        for (int s = 0; s < slots; ++s) {
            const Particle& p = arrays.particleArray[s];
            const Particle& w = stored[f - 1][s];
            EXPECT_EQ(p.isDeadParticle(), w.isDeadParticle()) << "slot " << s;
            const double loaded[] = {p.pos[0], p.pos[1], p.pos[2], p.m, p.q, p.rad};
            const double written[] = {w.pos[0], w.pos[1], w.pos[2], w.m, w.q, w.rad};
            for (int c = 0; c < 6; ++c)
                EXPECT_NEAR(loaded[c], written[c], 5e-6 * std::abs(written[c]))
                    << "frame " << f << " slot " << s << " field " << c;
        }
    }
}

}  // namespace
}  // namespace qv
