#include "setup/setup.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <locale>
#include <ostream>
#include <sstream>
#include <string>

#include "analysis/runlog.h"
#include "console/console.h"
#include "dataset/loader.h"
#include "dataset/writer.h"
#include "setup/configuration.h"
#include "setup/derived.h"
#include "sim/simulation.h"

namespace qv {
namespace {

const char* const kFileNamePrompt = "Please enter the filename you wish to render (No Spaces)\n";
const char* const kAppendPrompt =
    "File exists... do you wish to continue and append to end of file? (y/n) \n";

std::ostream& out() {
    return console::out();
}

// A prompt on its own line, the answer, then an empty line.
int askInt(const std::string& prompt) {
    const std::string line = prompt + "\n";
    out() << line << std::flush;
    const int v = console::readInt(line);
    out() << '\n';
    return v;
}

// As askInt, but an answer outside the accepted range is refused with `refusal` and the same
// prompt is asked again.
int askIntWhere(const std::string& prompt, const std::function<bool(int)>& accept,
                const std::string& refusal) {
    const std::string line = prompt + "\n";
    out() << line << std::flush;
    const int v = console::readIntWhere(accept, refusal, line);
    out() << '\n';
    return v;
}

double askRealWhere(const std::string& prompt, const std::function<bool(double)>& accept,
                    const std::string& refusal) {
    const std::string line = prompt + "\n";
    out() << line << std::flush;
    const double v = console::readRealWhere(accept, refusal, line);
    out() << '\n';
    return v;
}

// The 2-D questions are answered on the prompt's own line.
int askOnSameLine(const char* prompt) {
    out() << prompt << std::flush;
    const int v = console::readInt(prompt);
    out() << '\n';
    return v;
}

bool needsWindow(int mode) {
    return mode == RunMode::Play || mode == RunMode::Crystal;
}

void printMenu() {
    out() << "Welcome to Quorvex 3-D Simulation v.2  (inc. Pretty Pictures)\n"
          << '\n'
          << "Press F1 for help at any time (during simulation)\n"
          << '\n'
          << "Please choose from the following options:\n"
          << "1: Render a new data set\n"
          << "2: Play an existing data set\n"
          << "3: Load start positions from file and continue to render\n"
          << "4: Default options for Render\n"
          << "5: Create files for surface plotting (If you use Matlab select this first)\n"
          << "6: HCP Crystal Viewing\n"
          << std::flush;
}

// Opens `dataSetStream` on `baseName` for writing or appending; on failure (a missing directory,
// no permission, a directory of that name) the system's error number, else 0. The dialogue asks
// for another name, so the failure does not count against the run.
int openDataSetStream(bool append) {
    return dataSetStream.openQuietly(sim.run.baseName,
                                     append ? FileMode::Append : FileMode::Replace);
}

// The file counts of a render: only whole write intervals are rendered.
void roundToWriteIntervals() {
    sim.clock.numWrittenFrames = sim.clock.framesToCalculate / sim.clock.writeFreq;
    sim.clock.framesToCalculate = sim.clock.numWrittenFrames * sim.clock.writeFreq;
}

// A render counts its frames in an int and goes one past the last before it ends.
constexpr std::int64_t kMaxFrames = INT_MAX - 1;

// The longest name a render derives from the data set name is "2D" + name + "ShellStructure.xls";
// a name is refused when that would not fit in one directory entry, or when it holds control
// characters (a NUL byte would cut every file name at the same place).
std::string dataSetNameProblem(const std::string& name) {
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) return "A file name cannot hold control characters.";
    }
    const std::size_t slash = name.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : name.substr(0, slash + 1);
    const long limit = ::pathconf(dir.c_str(), _PC_NAME_MAX);
    const std::size_t nameMax = limit > 0 ? static_cast<std::size_t>(limit) : NAME_MAX;
    const std::size_t added = std::string("2D").size() + std::string("ShellStructure.xls").size();
    const std::size_t component =
        slash == std::string::npos ? name.size() : name.size() - slash - 1;
    if (component + added > nameMax) {
        return "That name is too long for the result files: at most " +
               std::to_string(nameMax - added) + " characters.";
    }
    return {};
}

// A data set name as typed, asked again until it is one the render can use.
std::string readDataSetName(const std::string& prompt) {
    for (;;) {
        std::string name = console::readWord(prompt);
        const std::string problem = dataSetNameProblem(name);
        if (problem.empty()) return name;
        out() << problem << '\n' << prompt << std::flush;
    }
}

// True when the derived quantities of `trial` are all usable; the globals are left as they were.
bool derivesUsably(const Parameters& trial) {
    const Parameters saved = params;
    params = trial;
    computeDerivedQuantities();
    const bool usable = !findUnusableQuantity(params);
    params = saved;
    return usable;
}

