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

// Rows of pairs worth a thread each: the default cloud of 276 grains is one block, binned in well
// under a millisecond, less than waking a helper on a busy machine can cost.
constexpr std::int64_t kPairsPerBlock = 1 << 16;
constexpr int kMaxBlocks = 16;

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

    // Each block of rows fills a histogram of its own; slot `bins` collects the pairs beyond the
    // last bin, so the loop has no branch.
    const std::vector<int> start = rowBlocks(n, kPairsPerBlock, kMaxBlocks);
    const int blocks = static_cast<int>(start.size()) - 1;
    std::vector<std::int64_t> local(static_cast<std::size_t>(blocks) * (bins + 1), 0);
    auto block = [&](int b) {
        std::int64_t* slots = local.data() + static_cast<std::size_t>(b) * (bins + 1);
        for (int i = start[b]; i < start[b + 1]; ++i) {
            const double xi = x[i];
            const double yi = y[i];
            const double zi = z[i];
            for (int j = i + 1; j < n; ++j) {
                // The same operations in the same order as Particle::distanceTo, so each pair
                // lands in the same bin as in the reference.
                const double dx = x[j] - xi;
                const double dy = y[j] - yi;
                const double dz = z[j] - zi;
                const double ratio = std::sqrt(dx * dx + dy * dy + dz * dz) / binWidth;
                // ratio is never negative, so truncation is floor; far pairs and NaN are clamped
                // to the overflow slot before the conversion.
                ++slots[static_cast<int>(ratio < limit ? ratio : limit)];
            }
        }
    };
    forEachBlock(blocks, parallelThreads(), block);
    for (int b = 0; b < blocks; ++b)
        for (int k = 0; k < bins; ++k)
            counts[k] += 2 * local[static_cast<std::size_t>(b) * (bins + 1) + k];
    return counts;
}

}  // namespace qv
