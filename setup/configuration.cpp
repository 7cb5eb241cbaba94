#include "setup/configuration.h"

#include <ostream>

#include "console/console.h"
#include "sim/state.h"

namespace qv {

void allocateParticles(int count) {
    arrays.particleArray.assign(count > 0 ? static_cast<std::size_t>(count) : 0, Particle{});
    arrays.particleCursor = 0;
}

bool cursorAtEnd() {
    return arrays.particleCursor == arrays.particleArray.size();
}

void reportAverages() {
    double radius = 0, mass = 0, charge = 0;
    int count = 0;
    for (const Particle& p : arrays.particleArray) {
        if (p.isDeadParticle()) continue;
        radius += p.radius();
        mass += p.mass();
        charge += p.charge();
        ++count;
    }
    // With no grain at all the averages stay 0 rather than 0/0.
    if (count > 0) {
        radius /= count;
        mass /= count;
        charge /= count;
    }
    params.grainRadius = radius;
    params.grainMass = mass;
    params.groupMass = mass;
    params.grainCharge = charge;
    std::ostream& out = console::out();
    out << '\n' << "Calculated Averages for Radius/Mass/Charge: " << '\n';
    out << radius << " / " << mass << " / " << charge << '\n' << '\n' << std::flush;
}

}  // namespace qv
