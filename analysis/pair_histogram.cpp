#include "analysis/pair_histogram.h"

#include <algorithm>
#include <cmath>

#include "sim/parallel.h"

namespace qv {

std::vector<std::int64_t> pairHistogramReference(const Particle* particles, int n, double binWidth,
                                                 int bins) {
    std::vector<std::int64_t> counts(std::max(bins, 0), 0);
    if (!(binWidth > 0)) return counts;
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            const double bin = std::floor(particles[i].distanceTo(particles[j]) / binWidth);
            if (bin < bins) counts[static_cast<int>(bin)] += 2;
        }
    }
    return counts;
}

namespace {

// Rows of pairs shared out among the threads as in the time step: the default cloud of 276 grains
// makes four blocks of tens of microseconds, which a helper that has just worked picks up awake.
constexpr std::int64_t kPairsPerBlock = 1 << 13;
constexpr int kMaxBlocks = 16;

// Partners of a row binned at a time: their bin numbers are computed in vector registers into a
// buffer this long, then counted.
constexpr int kChunk = 256;
// Histograms the counting alternates between, so that consecutive pairs in the same bin do not
// wait for each other's increment.
constexpr int kLanes = 4;

// Bin numbers of the partners j0 .. j0+m-1 of the grain at (xi, yi, zi), with the same operations
// in the same order as Particle::distanceTo and the reference's division: sqrt and division are
// correctly rounded, in vector registers as in scalar ones, so each pair lands in the same bin.
// The distance is never negative, so truncation is floor; far pairs and NaN go to slot `limit`.
void binChunk(const double* x, const double* y, const double* z, int m, double xi, double yi,
              double zi, double binWidth, double limit, std::int32_t* bin) {
    for (int t = 0; t < m; ++t) {
        const double dx = x[t] - xi;
        const double dy = y[t] - yi;
        const double dz = z[t] - zi;
        const double ratio = std::sqrt(dx * dx + dy * dy + dz * dz) / binWidth;
        bin[t] = static_cast<std::int32_t>(ratio < limit ? ratio : limit);
    }
}

}  // namespace

std::vector<std::int64_t> pairHistogramParallel(const Particle* particles, int n, double binWidth,
                                                int bins) {
    std::vector<std::int64_t> counts(std::max(bins, 0), 0);
    if (n < 2 || bins <= 0 || !(binWidth > 0)) return counts;

    // Coordinates as three contiguous rows, so the inner loop streams them.
    std::vector<double> x(n), y(n), z(n);
    for (int i = 0; i < n; ++i) {
        x[i] = particles[i].pos[0];
        y[i] = particles[i].pos[1];
        z[i] = particles[i].pos[2];
    }
    const double limit = bins;

    // Each block of rows fills kLanes histograms of its own, side by side; slot `bins` of each
    // collects the pairs beyond the last bin, so the counting has no branch.
    const std::vector<int> start = rowBlocks(n, kPairsPerBlock, kMaxBlocks);
    const int blocks = static_cast<int>(start.size()) - 1;
    const std::size_t stride = static_cast<std::size_t>(bins) + 1;
    const std::size_t perBlock = kLanes * stride;
    std::vector<std::int64_t> local(static_cast<std::size_t>(blocks) * perBlock, 0);
    auto block = [&](int b) {
        std::int64_t* lane0 = local.data() + static_cast<std::size_t>(b) * perBlock;
        std::int64_t* lane1 = lane0 + stride;
        std::int64_t* lane2 = lane1 + stride;
        std::int64_t* lane3 = lane2 + stride;
        alignas(32) std::int32_t bin[kChunk];
        for (int i = start[b]; i < start[b + 1]; ++i) {
            for (int j0 = i + 1; j0 < n; j0 += kChunk) {
                const int m = std::min(kChunk, n - j0);
                binChunk(&x[j0], &y[j0], &z[j0], m, x[i], y[i], z[i], binWidth, limit, bin);
                int t = 0;
                for (; t + kLanes <= m; t += kLanes) {
                    ++lane0[bin[t]];
                    ++lane1[bin[t + 1]];
                    ++lane2[bin[t + 2]];
                    ++lane3[bin[t + 3]];
                }
                for (; t < m; ++t) ++lane0[bin[t]];
            }
        }
    };
    forEachBlock(blocks, parallelThreads(), block);
    // Integer sums: the order of blocks and lanes does not change them.
    for (std::size_t h = 0; h < static_cast<std::size_t>(blocks) * kLanes; ++h)
        for (int k = 0; k < bins; ++k) counts[k] += 2 * local[h * stride + k];
    return counts;
}

}  // namespace qv
