#include "analysis/pair_histogram.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "sim/particle.h"

namespace qv {
namespace {

TEST(PairHistogram, ParallelCountsEqualTheReferenceExactly) {
    // A cube wider than the binned range, so that some pairs are dropped as well. The default
    // cloud runs on one thread, the larger one on the thread team.
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-6, 6);
    std::vector<Particle> grains(800);
    for (Particle& p : grains) p = {{u(rng), u(rng), u(rng)}};
    for (int n : {276, 800}) {
        for (int sampleCount : {1, 7, 30, 1000}) {
            const double w = 10.0 / sampleCount;
            EXPECT_EQ(pairHistogramReference(grains.data(), n, w, sampleCount + 1),
                      pairHistogramParallel(grains.data(), n, w, sampleCount + 1))
                << n << " grains, sampleCount " << sampleCount;
        }
    }
}

TEST(PairHistogram, EachPairCountsTwiceInTheBinOfItsDistanceAndBadInputCountsNothing) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    // Bin width 0.25 is exact in binary. From the first grain: 0.5 (bin 2, on its lower edge),
    // 7.74 (bin 30, the last) and 7.75 (= 31 w, dropped); the outer grains are farther apart, and
    // grains without a finite position are never binned.
    const std::vector<Particle> grains = {{{0, 0, 0}},    {{0.5, 0, 0}}, {{0, 7.74, 0}},
                                          {{0, 0, 7.75}}, {{nan, 0, 0}}, {{inf, 0, 0}}};
    std::vector<std::int64_t> none(31, 0);
    std::vector<std::int64_t> expected = none;
    expected[2] = 2;
    expected[30] = 2;
    for (auto kernel : {pairHistogramReference, pairHistogramParallel}) {
        EXPECT_EQ(kernel(grains.data(), 6, 0.25, 31), expected);
        EXPECT_EQ(kernel(nullptr, 0, 0.2, 31), none);
        EXPECT_EQ(kernel(grains.data(), 1, 0.2, 31), none);
        EXPECT_EQ(kernel(grains.data(), 4, 0.0, 31), none);
        EXPECT_EQ(kernel(grains.data(), 4, -0.2, 31), none);
        EXPECT_TRUE(kernel(grains.data(), 4, 0.2, 0).empty());
    }
}

}  // namespace
}  // namespace qv
