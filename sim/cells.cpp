// The linked-cell sweep for a screened interaction. Every particle visits the particles of its own
// and the 26 adjacent cells and sums its own force, so no two blocks write the same number and
// the blocks depend on n alone: the bits do not depend on the thread count. Each pair is computed
// from both sides, with the same operations in the same order as forcePassReference.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

#include "sim/kernels.h"
#include "sim/parallel.h"

namespace qv {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// As in the all-pairs sweep: a sliver more than touching, and collideSweptPairs decides.
constexpr double kOverlapSlack = 1.0 + 1e-9;
// Cells a little wider than the reach, so that rounding of a cell index never puts two particles
// within reach more than one cell apart.
constexpr double kEdgeMargin = 1.0 + 1e-6;
// Columns of a neighbour range handled at once: their squared distances stay in L1.
constexpr int kChunk = 256;
constexpr int kSlotsPerBlock = 256;
constexpr int kMaxBlocks = 64;

// The largest squared distance whose square root is at most the cutoff: the test on d^2 then
// keeps exactly the pairs the reference keeps by its test on d. A cutoff that is not a number
// skips nothing there, a negative one everything.
double squaredReach(double cutoff) {
    if (cutoff < 0.0) return -1.0;
    if (!(cutoff < DBL_MAX)) return DBL_MAX;
    // sqrt(c * c) is c; a square that overflows is capped. A few doubles above c^2 may still
    // have c as their rounded root.
    double s = std::min(cutoff * cutoff, DBL_MAX);
    while (std::sqrt(std::nextafter(s, kInfinity)) <= cutoff) s = std::nextafter(s, kInfinity);
    return s;
}

int cellCoordinate(double t, int count) {
    if (!(t > 0.0)) return 0;
    return t < count ? static_cast<int>(t) : count - 1;
}

struct Grid {
    int count[3] = {1, 1, 1};
    double low[3] = {};
    double scale[3] = {};  // cells per unit length; 0 for a single cell
};

bool finitePosition(const Particle& p) {
    return std::isfinite(p.pos[0]) && std::isfinite(p.pos[1]) && std::isfinite(p.pos[2]);
}

// Cells of at least `reach` spanning the box of the placed particles, at most 2 placed + 27 of
// them: a far straggler widens the cells rather than filling memory with empty ones.
Grid planGrid(const Particle* particles, int n, double reach, int placed) {
    Grid g;
    double high[3];
    for (int c : kAxes) g.low[c] = kInfinity, high[c] = -kInfinity;
    for (int i = 0; i < n; ++i) {
        if (!finitePosition(particles[i])) continue;
        for (int c : kAxes) {
            g.low[c] = std::min(g.low[c], particles[i].pos[c]);
            high[c] = std::max(high[c], particles[i].pos[c]);
        }
    }
    if (placed == 0) return g;
    double width[3];
    for (int c : kAxes) width[c] = high[c] - g.low[c];
    const double limit = 2.0 * placed + 27.0;
    double edge = reach;
    double counts[3];
    for (;;) {
        double cells = 1;
        for (int c : kAxes) {
            const double k = std::floor(width[c] / edge);
            counts[c] = k >= 1.0 ? k : 1.0;  // also for an edge that is not a number
            cells *= counts[c];
        }
        if (cells <= limit) break;
        edge *= std::max(1.01, std::cbrt(cells / limit));
    }
    for (int c : kAxes) {
        g.count[c] = static_cast<int>(counts[c]);
        g.scale[c] = g.count[c] > 1 ? counts[c] / width[c] : 0.0;
    }
    return g;
}

// Particle p (in slot `self`) against the slots [from, to): its force and energy, and the pairs
// p < q that may overlap. The squared distances go in one vector loop, those within reach are
// packed, and the pair terms of the packed columns go in vector loops again but for the
// exponential; the sums then run in column order, so the vector width changes no bit.
template <bool Pairs>
void cellRange(int self, int from, int to, double reach2, double nd, double lambda,
               const KernelWorkspace& ws, double (&force)[3], double& energy,
               std::vector<ParticlePair>& overlaps) {
    const double xp = ws.sx[self];
    const double yp = ws.sy[self];
    const double zp = ws.sz[self];
    const double qp = ws.sq[self];
    const double rp = ws.srad[self];
    const int p = ws.order[self];
    alignas(64) double dx[kChunk], dy[kChunk], dz[kChunk], d2[kChunk];
    alignas(64) double kx[kChunk], ky[kChunk], kz[kChunk], k2[kChunk], kq[kChunk];
    alignas(64) double ku[kChunk], kd[kChunk], ke[kChunk];
    int hit[kChunk];
    for (int j0 = from; j0 < to; j0 += kChunk) {
        const int m = std::min(kChunk, to - j0);
        const double* __restrict x = ws.sx.data() + j0;
        const double* __restrict y = ws.sy.data() + j0;
        const double* __restrict z = ws.sz.data() + j0;
        const double* __restrict rad = ws.srad.data() + j0;
        const double* __restrict charge = ws.sq.data() + j0;
        int touching = 0;
        for (int t = 0; t < m; ++t) {
            dx[t] = x[t] - xp;
            dy[t] = y[t] - yp;
            dz[t] = z[t] - zp;
            d2[t] = dx[t] * dx[t] + dy[t] * dy[t] + dz[t] * dz[t];
            const double b = rp + rad[t];
            touching |= (b * b * kOverlapSlack >= d2[t]) & (j0 + t != self);
        }
        // Overlaps are rare: a range that has one is scanned again to list them.
        for (int t = 0; touching && t < m; ++t) {
            const double b = rp + rad[t];
            const int q = ws.order[j0 + t];
            if (b * b * kOverlapSlack >= d2[t] && q > p) overlaps.emplace_back(p, q);
        }
        if constexpr (!Pairs) continue;
        int hits = 0;
        for (int t = 0; t < m; ++t) {
            hit[hits] = t;
            hits += d2[t] > 0.0 && d2[t] <= reach2;
        }
        for (int h = 0; h < hits; ++h) {
            const int t = hit[h];
            kx[h] = dx[t], ky[h] = dy[t], kz[h] = dz[t], k2[h] = d2[t], kq[h] = charge[t];
        }
        // The operations of forcePassReference, in its order: each pair term has its bits.
        for (int h = 0; h < hits; ++h) {
            const double d = std::sqrt(k2[h]);
            kd[h] = d;
            ku[h] = qp * kq[h] / (d * d * 3.0 * nd) * d;
            ke[h] = -d / lambda;
        }
        for (int h = 0; h < hits; ++h) ke[h] = std::exp(ke[h]);
        for (int h = 0; h < hits; ++h) {
            const double d = kd[h];
            const double u = ku[h] * ke[h];
            const double f = u / d * (1.0 + d / lambda);
            ku[h] = u;
            kx[h] = f * (kx[h] / d);
            ky[h] = f * (ky[h] / d);
            kz[h] = f * (kz[h] / d);
        }
        for (int h = 0; h < hits; ++h) {
            energy += ku[h];
            force[0] -= kx[h];
            force[1] -= ky[h];
            force[2] -= kz[h];
        }
    }
}

template <bool Pairs>
void sweepCellBlocks(int n, int placed, const Grid& g, const PairSweep& sweep,
                     KernelWorkspace& ws) {
    const int blocks = std::clamp(n / kSlotsPerBlock, 1, kMaxBlocks);
    const int perBlock = (n + blocks - 1) / blocks;
    ws.cellEnergy.assign(blocks, 0.0);
    ws.cellPairs.resize(blocks);
    const double reach2 = squaredReach(sweep.cutoff);
    const int nx = g.count[0];
    const int ny = g.count[1];
    const int nz = g.count[2];
    auto block = [&](int b) {
        std::vector<ParticlePair>& overlaps = ws.cellPairs[b];
        overlaps.clear();
        double energy = 0;
        const int last = std::min(placed, (b + 1) * perBlock);
        for (int k = std::min(placed, b * perBlock); k < last; ++k) {
            const int p = ws.order[k];
            const int c = ws.cellOf[p];
            const int cx = c % nx;
            const int cy = c / nx % ny;
            const int cz = c / nx / ny;
            // Each row of three cells along x is one contiguous range of slots.
            const int x0 = std::max(cx - 1, 0);
            const int x1 = std::min(cx + 1, nx - 1);
            double force[3] = {};
            double own = 0;
            for (int z = std::max(cz - 1, 0); z <= std::min(cz + 1, nz - 1); ++z) {
                for (int y = std::max(cy - 1, 0); y <= std::min(cy + 1, ny - 1); ++y) {
                    const int row = nx * (y + ny * z);
                    cellRange<Pairs>(k, ws.cellStart[row + x0], ws.cellStart[row + x1 + 1], reach2,
                                     sweep.debyeSphereCount, sweep.screeningLength, ws, force, own,
                                     overlaps);
                }
            }
            for (int a : kAxes) ws.cellForce[3 * p + a] = force[a];
            energy += own;
        }
        // Every pair was met from both sides; addSweptForces doubles the once-counted sum.
        ws.cellEnergy[b] = 0.5 * energy;
    };
    forEachBlock(blocks, ws.threads > 0 ? ws.threads : parallelThreads(), block);

    ws.candidates.clear();
    for (const std::vector<ParticlePair>& pairs : ws.cellPairs)
        ws.candidates.insert(ws.candidates.end(), pairs.begin(), pairs.end());
    // The order of the sequential pass: p ascending, then q ascending.
    std::sort(ws.candidates.begin(), ws.candidates.end());
}

}  // namespace

