// The frame logic: what each call does to the clock, the particles and the files, and what it
// says, listed against a golden file checked by hand when it was made.
#include "app/loop.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/test_support.h"

namespace qv {
namespace {

// A render of 8 frames stored every 4, two grains with every force off, step 0.5, into "loop":
// frames 1, 4 and 8 are stored and the ninth call ends it. Paused, a render steps and stores its
// frame on every call; crystal viewing only keeps time. A replay shows each stored frame (it
// stands for 4 steps) in place of the last and wraps at both ends.
TEST(MainLoop, RenderPausedRenderCrystalViewingAndReplay) {
    test::Sandbox box;
    Session s;
    Simulation& sim = s.sim;
    sim.run.runMode = RunMode::Render;
    sim.clock.framesToCalculate = 8;
    sim.clock.writeFreq = 4;
    sim.numParticles = 2, sim.reserve.numDeadParticles = 0, sim.model.timeStep = 0.5;
    sim.run.baseName = "loop";
    sim.model.debyeSphereCount = sim.model.interparticleDistance = 1;  // finite Data rows
    sim.switches.apparatusFieldOn = sim.switches.pairInteractionOn = sim.switches.wallOn = false;
    sim.arrays.particleArray = {{{0, 0, 0}, {0, 1, 0}, {}, 1, -1, 0.01},
                                {{10, 0, 0}, {0, 1, 0}, {}, 1, -1, 0.01}};
    s.dataSet = openForWrite("loop");
    std::ostringstream calls;
    auto call = [&](int times) {
        for (int i = 0; i < times; ++i) {
            calls << static_cast<int>(idleFrame(s)) << " frame " << sim.clock.currentFrame
                  << " time " << sim.clock.simTime << " y " << sim.arrays.particleArray[0].pos[1]
                  << " x " << sim.arrays.particleArray[0].pos[0] << " open " << s.dataSet.is_open()
                  << "\n";
        }
    };
    call(9);
    s.dataSet = openForAppend("loop");
    sim.clock.currentFrame = 4;
    s.view.playStep = 0;
    call(3);
    s.dataSet.close();
    sim.run.runMode = RunMode::Crystal;
    s.view.playStep = 1;
    call(10);
    sim.run.runMode = RunMode::Play;
    sim.arrays.frameStore.assign(8 * 2 * 3, 0.0);
    for (int f = 0; f < 8; ++f) sim.arrays.frameStore[f * 6] = f + 1;  // x of slot 1
    for (const auto& [frame, playStep] : {std::pair{9, 1}, {0, -1}, {7, 0}, {8, 0}}) {
        sim.clock.currentFrame = frame;
        s.view.playStep = playStep;
        call(1);
    }
    // The Maxboltz table (0 where a short run never sampled), the farewell, the arrays freed.
    sim.switches.speedDistributionOn = true, sim.clock.framesToCalculate = 250;
    sim.arrays.speedTable = {1, 2, 3};
    writeMaxboltzAndFarewell(sim);
    EXPECT_EQ(sim.arrays.particleArray.capacity() + sim.arrays.speedTable.capacity(), 0u);
    test::expectGolden("main_loop.txt", calls.str() + test::filesHere() + box.console.output());
}

}  // namespace
}  // namespace qv
