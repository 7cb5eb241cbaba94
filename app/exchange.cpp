#include "app/exchange.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <locale>
#include <sstream>
#include <system_error>

#include "analysis/runlog.h"
#include "analysis/structure.h"
#include "app/batch.h"
#include "console/output_file.h"
#include "dataset/extxyz.h"
#include "dataset/lammps.h"
#include "dataset/writer.h"
#include "setup/loading.h"
#include "setup/model_options.h"
#include "sim/constants.h"
#include "sim/timestep.h"

namespace qv {
namespace {

int storedFrames(const Simulation& sim) {
    return static_cast<int>(storedFrameCount(sim));
}

const double* framePositions(const Simulation& sim, int q) {
    return sim.arrays.frameStore.data() + static_cast<std::size_t>(q - 1) * sim.numParticles * 3;
}

// The render's time at stored frame q: its frame was stored before the step of that number.
double frameTime(const Simulation& sim, int q) {
    return (sim.arrays.frameNumbers[q - 1] - 1) * sim.model.timeStep;
}

// The velocities of stored frame q over the steps since the frame before it. The semi-implicit
// step moves a grain by dt times its new velocity, so across a single step the difference is
// the velocity itself; across more it is their mean. None for the first frame.
bool velocitiesOf(const Simulation& sim, int q, std::vector<double>& v) {
    if (q < 2) return false;
    const int steps = sim.arrays.frameNumbers[q - 1] - sim.arrays.frameNumbers[q - 2];
    const double interval = (steps > 0 ? steps : sim.clock.writeFreq) * sim.model.timeStep;
    const double* now = framePositions(sim, q);
    const double* before = framePositions(sim, q - 1);
    v.resize(static_cast<std::size_t>(sim.numParticles) * 3);
    std::transform(now, now + v.size(), before, v.begin(),
                   [interval](double x, double x0) { return (x - x0) / interval; });
    return true;
}

bool oneStepBefore(const Simulation& sim, int q) {
    return q >= 2 && sim.arrays.frameNumbers[q - 1] - sim.arrays.frameNumbers[q - 2] == 1;
}

// Gamma of the live grains moving at `v`, as the step measures it (also left in the thermostat).
double couplingOf(Simulation& sim, const std::vector<double>& v) {
    double speedSum = 0;
    const int live = sim.liveCount();
    for (int s = 0; s < live; ++s) {
        if (sim.arrays.particleArray[s].role != Role::Grain) continue;
        const double* u = v.data() + 3 * s;
        speedSum += std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]);
    }
    measureTemperatureAndCoupling(sim, speedSum, live);
    return sim.thermostat.ccple;
}

bool makeFolderFor(const std::filesystem::path& file, std::string& problem) {
    const std::filesystem::path folder = file.parent_path();
    std::error_code ec;
    if (folder.empty() || std::filesystem::is_directory(folder, ec)) return true;
    std::filesystem::create_directories(folder, ec);
    if (ec) problem = "the folder " + folder.string() + " cannot be made: " + ec.message();
    return !ec;
}

int exportExtxyz(Simulation& sim, const ExportOptions& o) {
    std::string problem;
    const std::vector<int> frames = frameRange(o.frames, storedFrames(sim), problem);
    if (frames.empty()) return refuse("--frames " + o.frames + ": " + problem);
    if (!makeFolderFor(o.out, problem)) return refuse(problem);
    OutputFile file = openForWrite(o.out);
    const double plasmaFrequency = electronPlasmaFrequency(sim.model.plasmaDensity);
    std::vector<double> v;
    int withVelocities = 0;
    for (const int q : frames) {
        dataset::ExtxyzFrame f;
        f.frame = sim.arrays.frameNumbers[q - 1];
        f.time = frameTime(sim, q);
        f.seconds = f.time / plasmaFrequency;
        f.positions = framePositions(sim, q);
        // Only a difference across one step is the velocity itself.
        if (oneStepBefore(sim, q) && velocitiesOf(sim, q, v)) {
            f.velocities = v.data();
            f.coupling = couplingOf(sim, v);
            ++withVelocities;
        }
        dataset::writeExtxyzFrame(file.stream(), sim.arrays.particleArray, f);
    }
    file.close();
    if (writesFailed()) return 1;
    std::cout << o.out << ": " << frames.size() << " frames of " << sim.numParticles
              << " slots from " << o.dataSet << " (stored frames " << frames.front() << " to "
              << frames.back() << "), " << withVelocities << " with velocities\n";
    return 0;
}