// The answer that makes a derived quantity unusable: the one whose default alone would mend it.
std::string answerToChange(const Parameters& answered) {
    struct Candidate {
        const char* answer;
        void (*reset)(Parameters&);
    };
    static const Candidate candidates[] = {
        {"the temperature", [](Parameters& p) { p.dustTemperature = 300.0; }},
        {"the CCP", [](Parameters& p) { p.ccple = 500.0; }},
        {"the charge", [](Parameters& p) { p.grainCharge = -10000.0; }},
        {"the mass fractions",
         [](Parameters& p) {
             const Parameters initial{};
             p.grainMass = initial.grainMass;
             p.grainRadius = initial.grainRadius;
         }},
        {"the step multiplier", [](Parameters& p) { p.stepMultiplier = 1.0; }},
    };
    for (const Candidate& c : candidates) {
        Parameters trial = answered;
        c.reset(trial);
        if (derivesUsably(trial)) return c.answer;
    }
    return "the temperature, the CCP, the charge, the mass fractions or the step multiplier";
}

double physicalMemoryBytes() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return INFINITY;
    return static_cast<double>(pages) * static_cast<double>(pageSize);
}

// Why the set-up just answered cannot run, or nothing. `answered` holds the answers before the
// derived quantities were computed from them.
std::string setUpProblem(const Parameters& answered) {
    if (const std::optional<UnusableQuantity> bad = findUnusableQuantity(params)) {
        std::ostringstream s;
        s.imbue(std::locale::classic());
        s << "The " << bad->name << " would be " << bad->value;
        if (bad->limit > 0) s << ", longer than the " << bad->limit << " a stable step allows";
        s << ": please change " << answerToChange(answered) << " and enter the parameters again.";
        return s.str();
    }
    // The particle and force arrays, and the speed table of one block per analysis frame.
    const double slots = sim.numParticles;
    double bytes = slots * (sizeof(Particle) + 3 * sizeof(double));
    if (sim.switches.speedDistributionOn == 1) {
        const double blocks = sim.clock.framesToCalculate / sim.clock.analysisFreq + 1;
        bytes += slots * blocks * sizeof(double);
    }
    const double memory = physicalMemoryBytes();
    if (bytes > memory) {
        // What is needed rounded up, what there is rounded down.
        const std::string need = std::to_string(std::llround(std::ceil(bytes / 1e9)));
        const std::string have = std::to_string(std::llround(std::floor(memory / 1e9)));
        const char* what = sim.switches.speedDistributionOn == 1 ? "The particles and their speed table"
                                                           : "The particles";
        return std::string(what) + " would need " + need + " GB, more than the " + have +
               " GB of memory: please change the number of particles, the frames or the speed "
               "distribution and enter the parameters again.";
    }
    return {};
}

}  // namespace

void runSetUp() {
    showStartMenu();
    const int mode = sim.run.runMode;
    if (mode == RunMode::Render || mode == RunMode::RenderDefaults || mode == RunMode::Crystal) {
        out() << "Rendering a new data set " << '\n' << '\n';
        promptDataSetFile();
        const Parameters before = params;
        for (;;) {
            if (mode == RunMode::Render) {
                promptParameters();
            } else if (mode == RunMode::RenderDefaults) {
                applyRenderDefaults();
                sim.run.runMode = RunMode::Render;
            } else {
                applyCrystalDefaults();
            }
            if (sim.switches.automatedAnalysis == 1) promptCoolingSchedule();
            const Parameters answered = params;
            computeDerivedQuantities();
            const std::string problem = setUpProblem(answered);
            if (problem.empty()) break;
            out() << problem << '\n' << '\n' << std::flush;
            // The default sets always pass; only typed parameters can be asked again.
            if (mode != RunMode::Render) console::exitProgram(1);
            params = before;
        }
        reportDerivedQuantities();
        configureInitialParticles();
        writeDataSetHeader(sim.clock.numWrittenFrames, sim.clock.writeFreq);
        writeRunLogHeaders();
    } else if (mode == RunMode::Play) {
        out() << "Play an existing data set" << '\n' << '\n';
        openDataSetForReading();
        sim.run.runMode = RunMode::Play;
        allocateParticles(sim.numParticles);
        out() << "Please wait while the file is loaded, this may take several minutes... " << '\n'
              << '\n'
              << std::flush;
        loadAllFrames();
        view.playStep = 0;  // a replay starts paused
    } else if (mode == RunMode::LoadAndContinue) {
        out() << "Load then render an existing data set" << '\n' << '\n';
        loadAndContinue();
        promptDataSetFile();
        sim.run.runMode = RunMode::Render;
        sim.switches.speedDistributionOn = 2;  // no initial speeds were drawn, so no Maxboltz file
        if (sim.switches.automatedAnalysis == 1) promptCoolingSchedule();
        out() << "Frames to be calculated: " << sim.clock.framesToCalculate << '\n' << '\n';
        writeDataSetHeader(sim.clock.numWrittenFrames, sim.clock.writeFreq);
        out() << "Thank you generating" << '\n' << '\n' << std::flush;
        writeRunLogHeaders();
    }
}

