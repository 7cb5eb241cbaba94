// The default render (start-up menu option 4: 276 grains, 10 000 frames, a stored frame every 25,
// the Data row and the analyses every 20, a status line every frame) with every file and the
// console written, against the same run's time steps alone. Each run sets up in a fresh temporary
// folder, untimed; the console goes to /dev/null. The ratio of the medians follows the table.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/loop.h"
#include "app/session.h"
#include "console/console.h"
#include "setup/setup.h"
#include "sim/timestep.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Seconds of every run, by what was run.
std::map<std::string, std::vector<double>> runSeconds;

// A temporary folder to work in for the lifetime of the object, then removed.
class Folder {
  public:
    Folder() : previous_(fs::current_path()) {
        std::string name = (fs::temp_directory_path() / "quorvex-render-XXXXXX").string();
        if (::mkdtemp(name.data()) == nullptr) std::abort();
        path_ = name;
        fs::current_path(path_);
    }
    ~Folder() {
        fs::current_path(previous_);
        fs::remove_all(path_);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

  private:
    fs::path previous_;
    fs::path path_;
};

void everythingWritten(qv::Session& session) {
    while (qv::idleFrame(session) == qv::FrameOutcome::Continue) {
    }
    qv::writeMaxboltzAndFarewell(session.sim);
}

// What a render frame computes, without its outputs.
void stepsAlone(qv::Session& session) {
    qv::Simulation& sim = session.sim;
    for (; sim.clock.currentFrame <= sim.clock.framesToCalculate; ++sim.clock.currentFrame) {
        qv::completeSamplingFrame(sim, qv::timeStepOnce(sim));
        sim.clock.simTime += sim.model.timeStep;
    }
}

void defaultRender(benchmark::State& state, void (*run)(qv::Session&), const char* label) {
    for (auto _ : state) {
        Folder folder;
        std::istringstream answers("4\n0\nrun1\n");
        std::ofstream console("/dev/null");
        qv::console::setStreams(answers, console);
        auto session = std::make_unique<qv::Session>();
        qv::runSetUp(session->sim, session->dataSet, false);
        const Clock::time_point start = Clock::now();
        run(*session);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        runSeconds[label].push_back(seconds);
        session.reset();
        qv::console::useStandardStreams();
    }
}

BENCHMARK_CAPTURE(defaultRender, everything_written, everythingWritten, "written")
    ->Iterations(1)
    ->Repetitions(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(defaultRender, time_steps_alone, stepsAlone, "steps")
    ->Iterations(1)
    ->Repetitions(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double written = median(runSeconds["written"]);
    const double steps = median(runSeconds["steps"]);
    if (written > 0 && steps > 0)
        std::printf(
            "default render, everything written / its time steps alone: %.3f s / %.3f s "
            "= %.2f (medians)\n",
            written, steps, written / steps);
    return 0;
}