int exportLammps(Simulation& sim, const ExportOptions& o) {
    const int count = storedFrames(sim);
    const int q = o.frame == 0 ? count : o.frame;
    if (q < 1 || q > count)
        return refuse("--frame " + std::to_string(o.frame) + ": " + o.dataSet +
                      " holds stored frames 1 to " + std::to_string(count));
    dataset::LammpsState state;
    state.source = o.dataSet;
    state.frame = sim.arrays.frameNumbers[q - 1];
    state.debyeSphereCount = sim.model.debyeSphereCount;
    state.apparatusRadius = sim.model.apparatusRadius;
    state.totalCharge = sim.model.totalCharge;
    state.timeStep = sim.model.timeStep;
    state.steps = o.steps;
    state.screeningLength = sim.options.screeningLength;
    state.cutoff = screenedCutoff(sim.options.screeningLength, sim.model.interparticleDistance,
                                  sim.options.cutoffTolerance);
    if (sim.options.langevin()) {
        state.friction = sim.options.friction / electronPlasmaFrequency(sim.model.plasmaDensity);
        state.gasTemperature = sim.options.gasTemperature / sim.model.plasmaTemperature;
        state.seed = sim.run.randomSeed > 0 ? sim.run.randomSeed : 1;
    }
    state.every = o.every > 0 ? o.every : (sim.clock.writeFreq > 1 ? sim.clock.writeFreq : 4);
    std::vector<double> v;
    const bool moving = velocitiesOf(sim, q, v);
    const double* x = framePositions(sim, q);
    // The waiting dead particles stay behind: they take no part in the dynamics.
    for (int s = 0; s < sim.liveCount(); ++s) {
        Particle p = sim.arrays.particleArray[s];
        if (!(p.mass() > 0))
            return refuse(o.dataSet + ": slot " + std::to_string(s + 1) +
                          " has no mass, and LAMMPS needs one for every atom");
        for (int c : kAxes) {
            p.setPosition(c, x[3 * s + c]);
            p.setVelocity(c, moving ? v[3 * s + c] : 0.0);
        }
        state.atoms.push_back(p);
    }
    const std::string name = std::filesystem::path(o.dataSet).filename().string();
    const std::filesystem::path folder = o.out;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) return refuse("the folder " + o.out + " cannot be made: " + ec.message());
    {
        OutputFile data = openForWrite((folder / (name + ".data")).string());
        data << dataset::lammpsData(state);
        OutputFile input = openForWrite((folder / (name + ".in")).string());
        input << dataset::lammpsInput(state, name);
    }
    if (writesFailed()) return 1;
    if (!moving)
        std::cout << "Stored frame 1 has no frame before it for the velocities: the atoms start "
                     "at rest\n";
    std::cout << folder.string() << ": " << name << ".data and " << name << ".in, "
              << state.atoms.size() << " atoms of stored frame " << q << " (frame " << state.frame
              << ") of " << o.dataSet << "\nRun: cd " << folder.string() << " && lmp -in " << name
              << ".in\n";
    return 0;
}

}  // namespace

int refuse(const std::string& what) {
    std::cerr << "quorvex: " << what << '\n';
    return kExitConfigError;
}

bool loadDataSet(Simulation& sim, const std::string& path, std::string& problem) {
    sim.run.baseName = path;
    LoadOptions options;
    options.endFrameAnswer = 0;
    if (!loadFramesOnce(sim, options, &problem)) return false;
    sim.model.totalCharge = chargeSum(sim);
    // The interaction and dynamics the run was recorded with, for minimising and hand-offs.
    return readModelRecord(sim, path, problem);
}

