// The questions of a new render, the default parameter sets, the smart cooling schedule and the
// temperature change.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "console/console.h"
#include "setup/config.h"
#include "setup/configuration.h"
#include "setup/setup.h"
#include "sim/cooling.h"
#include "sim/simulation.h"

namespace qv {
namespace {

// A render counts its frames in an int and goes one past the last before it ends.
constexpr std::int64_t kMaxFrames = INT_MAX - 1;

int askInt(const char* prompt) {
    return console::prompt<int>(prompt);
}

}  // namespace

void promptParameters(Simulation& sim, const Config* config) {
    const auto atLeast = [](int low) { return [low](int v) { return v >= low; }; };
    RunClock& clock = sim.clock;
    PlasmaModel& m = sim.model;

    sim.run.randomSeed = config ? config->integer("seed")
                                : askInt(
                                      "Please select the seed for random number generation "
                                      "(default 13) \n");
    // Live grains and dead particles share one array counted in an int.
    const int dead = answer<int>(
        config, "dead_particles", "Please select the number of Dead Particles (default 100) \n",
        [](int v) { return v >= 0 && v < INT_MAX; },
        "The number of dead particles must be from 0 to " + std::to_string(INT_MAX - 1) + ".");
    sim.reserve.numDeadParticles = dead;
    const std::int64_t maxLive = std::int64_t{INT_MAX} - dead;
    sim.numParticles = answer<int>(
        config, "particles", "Please select the number of Particles \n",
        [maxLive](int v) { return v >= 1 && v <= maxLive; },
        "The number of particles must be from 1 to " + std::to_string(maxLive) + " (" +
            std::to_string(INT_MAX) + " with the dead particles).");
    clock.framesToCalculate = answer<int>(
        config, "frames", "Please select the number of frames you wish to generate\n",
        [](int v) { return v >= 1 && v <= kMaxFrames; },
        "The number of frames must be from 1 to " + std::to_string(kMaxFrames) + ".");
    m.dustTemperature = answer<double>(
        config, "temperature", "Please select initial temperature of dust in Kelvin\n",
        [](double v) { return v > 0; }, "The temperature must be above 0 K.");
    // The time step takes the logarithm of the coupling parameter.
    sim.thermostat.ccple = answer<double>(
        config, "coupling", "Please enter a value for the CCP\n", [](double v) { return v > 1; },
        "The CCP must be above 1.");
    sim.thermostat.ccpleTarget = sim.thermostat.ccple;
    // Grains carry electrons: the charge is typed as a count and stored negative. Without charge
    // there is no interparticle distance and no apparatus.
    m.grainCharge = -answer<double>(
        config, "charge", "Please enter average charge in electron charges\n",
        [](double v) { return v != 0; }, "The charge must not be 0.");
    const int frames = clock.framesToCalculate;
    clock.writeFreq = answer<int>(
        config, "write_every",
        "Please enter how often particle position data should be output(4)\n",
        [frames](int v) { return v >= 1 && v <= frames; },
        "The output frequency must be from 1 to " + std::to_string(frames) + " (the frames).");
    clock.analysisFreq =
        answer<int>(config, "analyse_every",
                    "Please enter how often the analysis file should be written(100)\n", atLeast(1),
                    "The analysis frequency must be 1 or more.");
    const int live = sim.numParticles;
    // Equal groups round the live count up to a multiple of the groups; it must still fit.
    const auto fits = [live, dead](int v) {
        if (v < 1 || v > live) return false;
        const std::int64_t rounded = (std::int64_t{live} + v - 1) / v * v;
        return rounded + dead <= INT_MAX;
    };
    m.numMassGroups = answer<int>(
        config, "mass_groups", "Please enter how many different masses there should be\n", fits,
        "The number of masses must be from 1 to " + std::to_string(live) + " (the particles).");
    if (m.numMassGroups > 1) setUpMassDistribution(sim, config);
    m.stepMultiplier = answer<double>(
        config, "step_multiplier", "Multiply step length by(1.0)\n", [](double v) { return v > 0; },
        "The step multiplier must be above 0.");
    sim.switches.speedDistributionOn =
        config ? config->flag("speed_distribution")
               : askInt("Please select 1 to output speed distribution\n") == 1;

    sim.numParticles = sim.numParticles + sim.reserve.numDeadParticles;
    roundToWriteIntervals(clock);
}

void applyRenderDefaults(Simulation& sim) {
    sim.numParticles = sim.reserve.numDeadParticles + 276;
    sim.clock.framesToCalculate = 10000;
    sim.model.dustTemperature = 300.0;
    sim.thermostat.ccple = 500.0;
    sim.thermostat.ccpleTarget = 500.0;
    sim.model.grainCharge = -10000.0;
    sim.clock.writeFreq = 25;
    sim.clock.analysisFreq = 20;
    sim.model.stepMultiplier = 1.0;
    roundToWriteIntervals(sim.clock);
}

void applyCrystalDefaults(Simulation& sim) {
    sim.reserve.numDeadParticles = 1;
    sim.numParticles = sim.reserve.numDeadParticles + 8000;
    sim.clock.framesToCalculate = 10000;
    sim.model.dustTemperature = 300.0;
    sim.thermostat.ccple = 300.0;
    sim.thermostat.ccpleTarget = 300.0;
    sim.model.grainCharge = -10000.0;
    sim.clock.writeFreq = 10000;
    sim.clock.analysisFreq = 10000;
    sim.model.stepMultiplier = 1.0;
    roundToWriteIntervals(sim.clock);
}

void promptCoolingSchedule(Simulation& sim, const Config* config) {
    Thermostat& t = sim.thermostat;
    const auto positive = [](double v) { return v > 0; };
    const char* const modePrompt =
        "Please enter 1 to only go from Max to Min and 2 for Max-Min-Max\n";
    std::int64_t frames = 0;
    double maxCcple = 0;
    for (;;) {
        maxCcple = answer<double>(config, "cooling.max_coupling", "Please enter maximum ccple\n",
                                  positive, "The ccple must be above 0.");
        const double minCcple =
            answer<double>(config, "cooling.min_coupling", "Please enter minimum ccple\n", positive,
                           "The ccple must be above 0.");
        // The step between divisions needs at least two of them.
        t.scheduleDivisions = answer<int>(
            config, "cooling.divisions", "Please enter divisions\n", [](int v) { return v >= 2; },
            "The number of divisions must be 2 or more.");
        t.scheduleDivisionLength = answer<int>(
            config, "cooling.division_length", "Please enter length of division (in time steps)\n",
            [](int v) { return v >= 2; }, "The length of a division must be 2 or more time steps.");
        t.scheduleMode = config
                             ? config->integer(
                                   "cooling.mode", [](int v) { return v == 1 || v == 2; }, "1 or 2")
                             : askInt(modePrompt);
        t.scheduleStep = (maxCcple - minCcple) / (t.scheduleDivisions - 1);
        while (t.scheduleMode != 1 && t.scheduleMode != 2) {
            console::out() << '\n' << "Error with choice" << '\n' << '\n';
            t.scheduleMode = askInt(modePrompt);
        }
        const std::int64_t length = t.scheduleDivisionLength;
        const std::int64_t divisions = t.scheduleDivisions;
        frames = t.scheduleMode == 1 ? length * divisions + length : length * 2 * divisions;
        if (frames > kMaxFrames) {
            const std::string why = "The schedule would run " + std::to_string(frames) +
                                    " frames, more than the " + std::to_string(kMaxFrames) +
                                    " a render can count";
            if (config) config->reject("cooling.division_length", why);
            console::out() << why << ": please enter fewer or shorter divisions." << '\n' << '\n';
        } else if (!std::isfinite(maxCcple + t.scheduleStep)) {
            // The first target lies one step above the maximum.
            if (config)
                config->reject("cooling.max_coupling", "the first target would be infinite");
            console::out() << "The first target ccple would be " << maxCcple + t.scheduleStep
                           << ": please enter a smaller maximum." << '\n'
                           << '\n';
        } else {
            break;
        }
    }
    // One step above the maximum: the cooling control steps down at the start of each division.
    t.ccpleTarget = maxCcple + t.scheduleStep;
    sim.clock.framesToCalculate = static_cast<int>(frames);
    // Twenty analyses per division; a short division still analyses every frame.
    sim.clock.analysisFreq = std::max(t.scheduleDivisionLength / 20, 1);
    sim.clock.writeFreq = sim.clock.framesToCalculate;  // only the first and the last frame
}

void changeTemperature(Simulation& sim) {
    std::ostream& out = console::out();
    console::clearScreen();
    const double current = measuredTemperature(sim);
    out << "Current temperature: " << current << " in K" << '\n' << '\n';
    // The velocities are scaled from the measured temperature; without one there is nothing to
    // scale from.
    if (!(current > 0.0) || !std::isfinite(current)) {
        out << "No temperature has been measured yet, so the velocities are left as they are."
            << '\n'
            << '\n'
            << std::flush;
        return;
    }
    out << "Please enter a new temperature: " << std::flush;
    const std::optional<double> temperature = console::askRealWhere(
        [](double t) { return t >= 0.0; }, "A temperature cannot be below 0 K.",
        "Please enter a new temperature: ");
    if (!temperature) {
        console::reportCancelled();
        return;
    }
    sim.model.dustTemperature = *temperature;
    out << '\n';
    out << "Thank you, you have destroyed the universe... just kidding" << '\n' << '\n';
    rescaleTemperature(sim, current, sim.model.dustTemperature);
}

}  // namespace qv
