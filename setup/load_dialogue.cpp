#include "setup/load_dialogue.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <iomanip>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "console/console.h"
#include "dataset/reader.h"
#include "setup/configuration.h"
#include "setup/loading.h"

namespace qv {
namespace {

// Where the loader's problem is kept for a caller without a console dialogue, or null.
std::string* problemSink = nullptr;

void reportProblem(const std::string& name, const dataset::Problem& problem) {
    if (problemSink) *problemSink = "line " + std::to_string(problem.line) + ": " + problem.what;
    console::out() << '\n'
                   << "Error in data set file " << name << ", line " << problem.line << ": "
                   << problem.what << '\n'
                   << "Please choose another file" << '\n'
                   << std::flush;
}

// The slots, Rapar, time step, ND and write interval of a header.
void takeRunSize(Simulation& sim, const dataset::Header& h) {
    sim.numParticles = h.slots;
    sim.model.apparatusRadius = h.apparatusRadius;
    sim.model.timeStep = h.timeStep;
    sim.model.debyeSphereCount = h.debyeSphereCount;
    sim.clock.writeFreq = h.writeFreq;
}

// What the file name dialogue shows of a header, EndFrame as the run's frames.
void takeHeaderSummary(Simulation& sim, const dataset::Header& h) {
    takeRunSize(sim, h);
    sim.clock.framesToCalculate = h.endFrame;
}

int askEndFrame(int reported) {
    console::out() << '\n';
    return console::prompt<int>(
        "For unfinished file please manually enter new EndFrame number (Reported EndFrame: " +
            std::to_string(reported) + ") - enter 0 to leave: \n",
        [](int v) { return v >= 0; },
        "EndFrame cannot be negative: enter 0 to keep it or the number of complete frames");
}

// Percentage of the frames read, overwritten in place on one console line.
class Progress {
  public:
    Progress(long long frames, long long linesPerFrame, const LoadOptions& options)
        : frames_(frames), shown_(frames * linesPerFrame >= options.progressMinLines) {
        if (shown_) console::out() << "Loading frames:   0%" << std::flush;
    }
    ~Progress() {
        if (shown_) console::out() << '\n' << std::flush;
    }
    void frameDone(long long done) {
        if (!shown_) return;
        const int percent = static_cast<int>(done * 100 / frames_);
        if (percent == last_) return;
        last_ = percent;
        console::out() << "\b\b\b\b" << std::setw(3) << percent << '%' << std::flush;
    }

