#include "sim/cooling.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>
#include <ostream>

#include "analysis/structure.h"
#include "console/console.h"
#include "sim/dead_particles.h"
#include "sim/state.h"

namespace qv {
namespace {

// The structure of the cloud at the end of a cooling division, or around a fired particle.
void runStructureAnalyses() {
    Particle* p = particles();
    const int n = liveCount();
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
    const double current = params.temperatureRatio * params.plasmaTemperature;
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
    params.dustTemperature = *temperature;
    out << '\n';
    out << "Thank you, you have destroyed the universe... just kidding" << '\n' << '\n';

    // The measured temperature goes with the square of the speeds.
    const double factor = std::sqrt(params.dustTemperature / current);
    const std::size_t n = std::min(static_cast<std::size_t>(std::max(params.numParticles, 0)),
                                   arrays.particleArray.size());
    for (std::size_t i = 0; i < n; ++i) {
        for (double& v : arrays.particleArray[i].vel) v *= factor;
    }
}

void updateCcpleAverage() {
    int slot = static_cast<int>(params.ccpleHistoryIndex);
    if (slot < 0 || slot > 9) slot = 0;
    params.ccpleAverage = 0;
    params.ccpleHistory[static_cast<std::size_t>(slot)] = params.ccple;
    double sum = 0;
    for (double g : params.ccpleHistory) sum += g;
    // Empty slots count as 0: the average climbs to the true level over the first ten samples.
    params.ccpleAverage = sum / 10.0;
    params.ccpleHistoryIndex = slot + 1 > 9 ? 0.0 : static_cast<double>(slot + 1);
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
    params.ccpleTarget = *target;
    params.coolingState = 1;
    params.autoFiringStartDead = params.numDeadParticles;
    return true;
}

void smartCoolingSchedule() {
    const int c = params.currentFrame;
    const int length = params.scheduleDivisionLength;
    const int end = length * params.scheduleDivisions + length;
    const int half = length / 2;
    // A division shorter than two frames has no middle; the set-up does not allow it, and then
    // only frame 1 acts rather than dividing by zero.
    const bool due =
        c == 1 || (half >= 1 && c <= params.framesToCalculate && c > length && c % half == 0);
    if (!due) return;
    const bool divisionEnd = length >= 1 && c % length == 0;

    if ((divisionEnd && c < end) || c == 1) {
        runStructureAnalyses();
        params.coolingState = 1;
        announceTarget(params.ccpleTarget - params.scheduleStep);
        params.ccpleTarget -= params.scheduleStep;
    } else if (divisionEnd) {
        // Past the minimum the schedule walks back up.
        runStructureAnalyses();
        params.coolingState = 1;
        announceTarget(params.ccpleTarget + params.scheduleStep);
        params.ccpleTarget += params.scheduleStep;
    } else {
        // Middle of a division: let the cloud settle without the thermostat.
        params.coolingState = -1;
        console::out() << '\n' << "Smart cooling is off" << '\n' << '\n';
    }
}

void autoFiring() {
    const int c = params.currentFrame;
    const bool targetHeld = params.coolingState == 2;
    const bool noneInFlight = params.autoFiringStartDead == params.numDeadParticles;
    if (targetHeld && (noneInFlight || params.compensateDeadAddition > 0)) {
        if (params.lastFireFrame + 25 < c) {
            fireDeadParticle(params.apparatusRadius * params.deadSpeedFraction / params.timeStep);
            params.lastFireFrame = c;
        }
        if (params.compensateDeadAddition > 0) {
            // Tell the analyses that the firing automation called them.
            params.automatedAnalysis = 2;
            runStructureAnalyses();
            params.automatedAnalysis = 0;
        }
    }
    // A fired particle that has not left the cloud 300 frames later is called back.
    if (params.coolingState == 2 && params.autoFiringStartDead != params.numDeadParticles &&
        params.lastFireFrame + 300 < c && params.compensateDeadAddition < 0) {
        resetDeadParticles();
    }
}

}  // namespace qv
