#include "analysis/pair_histogram.h"

#include <algorithm>
#include <cmath>

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

// Below this a single thread bins all pairs in well under a millisecond (the default cloud of 276
// grains in about 0.25 ms), less than a thread team can lose waiting for a busy core.
constexpr int minParallelGrains = 512;

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

#pragma omp parallel if (n >= minParallelGrains)
    {
        // Slot `bins` collects the pairs beyond the last bin, so the loop has no branch.
        std::vector<std::int64_t> local(bins + 1, 0);

        // Row i has n - 1 - i partners: dynamic chunks keep the threads evenly loaded.
#pragma omp for schedule(dynamic, 8) nowait
        for (int i = 0; i < n - 1; ++i) {
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
                ++local[static_cast<int>(ratio < limit ? ratio : limit)];
            }
        }
#pragma omp critical(qv_pair_histogram_merge)
        for (int k = 0; k < bins; ++k) counts[k] += 2 * local[k];
    }
    return counts;
}

}  // namespace qv
