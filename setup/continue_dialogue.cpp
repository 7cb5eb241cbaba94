// Load-and-continue: a stored frame of a data set becomes the start of a new render.
#include <algorithm>
#include <climits>
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "console/console.h"
#include "dataset/header.h"
#include "setup/config.h"
#include "setup/configuration.h"
#include "setup/load_dialogue.h"
#include "setup/loading.h"
#include "setup/model_options.h"
#include "setup/setup.h"
#include "sim/apparatus.h"
#include "sim/cooling.h"

namespace qv {
namespace {

using dataset::describe;
using dataset::fits;
using dataset::kPositive;
using dataset::kSigned;
using dataset::num;

// The frame to continue from: within 1 to `maxFrame`, and late enough that a stored frame comes
// before it, since the velocities are the difference of the two.
int askContinueFrame(const Simulation& sim, int maxFrame) {
    std::ostream& out = console::out();
    const std::string prompt =
        "Please select the frame you wish to load Max(" + std::to_string(maxFrame) + ")  : \n";
    out << '\n' << prompt << std::flush;
    const int writeFreq = sim.clock.writeFreq;
    for (;;) {
        const int n = console::readInt(prompt);
        if (n <= maxFrame && n / writeFreq >= 2) return n;
        out << '\n' << "Error please pick another value" << '\n';
        if (n >= 1 && n <= maxFrame)
            out << "Frame " << n << " is stored frame " << n / writeFreq
                << ", which has no stored frame before it for the velocities: pick a frame from "
                << 2 * writeFreq << " to " << maxFrame << '\n';
        out << std::flush;
    }
}

void announceFrame(int storedFrame) {
    console::out() << '\n'
                   << "Taking into account the write frequency frame " << storedFrame
                   << " will be loaded." << '\n'
                   << '\n'
                   << "Please wait while the file is loaded... " << '\n'
                   << '\n'
                   << std::flush;
}

// Positions of stored frame q; velocities from the frame before it, writeFreq steps earlier.
void restoreFrame(Simulation& sim, int storedFrame) {
    const std::size_t frameLength = static_cast<std::size_t>(sim.numParticles) * 3;
    const double* now = sim.arrays.frameStore.data() + (storedFrame - 1) * frameLength;
    const double* before = now - frameLength;
    const double interval = sim.clock.writeFreq * sim.model.timeStep;
    for (int s = 0; s < sim.numParticles; ++s) {
        Particle& p = sim.arrays.particleArray[s];
        for (int axis : kAxes) {
            p.setPosition(axis, now[3 * s + axis]);
            p.setVelocity(axis, (now[3 * s + axis] - before[3 * s + axis]) / interval);
        }
    }
}

// Rapar for `deadCount` of the slots dead, the cloud keeping its grain spacing. The loader has
// always counted one grain more than the live ones here, as a fired particle joining the cloud
// is counted; kept so that a continued render keeps the Rapar it has always had.
double raparWithDead(const Simulation& sim, int deadCount) {
    return apparatusRadiusFor(sim.numParticles - deadCount + 1, sim.model.interparticleDistance);
}

// Unfired dead particles all wait at the same y, the last slot among them; their count shows
// whether the header's dead particle number still holds.
void checkDeadParticles(Simulation& sim, const Config* config) {
    std::ostream& out = console::out();
    const int slots = sim.numParticles;
    std::vector<Particle>& records = sim.arrays.particleArray;
    const double parkedY = records[slots - 1].position(1);
    int waiting = 0;
    for (int s = 0; s < slots; ++s)
        if (records[s].position(1) == parkedY) ++waiting;
    if (waiting == sim.reserve.numDeadParticles) return;

    const int headerCount = sim.reserve.numDeadParticles;
    out << '\n'
        << "Number of deadparticles in header file (" << headerCount
        << ") does not match estimated (" << waiting << ")." << '\n';
    const std::string prompt = "Please enter the number of dead particles you wish to use: \n";
    if (config && !config->given("dead_particles")) {
        throw ConfigError(
            sim.run.baseName + " has " + std::to_string(waiting) +
            " dead particles waiting where its header says " + std::to_string(headerCount) +
            ": dead_particles must say how many to use (0 to " + std::to_string(slots - 1) + ")");
    }
    out << prompt << std::flush;
    // The apparatus grows or shrinks with the live count; the new Rapar goes into the header of
    // the new data set, which must load again.
    for (;;) {
        // At least one live grain must stay: its properties are the ones the others take on.
        const auto accept = [slots](int v) { return v >= 0 && v < slots; };
        const std::string refusal = "Please enter a number from 0 to " + std::to_string(slots - 1);
        const int count = config ? config->integer("dead_particles", accept, refusal)
                                 : console::readIntWhere(accept, refusal, prompt);
        const double rapar = raparWithDead(sim, count);
        if (count == headerCount || fits(rapar, kPositive)) {
            sim.reserve.numDeadParticles = count;
            break;
        }
        if (config)
            config->reject("dead_particles",
                           "Rapar would be " + num(rapar) + "; it must be " + describe(kPositive));
        out << "With " << count << " dead particles Rapar would be " << num(rapar)
            << "; it must be " << describe(kPositive) << '\n'
            << prompt << std::flush;
    }
    out << '\n';
    if (sim.reserve.numDeadParticles == headerCount) return;

    PlasmaModel& m = sim.model;
    const int live = slots - sim.reserve.numDeadParticles;
    out << "Old Aparatus Radius: " << m.apparatusRadius << '\n';
    m.apparatusRadius = raparWithDead(sim, sim.reserve.numDeadParticles);
    out << "New Aparatus Radius: " << m.apparatusRadius << " : Check value " << parkedY / 1.5
        << '\n';
    out << "Old number density: " << m.numberDensity << '\n';
    const double r = m.apparatusRadius;
    m.numberDensity = live / (r * r * r * m.debyeSphereCount);
    out << "New number density: " << m.numberDensity << '\n'
        << '\n'
        << "All particles will be set to particle 0's properties" << '\n'
        << "This is to ensure system stability - to avoid this please load a master file" << '\n'
        << '\n'
        << std::flush;
    sim.reserve.deadParkY = 1.5 * m.apparatusRadius;
    const double mass = records[0].mass();
    const double charge = records[0].charge();
    for (int s = 0; s < live; ++s) {
        records[s].setCharge(charge);
        records[s].setMass(mass);
        records[s].setColour(0, 0, 0);
        records[s].role = Role::Grain;
        records[s].highlighted = false;
    }
    for (int s = live; s < slots; ++s) records[s].role = Role::WaitingDead;
}

// The largest velocity component of any slot. A new temperature or a longer step must not let
// a grain move further in one step than a data set may place it: the new data set has to load
// again. What the loaded velocities already do is never refused.
double fastestSpeed(const Simulation& sim) {
    double fastest = 0;
    for (const Particle& p : sim.arrays.particleArray)
        for (const double v : p.vel) fastest = std::max(fastest, std::abs(v));
    return fastest;
}

// The velocities' temperature ratio before a change, from the mean speed of the live grains.
void measureLoadedTemperature(Simulation& sim) {
    const int live = sim.liveCount();
    double speedSum = 0;
    for (int s = 0; s < live; ++s) speedSum += sim.arrays.particleArray[s].speed();
    // The header and the dead-particle question both leave at least one live grain.
    const double meanSpeed = speedSum / live;
    sim.thermostat.temperatureRatio =
        sim.arrays.particleArray[0].mass() * meanSpeed * meanSpeed / 3.0;
}

double speedLimit(const Simulation& sim) {
    return std::max(fastestSpeed(sim), kSigned.largest / sim.model.timeStep);
}

void offerTemperatureChange(Simulation& sim) {
    std::ostream& out = console::out();
    out << '\n';
    if (sim.clock.framesToCalculate == 2)
        out << "The file you chose to load appears to be a Master File, would you like change the "
               "temperature y/n";
    else
        out << "Would you like change the temperature y/n";
    out << '\n' << std::flush;
    if (console::readChar() != 'y') return;
    measureLoadedTemperature(sim);
    const std::vector<Particle> loaded = sim.arrays.particleArray;
    const double limit = speedLimit(sim);
    for (;;) {
        changeTemperature(sim);
        if (fastestSpeed(sim) <= limit) return;
        sim.arrays.particleArray = loaded;
        out << "At that temperature a grain would move more than " << num(kSigned.largest)
            << " in one step: please enter a lower temperature" << '\n'
            << '\n';
    }
}

// The configured new temperature, refused as the dialogue refuses it.
void takeTemperature(Simulation& sim, const Config& config) {
    if (!config.given("temperature")) return;
    measureLoadedTemperature(sim);
    const double limit = speedLimit(sim);
    const double wanted = config.real(
        "temperature", [](double t) { return t >= 0.0; }, "A temperature cannot be below 0 K.");
    const double current = measuredTemperature(sim);
    if (!(current > 0.0) || !std::isfinite(current)) {
        config.reject("temperature", "the loaded frame has no temperature to scale from");
    }
    sim.model.dustTemperature = wanted;
    rescaleTemperature(sim, current, wanted);
    if (fastestSpeed(sim) > limit) {
        config.reject("temperature", "at that temperature a grain would move more than " +
                                         num(kSigned.largest) + " in one step");
    }
}

void askContinuation(Simulation& sim, const Config* config) {
    RunClock& clock = sim.clock;
    console::out() << '\n';
    clock.framesToCalculate = answer<int>(
        config, "frames", "Please select the number of frames you wish to generate\n",
        [](int v) { return v >= 1; }, "Please enter at least 1 frame");
    // A write interval longer than the run would store no frame at all.
    const int frames = clock.framesToCalculate;
    clock.writeFreq = answer<int>(
        config, "write_every",
        "Please enter how often particle position data should be output(4)\n",
        [frames](int v) { return v >= 1 && v <= frames; },
        "Please enter a value from 1 to " + std::to_string(frames));
    clock.analysisFreq = answer<int>(
        config, "analyse_every",
        "Please enter how often the analysis file should be written(100)\n",
        [](int v) { return v >= 1; }, "Please enter a value of at least 1");
    // The new step goes into the header of the new data set: it must load again like this one.
    const double step = sim.model.timeStep;
    const double speed = fastestSpeed(sim);
    const double factor = answer<double>(
        config, "step_multiplier", "Multiply step length by(1.0)\n",
        [step, speed](double m) { return stepFactorUsable(step, speed, m); },
        "The new time step must be " + describe(kPositive) + " and move no grain more than " +
            num(kSigned.largest) + " in one step: please enter another factor");
    sim.model.timeStep *= factor;
    roundToWriteIntervals(clock);
}

}  // namespace

bool stepFactorUsable(double step, double speed, double factor) {
    return fits(step * factor, kPositive) &&
           (factor <= 1 || speed * step * factor <= kSigned.largest);
}

void loadAndContinue(Simulation& sim, OutputFile& dataSet) {
    std::ostream& out = console::out();
    const LoadOptions options;
    int storedFrame = 0;
    for (;;) {
        openDataSetForReading(sim);
        allocateParticles(sim, sim.numParticles);
        const int endFrame = sim.clock.framesToCalculate;
        sim.clock.numWrittenFrames = endFrame;
        sim.clock.framesToCalculate = endFrame * sim.clock.writeFreq;
        if (endFrame < 2) {
            out << '\n'
                << "The file " << sim.run.baseName
                << " stores a single frame; continuing needs two, the frame and the one before "
                   "it for the velocities"
                << '\n'
                << "Please choose another file" << '\n';
            continue;
        }
        storedFrame = askContinueFrame(sim, sim.clock.framesToCalculate) / sim.clock.writeFreq;
        announceFrame(storedFrame);
        if (!loadFramesOnce(sim, options)) continue;
        // The EndFrame prompt or an unfinished file may have left fewer frames than chosen.
        const long long stored = storedFrameCount(sim);
        if (stored < 2) {
            out << '\n'
                << "Only " << stored << " frame of " << sim.run.baseName
                << " was loaded; continuing needs two" << '\n'
                << "Please choose another file" << '\n';
            continue;
        }
        if (storedFrame > stored) {
            const long long maxFrame = std::min<long long>(stored * sim.clock.writeFreq, INT_MAX);
            out << '\n'
                << "Stored frame " << storedFrame << " is beyond the " << stored
                << " frames loaded: pick a frame from " << 2 * sim.clock.writeFreq << " to "
                << maxFrame << '\n';
            storedFrame = askContinueFrame(sim, static_cast<int>(maxFrame)) / sim.clock.writeFreq;
            announceFrame(storedFrame);
        }
        break;
    }
    restoreFrame(sim, storedFrame);
    checkDeadParticles(sim, nullptr);
    offerTemperatureChange(sim);
    askContinuation(sim, nullptr);
    // A recorded run goes on with its interaction and dynamics; a broken record is named and
    // left out rather than ending the dialogue.
    if (std::string problem; !readModelRecord(sim, sim.run.baseName, problem))
        console::err() << problem << ": continuing with the bare Coulomb model and no gas\n";
    promptDataSetFile(sim, dataSet);
}

void configureContinue(Simulation& sim, const Config& config) {
    const std::string name = config.text("from");
    sim.run.baseName = name;
    std::string problem;
    if (!readDataSetHeader(sim, name, problem)) config.reject("from", problem);
    allocateParticles(sim, sim.numParticles);
    const int endFrame = sim.clock.framesToCalculate;
    const int writeFreq = sim.clock.writeFreq;
    sim.clock.numWrittenFrames = endFrame;
    sim.clock.framesToCalculate = endFrame * writeFreq;
    if (endFrame < 2) {
        config.reject("from",
                      "it stores a single frame; continuing needs two, the frame and the "
                      "one before it for the velocities");
    }
    LoadOptions options;
    options.endFrameAnswer = config.integer(
        "end_frame", [](int v) { return v >= 0; }, "EndFrame cannot be negative");
    if (!loadFramesOnce(sim, options, &problem)) config.reject("from", problem);
    const long long stored = storedFrameCount(sim);
    if (stored < 2) {
        config.reject("from",
                      "only " + std::to_string(stored) + " frame was loaded; continuing needs two");
    }
    // The last stored frame unless another is asked for, as the dialogue's frame rule takes it.
    const long long maxFrame = std::min<long long>(stored * writeFreq, INT_MAX);
    const int frame = config.integer(
        "frame", [&](int n) { return n == 0 || (n <= maxFrame && n / writeFreq >= 2); },
        "pick a frame from " + std::to_string(2 * writeFreq) + " to " + std::to_string(maxFrame) +
            ", or 0 for the last");
    const int storedFrame = frame == 0 ? static_cast<int>(stored) : frame / writeFreq;
    announceFrame(storedFrame);
    restoreFrame(sim, storedFrame);
    checkDeadParticles(sim, &config);
    takeTemperature(sim, config);
    askContinuation(sim, &config);
}

}  // namespace qv
