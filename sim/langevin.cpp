#include "sim/langevin.h"

#include <cmath>

namespace qv {

void integrateLangevin(Particle* particles, int n, const double* force, const LangevinModel& gas,
                       Random& random) {
    const double dt = gas.timeStep;
    const double keep = std::exp(-gas.friction * dt);
    // 1 - keep^2 without the cancellation of small gamma dt.
    const double spread = std::sqrt(-std::expm1(-2.0 * gas.friction * dt));
    for (int p = 0; p < n; ++p) {
        Particle& a = particles[p];
        const bool massive = a.m != 0.0;
        const double sigma = massive ? spread * std::sqrt(gas.temperature / a.m) : 0.0;
        for (int c : kAxes) {
            if (massive) a.vel[c] += force[3 * p + c] / a.m * dt;
            a.pos[c] += 0.5 * dt * a.vel[c];
        }
        if (massive) {
            for (int c : kAxes) a.vel[c] = keep * a.vel[c] + sigma * random.gaussian();
        }
        for (int c : kAxes) a.pos[c] += 0.5 * dt * a.vel[c];
    }
}

}  // namespace qv
