// The column sweep for a screened interaction. The particles are sorted into columns along x of a
// grid in y and z, by x within a column. Every particle meets its own column after itself and the
// columns within reach after its own, in each only the x window that can be within reach, so each
// pair is met once. As in the all-pairs sweep, every block of slots keeps its own accumulators
// and they are added in block order; the blocks depend on n alone, so the bits do not depend on
// the thread count.
#include <algorithm>
#include <cmath>
#include <limits>

#include "sim/fastexp.h"
#include "sim/kernels.h"
#include "sim/parallel.h"

namespace qv {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// As in the all-pairs sweep: a sliver more than touching, and collideSweptPairs decides.
constexpr double kOverlapSlack = 1.0 + 1e-9;
// Reach and columns a little wider than needed, so that rounding of a column index or of a
// window bound never leaves out a pair within reach.
constexpr double kEdgeMargin = 1.0 + 1e-6;
constexpr double kWindowMargin = 1.001;
// Where the room left for x is nearly 0, rounding of d^2 is larger than any relative margin.
constexpr double kWindowSlack = 1e-6;
// Columns per reach along y and z: narrow columns cut less of the cube around the sphere of
// reach, but give short windows, where the vector loops lose more to their ragged ends and the
// windows cost more to find. Measured at kappa 2, 2 beat 1, 3 and 4.
constexpr int kSplit = 2;
constexpr int kStencil = (2 * kSplit + 1) * (kSplit + 1);
// Partial sums of a particle's pair terms, as in the all-pairs sweep: slot t of a window goes to
// lane (t - first of the window) mod kLanes, so any vector width gives the same bits.
constexpr int kLanes = 8;
constexpr double kFarAway = 1e300;  // the padding past the last slot
// Blocks of slots for the threads. Each keeps accumulators for its slots and the columns within
// reach after them, so more blocks cost memory and passes over it: 16, as in the all-pairs sweep,
// measured as fast as 64 with two threads.
constexpr int kSlotsPerBlock = 256;
constexpr int kMaxBlocks = 16;
// The all-pairs sweep costs about as much per pair as this one per slot of the column windows
// (measured at 2000 grains, kappa 2, where the two are even); it wins where the cutoff spans much
// of the cloud.
constexpr double kAllPairsWeight = 1.0;

int cellCoordinate(double t, int count) {
    if (!(t > 0.0)) return 0;
    return t < count ? static_cast<int>(t) : count - 1;
}

// Columns along x: count[0] is always 1.
struct Grid {
    int count[3] = {1, 1, 1};
    double low[3] = {};
    double scale[3] = {};  // cells per unit length; 0 for a single cell
    double width[3] = {};  // of a cell
    double slack[3] = {};  // more than rounding can move a particle out of its cell
    // Lower and upper side of cell i along axis c, widened by the slack.
    double side(int c, int i, int upper) const {
        if (count[c] == 1) return upper ? kInfinity : -kInfinity;
        return upper ? low[c] + (i + 1) * width[c] + slack[c] : low[c] + i * width[c] - slack[c];
    }
};

bool finitePosition(const Particle& p) {
    return std::isfinite(p.pos[0]) && std::isfinite(p.pos[1]) && std::isfinite(p.pos[2]);
}

// Columns of at least `edge` spanning the box of the placed particles in y and z, at most
// 2 placed + 27 of them: a far straggler widens the columns rather than filling memory with
// empty ones.
Grid planGrid(const Particle* particles, int n, double edge, int placed) {
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
    double counts[3] = {1};  // x is never split
    for (;;) {
        double cells = 1;
        for (int c = 1; c < 3; ++c) {
            const double k = std::floor(width[c] / edge);
            counts[c] = k >= 1.0 ? k : 1.0;  // also for an edge that is not a number
            cells *= counts[c];
        }
        if (cells <= limit) break;
        edge *= std::max(1.01, std::sqrt(cells / limit));
    }
    for (int c : kAxes) {
        g.count[c] = static_cast<int>(counts[c]);
        g.scale[c] = g.count[c] > 1 ? counts[c] / width[c] : 0.0;
        g.width[c] = g.count[c] > 1 ? width[c] / counts[c] : kInfinity;
        g.slack[c] = 1e-12 * (std::abs(g.low[c]) + std::abs(high[c]));
    }
    return g;
}

// The columns within reach of a column that come after it, as offsets, each with the half width
// of the x window that can hold a particle within reach: the gap in y and z between the two
// columns is at least that of their nearest sides.
struct Stencil {
    int size = 0;
    int dy[kStencil], dz[kStencil];
    double halfWidth[kStencil];
    int ahead = 0;  // columns from a column to the last of its stencil
};
Stencil planStencil(const Grid& g, double reach) {
    Stencil s;
    const int my = std::min(kSplit, g.count[1] - 1);
    const int mz = std::min(kSplit, g.count[2] - 1);
    // The own column first, then the columns after it in column order: every pair of different
    // columns is met from the first of the two, by Newton's third law.
    for (int z = 0; z <= mz; ++z) {
        for (int y = z == 0 ? 0 : -my; y <= my; ++y) {
            const double gy = std::abs(y) > 1 ? (std::abs(y) - 1) * g.width[1] / kWindowMargin : 0;
            const double gz = std::abs(z) > 1 ? (std::abs(z) - 1) * g.width[2] / kWindowMargin : 0;
            const double room = reach * reach - (gy * gy + gz * gz);
            if (!(room >= 0.0)) continue;
            s.dy[s.size] = y, s.dz[s.size] = z;
            s.halfWidth[s.size++] = std::sqrt(room) * kWindowMargin + kWindowSlack * reach;
            s.ahead = std::max(s.ahead, y + g.count[1] * z);
        }
    }
    return s;
}

struct Terms {
    double reach = 0;  // of the windows
    double coulomb = 0;
    double inverseLength = 0;
    double reach2 = 0;
};
struct Lanes {
    double fx[kLanes] = {}, fy[kLanes] = {}, fz[kLanes] = {}, energy[kLanes] = {};
};

double laneSum(const double (&lanes)[kLanes]) {
    return ((lanes[0] + lanes[1]) + (lanes[2] + lanes[3])) +
           ((lanes[4] + lanes[5]) + (lanes[6] + lanes[7]));
}

// The particle in slot `self` against the slots [from, to) after it: its share of every pair term
// into the lanes, the other share into the block's accumulators (index j for slot j), and the
// pairs that may overlap, as (lower index, higher index). Overlaps are rare: a window that has
// one is scanned again to list them.
template <bool Pairs>
[[gnu::always_inline]] inline void window(int self, int from, int to, const Terms& t,
                                          const KernelWorkspace& ws, double* __restrict fx,
                                          double* __restrict fy, double* __restrict fz, Lanes& sums,
                                          std::vector<ParticlePair>& overlaps) {
    const double* __restrict x = ws.sx.data();
    const double* __restrict y = ws.sy.data();
    const double* __restrict z = ws.sz.data();
    const double* __restrict q = ws.sq.data();
    const double* __restrict rad = ws.srad.data();
    const double xp = x[self];
    const double yp = y[self];
    const double zp = z[self];
    const double qp = q[self] * t.coulomb;
    const double rp = rad[self];
    const double inverseLength = t.inverseLength;
    const double reach2 = t.reach2;
    double closest[kLanes];  // largest overlap measure b^2 - d^2 of the lane
    std::fill(closest, closest + kLanes, -kInfinity);
    double sx[kLanes], sy[kLanes], sz[kLanes], energy[kLanes];
    std::copy(sums.fx, sums.fx + kLanes, sx);
    std::copy(sums.fy, sums.fy + kLanes, sy);
    std::copy(sums.fz, sums.fz + kLanes, sz);
    std::copy(sums.energy, sums.energy + kLanes, energy);
    const auto pair = [&](int j, int lane, bool keep) __attribute__((always_inline)) {
        const double dx = x[j] - xp;
        const double dy = y[j] - yp;
        const double dz = z[j] - zp;
        const double d2 = dx * dx + dy * dy + dz * dz;
        const double b = rp + rad[j];
        const double measure = b * b * kOverlapSlack - d2;
        closest[lane] = std::max(closest[lane], keep ? measure : -kInfinity);
        if constexpr (Pairs) {
            // -dU/dd of U = C exp(-d / lambda) / d, computed for every column and kept for
            // those within the cutoff: selects rather than branches keep the loop a vector one.
            const bool within = keep & (d2 > 0.0) & (d2 <= reach2);
            const double d = std::sqrt(d2);
            const double ratio = d * inverseLength;
            const double inverse = 1.0 / d;
            const double term = qp * q[j] * inverse * expNonPositive(-ratio);
            const double force = term * inverse * inverse * (1.0 + ratio);
            const double u = within ? term : 0.0;
            const double s = within ? force : 0.0;
            fx[j] += s * dx;
            fy[j] += s * dy;
            fz[j] += s * dz;
            sx[lane] += s * dx;
            sy[lane] += s * dy;
            sz[lane] += s * dz;
            energy[lane] += u;
        }
    };
    // Whole chunks first, then the ragged end with the slots past `to` masked.
    int j0 = from;
    for (; j0 + kLanes <= to; j0 += kLanes)
        for (int lane = 0; lane < kLanes; ++lane) pair(j0 + lane, lane, true);
    if (j0 < to) {
        for (int lane = 0; lane < kLanes; ++lane) pair(j0 + lane, lane, j0 + lane < to);
    }
    std::copy(sx, sx + kLanes, sums.fx);
    std::copy(sy, sy + kLanes, sums.fy);
    std::copy(sz, sz + kLanes, sums.fz);
    std::copy(energy, energy + kLanes, sums.energy);
    if (!(*std::max_element(closest, closest + kLanes) >= 0.0)) return;
    const int p = ws.order[self];
    for (int j = from; j < to; ++j) {
        const double dx = x[j] - xp;
        const double dy = y[j] - yp;
        const double dz = z[j] - zp;
        const double b = rp + rad[j];
        if (b * b * kOverlapSlack >= dx * dx + dy * dy + dz * dz)
            overlaps.emplace_back(std::min(p, ws.order[j]), std::max(p, ws.order[j]));
    }
}

template <bool Pairs>
void sweepColumns(int n, int placed, const Grid& g, const Stencil& stencil, const Terms& terms,
                  KernelWorkspace& ws) {
    const int blocks = std::clamp(n / kSlotsPerBlock, 1, kMaxBlocks);
    const int perBlock = (n + blocks - 1) / blocks;
    const auto first = [&](int b) { return std::min(placed, b * perBlock); };
    ws.cellEnergy.assign(blocks, 0.0);
    ws.cellPairs.resize(blocks);
    // Block b writes the slots [first(b), spanEnd[b]): its own and those of the columns within
    // reach after its last one, each block in its own accumulators (plus a chunk of padding for
    // the masked lanes).
    const int cells = g.count[1] * g.count[2];
    ws.spanEnd.resize(blocks);
    ws.spanOffset.resize(blocks + 1);
    ws.spanOffset[0] = 0;
    for (int b = 0; b < blocks; ++b) {
        const int last = first(b + 1) - 1;
        const int column = last >= first(b) ? ws.cellOf[ws.order[last]] : 0;
        ws.spanEnd[b] =
            last >= first(b) ? ws.cellStart[std::min(cells, column + stencil.ahead + 1)] : first(b);
        ws.spanOffset[b + 1] = ws.spanOffset[b] + 3 * (ws.spanEnd[b] - first(b) + kLanes);
    }
    if (ws.spanForce.size() < ws.spanOffset[blocks]) ws.spanForce.resize(ws.spanOffset[blocks]);
    const int ny = g.count[1];
    const int nz = g.count[2];
    auto block = [&](int b) {
        std::vector<ParticlePair>& overlaps = ws.cellPairs[b];
        overlaps.clear();
        const int length = ws.spanEnd[b] - first(b) + kLanes;
        double* fx = ws.spanForce.data() + ws.spanOffset[b];
        std::fill(fx, fx + 3 * length, 0.0);
        fx -= first(b);  // slot j at fx[j]
        double* fy = fx + length;
        double* fz = fy + length;
        double energy = 0;
        // The window of every column of the stencil, [low, high) of [start, end): each particle
        // starts from the last one's, which is near, since x grows along the own column.
        int low[kStencil], high[kStencil], start[kStencil], end[kStencil];
        double sides[kStencil][4];  // of the column, in y and z
        int column = -1;
        for (int k = first(b); k < first(b + 1); ++k) {
            const int p = ws.order[k];
            if (ws.cellOf[p] != column) {
                column = ws.cellOf[p];
                const int cy = column % ny;
                const int cz = column / ny;
                for (int s = 0; s < stencil.size; ++s) {
                    const int y = cy + stencil.dy[s];
                    const int z = cz + stencil.dz[s];
                    const bool inside = y >= 0 && y < ny && z >= 0 && z < nz;
                    const int c = inside ? y + ny * z : 0;
                    low[s] = high[s] = start[s] = ws.cellStart[c];
                    end[s] = inside ? ws.cellStart[c + 1] : start[s];
                    for (int a = 0; a < 4; ++a)
                        sides[s][a] = g.side(1 + a / 2, a < 2 ? y : z, a % 2);
                }
            }
            const double* x = ws.sx.data();
            const double xp = x[k];
            const double yp = ws.sy[k];
            const double zp = ws.sz[k];
            Lanes sums;
            // In the own column the slots after this one, so each pair counts once.
            high[0] = std::max(high[0], k + 1);
            while (high[0] < end[0] && x[high[0]] - xp <= stencil.halfWidth[0]) ++high[0];
            window<Pairs>(k, k + 1, high[0], terms, ws, fx, fy, fz, sums, overlaps);
            for (int s = 1; s < stencil.size; ++s) {
                // The window of the column as seen from this particle rather than from its
                // column is narrower: fewer pair terms for the vector loop.
                const double gy = std::max({0.0, sides[s][0] - yp, yp - sides[s][1]});
                const double gz = std::max({0.0, sides[s][2] - zp, zp - sides[s][3]});
                const double room = terms.reach * terms.reach - (gy * gy + gz * gz);
                if (!(room >= 0.0)) continue;
                const double w = std::sqrt(room) * kWindowMargin + kWindowSlack * terms.reach;
                int from = low[s];
                while (from > start[s] && x[from - 1] - xp >= -w) --from;
                while (from < end[s] && x[from] - xp < -w) ++from;
                int to = std::max(high[s], from);
                while (to > from && x[to - 1] - xp > w) --to;
                while (to < end[s] && x[to] - xp <= w) ++to;
                low[s] = from;
                high[s] = to;
                window<Pairs>(k, from, to, terms, ws, fx, fy, fz, sums, overlaps);
            }
            fx[k] -= laneSum(sums.fx);
            fy[k] -= laneSum(sums.fy);
            fz[k] -= laneSum(sums.fz);
            energy += laneSum(sums.energy);
        }
        ws.cellEnergy[b] = energy;
    };
    const int threads = ws.threads > 0 ? ws.threads : parallelThreads();
    forEachBlock(blocks, threads, block);

    // Per slot the blocks add up in block order, whatever ran them.
    auto gather = [&](int b) {
        for (int k = first(b); k < first(b + 1); ++k) {
            double f[3] = {};
            for (int a = 0; a <= b; ++a) {
                if (ws.spanEnd[a] <= k) continue;
                const int length = ws.spanEnd[a] - first(a) + kLanes;
                const double* fx = ws.spanForce.data() + ws.spanOffset[a] + (k - first(a));
                for (int c : kAxes) f[c] += fx[c * length];
            }
            for (int c : kAxes) ws.cellForce[3 * ws.order[k] + c] = f[c];
        }
    };
    if (Pairs) forEachBlock(blocks, threads, gather);

    ws.candidates.clear();
    for (const std::vector<ParticlePair>& pairs : ws.cellPairs)
        ws.candidates.insert(ws.candidates.end(), pairs.begin(), pairs.end());
    // The order of the sequential pass: p ascending, then q ascending.
    std::sort(ws.candidates.begin(), ws.candidates.end());
}

}  // namespace

