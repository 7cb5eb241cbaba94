#include "analysis/pair_histogram.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "sim/particle.h"

namespace qv {
namespace {

Particle at(double x, double y, double z) {
    Particle p;
    p.pos[0] = x;
    p.pos[1] = y;
    p.pos[2] = z;
    return p;
}

std::vector<Particle> randomGrains(int n, double spread, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-spread, spread);
    std::vector<Particle> grains;
    for (int i = 0; i < n; ++i) grains.push_back(at(u(rng), u(rng), u(rng)));
    return grains;
}

TEST(PairHistogram, ParallelCountsEqualTheReferenceExactly) {
    // A cube wider than the binned range, so that some pairs are dropped as well. The default
    // cloud runs on one thread, the larger one on the thread team.
    const auto grains = randomGrains(800, 6.0, 7);
    for (int n : {276, 800}) {
        for (int sampleCount : {1, 7, 30, 1000}) {
            const double w = 2 * 5.0 / sampleCount;
            const int bins = sampleCount + 1;
            EXPECT_EQ(pairHistogramReference(grains.data(), n, w, bins),
                      pairHistogramParallel(grains.data(), n, w, bins))
                << n << " grains, sampleCount " << sampleCount;
        }
    }
}

TEST(PairHistogram, EachPairCountsTwiceInTheBinOfItsDistance) {
    // Bin width 0.25 is exact in binary, so these distances sit exactly on or near bin edges.
    const std::vector<Particle> grains = {at(0, 0, 0), at(0.5, 0, 0), at(0, 7.74, 0),
                                          at(0, 0, 7.75)};
    // From the centre grain: 0.5 (bin 2, on its lower edge), 7.74 (bin 30, the last) and
    // 7.75 (= 31 w, dropped); every pair among the three outer grains is beyond 31 w.
    std::vector<std::int64_t> expected(31, 0);
    expected[2] = 2;
    expected[30] = 2;
    for (auto kernel : {pairHistogramReference, pairHistogramParallel}) {
        const auto counts = kernel(grains.data(), 4, 0.25, 31);
        EXPECT_EQ(counts, expected);
    }
}

TEST(PairHistogram, DegenerateInputGivesZeroCountsAndGrainsWithoutAPositionAreNeverBinned) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<Particle> grains = {at(0, 0, 0), at(0.3, 0, 0), at(nan, 0, 0), at(inf, 0, 0)};
    std::vector<std::int64_t> expected(31, 0);
    for (auto kernel : {pairHistogramReference, pairHistogramParallel}) {
        EXPECT_EQ(kernel(nullptr, 0, 0.2, 31), expected);
        EXPECT_EQ(kernel(grains.data(), 1, 0.2, 31), expected);
        EXPECT_EQ(kernel(grains.data(), 4, 0.0, 31), expected);
        EXPECT_EQ(kernel(grains.data(), 4, -0.2, 31), expected);
        EXPECT_TRUE(kernel(grains.data(), 4, 0.2, 0).empty());
    }
    expected[1] = 2;  // only the two grains 0.3 apart
    EXPECT_EQ(pairHistogramReference(grains.data(), 4, 0.2, 31), expected);
    EXPECT_EQ(pairHistogramParallel(grains.data(), 4, 0.2, 31), expected);
}

}  // namespace
}  // namespace qv
