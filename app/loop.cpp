#include "app/loop.h"

#include <chrono>
#include <thread>

#include "console/console.h"
#include "console/output_file.h"
#include "dataset/loader.h"
#include "dataset/writer.h"
#include "sim/cooling.h"
#include "sim/simulation.h"
#include "sim/timestep.h"

namespace qv {
namespace {

void renderFrame() {
    // The frame stored is the state before this call's step.
    if (sim.clock.currentFrame % sim.clock.writeFreq == 0 || sim.clock.currentFrame == 1) writeFrame();
    if (sim.switches.automatedAnalysis == 1) {
        smartCoolingSchedule();
    } else if (sim.switches.autoFiringOn == 1) {
        autoFiring();
    }
    timeStepOnce(sim.particles(), sim.liveCount());
    sim.clock.simTime += sim.model.timeStep;
}

void replayFrame() {
    setFrameFromStore(sim.clock.currentFrame);
    // Overwrite the previous "Frame number ... loaded" in place.
    console::out() << std::string(28, '\b') << "Frame number "
                   << sim.clock.currentFrame * sim.clock.writeFreq << " loaded" << std::flush;
    if (view.slowMotionDelay > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(view.slowMotionDelay));
    sim.clock.simTime = sim.clock.currentFrame * sim.clock.writeFreq * sim.model.timeStep;
}

// The master file holds the state reached, also when the render stops early: a run that ran out
// of disk can be continued from it elsewhere.
FrameOutcome endRender() {
    if (writesFailed() && sim.clock.currentFrame <= sim.clock.framesToCalculate) {
        console::out() << '\n'
                       << "The render stops before frame " << sim.clock.currentFrame
                       << " because a file could not be written." << '\n'
                       << '\n'
                       << std::flush;
    }
    dataSetStream.close();
    writeMasterFile();
    return writesFailed() ? FrameOutcome::RenderFailed : FrameOutcome::RenderComplete;
}

}  // namespace

FrameOutcome idleFrame() {
    if (sim.clock.currentFrame > sim.clock.framesToCalculate && sim.run.runMode == RunMode::Play) {
        sim.clock.currentFrame = 1;
    } else if (sim.run.runMode == RunMode::Render &&
               (sim.clock.currentFrame > sim.clock.framesToCalculate || writesFailed())) {
        return endRender();
    } else if (sim.clock.currentFrame < 1) {
        sim.clock.currentFrame = sim.clock.framesToCalculate;
    }

    if (sim.run.runMode == RunMode::Render) {
        renderFrame();
    } else if (sim.run.runMode == RunMode::Play) {
        replayFrame();
    } else if (sim.run.runMode == RunMode::Crystal) {
        sim.clock.simTime += sim.model.timeStep;
    }
    sim.clock.currentFrame += view.playStep;
    return FrameOutcome::Continue;
}

}  // namespace qv
