#include "app/loop.h"

#include <chrono>
#include <thread>

#include "console/console.h"
#include "console/output_file.h"
#include "dataset/loader.h"
#include "dataset/writer.h"
#include "sim/cooling.h"
#include "sim/state.h"
#include "sim/timestep.h"

namespace qv {
namespace {

void renderFrame() {
    // The frame stored is the state before this call's step.
    if (params.currentFrame % params.writeFreq == 0 || params.currentFrame == 1) writeFrame();
    if (params.automatedAnalysis == 1) {
        smartCoolingSchedule();
    } else if (params.autoFiringOn == 1) {
        autoFiring();
    }
    timeStepOnce(particles(), liveCount());
    params.simTime += params.timeStep;
}

void replayFrame() {
    setFrameFromStore(params.currentFrame);
    // Overwrite the previous "Frame number ... loaded" in place.
    console::out() << std::string(28, '\b') << "Frame number "
                   << params.currentFrame * params.writeFreq << " loaded" << std::flush;
    if (params.slowMotionDelay > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(params.slowMotionDelay));
    params.simTime = params.currentFrame * params.writeFreq * params.timeStep;
}

// The master file holds the state reached, also when the render stops early: a run that ran out
// of disk can be continued from it elsewhere.
FrameOutcome endRender() {
    if (writesFailed() && params.currentFrame <= params.framesToCalculate) {
        console::out() << '\n'
                       << "The render stops before frame " << params.currentFrame
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
    if (params.currentFrame > params.framesToCalculate && params.runMode == kPlay) {
        params.currentFrame = 1;
    } else if (params.runMode == kRender &&
               (params.currentFrame > params.framesToCalculate || writesFailed())) {
        return endRender();
    } else if (params.currentFrame < 1) {
        params.currentFrame = params.framesToCalculate;
    }

    if (params.runMode == kRender) {
        renderFrame();
    } else if (params.runMode == kPlay) {
        replayFrame();
    } else if (params.runMode == kCrystal) {
        params.simTime += params.timeStep;
    }
    params.currentFrame += params.playStep;
    return FrameOutcome::Continue;
}

}  // namespace qv