bool sweepPairsInCells(const Particle* particles, int n, const PairSweep& sweep,
                       KernelWorkspace& ws) {
    n = std::max(n, 0);
    // Particles without a finite position are in no column: the reference adds nothing for them
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
    reach *= kEdgeMargin;
    if (!(reach < kInfinity)) reach = kInfinity;
    const Grid g = planGrid(particles, n, reach * kEdgeMargin / kSplit, placed);
    const Stencil stencil = planStencil(g, reach);

    // Counting sort by column, stable, so the slots follow the particle order within a column.
    const int cells = g.count[1] * g.count[2];
    ws.cellStart.assign(cells + 1, 0);
    ws.cellOf.resize(n);
    for (int i = 0; i < n; ++i) {
        const Particle& p = particles[i];
        if (!finitePosition(p)) {
            ws.cellOf[i] = -1;
            continue;
        }
        int at[3];
        for (int c = 1; c < 3; ++c)
            at[c] = cellCoordinate((p.pos[c] - g.low[c]) * g.scale[c], g.count[c]);
        ws.cellOf[i] = at[1] + g.count[1] * at[2];
        ++ws.cellStart[ws.cellOf[i] + 1];
    }
    for (int c = 0; c < cells; ++c) ws.cellStart[c + 1] += ws.cellStart[c];

    // The work of this sweep against that of the all-pairs one, from the column sizes and the
    // x extent of each column.
    double work = 0;
    {
        std::vector<double>& extent = ws.cellExtent;
        extent.assign(2 * static_cast<std::size_t>(cells), 0.0);
        for (int c = 0; c < cells; ++c) extent[2 * c] = kInfinity, extent[2 * c + 1] = -kInfinity;
        for (int i = 0; i < n; ++i) {
            if (ws.cellOf[i] < 0) continue;
            double* e = &extent[2 * ws.cellOf[i]];
            e[0] = std::min(e[0], particles[i].pos[0]);
            e[1] = std::max(e[1], particles[i].pos[0]);
        }
        const int ny = g.count[1];
        for (int c = 0; c < cells; ++c) {
            const double own = ws.cellStart[c + 1] - ws.cellStart[c];
            if (own == 0) continue;
            for (int s = 0; s < stencil.size; ++s) {
                const int y = c % ny + stencil.dy[s];
                const int z = c / ny + stencil.dz[s];
                if (y < 0 || y >= ny || z < 0 || z >= g.count[2]) continue;
                const int other = y + ny * z;
                const double span = extent[2 * other + 1] - extent[2 * other];
                const double share =
                    span > 0.0 ? std::min(1.0, 2.0 * stencil.halfWidth[s] / span) : 1.0;
                work += own * (ws.cellStart[other + 1] - ws.cellStart[other]) * share;
            }
        }
    }
    if (0.5 * placed * (placed - 1.0) <= kAllPairsWeight * work) return false;

    ws.sweptCells = true;
    ws.sweptForces = sweep.forces;
    ws.sweptEnergy = sweep.energy;
    ws.cellForce.assign(3 * static_cast<std::size_t>(n), 0.0);
    ws.cellFill.assign(ws.cellStart.begin(), ws.cellStart.end() - 1);
    ws.order.resize(placed);
    for (int i = 0; i < n; ++i)
        if (ws.cellOf[i] >= 0) ws.order[ws.cellFill[ws.cellOf[i]]++] = i;
    // Within a column by x, then by index: the order depends on the positions alone.
    ws.slotKeys.resize(placed);
    for (int k = 0; k < placed; ++k) ws.slotKeys[k] = {particles[ws.order[k]].pos[0], ws.order[k]};
    for (int c = 0; c < cells; ++c)
        std::sort(ws.slotKeys.begin() + ws.cellStart[c], ws.slotKeys.begin() + ws.cellStart[c + 1]);
    const int padded = placed + kLanes;
    for (KernelWorkspace::Buffer* b : {&ws.sx, &ws.sy, &ws.sz, &ws.sq, &ws.srad}) b->resize(padded);
    for (int k = 0; k < placed; ++k) {
        ws.order[k] = ws.slotKeys[k].second;
        const Particle& p = particles[ws.order[k]];
        ws.sx[k] = p.pos[0];
        ws.sy[k] = p.pos[1];
        ws.sz[k] = p.pos[2];
        ws.sq[k] = p.q;
        ws.srad[k] = p.rad;
    }
    for (int k = placed; k < padded; ++k) {
        ws.sx[k] = ws.sy[k] = ws.sz[k] = kFarAway;
        ws.sq[k] = ws.srad[k] = 0;
    }

    Terms terms;
    terms.reach = reach;
    terms.coulomb = 1.0 / (3.0 * sweep.debyeSphereCount);
    terms.inverseLength = 1.0 / sweep.screeningLength;
    terms.reach2 = squaredCutoff(sweep.cutoff);
    if (sweep.forces || sweep.energy) {
        sweepColumns<true>(n, placed, g, stencil, terms, ws);
    } else {
        sweepColumns<false>(n, placed, g, stencil, terms, ws);
    }
    return true;
}

}  // namespace qv
