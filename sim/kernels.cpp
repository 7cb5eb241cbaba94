#include "sim/kernels.h"

#include <omp.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "sim/collisions.h"

namespace qv {
namespace {

// Below this many particles a step is too short to be worth waking a second thread.
constexpr int kParallelMinimum = 128;
// The vector test for overlaps compares squared distances; it lets through a sliver more than the
// exact test so that rounding never hides a touching pair, and the exact test decides.
constexpr double kOverlapSlack = 1.0 + 1e-9;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Apparatus field, thermostat and the per-grain sums of particle p (force points at its x, y, z).
void particleTerms(const Particle& p, const ForceModel& model, double* force, EnergySums& sums) {
    const double nd = model.debyeSphereCount;
    const double bigR = model.apparatusRadius;
    const double bigQ = model.totalCharge;
    const double r = p.distanceFromCentre();

    // The sphere holds the charge -Q spread evenly: Gauss gives a field growing linearly inside
    // and falling as 1/r^2 outside.
    const double g =
        r >= bigR ? -bigQ / (3.0 * nd * r * r) : -bigQ * r / (3.0 * nd * bigR * bigR * bigR);
    const double radialForce = p.q * g;
    // The interior form of the potential serves at every r.
    const double potential =
        p.q * (-bigQ / (2.0 * bigR * nd)) * (1.0 - (r / bigR) * (r / bigR) / 3.0);

    const bool dead = p.isDeadParticle();
    // The force is set per step so that one step changes the velocity by the fraction 0.01 e; a
    // zero step has no such force.
    const bool cooling = model.thermostat && !dead && model.timeStep != 0.0;
    for (int c = 0; c < 3; ++c) {
        // At the very centre the field vanishes and has no direction.
        if (model.apparatusField && r > 0.0) force[c] += p.pos[c] * radialForce / r;
        if (cooling) {
            const double w =
                p.vel[c] * p.m * (model.thermostatError / 0.01 * 0.0001) / model.timeStep;
            if (model.thermostatHeats) {
                force[c] += w;
            } else {
                force[c] -= w;
            }
        }
    }

    if (dead) return;
    if (model.samplingFrame || model.temperatureFrame) {
        const double s = p.speed();
        sums.speedSum += s;
        sums.kineticEnergy += 0.5 * p.m * s * s;
        if (model.samplingFrame) sums.apparatusEnergy += potential;
    }
}

int threadCount(const KernelWorkspace& ws) {
    return ws.threads > 0 ? ws.threads : omp_get_max_threads();
}

// One row of the pair sweep: particle p against every q > p. Forces go to the thread's own
// accumulators (Newton's third law: q gets the opposite of what p gets); the energy of the row,
// the sum of q_p q_q / (3 ND d), is added to `energy`. Two particles in the same place have no
// direction between them and add nothing. The overlap test rides along for free, since the loop
// waits on its square root and division anyway; overlaps are rare, so a row that has one is
// scanned again one pair at a time to list them.
template <bool Forces, bool Energy>
void pairRow(int p, int n, double coulomb, const KernelWorkspace& ws, double* __restrict fx,
             double* __restrict fy, double* __restrict fz, double& energy,
             std::vector<ParticlePair>& overlaps) {
    const double* __restrict x = ws.x.data();
    const double* __restrict y = ws.y.data();
    const double* __restrict z = ws.z.data();
    const double* __restrict q = ws.q.data();
    const double* __restrict rad = ws.rad.data();
    const double xp = x[p];
    const double yp = y[p];
    const double zp = z[p];
    const double qp = q[p] * coulomb;
    const double rp = rad[p];
    double sx = 0, sy = 0, sz = 0, rowEnergy = 0;
    double closest = -kInfinity;  // largest overlap measure b^2 - d^2 of the row
#pragma omp simd reduction(+ : sx, sy, sz, rowEnergy) reduction(max : closest)
    for (int j = p + 1; j < n; ++j) {
        const double dx = x[j] - xp;
        const double dy = y[j] - yp;
        const double dz = z[j] - zp;
        const double d2 = dx * dx + dy * dy + dz * dz;
        const double b = rp + rad[j];
        closest = std::max(closest, b * b * kOverlapSlack - d2);
        // 1/sqrt(inf) = 0 for a pair in the same place, without a branch in the vector loop.
        const double inverse = 1.0 / std::sqrt(d2 > 0.0 ? d2 : kInfinity);
        const double pairPotential = qp * q[j] * inverse;
        if constexpr (Forces) {
            const double s = pairPotential * inverse * inverse;
            fx[j] += s * dx;
            fy[j] += s * dy;
            fz[j] += s * dz;
            sx += s * dx;
            sy += s * dy;
            sz += s * dz;
        }
        if constexpr (Energy) rowEnergy += pairPotential;
    }
    if constexpr (Forces) {
        fx[p] -= sx;
        fy[p] -= sy;
        fz[p] -= sz;
    }
    energy += rowEnergy;
    if (!(closest >= 0.0)) return;
    for (int j = p + 1; j < n; ++j) {
        const double dx = x[j] - xp;
        const double dy = y[j] - yp;
        const double dz = z[j] - zp;
        const double b = rp + rad[j];
        if (b * b * kOverlapSlack >= dx * dx + dy * dy + dz * dz) overlaps.emplace_back(p, j);
    }
}

template <bool Forces, bool Energy>
void sweepRows(int n, double coulomb, KernelWorkspace& ws) {
    const int team = threadCount(ws);
    ws.reserveThreads(team, n);
    const int stride = ws.stride;
    int used = 1;
    // Rows are dealt out in turn, which balances the triangle of pairs; each thread owns its row
    // set and its accumulators, so nothing depends on timing.
#pragma omp parallel if (n >= kParallelMinimum) num_threads(team)
    {
        const int t = omp_get_thread_num();
        const int threads = omp_get_num_threads();
        if (t == 0) used = threads;
        double* fx = ws.threadForce.data() + 3 * static_cast<std::size_t>(stride) * t;
        double* fy = fx + stride;
        double* fz = fy + stride;
        if constexpr (Forces) std::fill(fx, fx + 3 * stride, 0.0);
        std::vector<ParticlePair>& overlaps = ws.threadPairs[t];
        overlaps.clear();
        double energy = 0;
        for (int p = t; p < n; p += threads)
            pairRow<Forces, Energy>(p, n, coulomb, ws, fx, fy, fz, energy, overlaps);
        ws.threadEnergy[t] = energy;
    }
    ws.sweptThreads = used;

    ws.candidates.clear();
    for (int t = 0; t < used; ++t)
        ws.candidates.insert(ws.candidates.end(), ws.threadPairs[t].begin(),
                             ws.threadPairs[t].end());
    std::sort(ws.candidates.begin(), ws.candidates.end());
}

}  // namespace

int overlapPassReference(Particle* particles, int n, std::vector<ParticlePair>* collided) {
    int collisions = 0;
    for (int p = 0; p < n; ++p) {
        for (int q = p + 1; q < n; ++q) {
            if (particles[p].radius() + particles[q].radius() >
                particles[p].distanceTo(particles[q])) {
                collide(particles[p], particles[q]);
                ++collisions;
                if (collided) collided->emplace_back(p, q);
            }
        }
    }
    return collisions;
}

EnergySums forcePassReference(const Particle* particles, int n, const ForceModel& model,
                              double* force) {
    EnergySums sums;
    const double nd = model.debyeSphereCount;
    double unit[3];  // from p towards q, reused for every pair
    for (int p = 0; p < n; ++p) {
        const Particle& a = particles[p];
        for (int q = p + 1; q < n; ++q) {
            const Particle& b = particles[q];
            const double d = a.directionTo(b, unit);
            if (!(d > 0.0)) continue;  // the same place: no direction, no finite energy
            const double f = a.q * b.q / (d * d * 3.0 * nd);
            if (model.samplingFrame) sums.pairEnergy += 2.0 * f * d;
            if (model.pairForces) {
                // Like charges push apart.
                for (int c = 0; c < 3; ++c) {
                    force[3 * p + c] -= f * unit[c];
                    force[3 * q + c] += f * unit[c];
                }
            }
        }
        particleTerms(a, model, force + 3 * p, sums);
    }
    return sums;
}

void integrate(Particle* particles, int n, const double* force, double dt) {
    for (int p = 0; p < n; ++p) {
        Particle& a = particles[p];
        const bool massive = a.m != 0.0;
        for (int c = 0; c < 3; ++c) {
            if (massive) a.vel[c] += force[3 * p + c] / a.m * dt;
            a.pos[c] += dt * a.vel[c];
        }
    }
}

void KernelWorkspace::load(const Particle* particles, int n) {
    for (Buffer* b : {&x, &y, &z, &q, &rad}) b->resize(n);
    for (int i = 0; i < n; ++i) {
        const Particle& p = particles[i];
        x[i] = p.pos[0];
        y[i] = p.pos[1];
        z[i] = p.pos[2];
        q[i] = p.q;
        rad[i] = p.rad;
    }
}

void KernelWorkspace::reserveThreads(int team, int n) {
    constexpr int perLine = 64 / sizeof(double);
    stride = (n + perLine - 1) / perLine * perLine;
    threadForce.resize(3 * static_cast<std::size_t>(stride) * team);
    threadEnergy.resize(team);
    threadPairs.resize(team);
}

void sweepPairsFast(const Particle* particles, int n, const PairSweep& sweep, KernelWorkspace& ws) {
    n = std::max(n, 0);
    ws.load(particles, n);
    ws.sweptForces = sweep.forces;
    ws.sweptEnergy = sweep.energy;
    const double coulomb = 1.0 / (3.0 * sweep.debyeSphereCount);
    if (sweep.forces && sweep.energy) {
        sweepRows<true, true>(n, coulomb, ws);
    } else if (sweep.forces) {
        sweepRows<true, false>(n, coulomb, ws);
    } else if (sweep.energy) {
        sweepRows<false, true>(n, coulomb, ws);
    } else {
        sweepRows<false, false>(n, coulomb, ws);
    }
}

int collideSweptPairs(Particle* particles, KernelWorkspace& ws,
                      std::vector<ParticlePair>* collided) {
    // Collisions change velocities only, never the positions the test reads, so the pairs found
    // in parallel are exactly those the sequential pass would meet; the candidates are in its
    // order, and its own test decides.
    int collisions = 0;
    for (const auto& [p, q] : ws.candidates) {
        if (!(particles[p].radius() + particles[q].radius() >
              particles[p].distanceTo(particles[q])))
            continue;
        collide(particles[p], particles[q]);
        ++collisions;
        if (collided) collided->emplace_back(p, q);
    }
    return collisions;
}

EnergySums addSweptForces(const Particle* particles, int n, const ForceModel& model, double* force,
                          const KernelWorkspace& ws) {
    EnergySums sums;
    if (ws.sweptForces) {
        // Thread 0 first, then 1, ...: the same order on every run.
        const int stride = ws.stride;
        for (int t = 0; t < ws.sweptThreads; ++t) {
            const double* fx = ws.threadForce.data() + 3 * static_cast<std::size_t>(stride) * t;
            for (int i = 0; i < n; ++i) {
                force[3 * i] += fx[i];
                force[3 * i + 1] += fx[stride + i];
                force[3 * i + 2] += fx[2 * stride + i];
            }
        }
    }
    if (ws.sweptEnergy) {
        double energy = 0;
        for (int t = 0; t < ws.sweptThreads; ++t) energy += ws.threadEnergy[t];
        // Every unordered pair counts twice, as in the reference.
        sums.pairEnergy = 2.0 * energy;
    }
    for (int p = 0; p < n; ++p) particleTerms(particles[p], model, force + 3 * p, sums);
    return sums;
}

int overlapPassFast(Particle* particles, int n, KernelWorkspace& ws,
                    std::vector<ParticlePair>* collided) {
    sweepPairsFast(particles, n, PairSweep{}, ws);
    return collideSweptPairs(particles, ws, collided);
}

EnergySums forcePassFast(const Particle* particles, int n, const ForceModel& model, double* force,
                         KernelWorkspace& ws) {
    sweepPairsFast(particles, n, pairSweepFor(model), ws);
    return addSweptForces(particles, n, model, force, ws);
}

}  // namespace qv
