#include "sim/kernels.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#include "sim/collisions.h"
#include "sim/fastexp.h"
#include "sim/parallel.h"

namespace qv {
namespace {

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
    for (int c : kAxes) {
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

// Every sum along a row is split over kLanes partial sums, pair j going to lane j mod kLanes,
// and the lanes are added in one fixed order. Vector units of any width (or none) then give the
// same bits, where a compiler-chosen reduction would follow the machine's vector width. Eight
// doubles are one cache line, so the vector part of a row reads whole lines.
constexpr int kLanes = 8;
// Blocks of rows of about this many pairs (a few microseconds) are shared out among the threads:
// the default 276 grains make four, so that two threads take two each.
constexpr std::int64_t kPairsPerBlock = 1 << 13;
// Enough blocks for a few threads to balance their load when one of them is held up; each block
// costs a pass over its share of the force accumulators.
constexpr int kMaxBlocks = 16;

// Where the padding of a row lies: its distance squared overflows to infinity, so its force and
// energy are 0.
constexpr double kFarAway = 1e300;

// n rounded up to whole chunks of kLanes.
int paddedCount(int n) {
    return (n + kLanes - 1) / kLanes * kLanes;
}

double laneSum(const double (&lanes)[kLanes]) {
    return ((lanes[0] + lanes[1]) + (lanes[2] + lanes[3])) +
           ((lanes[4] + lanes[5]) + (lanes[6] + lanes[7]));
}

// One row of the pair sweep: particle p against every q > p. Forces go to the block's own
// accumulators, indexed by particle (Newton's third law: q gets the opposite of what p gets);
// the energy of the row, the sum of q_p q_q / (3 ND d), is added to `energy`. Two particles in
// the same place have no direction between them and add nothing. The overlap test rides along:
// overlaps are rare, so a row that may have one is scanned again one pair at a time to list
// them. Screened, each pair term takes the factor exp(-d / lambda) and only pairs within the
// cutoff count.
struct PairTerms {
    double coulomb = 0;        // 1 / (3 ND)
    double inverseLength = 0;  // 1 / lambda
    double reach2 = 0;         // squaredCutoff of the cutoff
};
// Every pair p < j of row p that overlaps, in order: a row that may have one is scanned again.
void listOverlaps(int p, int n, const KernelWorkspace& ws, std::vector<ParticlePair>& overlaps) {
    const double* x = ws.x.data();
    const double* y = ws.y.data();
    const double* z = ws.z.data();
    const double* rad = ws.rad.data();
    for (int j = p + 1; j < n; ++j) {
        const double dx = x[j] - x[p];
        const double dy = y[j] - y[p];
        const double dz = z[j] - z[p];
        const double b = rad[p] + rad[j];
        if (b * b * kOverlapSlack >= dx * dx + dy * dy + dz * dz) overlaps.emplace_back(p, j);
    }
}

template <bool Forces, bool Energy>
void screenedRow(int p, int n, const PairTerms& terms, const KernelWorkspace& ws,
                 double* __restrict fx, double* __restrict fy, double* __restrict fz,
                 double& energy, std::vector<ParticlePair>& overlaps) {
    const double* __restrict x = ws.x.data();
    const double* __restrict y = ws.y.data();
    const double* __restrict z = ws.z.data();
    const double* __restrict q = ws.q.data();
    const double* __restrict rad = ws.rad.data();
    const double xp = x[p];
    const double yp = y[p];
    const double zp = z[p];
    const double qp = q[p] * terms.coulomb;
    const double rp = rad[p];
    const double inverseLength = terms.inverseLength;
    const double reach2 = terms.reach2;
    double sx[kLanes] = {}, sy[kLanes] = {}, sz[kLanes] = {}, rowEnergy[kLanes] = {};
    double closest[kLanes];  // largest overlap measure b^2 - d^2 of the lane
    std::fill(closest, closest + kLanes, -kInfinity);
    // Rows go in whole chunks of kLanes columns: in the first chunk the columns up to p itself are
    // masked, and the columns past n are padding far away and without charge, adding nothing.
    const auto pair = [&](int j, int lane, auto masked) __attribute__((always_inline)) {
        const bool keep = !decltype(masked)::value || j > p;
        const double dx = x[j] - xp;
        const double dy = y[j] - yp;
        const double dz = z[j] - zp;
        const double d2 = dx * dx + dy * dy + dz * dz;
        const double b = rp + rad[j];
        closest[lane] = std::max(closest[lane], keep ? b * b * kOverlapSlack - d2 : -kInfinity);
        // -dU/dd of U = C exp(-d / lambda) / d, computed for every pair and kept for those
        // within the cutoff: selects rather than branches keep the loop a vector one. A particle
        // far off or nowhere (an infinite or missing position) weighs nothing.
        const bool within = keep & (d2 > 0.0) & (d2 <= reach2);
        const double d = std::sqrt(d2);
        const double ratio = d * inverseLength;
        const double inverse = 1.0 / d;
        const double u = qp * q[j] * inverse * expNonPositive(-ratio);
        const double f = u * inverse * inverse * (1.0 + ratio);
        const double pairPotential = within ? u : 0.0;
        const double s = within ? f : 0.0;
        const double ux = within ? dx : 0.0;
        const double uy = within ? dy : 0.0;
        const double uz = within ? dz : 0.0;
        if constexpr (Forces) {
            fx[j] += s * ux;
            fy[j] += s * uy;
            fz[j] += s * uz;
            sx[lane] += s * ux;
            sy[lane] += s * uy;
            sz[lane] += s * uz;
        }
        if constexpr (Energy) rowEnergy[lane] += pairPotential;
    };
    const int end = paddedCount(n);
    int j = (p + 1) / kLanes * kLanes;
    if (j < end) {
        for (int lane = 0; lane < kLanes; ++lane) pair(j + lane, lane, std::true_type{});
        j += kLanes;
    }
    for (; j < end; j += kLanes)
        for (int lane = 0; lane < kLanes; ++lane) pair(j + lane, lane, std::false_type{});
    if constexpr (Forces) {
        fx[p] -= laneSum(sx);
        fy[p] -= laneSum(sy);
        fz[p] -= laneSum(sz);
    }
    if constexpr (Energy) energy += laneSum(rowEnergy);
    if (*std::max_element(closest, closest + kLanes) >= 0.0) listOverlaps(p, n, ws, overlaps);
}

// The bare Coulomb rows, with one chunk of kLanes columns as one vector (GCC's vector types, which
// every target lowers to its own instructions or to scalar code), so lane l always holds column
// j + l. The square root and the division are the slow part: one of each per pair, 1/(d^2 d)
// giving the force directly.
using Vec = double __attribute__((vector_size(kLanes * sizeof(double))));
using VecBits = std::int64_t __attribute__((vector_size(kLanes * sizeof(double))));

Vec load(const double* from) {
    Vec v;
    std::memcpy(&v, from, sizeof v);
    return v;
}

void store(double* to, Vec v) {
    std::memcpy(to, &v, sizeof v);
}

Vec splat(double value) {
    return Vec{} + value;
}

Vec root(Vec v) {
    for (int lane = 0; lane < kLanes; ++lane) v[lane] = std::sqrt(v[lane]);
    return v;
}

double laneSum(Vec v) {
    return ((v[0] + v[1]) + (v[2] + v[3])) + ((v[4] + v[5]) + (v[6] + v[7]));
}

template <bool Forces, bool Energy>
void coulombRow(int p, int n, const PairTerms& terms, const KernelWorkspace& ws,
                double* __restrict fx, double* __restrict fy, double* __restrict fz, double& energy,
                std::vector<ParticlePair>& overlaps) {
    const double* __restrict x = ws.x.data();
    const double* __restrict y = ws.y.data();
    const double* __restrict z = ws.z.data();
    const double* __restrict q = ws.q.data();
    const double* __restrict rad = ws.rad.data();
    const double xp = x[p];
    const double yp = y[p];
    const double zp = z[p];
    const double qp = q[p] * terms.coulomb;
    Vec sx{}, sy{}, sz{}, rowEnergy{};
    // Overlaps are rare: the nearest distance of each lane is kept, and only a row that comes
    // within reach of the largest grain is scanned for them pair by pair.
    Vec nearest = splat(kInfinity);
    const auto chunk = [&](int j, bool first) __attribute__((always_inline)) {
        const Vec dx = load(x + j) - xp;
        const Vec dy = load(y + j) - yp;
        const Vec dz = load(z + j) - zp;
        const Vec d2 = dx * dx + dy * dy + dz * dz;
        // The same place (or no distance at all) counts as infinitely far: no force, no energy.
        const Vec far = d2 >= DBL_MIN ? d2 : splat(kInfinity);
        const Vec d = root(far);
        const Vec inverseCube = 1.0 / (far * d);
        Vec charges = qp * load(q + j);
        Vec distance2 = d2;
        if (first) {
            // In the first chunk the columns up to p itself are masked.
            VecBits column{};
            for (int lane = 0; lane < kLanes; ++lane) column[lane] = j + lane;
            const VecBits keep = column > p;
            distance2 = keep ? distance2 : splat(kInfinity);
            charges = keep ? charges : splat(0.0);
        }
        nearest = distance2 < nearest ? distance2 : nearest;
        if constexpr (Forces) {
            const Vec s = charges * inverseCube;
            const Vec gx = s * dx;
            const Vec gy = s * dy;
            const Vec gz = s * dz;
            store(fx + j, load(fx + j) + gx);
            store(fy + j, load(fy + j) + gy);
            store(fz + j, load(fz + j) + gz);
            sx += gx;
            sy += gy;
            sz += gz;
        }
        // Energy is asked for on sampling frames only; it takes a division of its own.
        if constexpr (Energy) rowEnergy += charges * (1.0 / d);
    };
    const int end = paddedCount(n);
    int j = (p + 1) / kLanes * kLanes;
    if (j < end) {
        chunk(j, true);
        j += kLanes;
    }
    for (; j < end; j += kLanes) chunk(j, false);
    if constexpr (Forces) {
        fx[p] -= laneSum(sx);
        fy[p] -= laneSum(sy);
        fz[p] -= laneSum(sz);
    }
    if constexpr (Energy) energy += laneSum(rowEnergy);
    double least = kInfinity;
    for (int lane = 0; lane < kLanes; ++lane) least = std::min(least, nearest[lane]);
    const double reach = rad[p] + ws.largestRadius;
    if (least <= reach * reach * kOverlapSlack) listOverlaps(p, n, ws, overlaps);
}

template <bool Forces, bool Energy, bool Screened>
void sweepBlocks(int n, const PairTerms& terms, KernelWorkspace& ws) {
    // Each block writes only its own accumulators, energy and pair list, so which thread runs it
    // and when changes nothing.
    auto block = [&](int b) {
        const int length = ws.blockLength(b);
        // Shifted so that index i is particle i, on the same place in its cache line as x[i].
        double* fx = ws.blockForce.data() + ws.blockOffset[b] - ws.blockOrigin(b);
        double* fy = fx + length;
        double* fz = fy + length;
        if constexpr (Forces)
            std::fill(fx + ws.blockOrigin(b), fx + ws.blockOrigin(b) + 3 * length, 0.0);
        std::vector<ParticlePair>& overlaps = ws.blockPairs[b];
        overlaps.clear();
        double energy = 0;
        for (int p = ws.blockStart[b]; p < ws.blockStart[b + 1]; ++p)
            if constexpr (Screened)
                screenedRow<Forces, Energy>(p, n, terms, ws, fx, fy, fz, energy, overlaps);
            else
                coulombRow<Forces, Energy>(p, n, terms, ws, fx, fy, fz, energy, overlaps);
        ws.blockEnergy[b] = energy;
    };
    forEachBlock(ws.blocks(), ws.threads > 0 ? ws.threads : parallelThreads(), block);

    // Blocks hold ascending rows, so in block order the pairs are in the sequential order.
    ws.candidates.clear();
    for (const std::vector<ParticlePair>& pairs : ws.blockPairs)
        ws.candidates.insert(ws.candidates.end(), pairs.begin(), pairs.end());
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

double screenedCutoff(double screeningLength, double nearestNeighbour, double tolerance) {
    if (!std::isfinite(screeningLength)) return kInfinity;
    // exp(-d / lambda) / d falls monotonically: bisect for the distance where it has fallen to
    // the fraction asked, relative to its value at the nearest neighbour.
    const double a = nearestNeighbour;
    const auto ratio = [&](double d) { return std::exp(-(d - a) / screeningLength) * a / d; };
    double low = a;
    double high = 2.0 * a;
    while (ratio(high) > tolerance) high *= 2.0;
    for (int i = 0; i < 200 && high - low > 1e-12 * high; ++i) {
        const double mid = 0.5 * (low + high);
        (ratio(mid) > tolerance ? low : high) = mid;
    }
    return high;
}

EnergySums forcePassReference(const Particle* particles, int n, const ForceModel& model,
                              double* force) {
    EnergySums sums;
    const double nd = model.debyeSphereCount;
    const double lambda = model.screeningLength;
    double unit[3];  // from p towards q, reused for every pair
    for (int p = 0; p < n; ++p) {
        const Particle& a = particles[p];
        for (int q = p + 1; q < n; ++q) {
            const Particle& b = particles[q];
            const double d = a.directionTo(b, unit);
            if (!(d > 0.0)) continue;  // the same place: no direction, no finite energy
            if (d > model.cutoff) continue;
            double f = a.q * b.q / (d * d * 3.0 * nd);
            double energy = f * d;
            if (std::isfinite(lambda)) {
                // -dU/dd of U = C exp(-d / lambda) / d.
                energy *= std::exp(-d / lambda);
                f = energy / d * (1.0 + d / lambda);
            }
            if (model.samplingFrame) sums.pairEnergy += 2.0 * energy;
            if (model.pairForces) {
                // Like charges push apart.
                for (int c : kAxes) {
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
        for (int c : kAxes) {
            if (massive) a.vel[c] += force[3 * p + c] / a.m * dt;
            a.pos[c] += dt * a.vel[c];
        }
    }
}

void KernelWorkspace::load(const Particle* particles, int n) {
    const int padded = paddedCount(n);
    for (Buffer* b : {&x, &y, &z, &q, &rad}) b->resize(padded);
    for (int i = n; i < padded; ++i) {
        x[i] = y[i] = z[i] = kFarAway;
        q[i] = rad[i] = 0;
    }
    largestRadius = 0;
    for (int i = 0; i < n; ++i) {
        const Particle& p = particles[i];
        largestRadius = std::max(largestRadius, p.rad);
        x[i] = p.pos[0];
        y[i] = p.pos[1];
        z[i] = p.pos[2];
        q[i] = p.q;
        rad[i] = p.rad;
    }
}

int KernelWorkspace::blockOrigin(int b) const {
    return blockStart[b] / kLanes * kLanes;
}

int KernelWorkspace::blockLength(int b) const {
    return (plannedCount - blockOrigin(b) + kLanes - 1) / kLanes * kLanes;
}

void KernelWorkspace::planBlocks(int n) {
    if (n == plannedCount) return;
    plannedCount = n;
    blockStart = rowBlocks(n, kPairsPerBlock, kMaxBlocks);
    const int made = static_cast<int>(blockStart.size()) - 1;
    blockOffset.resize(made);
    std::size_t offset = 0;
    for (int b = 0; b < made; ++b) {
        blockOffset[b] = offset;
        offset += 3 * static_cast<std::size_t>(blockLength(b));
    }
    blockForce.resize(offset);
    blockEnergy.assign(made, 0);
    blockPairs.resize(made);
}

namespace {

template <bool Screened>
void sweepAllPairs(int n, const PairTerms& terms, const PairSweep& sweep, KernelWorkspace& ws) {
    if (sweep.forces && sweep.energy) {
        sweepBlocks<true, true, Screened>(n, terms, ws);
    } else if (sweep.forces) {
        sweepBlocks<true, false, Screened>(n, terms, ws);
    } else if (sweep.energy) {
        sweepBlocks<false, true, Screened>(n, terms, ws);
    } else {
        sweepBlocks<false, false, false>(n, terms, ws);
    }
}

}  // namespace

double squaredCutoff(double cutoff) {
    if (cutoff < 0.0) return -1.0;
    if (!(cutoff < DBL_MAX)) return DBL_MAX;
    // sqrt(c * c) is c; a square that overflows is capped. A few doubles above c^2 may still
    // have c as their rounded root.
    double s = std::min(cutoff * cutoff, DBL_MAX);
    while (std::sqrt(std::nextafter(s, kInfinity)) <= cutoff) s = std::nextafter(s, kInfinity);
    return s;
}

void sweepPairsFast(const Particle* particles, int n, const PairSweep& sweep, KernelWorkspace& ws) {
    // A screened interaction reaches only a few spacings: unless the cutoff spans much of the
    // cloud, the cells that are near each other hold every pair that counts.
    const bool screened = std::isfinite(sweep.screeningLength);
    if (screened && sweepPairsInCells(particles, n, sweep, ws)) return;
    ws.sweptCells = false;
    n = std::max(n, 0);
    ws.load(particles, n);
    ws.planBlocks(n);
    ws.sweptForces = sweep.forces;
    ws.sweptEnergy = sweep.energy;
    PairTerms terms;
    terms.coulomb = 1.0 / (3.0 * sweep.debyeSphereCount);
    if (screened) {
        terms.inverseLength = 1.0 / sweep.screeningLength;
        terms.reach2 = squaredCutoff(sweep.cutoff);
        sweepAllPairs<true>(n, terms, sweep, ws);
    } else {
        sweepAllPairs<false>(n, terms, sweep, ws);
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
    if (ws.sweptForces && ws.sweptCells) {
        const int swept =
            static_cast<int>(std::min<std::size_t>(3 * std::size_t(n), ws.cellForce.size()));
        for (int i = 0; i < swept; ++i) force[i] += ws.cellForce[i];
    } else if (ws.sweptForces) {
        // Per particle the blocks add up in block order, whatever ran them; a few hundred
        // particles at a time so that their sums stay in cache, and from a few thousand
        // particles on these pieces are shared out among the threads too.
        constexpr int kChunk = 256;
        auto piece = [&](int k) {
            double sum[std::size(kAxes)][kChunk];
            const int from = k * kChunk;
            const int to = std::min(n, from + kChunk);
            for (double(&axis)[kChunk] : sum) std::fill(std::begin(axis), std::end(axis), 0.0);
            for (int b = 0; b < ws.blocks() && ws.blockStart[b] < to; ++b) {
                const int first = std::max(from, ws.blockStart[b]);
                const int length = ws.blockLength(b);
                const double* fx = ws.blockForce.data() + ws.blockOffset[b] - ws.blockOrigin(b);
                for (int c : kAxes)
                    for (int i = first; i < to; ++i) sum[c][i - from] += fx[c * length + i];
            }
            for (int i = from; i < to; ++i)
                for (int c : kAxes) force[3 * i + c] += sum[c][i - from];
        };
        const int pieces = (n + kChunk - 1) / kChunk;
        const int threads = ws.threads > 0 ? ws.threads : parallelThreads();
        forEachBlock(pieces, pieces >= 8 ? threads : 1, piece);
    }
    if (ws.sweptEnergy) {
        double energy = 0;
        for (const double e : ws.sweptCells ? ws.cellEnergy : ws.blockEnergy) energy += e;
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
