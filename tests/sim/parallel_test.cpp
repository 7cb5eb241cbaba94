#include "sim/parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace qv {
namespace {

TEST(Threads, TheEnvironmentChoosesTheCountAndABadValueFallsBackToTheCores) {
    // QUORVEX_THREADS, else OMP_NUM_THREADS, else the 6 cores; a bad value says why.
    const char* q = "QUORVEX_THREADS must be a whole number from 1 to 256: using 6 threads.";
    const struct {
        const char *quorvex, *omp;
        int threads;
        const char* problem;
    } cases[] = {{nullptr, nullptr, 6, ""},
                 {"", "", 6, ""},
                 {"3", "5", 3, ""},
                 {nullptr, "4,2", 4, ""},
                 {"256", "", 256, ""},
                 {"0", "5", 6, q},
                 {"257", "", 6, q},
                 {"2x", "", 6, q},
                 {"-1", "", 6, q},
                 {"99999999999999999999", "", 6, q},
                 {nullptr, "many", 6, "OMP_NUM_THREADS must"}};
    for (const auto& c : cases) {
        std::string problem = "old";
        EXPECT_EQ(threadsFromEnvironment(c.quorvex, c.omp, 6, problem), c.threads) << c.quorvex;
        EXPECT_TRUE(problem.starts_with(c.problem) && problem.empty() == !*c.problem) << problem;
    }
}

// Whether every block runs once on any thread count shows in the fast kernels' results.
TEST(Threads, RowBlocksShareThePairsEvenly) {
    const std::vector<int> starts = rowBlocks(1000, 10000, 8);  // pairs i < j of 1000 rows
    const auto pairsBefore = [](long p) { return p * 999 - p * (p - 1) / 2; };
    ASSERT_TRUE(starts.size() == 9u && starts.front() == 0 && starts.back() == 1000);
    for (std::size_t b = 1; b < 9; ++b)
        EXPECT_NEAR(pairsBefore(starts[b]) - pairsBefore(starts[b - 1]), 499500 / 8, 1000) << b;
    // 5 rows hold 4 + 3 + 2 + 1 pairs.
    EXPECT_EQ(rowBlocks(5, 5, 8), (std::vector<int>{0, 2, 5}));
    EXPECT_EQ(rowBlocks(5, 6, 8), (std::vector<int>{0, 5}));
    EXPECT_EQ(rowBlocks(5, 1, 3), (std::vector<int>{0, 1, 2, 5}));
    EXPECT_EQ(rowBlocks(5, 0, 8), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(rowBlocks(0, 10000, 8), (std::vector<int>{0, 0}));
}

// A helper really takes part: the first block waits for the second to start elsewhere. A helper
// that then keeps the caller waiting far longer than it worked (as when another program takes its
// core) sends the caller on alone for a while (8 x 50 ms), after which helpers take part again.
TEST(Threads, HelpersRunBlocksBesideTheCallerUnlessTheyKeepItWaiting) {
    const std::thread::id caller = std::this_thread::get_id();
    const auto run = [&](int patienceMs, int helperSleepMs) {
        struct Seen {
            std::thread::id caller;
            int patience, sleep;
            std::atomic<int> started{0};
            std::thread::id ids[2];
        } seen{caller, patienceMs, helperSleepMs, {0}, {}};
        runBlocks(
            2, 2,
            [](void* context, int b) {
                Seen& s = *static_cast<Seen*>(context);
                s.ids[b] = std::this_thread::get_id();
                ++s.started;
                for (int i = 0; i < s.patience && s.started < 2; ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                if (s.ids[b] != s.caller)
                    std::this_thread::sleep_for(std::chrono::milliseconds(s.sleep));
            },
            &seen);
        return seen.ids[0] != seen.ids[1];
    };
    EXPECT_TRUE(run(30000, 50));  // a helper joins, then keeps the caller waiting 50 ms
    EXPECT_FALSE(run(30, 0));     // the caller alone, though the blocks wait for a partner
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_TRUE(run(30000, 0));
}

}  // namespace
}  // namespace qv
