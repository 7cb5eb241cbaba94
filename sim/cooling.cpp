#include "sim/cooling.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>
#include <ostream>

#include "analysis/structure.h"
#include "console/console.h"
#include "sim/dead_particles.h"
#include "sim/simulation.h"

namespace qv {
namespace {

// The structure of the cloud at the end of a cooling division, or around a fired particle.
void runStructureAnalyses() {
    Particle* p = sim.particles();
    const int n = sim.liveCount();
    computePairCorrelation(p, n);
    computeShellStructure(p, n);
    computeFieldStructure(p, n);
}

void announceTarget(double target) {
    console::out() << '\n' << "Smart cooling is on (Target: " << target << " )" << '\n' << '\n';
}

}  // namespace

void changeTemperature() {
    std::ostream& out = console::out();
    console::clearScreen();
    const double current = sim.thermostat.temperatureRatio * sim.model.plasmaTemperature;
    out << "Current temperature: " << current << " in K" << '\n' << '\n';
    // The velocities are scaled by the square root of new over old temperature; without a
    // measured temperature there is nothing to scale from.
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

    // The measured temperature goes with the square of the speeds.
    const double factor = std::sqrt(sim.model.dustTemperature / current);
    const std::size_t n = std::min(static_cast<std::size_t>(std::max(sim.numParticles, 0)),
                                   sim.arrays.particleArray.size());
    for (std::size_t i = 0; i < n; ++i) {
        for (double& v : sim.arrays.particleArray[i].vel) v *= factor;
    }
}

void updateCcpleAverage() {
    int slot = static_cast<int>(sim.thermostat.ccpleHistoryIndex);
    if (slot < 0 || slot > 9) slot = 0;
    sim.thermostat.ccpleAverage = 0;
    sim.thermostat.ccpleHistory[static_cast<std::size_t>(slot)] = sim.thermostat.ccple;
    double sum = 0;
    for (double g : sim.thermostat.ccpleHistory) sum += g;
    // Empty slots count as 0: the average climbs to the true level over the first ten samples.
    sim.thermostat.ccpleAverage = sum / 10.0;
    sim.thermostat.ccpleHistoryIndex = slot + 1 > 9 ? 0.0 : static_cast<double>(slot + 1);
}

bool askCcpleTarget() {
    std::ostream& out = console::out();
    out << '\n' << "Please enter target ccple" << '\n' << std::flush;
    // The thermostat divides by the target, so only a positive coupling is a target.
    const std::optional<int> target =
        console::askIntWhere([](int g) { return g > 0; }, "The target ccple must be above 0.",
                             "Please enter target ccple\n");
    if (!target) {
        console::reportCancelled();
        return false;
    }
    out << '\n';
    sim.thermostat.ccpleTarget = *target;
    sim.thermostat.state = 1;
    sim.reserve.autoFiringStartDead = sim.reserve.numDeadParticles;
    return true;
}

void smartCoolingSchedule() {
    const int c = sim.clock.currentFrame;
    const int length = sim.thermostat.scheduleDivisionLength;
    const int end = length * sim.thermostat.scheduleDivisions + length;
    const int half = length / 2;
    // A division shorter than two frames has no middle; the set-up does not allow it, and then
    // only frame 1 acts rather than dividing by zero.
    const bool due =
        c == 1 || (half >= 1 && c <= sim.clock.framesToCalculate && c > length && c % half == 0);
    if (!due) return;
    const bool divisionEnd = length >= 1 && c % length == 0;

    if ((divisionEnd && c < end) || c == 1) {
        runStructureAnalyses();
        sim.thermostat.state = 1;
        announceTarget(sim.thermostat.ccpleTarget - sim.thermostat.scheduleStep);
        sim.thermostat.ccpleTarget -= sim.thermostat.scheduleStep;
    } else if (divisionEnd) {
        // Past the minimum the schedule walks back up.
        runStructureAnalyses();
        sim.thermostat.state = 1;
        announceTarget(sim.thermostat.ccpleTarget + sim.thermostat.scheduleStep);
        sim.thermostat.ccpleTarget += sim.thermostat.scheduleStep;
    } else {
        // Middle of a division: let the cloud settle without the thermostat.
        sim.thermostat.state = -1;
        console::out() << '\n' << "Smart cooling is off" << '\n' << '\n';
    }
}

void autoFiring() {
    const int c = sim.clock.currentFrame;
    const bool targetHeld = sim.thermostat.state == 2;
    const bool noneInFlight = sim.reserve.autoFiringStartDead == sim.reserve.numDeadParticles;
    if (targetHeld && (noneInFlight || sim.switches.compensateDeadAddition > 0)) {
        if (sim.reserve.lastFireFrame + 25 < c) {
            fireDeadParticle(sim.model.apparatusRadius * sim.reserve.deadSpeedFraction / sim.model.timeStep);
            sim.reserve.lastFireFrame = c;
        }
        if (sim.switches.compensateDeadAddition > 0) {
            // Tell the analyses that the firing automation called them.
            sim.switches.automatedAnalysis = 2;
            runStructureAnalyses();
            sim.switches.automatedAnalysis = 0;
        }
    }
    // A fired particle that has not left the cloud 300 frames later is called back.
    if (sim.thermostat.state == 2 && sim.reserve.autoFiringStartDead != sim.reserve.numDeadParticles &&
        sim.reserve.lastFireFrame + 300 < c && sim.switches.compensateDeadAddition < 0) {
        resetDeadParticles();
    }
}

}  // namespace qv