std::vector<int> frameRange(const std::string& text, int count, std::string& problem) {
    int part[3] = {1, count, 1};
    std::size_t start = 0;
    int parts = 0;
    for (; parts < 3; ++parts) {
        const std::size_t colon = text.find(':', start);
        const std::string piece =
            text.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (!piece.empty()) {
            const auto [end, ec] =
                std::from_chars(piece.data(), piece.data() + piece.size(), part[parts]);
            if (ec != std::errc() || end != piece.data() + piece.size()) {
                problem = "\"" + piece + "\" is not a whole number (FIRST:LAST:STEP)";
                return {};
            }
        }
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    if (parts == 3) {
        problem = "a range has at most three parts, FIRST:LAST:STEP";
        return {};
    }
    if (parts == 0 && !text.empty()) part[1] = part[0];  // a single frame
    if (part[0] < 1 || part[1] > count || part[0] > part[1] || part[2] < 1) {
        problem = "the data set holds stored frames 1 to " + std::to_string(count) +
                  "; FIRST must not exceed LAST and STEP must be at least 1";
        return {};
    }
    std::vector<int> frames;
    for (int q = part[0]; q <= part[1]; q += part[2]) frames.push_back(q);
    return frames;
}

int runExport(const ExportOptions& o) {
    // The loader's averages and notes have no reader here; a failed write goes to stderr.
    const QuietConsole quiet;
    if (o.format != "extxyz" && o.format != "lammps")
        return refuse("--format " + o.format + ": the formats are extxyz and lammps");
    Simulation sim;
    std::string problem;
    if (!loadDataSet(sim, o.dataSet, problem)) return refuse(o.dataSet + ": " + problem);
    return o.format == "extxyz" ? exportExtxyz(sim, o) : exportLammps(sim, o);
}

int runImport(const ImportOptions& o) {
    // The loader's averages and notes have no reader here; a failed write goes to stderr.
    const QuietConsole quiet;
    if (o.format != "lammps-dump")
        return refuse("--format " + o.format + ": the format is lammps-dump");
    Simulation sim;
    std::string problem;
    if (!loadDataSet(sim, o.like, problem)) return refuse(o.like + ": " + problem);
    std::ifstream in(o.dump);
    if (!in) return refuse(o.dump + ": the file cannot be opened");
    const int live = sim.liveCount();
    const dataset::DumpRead read =
        dataset::readLammpsDump(in, live, {"x", "y", "z"}, {"vx", "vy", "vz"});
    const auto where = [&o](const dataset::Problem& p) {
        return o.dump + ", line " + std::to_string(p.line) + ": " + p.what;
    };
    if (read.frames.empty()) {
        return refuse(read.problem ? where(*read.problem)
                                   : o.dump + ": the file holds no complete frame");
    }
    if (!makeFolderFor(o.out, problem)) return refuse(problem);

    const int frames = static_cast<int>(read.frames.size());
    const long long first = read.frames.front().timestep;
    // The first frame may lie off the grid of the rest, as the program's own first frame does.
    const long long interval =
        frames > 1 ? read.frames.back().timestep - read.frames[frames - 2].timestep : 1;
    sim.clock.writeFreq = static_cast<int>(std::clamp<long long>(interval, 1, 1 << 30));
    sim.clock.framesToCalculate = INT_MAX;  // no end-of-run report from the header writer
    const bool velocities = read.columns.size() == 6;
    const std::size_t width = read.columns.size();
    // The reserve keeps its place from the data set: it took no part in the run.
    const double* reserve = framePositions(sim, 1);
    for (int s = live; s < sim.numParticles; ++s) {
        for (int c : kAxes) sim.arrays.particleArray[s].setPosition(c, reserve[3 * s + c]);
    }
    const auto take = [&](const dataset::DumpFrame& f) {
        for (int s = 0; s < live; ++s) {
            Particle& p = sim.arrays.particleArray[s];
            const double* row = f.values.data() + s * width;
            for (int c : kAxes) {
                p.setPosition(c, row[c]);
                p.setVelocity(c, velocities ? row[3 + c] : 0.0);
            }
        }
        sim.clock.currentFrame = static_cast<int>(f.timestep + 1);
    };
    {
        OutputFile dataSet = openForWrite(o.out);
        writeDataSetHeader(sim, dataSet, frames, sim.clock.writeFreq);
        for (const dataset::DumpFrame& f : read.frames) {
            take(f);
            writeFrame(sim, dataSet);
        }
    }
    sim.run.baseName = o.out;
    writeModelRecord(sim);  // the run goes on with the interaction it had
    if (writesFailed()) return 1;
    std::cout << o.out << ": " << frames << " frames (timesteps " << first << " to "
              << read.frames.back().timestep << ", every " << interval << ") of " << live
              << " atoms from " << o.dump << '\n';
    if (velocities) {
        OutputFile master = openForWrite(o.out + "MasterFile");
        writeMasterFileTo(sim, master);
        if (writesFailed()) return 1;
        std::cout << o.out << "MasterFile: the state at timestep " << read.frames.back().timestep
                  << ", to continue from\n";
    }
    if (read.problem) {
        std::cerr << "quorvex: " << where(*read.problem) << "; the " << frames
                  << " complete frames before it are imported\n";
        return 1;
    }
    return 0;
}

int runAnalyse(const AnalyseOptions& o) {
    // The loader's averages and notes have no reader here; a failed write goes to stderr.
    const QuietConsole quiet;
    Simulation sim;
    std::string problem;
    if (!loadDataSet(sim, o.dataSet, problem)) return refuse(o.dataSet + ": " + problem);
    const std::vector<int> frames = frameRange(o.frames, storedFrames(sim), problem);
    if (frames.empty()) return refuse("--frames " + o.frames + ": " + problem);
    // Without a choice, all three with the program's usual samples.
    const bool all = !o.pcf && !o.shells && !o.field;
    const int pcf = o.pcf.value_or(all ? defaultSampleCount : 0);
    const double shells = o.shells.value_or(all ? defaultSampleCount : 0);
    const bool field = o.field || all;
    const auto fresh = [&sim](const char* word) {
        std::error_code ec;
        return !std::filesystem::exists(sim.run.baseName + word + ".xls", ec);
    };
    if (field && fresh("EFieldStruct")) writeFieldStructureHeader(sim);
    if (shells > 0 && fresh("ShellStructure")) writeShellStructureHeader(sim);

    const int live = sim.liveCount();
    std::vector<double> v;
    for (const int q : frames) {
        setFrameFromStore(sim, q);
        sim.clock.simTime = frameTime(sim, q);
        // Gamma where the stored frames give the velocities, else none, as in a replay.
        const double gamma =
            oneStepBefore(sim, q) && velocitiesOf(sim, q, v) ? couplingOf(sim, v) : 0.0;
        sim.thermostat.ccple = gamma;
        sim.thermostat.ccpleAverage = gamma;
        const Particle* p = sim.particles();
        if (field) writeFieldStructure(sim, fieldStructure(sim, p, live));
        if (pcf > 0) writePairCorrelation(sim, pairCorrelation(sim, p, live, pcf));
        if (shells > 0) writeShellStructure(sim, shellStructure(sim, p, live, shells));
    }
    if (writesFailed()) return 1;
    std::cout << o.dataSet << ": " << frames.size() << " stored frames analysed (" << frames.front()
              << " to " << frames.back() << ") into";
    if (field) std::cout << " \"" << sim.run.baseName << "EFieldStruct.xls\"";
    if (pcf > 0) std::cout << " \"" << sim.run.baseName << "PCF Data.xls\"";
    if (shells > 0) std::cout << " \"" << sim.run.baseName << "ShellStructure.xls\"";
    std::cout << '\n';
    return 0;
}

}  // namespace qv