  private:
    long long frames_;
    bool shown_;
    int last_ = 0;
};

// The header's run quantities; the park height and the number density follow from them.
void takeHeader(Simulation& sim, const dataset::Header& h) {
    takeRunSize(sim, h);
    sim.model.dustPlasmaFrequency = h.dustPlasmaFrequency;
    sim.model.interparticleDistance = h.interparticleDistance;
    sim.reserve.numDeadParticles = h.deadParticles;
    // Unfired dead particles wait at 1.5 Rapar on the y axis.
    sim.reserve.deadParkY = 1.5 * h.apparatusRadius;
    const double r = h.apparatusRadius;
    sim.model.numberDensity = (h.slots - h.deadParticles) / (r * r * r * h.debyeSphereCount);
    // In a replay every slot is drawn as a grain.
    if (sim.run.runMode == RunMode::Play) sim.reserve.numDeadParticles = 0;
}

}  // namespace

bool loadFramesOnce(Simulation& sim, const LoadOptions& options, std::string* problemText) {
    // Also for the early returns below.
    struct Sink {
        explicit Sink(std::string* s) { problemSink = s; }
        ~Sink() { problemSink = nullptr; }
    } sink(problemText);
    std::ostream& out = console::out();
    const std::string& name = sim.run.baseName;
    dataset::Reader reader;
    if (!reader.open(name)) {
        out << "Error: Unable to open file" << '\n' << "Please choose another file" << '\n';
        if (problemText) *problemText = "the file cannot be opened";
        return false;
    }
    dataset::Header h;
    if (const auto problem = reader.readHeader(h)) {
        reportProblem(name, *problem);
        return false;
    }
    takeHeader(sim, h);

    int endFrame = h.endFrame;
    const int answer = options.endFrameAnswer ? *options.endFrameAnswer : askEndFrame(endFrame);
    if (answer > 0) {
        endFrame = answer;
        sim.clock.framesToCalculate = answer;
    }

    // The records to fill must be exactly the file's slots, from the cursor on.
    Arrays& a = sim.arrays;
    if (a.particleCursor > a.particleArray.size() ||
        a.particleArray.size() - a.particleCursor != static_cast<std::size_t>(h.slots))
        allocateParticles(sim, h.slots);
    if (const auto problem = reader.readProperties(
            h.slots, a.particleArray.data() + a.particleCursor, h.deadParticles)) {
        reportProblem(name, *problem);
        return false;
    }
    a.particleCursor += static_cast<std::size_t>(h.slots);
    reportAverages(sim);

    // Never reserve more frames than the rest of the file can hold, whatever EndFrame says.
    const std::uint64_t fit = reader.bytesLeft() / (dataset::kMinFrameLineBytes * h.slots);
    const std::uint64_t capacity =
        std::min<std::uint64_t>(static_cast<std::uint64_t>(endFrame), fit);
    // A file loaded before is given up first, so two stores are never held at once.
    std::vector<double>().swap(a.frameStore);
    a.frameNumbers.clear();
    std::vector<double> store;
    try {
        store.reserve(capacity * h.slots * 3);
    } catch (const std::exception&) {  // bad_alloc, or length_error beyond any vector
        reportProblem(name, {1, "its " + std::to_string(capacity) + " frames of " +
                                    std::to_string(h.slots) + " slots do not fit in memory"});
        return false;
    }
    dataset::Problem problem;
    dataset::FramesRead read;
    {
        Progress progress(endFrame, h.slots, options);
        read = reader.readFrames(
            h.slots, endFrame, store, problem,
            [&progress](long long done) { progress.frameDone(done); }, &a.frameNumbers);
    }
    const long long frames = read.complete;
    if (frames == 0) {
        if (!read.broken)
            problem = {reader.lineNumber() + 1, "the file holds no complete stored frame"};
        reportProblem(name, problem);
        return false;
    }
    if (frames < endFrame) {
        out << '\n' << "The file " << name;
        if (read.broken)
            out << " breaks at line " << problem.line << " (" << problem.what << ") after ";
        else
            out << " ends after ";
        out << frames << " complete stored frames, not the " << endFrame << " of its EndFrame"
            << (read.broken ? "" : " (an unfinished render)") << ": " << frames
            << " frames are loaded" << '\n'
            << '\n';
        sim.clock.framesToCalculate = static_cast<int>(frames);
        store.shrink_to_fit();
    }
    a.frameStore = std::move(store);
    return true;
}

long long storedFrameCount(const Simulation& sim) {
    if (sim.numParticles < 1) return 0;
    return static_cast<long long>(sim.arrays.frameStore.size() /
                                  (static_cast<std::size_t>(sim.numParticles) * 3));
}

void openDataSetForReading(Simulation& sim) {
    std::ostream& out = console::out();
    const std::string question =
        "If you wish to play this file press 1 otherwise press 2 to choose another file\n";
    for (;;) {
        out << '\n' << "Please enter the filename you wish to play" << '\n' << std::flush;
        sim.run.baseName = console::readWord();
        out << '\n' << "Loading " << sim.run.baseName << '\n' << '\n';
        dataset::Reader reader;
        if (!reader.open(sim.run.baseName)) {
            out << '\n' << "Error in opening file please re-enter file name" << '\n';
            continue;
        }
        dataset::Header h;
        if (const auto problem = reader.readHeader(h)) {
            reportProblem(sim.run.baseName, *problem);
            continue;
        }
        takeHeaderSummary(sim, h);
        out << '\n'
            << "Loading File..." << '\n'
            << "File Contains: "
            << "Particles: " << sim.numParticles
            << " || Frames: " << sim.clock.framesToCalculate * sim.clock.writeFreq << '\n'
            << '\n'
            << "Write Freq: " << sim.clock.writeFreq << " || Timestep: " << sim.model.timeStep
            << '\n'
            << '\n'
            << question << std::flush;
        sim.run.runMode = static_cast<RunMode>(console::readInt(question));
        if (sim.run.runMode == RunMode::Render) return;
    }
}

bool readDataSetHeader(Simulation& sim, const std::string& name, std::string& problem) {
    dataset::Reader reader;
    if (!reader.open(name)) {
        problem = "the file cannot be opened";
        return false;
    }
    dataset::Header h;
    if (const auto p = reader.readHeader(h)) {
        problem = "line " + std::to_string(p->line) + ": " + p->what;
        return false;
    }
    takeHeaderSummary(sim, h);
    return true;
}

void loadAllFrames(Simulation& sim, const LoadOptions& options) {
    // A broken file sends the user back to the file name; the run mode chosen before stays.
    while (!loadFramesOnce(sim, options)) {
        const RunMode mode = sim.run.runMode;
        openDataSetForReading(sim);
        sim.run.runMode = mode;
        allocateParticles(sim, sim.numParticles);
    }
}

void setFrameFromStore(Simulation& sim, int frame) {
    if (frame < 1 || frame > storedFrameCount(sim)) return;
    const std::size_t slots =
        std::min(static_cast<std::size_t>(sim.numParticles), sim.arrays.particleArray.size());
    const double* source =
        sim.arrays.frameStore.data() + static_cast<std::size_t>(frame - 1) * sim.numParticles * 3;
    for (std::size_t s = 0; s < slots; ++s, source += 3) {
        Particle& p = sim.arrays.particleArray[s];
        p.pos[0] = source[0];
        p.pos[1] = source[1];
        p.pos[2] = source[2];
    }
}

}  // namespace qv