void showStartMenu() {
    // Depth testing is switched on where the window is created; this dialogue needs no GL.
    for (;;) {
        printMenu();
        sim.run.runMode = console::readIntWhere([](int v) { return v >= 1 && v <= 6; },
                                               "Incorrect choice Please choose again", "");
        if (needsWindow(sim.run.runMode) && !view.windowOpen) {
            out() << "Option " << sim.run.runMode
                  << " needs a window, and Quorvex runs without a display; please choose another "
                     "option."
                  << '\n'
                  << '\n';
            continue;
        }
        if (sim.run.runMode == RunMode::Render || sim.run.runMode == RunMode::LoadAndContinue ||
            sim.run.runMode == RunMode::RenderDefaults) {
            const std::string prompt =
                "Would you like automated PCF/Shell Functions (1=yes , 0=no)\n";
            out() << '\n' << prompt << std::flush;
            sim.switches.automatedAnalysis = console::readIntWhere(
                [](int v) { return v == 0 || v == 1; }, "Please answer 1 (yes) or 0 (no).", prompt);
        }
        if (sim.run.runMode != RunMode::Outputs2D) return;
        chooseOutputs2D();
    }
}

void chooseOutputs2D() {
    out() << '\n' << "Please select which 2D outputs you would like" << '\n' << '\n';
    sim.switches.shellOutput2D = askOnSameLine("Shell 1(yes) or 0(no)? ");
    sim.switches.pcfOutput2D = askOnSameLine("PCF 1(yes) or 0(no)? ");
    sim.switches.potentialOutput2D = askOnSameLine("Potential 1(yes) or 0(no)? ");
    sim.switches.efieldOutput2D = askOnSameLine("E-Field 1(yes) or 0(no)? ");
}

void promptDataSetFile() {
    for (;;) {
        out() << kFileNamePrompt << std::flush;
        sim.run.baseName = readDataSetName(kFileNamePrompt);
        out() << '\n';
        bool append = false;
        if (fileExists(sim.run.baseName)) {
            out() << kAppendPrompt << std::flush;
            if (console::readYesNo(kAppendPrompt) == 'y') {
                append = true;
            } else {
                do {
                    out() << '\n' << kFileNamePrompt << std::flush;
                    sim.run.baseName = readDataSetName(kFileNamePrompt);
                    if (!fileExists(sim.run.baseName)) break;
                    out() << "File exists..." << '\n';
                } while (true);
            }
        }
        const int error = openDataSetStream(append);
        if (error == 0) break;
        out() << "The file " << sim.run.baseName << " cannot be created (" << std::strerror(error)
              << "); please enter another name." << '\n'
              << '\n';
    }
    out() << '\n' << std::flush;
}

void promptParameters() {
    Parameters& p = params;
    const auto atLeast = [](int low) { return [low](int v) { return v >= low; }; };

    p.randomSeed = askInt("Please select the seed for random number generation (default 13) ");
    // Live grains and dead particles share one array counted in an int.
    p.numDeadParticles = askIntWhere(
        "Please select the number of Dead Particles (default 100) ",
        [](int v) { return v >= 0 && v < INT_MAX; },
        "The number of dead particles must be from 0 to " + std::to_string(INT_MAX - 1) + ".");
    const std::int64_t maxLive = std::int64_t{INT_MAX} - p.numDeadParticles;
    p.numParticles = askIntWhere(
        "Please select the number of Particles ",
        [maxLive](int v) { return v >= 1 && v <= maxLive; },
        "The number of particles must be from 1 to " + std::to_string(maxLive) + " (" +
            std::to_string(INT_MAX) + " with the dead particles).");
    p.framesToCalculate = askIntWhere(
        "Please select the number of frames you wish to generate",
        [](int v) { return v >= 1 && v <= kMaxFrames; },
        "The number of frames must be from 1 to " + std::to_string(kMaxFrames) + ".");
    p.dustTemperature = askRealWhere(
        "Please select initial temperature of dust in Kelvin", [](double v) { return v > 0; },
        "The temperature must be above 0 K.");
    // The time step takes the logarithm of the coupling parameter.
    p.ccple = askRealWhere(
        "Please enter a value for the CCP", [](double v) { return v > 1; },
        "The CCP must be above 1.");
    p.ccpleTarget = p.ccple;
    // Grains carry electrons: the charge is typed as a count and stored negative. Without charge
    // there is no interparticle distance and no apparatus.
    p.grainCharge = -askRealWhere(
        "Please enter average charge in electron charges", [](double v) { return v != 0; },
        "The charge must not be 0.");
    const int frames = p.framesToCalculate;
    p.writeFreq = askIntWhere(
        "Please enter how often particle position data should be output(4)",
        [frames](int v) { return v >= 1 && v <= frames; },
        "The output frequency must be from 1 to " + std::to_string(frames) + " (the frames).");
    p.analysisFreq = askIntWhere("Please enter how often the analysis file should be written(100)",
                                 atLeast(1), "The analysis frequency must be 1 or more.");
    const int live = p.numParticles;
    // Equal groups round the live count up to a multiple of the groups; it must still fit.
    const auto fits = [live, &p](int v) {
        if (v < 1 || v > live) return false;
        const std::int64_t rounded = (std::int64_t{live} + v - 1) / v * v;
        return rounded + p.numDeadParticles <= INT_MAX;
    };
    p.numMassGroups = askIntWhere(
        "Please enter how many different masses there should be", fits,
        "The number of masses must be from 1 to " + std::to_string(live) + " (the particles).");
    if (p.numMassGroups > 1) setUpMassDistribution();
    p.stepMultiplier = askRealWhere(
        "Multiply step length by(1.0)", [](double v) { return v > 0; },
        "The step multiplier must be above 0.");
    p.speedDistributionOn = askInt("Please select 1 to output speed distribution");

    p.numParticles = p.numParticles + p.numDeadParticles;
    roundToWriteIntervals();
}