void sweepPairsInCells(const Particle* particles, int n, const PairSweep& sweep,
                       KernelWorkspace& ws) {
    n = std::max(n, 0);
    ws.sweptCells = true;
    ws.sweptForces = sweep.forces;
    ws.sweptEnergy = sweep.energy;
    ws.cellForce.assign(3 * static_cast<std::size_t>(n), 0.0);
    ws.cellOf.resize(n);

    // Particles without a finite position are in no cell: the reference adds nothing for them
    // and they overlap nothing.
    int placed = 0;
    double largestRadius = 0;
    for (int i = 0; i < n; ++i) {
        if (!finitePosition(particles[i])) continue;
        ++placed;
        largestRadius = std::max(largestRadius, particles[i].rad);
    }
    double reach = 2.0 * largestRadius;
    if (!(sweep.cutoff <= reach)) reach = sweep.cutoff;
    const Grid g = planGrid(particles, n, reach * kEdgeMargin, placed);

    // Counting sort by cell, stable, so the slots follow the particle order within a cell.
    const int cells = g.count[0] * g.count[1] * g.count[2];
    ws.cellStart.assign(cells + 1, 0);
    for (int i = 0; i < n; ++i) {
        const Particle& p = particles[i];
        if (!finitePosition(p)) {
            ws.cellOf[i] = -1;
            continue;
        }
        int at[3];
        for (int c : kAxes) at[c] = cellCoordinate((p.pos[c] - g.low[c]) * g.scale[c], g.count[c]);
        ws.cellOf[i] = at[0] + g.count[0] * (at[1] + g.count[1] * at[2]);
        ++ws.cellStart[ws.cellOf[i] + 1];
    }
    for (int c = 0; c < cells; ++c) ws.cellStart[c + 1] += ws.cellStart[c];
    ws.cellFill.assign(ws.cellStart.begin(), ws.cellStart.end() - 1);
    ws.order.resize(placed);
    for (int i = 0; i < n; ++i)
        if (ws.cellOf[i] >= 0) ws.order[ws.cellFill[ws.cellOf[i]]++] = i;
    for (KernelWorkspace::Buffer* b : {&ws.sx, &ws.sy, &ws.sz, &ws.sq, &ws.srad}) b->resize(placed);
    for (int k = 0; k < placed; ++k) {
        const Particle& p = particles[ws.order[k]];
        ws.sx[k] = p.pos[0];
        ws.sy[k] = p.pos[1];
        ws.sz[k] = p.pos[2];
        ws.sq[k] = p.q;
        ws.srad[k] = p.rad;
    }

    if (sweep.forces || sweep.energy) {
        sweepCellBlocks<true>(n, placed, g, sweep, ws);
    } else {
        sweepCellBlocks<false>(n, placed, g, sweep, ws);
    }
}

}  // namespace qv
