#include "app/batch.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <locale>
#include <sstream>
#include <system_error>

#include "app/loop.h"
#include "app/session.h"
#include "console/console.h"
#include "console/output_file.h"
#include "setup/config.h"
#include "setup/load_dialogue.h"
#include "setup/model_options.h"
#include "setup/setup.h"
#include "sim/cooling.h"
#include "sim/parallel.h"

namespace qv {
namespace {

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void requestStop(int) {
    stopRequested = 1;
}

// Ctrl-C or a kill ends the render after the step under way, not in the middle of a write.
void catchStopSignals() {
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// Steps done, rate and time left. On a terminal one line rewritten a few times a second; into a
// file or pipe a plain line at every tenth, so that a log holds no carriage returns.
class Progress {
  public:
    Progress(std::string label, int total)
        : label_(std::move(label)),
          total_(total),
          terminal_(::isatty(STDOUT_FILENO) == 1),
          start_(Clock::now()),
          shown_(start_) {}

    void update(int done) {
        const Clock::time_point now = Clock::now();
        if (terminal_) {
            if (done < total_ && now - shown_ < std::chrono::milliseconds(250)) return;
            shown_ = now;
            const int width = 30;
            const int filled = static_cast<int>(static_cast<long long>(done) * width / total_);
            std::cout << '\r' << label_ << " [" << std::string(filled, '#')
                      << std::string(width - filled, '.') << "] " << describe(done, now) << "   "
                      << std::flush;
            return;
        }
        const int tenth = static_cast<int>(static_cast<long long>(done) * 10 / total_);
        if (tenth <= tenth_) return;
        tenth_ = tenth;
        std::cout << label_ << ": " << describe(done, now) << '\n' << std::flush;
    }
    void end() {
        if (terminal_) std::cout << '\n' << std::flush;
    }
    double seconds() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

  private:
    using Clock = std::chrono::steady_clock;

    std::string describe(int done, Clock::time_point now) const {
        const double elapsed = std::chrono::duration<double>(now - start_).count();
        const double rate = elapsed > 0 ? done / elapsed : 0;
        std::ostringstream s;
        s.imbue(std::locale::classic());
        s << std::setw(3) << static_cast<long long>(done) * 100 / total_ << "% (" << done << " of "
          << total_ << " steps, " << std::fixed << std::setprecision(0) << rate << " steps/s";
        if (rate > 0 && done < total_) s << ", " << std::ceil((total_ - done) / rate) << " s left";
        s << ')';
        return s.str();
    }

    std::string label_;
    int total_;
    bool terminal_;
    Clock::time_point start_;
    Clock::time_point shown_;
    int tenth_ = 0;
};

}  // namespace

int countShells(std::vector<double> radii, double spacing) {
    std::sort(radii.begin(), radii.end());
    int shells = radii.empty() ? 0 : 1;
    for (std::size_t i = 1; i < radii.size(); ++i)
        if (radii[i] - radii[i - 1] > kShellGap * spacing) ++shells;
    return shells;
}

namespace {

void writeSummary(const Simulation& sim, int framesDone) {
    std::vector<double> radii;
    for (int s = 0; s < sim.liveCount(); ++s)
        radii.push_back(sim.particles()[s].distanceFromCentre());
    OutputFile f = openForWrite(sim.run.baseName + "Summary.tsv");
    f.stream().precision(17);
    const Energies& e = sim.energies;
    f << kSummaryHeader << '\n'
      << framesDone << '\t' << measuredTemperature(sim) << '\t' << sim.thermostat.ccple << '\t'
      << e.kineticEnergy << '\t' << e.pairEnergy << '\t' << e.apparatusEnergy << '\t'
      << e.kineticEnergy + e.pairEnergy + e.apparatusEnergy << '\t'
      << countShells(radii, sim.model.interparticleDistance) << '\n';
}

// Answers, checks and loading: everything before the first file is written.
void configure(Simulation& sim, const Config& config, const BatchOptions& options) {
    if (config.command() == Command::Render) {
        configureRender(sim, config);
    } else {
        sim.run.runMode = RunMode::LoadAndContinue;
        sim.switches.automatedAnalysis = config.flag("cooling_schedule");
        takeOutputs2D(sim, config);
        configureContinue(sim, config);
        // A continued run keeps the interaction and dynamics it was recorded with.
        if (std::string problem; !readModelRecord(sim, config.text("from"), problem))
            config.reject("from", problem);
        takeModelOptions(sim, config);
        resolveScreening(sim);
        sim.run.baseName = config.text("name");
        if (const std::string problem = dataSetNameProblem(sim.run.baseName); !problem.empty())
            config.reject("name", problem);
        if (sim.switches.automatedAnalysis) promptCoolingSchedule(sim, &config);
    }
    const std::filesystem::path target = std::filesystem::path(options.outDir) / sim.run.baseName;
    if (!config.flag("append") && fileExists(target.string()))
        config.reject("name", "the data set " + target.string() +
                                  " exists: set append = true or choose another name");
}

}  // namespace

QuietConsole::QuietConsole() {
    console::setStreams(std::cin, quiet_);
    console::setErrorStream(&std::cerr);
}

QuietConsole::~QuietConsole() {
    console::setErrorStream(nullptr);
    console::useStandardStreams();
}

int runBatch(const Config& config, const BatchOptions& options) {
    Session session;
    Simulation& sim = session.sim;
    // The dialogue's texts and the status line have no reader here; failures go to stderr.
    const QuietConsole quiet;
    try {
        configure(sim, config, options);
    } catch (const ConfigError& e) {
        std::cerr << "quorvex: " << e.what() << '\n';
        return kExitConfigError;
    }

    std::error_code error;
    std::filesystem::create_directories(options.outDir, error);
    if (error || ::chdir(options.outDir.c_str()) != 0) {
        std::cerr << "quorvex: the folder " << options.outDir
                  << " cannot be used: " << (error ? error.message() : std::strerror(errno))
                  << '\n';
        return 1;
    }
    const std::string& name = sim.run.baseName;
    const FileMode mode = config.flag("append") ? FileMode::Append : FileMode::Replace;
    if (const int e = session.dataSet.openQuietly(name, mode); e != 0) {
        std::cerr << "quorvex: the file " << name << " cannot be created: " << std::strerror(e)
                  << '\n';
        return 1;
    }
    {
        OutputFile resolved = openForWrite(name + "Config.toml");
        resolved << config.resolved();
    }
    if (config.command() == Command::Render) {
        startRender(sim, session.dataSet);
    } else {
        sim.run.runMode = RunMode::Render;
        sim.switches.speedDistributionOn = false;  // no initial speeds: no Maxboltz file
        startContinuedRender(sim, session.dataSet);
    }

    catchStopSignals();
    const int total = sim.clock.framesToCalculate;
    Progress progress(name, total);
    FrameOutcome outcome = FrameOutcome::Continue;
    bool interrupted = false;
    int done = 0;  // steps taken: every call that goes on took one
    while (outcome == FrameOutcome::Continue) {
        if (stopRequested) {
            interrupted = true;
            outcome = endRender(session);
            break;
        }
        outcome = idleFrame(session);
        if (outcome == FrameOutcome::Continue) progress.update(++done);
    }
    progress.end();
    writeSummary(sim, done);
    writeMaxboltzAndFarewell(sim);
    if (outcome == FrameOutcome::RenderFailed || writesFailed()) {
        std::cerr << "quorvex: " << name << " stopped after " << done << " of " << total
                  << " steps: a file could not be written (see above)\n";
        return 1;
    }
    std::cout.imbue(std::locale::classic());
    if (interrupted) {
        const std::string master =
            (std::filesystem::path(options.outDir) / name).string() + "MasterFile";
        std::cout << name << ": interrupted after " << done << " of " << total
                  << " steps; the data set keeps its stored frames and " << master
                  << " holds the state reached (quorvex continue with from = \"" << master
                  << "\")\n";
        return kExitInterrupted;
    }
    const int threads = parallelThreads();
    std::cout << name << ": " << total << " steps in " << std::fixed << std::setprecision(2)
              << progress.seconds() << " s on " << threads
              << (threads == 1 ? " thread" : " threads") << "; files in " << options.outDir << '\n';
    return 0;
}

}  // namespace qv
