#include "app/loop.h"

#include <gtest/gtest.h>

#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace qv {
namespace {

// The frame number of every first-slot line of a data set file (frame lines have five fields).
std::vector<int> storedFrames(const std::string& fileName) {
    std::vector<int> frames;
    std::istringstream lines(test::readFile(fileName));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        const std::vector<std::string> f{std::istream_iterator<std::string>(fields), {}};
        if (f.size() == 5 && f[1] == "1") frames.push_back(std::stoi(f[0]));
    }
    return frames;
}

// A render of 8 frames stored every 4, two grains with every force off, step 0.5, into "loop".
class MainLoop : public ::testing::Test {
  protected:
    MainLoop() {
        Simulation& sim = s.sim;
        sim.run.runMode = RunMode::Render;
        sim.clock.framesToCalculate = 8;
        sim.clock.writeFreq = 4;
        sim.numParticles = 2;
        sim.reserve.numDeadParticles = 0;
        sim.model.timeStep = 0.5;
        sim.run.baseName = "loop";
        sim.switches.apparatusFieldOn = sim.switches.pairInteractionOn = sim.switches.wallOn = -1;
        sim.arrays.particleArray = {{{0, 0, 0}, {0, 1, 0}, {}, 1, -1, 0.01},
                                    {{10, 0, 0}, {0, 1, 0}, {}, 1, -1, 0.01}};
        s.dataSet = openForWrite("loop");
    }
    test::Sandbox box;
    Session s;
};

TEST_F(MainLoop, RenderStoresFramesOneFourEightPausedRendersRewriteTheirFrame) {
    for (int call = 1; call <= 8; ++call) ASSERT_EQ(idleFrame(s), FrameOutcome::Continue) << call;
    EXPECT_EQ(idleFrame(s), FrameOutcome::RenderComplete);
    EXPECT_TRUE(s.sim.clock.currentFrame == 9 && s.sim.clock.simTime == 4 && !s.dataSet.is_open());
    EXPECT_EQ(storedFrames("loop"), (std::vector<int>{1, 4, 8}));
    EXPECT_EQ(storedFrames("loopMasterFile"), (std::vector<int>{1, 2}));
    s.dataSet = openForWrite("loop");
    s.sim.clock.currentFrame = 4;
    s.view.playStep = 0;  // paused: the step goes on, the frame number stays
    for (int i = 0; i < 3; ++i) EXPECT_EQ(idleFrame(s), FrameOutcome::Continue);
    s.dataSet.close();
    EXPECT_TRUE(s.sim.clock.currentFrame == 4 && s.sim.clock.simTime == 5.5);
    EXPECT_EQ(storedFrames("loop"), (std::vector<int>{4, 4, 4}));
    EXPECT_DOUBLE_EQ(s.sim.arrays.particleArray[0].pos[1], 5.5);  // eleven steps at speed 1
    s.sim.run.runMode = RunMode::Crystal;                         // crystal viewing only keeps time
    s.view.playStep = 1;
    for (int i = 0; i < 10; ++i) idleFrame(s);
    EXPECT_TRUE(s.sim.clock.simTime == 10.5 && s.sim.clock.currentFrame == 14);
    EXPECT_EQ(s.sim.arrays.particleArray[0].pos[1], 5.5);
}

TEST_F(MainLoop, ReplayShowsTheFrameInPlaceAndWrapsAtBothEnds) {
    s.sim.run.runMode = RunMode::Play;
    s.sim.model.timeStep = 0.25;
    s.sim.arrays.frameStore.assign(8 * 2 * 3, 0.0);
    for (int f = 0; f < 8; ++f) s.sim.arrays.frameStore[f * 6] = f + 1;  // x of slot 1
    const struct {
        int frame, playStep, shown, next;
    } cases[] = {{9, 1, 1, 2}, {0, -1, 8, 7}, {7, 0, 7, 7}};
    for (const auto& c : cases) {
        box.console.clearOutput();
        s.sim.clock.currentFrame = c.frame;
        s.view.playStep = c.playStep;
        EXPECT_EQ(idleFrame(s), FrameOutcome::Continue);
        // Each stored frame stands for writeFreq = 4 steps.
        EXPECT_EQ(box.console.output(), std::string(28, '\b') + "Frame number " +
                                            std::to_string(4 * c.shown) + " loaded");
        EXPECT_TRUE(s.sim.clock.simTime == c.shown && s.sim.clock.currentFrame == c.next)
            << c.frame;
        EXPECT_EQ(s.sim.arrays.particleArray[0].pos[0], c.shown) << c.frame;
    }
}

// One line per particle, one column per planned sample (those a short run never filled are 0),
// the table left alone when the distribution is off, the farewell and the arrays freed.
TEST(Farewell, MaxboltzTableAndArraysFreed) {
    const struct {
        int particles, frames, speedDistribution;
        std::vector<double> table;
    } cases[] = {{2, 250, 1, {1, 2, 3, 4, 5, 6.25}},
                 {3, 1000, 1, std::vector<double>(33, 0.5)},
                 {2, 300, 1, {1, 2, 3, 4}},
                 {2, 250, 0, {1, 2, 3, 4}}};
    std::string transcript;
    for (const auto& c : cases) {
        test::Sandbox box;
        Simulation sim;
        sim.run.baseName = std::string(1, 'm');  // GCC 12 misreads a one-letter literal
        sim.switches.speedDistributionOn = c.speedDistribution;
        sim.numParticles = c.particles;
        sim.clock.framesToCalculate = c.frames;
        sim.arrays.particleArray.assign(c.particles, Particle{});
        sim.arrays.speedTable = c.table;
        { openForWrite("mMaxboltz.xls") << "an older table\n"; }
        writeMaxboltzAndFarewell(sim);
        transcript += test::filesHere() + box.console.output();
        EXPECT_EQ(sim.arrays.particleArray.capacity() + sim.arrays.speedTable.capacity(), 0u);
    }
    test::expectGolden("maxboltz.txt", transcript);
}

}  // namespace
}  // namespace qv