void applyRenderDefaults() {
    Parameters& p = params;
    p.numParticles = p.numDeadParticles + 276;
    p.framesToCalculate = 10000;
    p.dustTemperature = 300.0;
    p.ccple = 500.0;
    p.ccpleTarget = 500.0;
    p.grainCharge = -10000.0;
    p.writeFreq = 25;
    p.analysisFreq = 20;
    p.stepMultiplier = 1.0;
    roundToWriteIntervals();
}

void applyCrystalDefaults() {
    Parameters& p = params;
    p.numDeadParticles = 1;
    p.numParticles = p.numDeadParticles + 8000;
    p.framesToCalculate = 10000;
    p.dustTemperature = 300.0;
    p.ccple = 300.0;
    p.ccpleTarget = 300.0;
    p.grainCharge = -10000.0;
    p.writeFreq = 10000;
    p.analysisFreq = 10000;
    p.stepMultiplier = 1.0;
    roundToWriteIntervals();
}

void promptCoolingSchedule() {
    Parameters& p = params;
    const auto positive = [](double v) { return v > 0; };
    const std::string modePrompt =
        "Please enter 1 to only go from Max to Min and 2 for Max-Min-Max";
    std::int64_t frames = 0;
    double maxCcple = 0;
    for (;;) {
        maxCcple =
            askRealWhere("Please enter maximum ccple", positive, "The ccple must be above 0.");
        const double minCcple =
            askRealWhere("Please enter minimum ccple", positive, "The ccple must be above 0.");
        // The step between divisions needs at least two of them.
        p.scheduleDivisions = askIntWhere(
            "Please enter divisions", [](int v) { return v >= 2; },
            "The number of divisions must be 2 or more.");
        p.scheduleDivisionLength = askIntWhere(
            "Please enter length of division (in time steps)", [](int v) { return v >= 2; },
            "The length of a division must be 2 or more time steps.");
        p.scheduleMode = askInt(modePrompt);
        p.scheduleStep = (maxCcple - minCcple) / (p.scheduleDivisions - 1);
        while (p.scheduleMode != 1 && p.scheduleMode != 2) {
            out() << '\n' << "Error with choice" << '\n' << '\n';
            p.scheduleMode = askInt(modePrompt);
        }
        const std::int64_t length = p.scheduleDivisionLength;
        const std::int64_t divisions = p.scheduleDivisions;
        frames = p.scheduleMode == 1 ? length * divisions + length : length * 2 * divisions;
        if (frames > kMaxFrames) {
            out() << "The schedule would run " << frames << " frames, more than the " << kMaxFrames
                  << " a render can count: please enter fewer or shorter divisions." << '\n'
                  << '\n';
        } else if (!std::isfinite(maxCcple + p.scheduleStep)) {
            // The first target lies one step above the maximum.
            out() << "The first target ccple would be " << maxCcple + p.scheduleStep
                  << ": please enter a smaller maximum." << '\n'
                  << '\n';
        } else {
            break;
        }
    }
    // One step above the maximum: the cooling control steps down at the start of each division.
    p.ccpleTarget = maxCcple + p.scheduleStep;
    p.framesToCalculate = static_cast<int>(frames);
    // Twenty analyses per division; a short division still analyses every frame.
    p.analysisFreq = std::max(p.scheduleDivisionLength / 20, 1);
    p.writeFreq = p.framesToCalculate;  // only the first and the last frame are stored
}

}  // namespace qv
