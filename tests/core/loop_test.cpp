#include "app/loop.h"

#include <gtest/gtest.h>

#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "dataset/writer.h"
#include "sim/simulation.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

// The frame number of every first-slot line of a data set file (frame lines have five fields, the
// header nine, property lines seven).
std::vector<int> storedFrameNumbers(const std::string& fileName) {
    std::vector<int> frames;
    std::istringstream lines(test::readFile(fileName));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        const std::vector<std::string> f{std::istream_iterator<std::string>(fields), {}};
        if (f.size() == 5 && f[1] == "1") frames.push_back(std::stoi(f[0]));
    }
    return frames;
}

// A render of 8 frames stored every 4, two grains with every force off, step 0.5; the data set
// stream writes to "loop".
class MainLoop : public ::testing::Test {
  protected:
    MainLoop() {
        sim.run.runMode = 1;
        sim.clock.framesToCalculate = 8;
        sim.clock.writeFreq = 4;
        sim.numParticles = 2;
        sim.reserve.numDeadParticles = 0;
        sim.model.timeStep = 0.5;
        sim.run.baseName = "loop";
        sim.switches.apparatusFieldOn = -1;
        sim.switches.pairInteractionOn = -1;
        sim.switches.wallOn = -1;
        sim.arrays.particleArray = {{{0, 0, 0}, {0, 1, 0}, {}, 1, -1, 0.01},
                                {{10, 0, 0}, {0, 1, 0}, {}, 1, -1, 0.01}};
    }
    test::Sandbox box_;
};

TEST_F(MainLoop, RenderWritesFramesOneFourEightAndEndsOnTheNinthCall) {
    dataSetStream = openForWrite("loop");
    for (int call = 1; call <= 8; ++call) ASSERT_EQ(idleFrame(), FrameOutcome::Continue) << call;
    EXPECT_EQ(idleFrame(), FrameOutcome::RenderComplete);
    EXPECT_EQ(sim.clock.currentFrame, 2);  // the master file's last frame number
    EXPECT_DOUBLE_EQ(sim.clock.simTime, 8 * 0.5);
    EXPECT_EQ(storedFrameNumbers("loop"), (std::vector<int>{1, 4, 8}));
    EXPECT_EQ(storedFrameNumbers("loopMasterFile"), (std::vector<int>{1, 2}));
    EXPECT_FALSE(dataSetStream.is_open());
}

TEST_F(MainLoop, PausedRenderStepsAndRewritesItsFrameOnEveryCall) {
    dataSetStream = openForWrite("loop");
    sim.clock.currentFrame = 4;
    view.playStep = 0;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(idleFrame(), FrameOutcome::Continue);
    dataSetStream.close();
    EXPECT_EQ(sim.clock.currentFrame, 4);
    EXPECT_DOUBLE_EQ(sim.clock.simTime, 1.5);
    EXPECT_EQ(storedFrameNumbers("loop"), (std::vector<int>{4, 4, 4}));
    EXPECT_DOUBLE_EQ(sim.arrays.particleArray[0].pos[1], 1.5);  // three steps at speed 1
}

TEST_F(MainLoop, ReplayShowsTheFrameInPlaceAndWrapsAtBothEnds) {
    sim.run.runMode = 2;
    sim.model.timeStep = 0.25;
    const struct {
        int frame, playStep, shown, next;
    } cases[] = {{9, 1, 1, 2}, {0, -1, 8, 7}, {7, 0, 7, 7}};
    for (const auto& c : cases) {
        box_.console.clearOutput();
        sim.clock.currentFrame = c.frame;
        view.playStep = c.playStep;
        EXPECT_EQ(idleFrame(), FrameOutcome::Continue);
        // Each stored frame stands for writeFreq = 4 steps.
        EXPECT_EQ(box_.console.output(),
                  std::string(28, '\b') + "Frame number " + std::to_string(4 * c.shown) + " loaded")
            << "from frame " << c.frame;
        EXPECT_DOUBLE_EQ(sim.clock.simTime, c.shown * 4 * 0.25) << "from frame " << c.frame;
        EXPECT_EQ(sim.clock.currentFrame, c.next) << "from frame " << c.frame;
    }
}

TEST_F(MainLoop, CrystalViewingOnlyAdvancesTheClock) {
    sim.run.runMode = 6;
    sim.clock.framesToCalculate = 10000;
    sim.model.timeStep = 0.1;
    for (int i = 0; i < 10; ++i) idleFrame();
    EXPECT_NEAR(sim.clock.simTime, 1.0, 1e-12);
    EXPECT_EQ(sim.arrays.particleArray[0].pos[1], 0);
    EXPECT_EQ(sim.clock.currentFrame, 11);
}

}  // namespace
}  // namespace qv
