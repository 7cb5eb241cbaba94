#include "app/loop.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "dataset/writer.h"
#include "sim/state.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

std::vector<int> storedFrameNumbers(const std::string& text) {
    // Frame lines have five fields; the header nine, property lines seven.
    std::vector<int> frames;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::vector<std::string> f;
        for (std::string w; fields >> w;) f.push_back(w);
        if (f.size() == 5 && f[1] == "1") frames.push_back(std::stoi(f[0]));
    }
    return frames;
}

// A render of 8 frames stored every 4 writes frames 1, 4 and 8, steps eight times and ends on
// the ninth call with the master file written.
TEST(MainLoop, RenderWritesFramesOneFourEightAndEndsOnTheNinthCall) {
    test::resetProgramState();
    test::TempDir dir;
    test::ScriptedConsole io("");
    params.runMode = 1;
    params.framesToCalculate = 8;
    params.writeFreq = 4;
    params.analysisFreq = 100;
    params.numParticles = 2;
    params.numDeadParticles = 0;
    params.timeStep = 0.5;
    params.baseName = "loop";
    params.apparatusFieldOn = -1;
    params.pairInteractionOn = -1;
    params.wallOn = -1;
    params.debyeSphereCount = 1;
    params.interparticleDistance = 1;
    params.grainCharge = -1;
    params.grainMass = 1;
    arrays.particleArray.assign(2, Particle{});
    arrays.forceArray.assign(6, 0.0);
    for (int i = 0; i < 2; ++i) {
        Particle& p = arrays.particleArray[i];
        p.setMass(1);
        p.setCharge(-1);
        p.setRadius(0.01);
        p.setPosition(0, i * 10.0);
        p.setVelocity(1, 1.0);
    }
    dataSetStream.open("loop");
    int calls = 0;
    while (idleFrame() == FrameOutcome::Continue) {
        ++calls;
        ASSERT_LE(calls, 8);
    }
    EXPECT_EQ(calls, 8);
    EXPECT_EQ(params.currentFrame, 2);  // the master file's last frame number
    EXPECT_DOUBLE_EQ(params.simTime, 8 * 0.5);
    EXPECT_EQ(storedFrameNumbers(test::readFile("loop")), (std::vector<int>{1, 4, 8}));
    EXPECT_EQ(storedFrameNumbers(test::readFile("loopMasterFile")), (std::vector<int>{1, 2}));
    EXPECT_FALSE(dataSetStream.is_open());
}

TEST(MainLoop, PausedRenderStepsButKeepsItsFrame) {
    test::resetProgramState();
    test::TempDir dir;
    test::ScriptedConsole io("");
    params.runMode = 1;
    params.framesToCalculate = 8;
    params.writeFreq = 4;
    params.numParticles = 0;
    params.numDeadParticles = 0;
    params.currentFrame = 4;
    params.playStep = 0;
    params.timeStep = 2;
    params.baseName = "paused";
    dataSetStream.open("paused");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(idleFrame(), FrameOutcome::Continue);
    EXPECT_EQ(params.currentFrame, 4);
    EXPECT_DOUBLE_EQ(params.simTime, 6);
}

TEST(MainLoop, ReplayWrapsAtBothEnds) {
    test::resetProgramState();
    test::ScriptedConsole io("");
    params.runMode = 2;
    params.framesToCalculate = 5;
    params.writeFreq = 4;
    params.timeStep = 0.25;
    params.currentFrame = 6;  // one past the last stored frame
    params.playStep = 1;
    idleFrame();
    EXPECT_EQ(params.currentFrame, 2);  // frame 1 shown, then advanced
    EXPECT_DOUBLE_EQ(params.simTime, 1 * 4 * 0.25);

    params.currentFrame = 0;
    params.playStep = -1;
    idleFrame();
    EXPECT_EQ(params.currentFrame, 4);  // wrapped to 5, shown, stepped back
    EXPECT_DOUBLE_EQ(params.simTime, 5 * 4 * 0.25);
}

TEST(MainLoop, ReplayPrintsTheFrameInPlace) {
    test::resetProgramState();
    test::ScriptedConsole io("");
    params.runMode = 2;
    params.framesToCalculate = 10;
    params.writeFreq = 4;
    params.timeStep = 0.5;
    params.currentFrame = 7;
    params.playStep = 0;
    idleFrame();
    EXPECT_EQ(io.output(), std::string(28, '\b') + "Frame number 28 loaded");
    EXPECT_DOUBLE_EQ(params.simTime, 28 * 0.5);
    EXPECT_EQ(params.currentFrame, 7);
}

TEST(MainLoop, CrystalViewingOnlyAdvancesTheClock) {
    test::resetProgramState();
    params.runMode = 6;
    params.framesToCalculate = 10000;
    params.timeStep = 0.1;
    arrays.particleArray.assign(1, Particle{});
    arrays.particleArray[0].setPosition(0, 3);
    arrays.particleArray[0].setVelocity(0, 1);
    for (int i = 0; i < 10; ++i) idleFrame();
    EXPECT_NEAR(params.simTime, 1.0, 1e-12);
    EXPECT_EQ(arrays.particleArray[0].position(0), 3);
    EXPECT_EQ(params.currentFrame, 11);
}

}  // namespace
}  // namespace qv
