#include "app/loop.h"

#include <chrono>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "analysis/velocity_outputs.h"
#include "app/driver.h"
#include "console/console.h"
#include "console/output_file.h"
#include "dataset/writer.h"
#include "setup/load_dialogue.h"

namespace qv {
namespace {

void replayFrame(Simulation& sim, const ViewState& view) {
    setFrameFromStore(sim, sim.clock.currentFrame);
    // Overwrite the previous "Frame number ... loaded" in place.
    console::out() << std::string(28, '\b') << "Frame number "
                   << sim.clock.currentFrame * sim.clock.writeFreq << " loaded" << std::flush;
    if (view.slowMotionDelay > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(view.slowMotionDelay));
    sim.clock.simTime = sim.clock.currentFrame * sim.clock.writeFreq * sim.model.timeStep;
}

template <class T>
void release(std::vector<T>& v) {
    std::vector<T>().swap(v);
}

}  // namespace

// The master file holds the state reached, also when the render stops early: a run that ran out
// of disk can be continued from it elsewhere.
FrameOutcome endRender(Session& session) {
    const Simulation& sim = session.sim;
    console::out().flush();  // the last status line, which waited for its time
    if (writesFailed() && sim.clock.currentFrame <= sim.clock.framesToCalculate) {
        console::err() << '\n'
                       << "The render stops before frame " << sim.clock.currentFrame
                       << " because a file could not be written." << '\n'
                       << '\n'
                       << std::flush;
    }
    session.dataSet.close();
    writeMasterFile(sim);
    return writesFailed() ? FrameOutcome::RenderFailed : FrameOutcome::RenderComplete;
}

FrameOutcome idleFrame(Session& session) {
    Simulation& sim = session.sim;
    RunClock& clock = sim.clock;
    const RunMode mode = sim.run.runMode;
    if (clock.currentFrame > clock.framesToCalculate && mode == RunMode::Play) {
        clock.currentFrame = 1;
    } else if (mode == RunMode::Render &&
               (clock.currentFrame > clock.framesToCalculate || writesFailed())) {
        return endRender(session);
    } else if (clock.currentFrame < 1) {
        clock.currentFrame = clock.framesToCalculate;
    }

    if (mode == RunMode::Render) {
        renderStep(sim, session.dataSet);
    } else if (mode == RunMode::Play) {
        replayFrame(sim, session.view);
    } else if (mode == RunMode::Crystal) {
        clock.simTime += sim.model.timeStep;
    }
    clock.currentFrame += session.view.playStep;
    return FrameOutcome::Continue;
}

void writeMaxboltzAndFarewell(Simulation& sim) {
    if (sim.switches.speedDistributionOn) writeMaxboltzTable(sim);
    std::ostream& out = console::out();
    out << '\n';
    release(sim.arrays.frameStore);
    release(sim.arrays.particleArray);
    sim.arrays.particleCursor = 0;
    release(sim.arrays.forceArray);
    release(sim.arrays.speedTable);
    // A run that lost output must not end on the farewell of a successful one.
    if (writesFailed()) {
        out << "Quorvex stops: not every file could be written (see above)." << '\n' << std::flush;
    } else {
        out << "Thank you for using Quorvex 3-D Simulation v.2 - Have a nice day :-)" << '\n'
            << std::flush;
    }
}

}  // namespace qv
