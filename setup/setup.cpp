#include "setup/setup.h"

#include <unistd.h>

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <locale>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>

#include "analysis/runlog.h"
#include "console/console.h"
#include "dataset/writer.h"
#include "setup/config.h"
#include "setup/configuration.h"
#include "setup/derived.h"
#include "setup/load_dialogue.h"
#include "setup/model_options.h"
#include "sim/simulation.h"

namespace qv {
namespace {

const char* const kFileNamePrompt = "Please enter the filename you wish to render (No Spaces)\n";
const char* const kAppendPrompt =
    "File exists... do you wish to continue and append to end of file? (y/n) \n";

std::ostream& out() {
    return console::out();
}

bool needsWindow(RunMode mode) {
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

// The longest name a render derives from the data set name is "2D" + name + "ShellStructure.xls";
// a name is refused when that would not fit in one directory entry, or when it holds control
// characters (a NUL byte would cut every file name at the same place).
}  // namespace

std::string dataSetNameProblem(const std::string& name) {
    for (const char c : name) {
        if (std::iscntrl(static_cast<unsigned char>(c)))
            return "A file name cannot hold control characters.";
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

namespace {

// A data set name as typed, asked again until it is one the render can use.
std::string readDataSetName(const std::string& prompt) {
    for (;;) {
        std::string name = console::readWord(prompt);
        const std::string problem = dataSetNameProblem(name);
        if (problem.empty()) return name;
        out() << problem << '\n' << prompt << std::flush;
    }
}

// True when the derived quantities of `trial` are all usable.
bool derivesUsably(Simulation trial) {
    computeDerivedQuantities(trial);
    return !findUnusableQuantity(trial.model);
}

// The answer that makes a derived quantity unusable: the one whose default alone would mend it.
// Its configuration key goes with it; none when no single answer mends it.
struct AnswerToChange {
    const char* answer;
    const char* key;
};

AnswerToChange answerToChange(const Simulation& answered) {
    struct Candidate {
        AnswerToChange change;
        void (*reset)(Simulation&);
    };
    static const Candidate candidates[] = {
        {{"the temperature", "temperature"},
         [](Simulation& s) { s.model.dustTemperature = 300.0; }},
        {{"the CCP", "coupling"}, [](Simulation& s) { s.thermostat.ccple = 500.0; }},
        {{"the charge", "charge"}, [](Simulation& s) { s.model.grainCharge = -10000.0; }},
        {{"the mass fractions", "max_mass_fraction"},
         [](Simulation& s) {
             const PlasmaModel initial{};
             s.model.grainMass = initial.grainMass;
             s.model.grainRadius = initial.grainRadius;
         }},
        {{"the step multiplier", "step_multiplier"},
         [](Simulation& s) { s.model.stepMultiplier = 1.0; }},
    };
    for (const Candidate& c : candidates) {
        Simulation trial = answered;
        c.reset(trial);
        if (derivesUsably(trial)) return c.change;
    }
    return {"the temperature, the CCP, the charge, the mass fractions or the step multiplier", ""};
}

double physicalMemoryBytes() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return INFINITY;
    return static_cast<double>(pages) * static_cast<double>(pageSize);
}

}  // namespace

double setUpBytes(const Simulation& sim) {
    // The particle and force arrays, and the speed table of one block per analysis frame.
    const double slots = sim.numParticles;
    double bytes = slots * (sizeof(Particle) + 3 * sizeof(double));
    if (sim.switches.speedDistributionOn) {
        const double blocks = sim.clock.framesToCalculate / sim.clock.analysisFreq + 1;
        bytes += slots * blocks * sizeof(double);
    }
    return bytes;
}

namespace {

// Why the set-up just answered cannot run (empty when it can), and the configuration key of the
// answer to change. `answered` holds the answers before the derived quantities were computed.
struct SetUpProblem {
    std::string why;
    std::string key;
};

SetUpProblem setUpProblem(const Simulation& sim, const Simulation& answered, const char* ending) {
    if (const std::optional<UnusableQuantity> bad = findUnusableQuantity(sim.model)) {
        const AnswerToChange change = answerToChange(answered);
        std::ostringstream s;
        s.imbue(std::locale::classic());
        s << "The " << bad->name << " would be " << bad->value;
        if (bad->limit > 0) s << ", longer than the " << bad->limit << " a stable step allows";
        s << ": please change " << change.answer << ending;
        return {s.str(), change.key};
    }
    const double bytes = setUpBytes(sim);
    const double memory = physicalMemoryBytes();
    if (bytes > memory) {
        // What is needed rounded up, what there is rounded down.
        const std::string need = std::to_string(std::llround(std::ceil(bytes / 1e9)));
        const std::string have = std::to_string(std::llround(std::floor(memory / 1e9)));
        const char* what = sim.switches.speedDistributionOn ? "The particles and their speed table"
                                                            : "The particles";
        return {std::string(what) + " would need " + need + " GB, more than the " + have +
                    " GB of memory: please change the number of particles, the frames or the "
                    "speed distribution" +
                    ending,
                "particles"};
    }
    return {};
}

}  // namespace

void runSetUp(Simulation& sim, OutputFile& dataSet, bool windowOpen) {
    showStartMenu(sim, windowOpen);
    const RunMode mode = sim.run.runMode;
    if (mode == RunMode::Render || mode == RunMode::RenderDefaults || mode == RunMode::Crystal) {
        out() << "Rendering a new data set " << '\n' << '\n';
        promptDataSetFile(sim, dataSet);
        const Simulation before = sim;
        for (;;) {
            if (mode == RunMode::Render) {
                promptParameters(sim);
            } else if (mode == RunMode::RenderDefaults) {
                applyRenderDefaults(sim);
                sim.run.runMode = RunMode::Render;
            } else {
                applyCrystalDefaults(sim);
            }
            if (sim.switches.automatedAnalysis) promptCoolingSchedule(sim);
            const Simulation answered = sim;
            computeDerivedQuantities(sim);
            const std::string problem =
                setUpProblem(sim, answered, " and enter the parameters again.").why;
            if (problem.empty()) break;
            out() << problem << '\n' << '\n' << std::flush;
            // The default sets always pass; only typed parameters can be asked again.
            if (mode != RunMode::Render) console::exitProgram(1);
            sim = before;
        }
        startRender(sim, dataSet);
    } else if (mode == RunMode::Play) {
        out() << "Play an existing data set" << '\n' << '\n';
        openDataSetForReading(sim);
        sim.run.runMode = RunMode::Play;
        allocateParticles(sim, sim.numParticles);
        out() << "Please wait while the file is loaded, this may take several minutes... " << '\n'
              << '\n'
              << std::flush;
        loadAllFrames(sim);
    } else if (mode == RunMode::LoadAndContinue) {
        out() << "Load then render an existing data set" << '\n' << '\n';
        loadAndContinue(sim, dataSet);
        sim.run.runMode = RunMode::Render;
        sim.switches.speedDistributionOn = false;  // no initial speeds were drawn: no Maxboltz file
        if (sim.switches.automatedAnalysis) promptCoolingSchedule(sim);
        startContinuedRender(sim, dataSet);
    }
}

// The gas draws from a stream of its own, not the one that placed the grains, and a continued
// run from another than the run it continues: the state it starts from picks the stream.
void startModelOptions(Simulation& sim) {
    constexpr unsigned long kGasStream = 0x9e3779b9UL;
    unsigned long seed = static_cast<unsigned long>(sim.run.randomSeed) ^ kGasStream;
    if (sim.liveCount() > 0) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &sim.particles()[0].pos[0], sizeof bits);
        seed ^= static_cast<unsigned long>(bits);
    }
    sim.random.seed(seed);
    writeModelRecord(sim);
}

void startRender(Simulation& sim, OutputFile& dataSet) {
    reportDerivedQuantities(sim);
    configureInitialParticles(sim);
    writeDataSetHeader(sim, dataSet, sim.clock.numWrittenFrames, sim.clock.writeFreq);
    sim.model.totalCharge = chargeSum(sim);
    writeRunLogHeaders(sim);
    startModelOptions(sim);
}

void startContinuedRender(Simulation& sim, OutputFile& dataSet) {
    out() << "Frames to be calculated: " << sim.clock.framesToCalculate << '\n' << '\n';
    writeDataSetHeader(sim, dataSet, sim.clock.numWrittenFrames, sim.clock.writeFreq);
    sim.model.totalCharge = chargeSum(sim);
    out() << "Thank you generating" << '\n' << '\n' << std::flush;
    writeRunLogHeaders(sim);
    startModelOptions(sim);
}

void configureRender(Simulation& sim, const Config& config) {
    sim.run.runMode = RunMode::Render;
    sim.switches.automatedAnalysis = config.flag("cooling_schedule");
    takeOutputs2D(sim, config);
    sim.run.baseName = config.text("name");
    if (const std::string problem = dataSetNameProblem(sim.run.baseName); !problem.empty())
        config.reject("name", problem);
    promptParameters(sim, &config);
    if (sim.switches.automatedAnalysis) promptCoolingSchedule(sim, &config);
    takeModelOptions(sim, config);
    const Simulation answered = sim;
    computeDerivedQuantities(sim);
    resolveScreening(sim);
    const SetUpProblem problem = setUpProblem(sim, answered, ".");
    if (problem.why.empty()) return;
    if (problem.key.empty()) throw ConfigError(config.source() + ": " + problem.why);
    config.reject(problem.key, problem.why);
}

void takeOutputs2D(Simulation& sim, const Config& config) {
    sim.switches.shellOutput2D = config.flag("outputs_2d.shell");
    sim.switches.pcfOutput2D = config.flag("outputs_2d.pcf");
    sim.switches.potentialOutput2D = config.flag("outputs_2d.potential");
    sim.switches.efieldOutput2D = config.flag("outputs_2d.efield");
}

void showStartMenu(Simulation& sim, bool windowOpen) {
    // Depth testing is switched on where the window is created; this dialogue needs no GL.
    for (;;) {
        printMenu();
        sim.run.runMode = static_cast<RunMode>(console::readIntWhere(
            [](int v) { return v >= 1 && v <= 6; }, "Incorrect choice Please choose again", ""));
        if (needsWindow(sim.run.runMode) && !windowOpen) {
            out() << "Option " << static_cast<int>(sim.run.runMode)
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
            sim.switches.automatedAnalysis =
                console::readIntWhere([](int v) { return v == 0 || v == 1; },
                                      "Please answer 1 (yes) or 0 (no).", prompt) == 1;
        }
        if (sim.run.runMode != RunMode::Outputs2D) return;
        chooseOutputs2D(sim);
    }
}

void chooseOutputs2D(Simulation& sim) {
    out() << '\n' << "Please select which 2D outputs you would like" << '\n' << '\n';
    sim.switches.shellOutput2D = console::prompt<int>("Shell 1(yes) or 0(no)? ") > 0;
    sim.switches.pcfOutput2D = console::prompt<int>("PCF 1(yes) or 0(no)? ") > 0;
    sim.switches.potentialOutput2D = console::prompt<int>("Potential 1(yes) or 0(no)? ") > 0;
    sim.switches.efieldOutput2D = console::prompt<int>("E-Field 1(yes) or 0(no)? ") > 0;
}

void promptDataSetFile(Simulation& sim, OutputFile& dataSet) {
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
        // A missing directory, no permission or a directory of that name: the dialogue asks for
        // another name, so the failure does not count against the run.
        const int error =
            dataSet.openQuietly(sim.run.baseName, append ? FileMode::Append : FileMode::Replace);
        if (error == 0) break;
        out() << "The file " << sim.run.baseName << " cannot be created (" << std::strerror(error)
              << "); please enter another name." << '\n'
              << '\n';
    }
    out() << '\n' << std::flush;
}

}  // namespace qv
