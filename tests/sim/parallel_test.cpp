#include "sim/parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace qv {
namespace {

TEST(Threads, TheEnvironmentChoosesTheCountAndABadValueFallsBackToTheCores) {
    const struct {
        const char *quorvex, *omp;
        int threads;
        const char* problemStart;  // "" for none
    } cases[] = {
        {nullptr, nullptr, 6, ""},
        {"", "", 6, ""},
        {"3", "5", 3, ""},
        {nullptr, "5", 5, ""},
        {nullptr, "4,2", 4, ""},
        {"256", nullptr, 256, ""},
        {"0", "5", 6, "QUORVEX_THREADS must be a whole number from 1 to 256: using 6 threads."},
        {"257", nullptr, 6, "QUORVEX_THREADS must"},
        {"2x", nullptr, 6, "QUORVEX_THREADS must"},
        {"-1", nullptr, 6, "QUORVEX_THREADS must"},
        {"99999999999999999999", nullptr, 6, "QUORVEX"},
        {nullptr, "many", 6, "OMP_NUM_THREADS must"}};
    for (const auto& c : cases) {
        std::string problem = "old";
        EXPECT_EQ(threadsFromEnvironment(c.quorvex, c.omp, 6, problem), c.threads) << c.quorvex;
        EXPECT_TRUE(problem.starts_with(c.problemStart) && problem.empty() == !*c.problemStart)
            << problem;
    }
}

TEST(Threads, EveryBlockRunsOnceAndRowBlocksShareThePairsEvenly) {
    for (int threads : {1, 2, 5})
        for (int blocks : {0, 1, 3, 40}) {
            std::vector<std::atomic<int>> runs(blocks);
            auto task = [&](int b) { runs[b]++; };
            for (int round = 0; round < 20; ++round) forEachBlock(blocks, threads, task);
            for (int b = 0; b < blocks; ++b) EXPECT_EQ(runs[b], 20) << threads << " " << b;
        }
    const std::vector<int> starts = rowBlocks(1000, 10000, 8);  // pairs i < j of 1000 rows
    const auto pairsBefore = [](long p) { return p * 999 - p * (p - 1) / 2; };
    ASSERT_TRUE(starts.size() == 9u && starts.front() == 0 && starts.back() == 1000);
    for (std::size_t b = 1; b < 9; ++b)
        EXPECT_NEAR(pairsBefore(starts[b]) - pairsBefore(starts[b - 1]), 499500 / 8, 1000) << b;
    EXPECT_EQ(rowBlocks(100, 10000, 8), (std::vector<int>{0, 100}));
    EXPECT_EQ(rowBlocks(0, 10000, 8), (std::vector<int>{0, 0}));
}

}  // namespace
}  // namespace qv