namespace qv {

MinimiseResult minimiseLive(Simulation& sim, const MinimiseOptions& options) {
    return minimiseFire(sim.particles(), std::max(sim.liveCount(), 0), forceModelOf(sim), options,
                        sim.workspace);
}

std::string describeMinimisation(const MinimiseResult& r, int live) {
    std::ostringstream s;
    s.precision(10);
    const double n = std::max(live, 1);
    s << "energy per grain " << r.energyBefore / n << " -> " << r.energyAfter / n << " kB Te in "
      << r.iterations << " iterations, largest force " << r.largestForce;
    if (!r.converged) s << " (the iteration limit came first: not a minimum yet)";
    return s.str();
}

int runMinimise(const MinimiseCommand& o) {
    const QuietConsole quiet;
    Simulation sim;
    std::string problem;
    if (!loadDataSet(sim, o.dataSet, problem)) return refuse(o.dataSet + ": " + problem);
    const int count = storedFrames(sim);
    const int q = o.frame == 0 ? count : o.frame;
    if (q < 1 || q > count)
        return refuse("--frame " + std::to_string(o.frame) + ": " + o.dataSet +
                      " holds stored frames 1 to " + std::to_string(count));
    if (!(o.tolerance >= 0) || !std::isfinite(o.tolerance))
        return refuse("--tolerance must be 0 or a positive force");
    if (!makeFolderFor(o.out, problem)) return refuse(problem);
    const double* x = framePositions(sim, q);
    for (int s = 0; s < sim.numParticles; ++s) {
        Particle& p = sim.arrays.particleArray[s];
        for (int c : kAxes) {
            p.setPosition(c, x[3 * s + c]);
            p.setVelocity(c, 0.0);
        }
    }

    std::cout.imbue(std::locale::classic());
    const int live = sim.liveCount();
    MinimiseOptions minimise;
    minimise.forceTolerance = o.tolerance;
    MinimiseResult result;
    if (o.search > 0) {
        GroundStateOptions search;
        search.tries = o.search;
        search.seed = o.seed;
        search.annealSteps = o.annealSteps;
        search.minimise = minimise;
        const double stored =
            potentialEnergy(sim.particles(), live, forceModelOf(sim), sim.workspace);
        const GroundStateResult found =
            searchGroundState(sim.particles(), live, forceModelOf(sim), search, sim.workspace);
        for (std::size_t t = 0; t < found.tries.size(); ++t)
            std::cout << o.out << ": try " << t + 1 << " (seed " << o.seed + t
                      << "): " << describeMinimisation(found.tries[t], live) << '\n';
        result = found.tries[found.bestTry];
        std::cout << o.out << ": the lowest is try " << found.bestTry + 1 << '\n';
        // From the stored frame, not from the anneal that led to it.
        result.energyBefore = stored;
    } else {
        result = minimiseLive(sim, minimise);
    }

    // Two equal frames: replayed it stands still, continued it starts at rest.
    sim.clock.writeFreq = 1;
    sim.clock.framesToCalculate = INT_MAX;  // no end-of-run report from the header writer
    {
        OutputFile dataSet = openForWrite(o.out);
        writeDataSetHeader(sim, dataSet, 2, 1);
        for (const int frame : {1, 2}) {
            sim.clock.currentFrame = frame;
            writeFrame(sim, dataSet);
        }
    }
    {
        OutputFile master = openForWrite(o.out + "MasterFile");
        writeMasterFileTo(sim, master);
    }
    sim.run.baseName = o.out;
    writeModelRecord(sim);
    if (writesFailed()) return 1;
    std::cout << o.out << ": stored frame " << q << " of " << o.dataSet
              << " minimised: " << describeMinimisation(result, live) << '\n';
    if (!result.converged) {
        std::cerr << "quorvex: " << o.out << " is written but is not a minimum: the largest force "
                  << result.largestForce << " is still above the tolerance\n";
        return 1;
    }
    return 0;
}

}  // namespace qv
