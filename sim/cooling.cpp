#include "sim/cooling.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace qv {

double measuredTemperature(const Simulation& sim) {
    return sim.thermostat.temperatureRatio * sim.model.plasmaTemperature;
}

void rescaleTemperature(Simulation& sim, double current, double wanted) {
    const double factor = std::sqrt(wanted / current);
    const std::size_t n = std::min(static_cast<std::size_t>(std::max(sim.numParticles, 0)),
                                   sim.arrays.particleArray.size());
    for (std::size_t i = 0; i < n; ++i) {
        for (double& v : sim.arrays.particleArray[i].vel) v *= factor;
    }
}

void updateCcpleAverage(Thermostat& t) {
    int slot = static_cast<int>(t.ccpleHistoryIndex);
    if (slot < 0 || slot > 9) slot = 0;
    t.ccpleAverage = 0;
    t.ccpleHistory[static_cast<std::size_t>(slot)] = t.ccple;
    double sum = 0;
    for (double g : t.ccpleHistory) sum += g;
    // Empty slots count as 0: the average climbs to the true level over the first ten samples.
    t.ccpleAverage = sum / 10.0;
    t.ccpleHistoryIndex = slot + 1 > 9 ? 0.0 : static_cast<double>(slot + 1);
}

void setCcpleTarget(Simulation& sim, double target) {
    sim.thermostat.ccpleTarget = target;
    sim.thermostat.coolingState = CoolingState::Steering;
    sim.reserve.autoFiringStartDead = sim.reserve.numDeadParticles;
}

}  // namespace qv
