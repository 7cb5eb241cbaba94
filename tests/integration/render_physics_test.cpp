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

void step() {
    timeStepOnce(particles(), liveCount());
    params.simTime += params.timeStep;
    params.currentFrame += 1;
}

// The thermostat steers the averaged coupling from the set-up's Gamma of 50 to a target of 150,
// reaches it within the tolerance and holds it there.
TEST(RenderPhysics, ThermostatBringsACloudToItsTargetCouplingAndHoldsIt) {
    test::resetProgramState();
    test::TempDir dir;
    test::ScriptedConsole console("");
    setUpCloud(200, 0, 50);
    params.ccpleTarget = 150;
    params.coolingState = 1;

    int firstReached = -1;
    int reachedAtTheEnd = 0;
    double meanAtTheEnd = 0;
    const int steps = 6000;
    const int tail = 2000;
    for (int i = 0; i < steps; ++i) {
        step();
        ASSERT_TRUE(std::isfinite(params.ccple));
        if (params.coolingState == 2 && firstReached < 0) firstReached = params.currentFrame;
        if (i >= steps - tail) {
            if (params.coolingState == 2) ++reachedAtTheEnd;
            meanAtTheEnd += params.ccpleAverage / tail;
        }
    }
    ASSERT_GT(firstReached, 0) << "the target was never reached";
    // Two hundred grains still make a noisy Gamma: the state flips between 1 and 2 near the
    // target, but the cloud stays there.
    EXPECT_GT(reachedAtTheEnd, tail / 2);
    EXPECT_NEAR(meanAtTheEnd, 150, 150 * 0.01);
}

// A dead particle fired into the cloud flies through it, leaves, is logged by the Detector once
// it is 5 Rapar out, and waits in the reserve again; live + waiting is all slots throughout.
TEST(RenderPhysics, FiredGrainCrossesTheCloudAndReturnsToTheReserve) {
    test::resetProgramState();
    test::TempDir dir;
    test::ScriptedConsole console("");
    setUpCloud(40, 3, 500);
    writeRunLogHeaders();
    const int slots = params.numParticles;
    fireDeadParticle(params.apparatusRadius * params.deadSpeedFraction / params.timeStep);
    EXPECT_EQ(params.numDeadParticles, 2);
    const Particle& fired = arrays.particleArray[40];
    EXPECT_TRUE(fired.isDeadParticle());
    EXPECT_LT(fired.velocity(1), 0);

    int steps = 0;
    while (params.numDeadParticles == 2 && steps < 2000) {
        step();
        ++steps;
        ASSERT_EQ(liveCount() + params.numDeadParticles, slots);
    }
    EXPECT_EQ(params.numDeadParticles, 3) << "the fired grain never came back";
    // 1.5 Rapar in, through the cloud, and 5 Rapar out, at 0.06 Rapar a step.
    EXPECT_GT(steps, static_cast<int>((1.5 + 5 - 1) / 0.06));
    const Particle& parked = arrays.particleArray[slots - 3];
    EXPECT_TRUE(parked.isDeadParticle());
    EXPECT_EQ(parked.position(1), params.deadParkY);
    EXPECT_EQ(parked.speed(), 0.0);
    for (int i = 0; i < liveCount(); ++i) EXPECT_FALSE(arrays.particleArray[i].isDeadParticle());

    std::istringstream detector(test::readFile("cloudDetector.xls"));
    std::string header, row, extra;
    std::getline(detector, header);
    ASSERT_TRUE(std::getline(detector, row));
    EXPECT_FALSE(std::getline(detector, extra)) << "one escape, one row";
    std::istringstream fields(row);
    double phi, theta, x, y, z;
    fields >> phi >> theta >> x >> y >> z;
    EXPECT_GE(std::sqrt(x * x + y * y + z * z), 5 * params.apparatusRadius * (1 - 1e-5));
    EXPECT_LT(y, 0);  // it left on the far side
}

// Called by the step between its boundary pass and the integration, when nothing has moved a grain
// since the wall had its say.
int grainsOnOrBeyondTheWall = 0;
void countGrainsOnOrBeyondTheWall() {
    if (params.wallOn <= 0) return;
    for (int i = 0; i < liveCount(); ++i) {
        const Particle& p = arrays.particleArray[i];
        const double r = p.distanceFromCentre();
        if (!p.isDeadParticle() &&
            !(r < params.apparatusRadius - p.rad && std::isfinite(p.speed())))
            ++grainsOnOrBeyondTheWall;
    }
}

// Hot grains without the apparatus field to hold them hit the wall all the time, many at a glancing
// angle. After every boundary pass every grain is strictly inside, also after the step is halved,
// after the grains are heated, and when the wall comes back after grains have drifted out.
TEST(RenderPhysics, HotGrainsWithoutTheFieldStayInsideTheWall) {
    test::resetProgramState();
    test::TempDir dir;
    test::ScriptedConsole console("");
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
        if (i == 15000) params.wallOn = -1;
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
TEST(RenderPhysics, PlayModeLoadsEveryPositionTheRenderStored) {
    test::resetProgramState();
    test::TempDir dir;
    {
        test::ScriptedConsole console("");
        setUpCloud(30, 2, 500);
        params.framesToCalculate = 40;
        params.writeFreq = 10;
        params.numWrittenFrames = 4;
        params.baseName = "trip";
        dataSetStream = openForWrite("trip");
        writeDataSetHeader(params.numWrittenFrames, params.writeFreq);
    }
    const std::vector<Particle> properties = arrays.particleArray;
    std::vector<std::vector<Particle>> stored;  // the state each write frame saw
    {
        test::ScriptedConsole console("");
        while (true) {
            const bool writes = params.currentFrame == 1 || params.currentFrame % 10 == 0;
            if (writes && params.currentFrame <= params.framesToCalculate)
                stored.push_back(arrays.particleArray);
            if (idleFrame() != FrameOutcome::Continue) break;
        }
    }
    ASSERT_EQ(stored.size(), 5u);  // frames 1, 10, 20, 30, 40; a reader loads the first four
    const int slots = static_cast<int>(properties.size());

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
            for (int c = 0; c < 3; ++c) {
                const double written = stored[f - 1][s].position(c);
                EXPECT_NEAR(arrays.particleArray[s].position(c), written, 5e-6 * std::abs(written))
                    << "frame " << f << " slot " << s << " axis " << c;
            }
        }
    }
    for (int s = 0; s < slots; ++s) {
        const Particle& p = arrays.particleArray[s];
        EXPECT_EQ(p.isDeadParticle(), properties[s].isDeadParticle());
        EXPECT_NEAR(p.mass(), properties[s].mass(), 5e-6 * properties[s].mass());
        EXPECT_NEAR(p.charge(), properties[s].charge(), 5e-6 * std::abs(properties[s].charge()));
        EXPECT_NEAR(p.radius(), properties[s].radius(), 5e-6 * properties[s].radius());
    }
}

}  // namespace
}  // namespace qv
