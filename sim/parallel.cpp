#include "sim/parallel.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

namespace qv {
namespace {

std::atomic<int> chosenThreads{0};
// Set while a thread runs a block: a nested loop runs on that thread alone.
thread_local bool inBlock = false;
// One loop at a time uses the helpers.
std::mutex callers;

// A whole number from 1 to kMaxThreads, or 0.
int parseCount(const char* text) {
    if (text == nullptr) return 0;
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < 1 || v > kMaxThreads) return 0;
    return static_cast<int>(v);
}

struct Job {
    void (*task)(void*, int);
    void* context;
    int blocks;
    int helpers;  // threads besides the caller that may join
};

void pause() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Helper threads, started when first needed and kept for the life of the process. They are
// never joined: at exit they sleep, and the pool is never destroyed under them.
//
// A step of a few hundred grains takes tens of microseconds, less than waking a sleeping thread
// costs, so a helper that has just worked waits a little while spinning before it sleeps: steps
// that follow each other find it awake. Blocks are claimed one at a time by whichever thread is
// running, so a helper that is asleep only means the caller does more of the blocks itself.
//
// A helper that another program's thread pushes off its core in the middle of a block keeps the
// caller waiting for the scheduler, for milliseconds. When the caller waits longer than it worked
// (and more than half a millisecond), the caller works alone for a while: eight times that wait,
// doubling up to a second while such waits keep coming soon after, so a machine that is busy
// elsewhere gets about the one-thread speed rather than less.
class Pool {
  public:
    // Whether the caller should work alone for now.
    bool solo() const { return Clock::now() < soloUntil_; }

    void run(const Job& job) {
        {
            std::lock_guard lock(mutex_);
            // A helper the system will not start is simply not there: the caller and the
            // others take its blocks.
            try {
                while (static_cast<int>(started_) < job.helpers) {
                    std::thread(&Pool::serve, this, generation_.load()).detach();
                    ++started_;
                }
            } catch (const std::system_error&) {
            }
        }
        job_ = job;
        next_.store(0, std::memory_order_relaxed);
        seats_.store(job.helpers, std::memory_order_relaxed);
        open_.store(true);
        generation_.fetch_add(1);
        if (sleepers_.load() > 0) {
            std::lock_guard lock(mutex_);
            wake_.notify_all();
        }
        const Clock::time_point start = Clock::now();
        claimAndRun();
        // Once closed, no helper joins; those inside are finishing their last blocks.
        open_.store(false);
        const Clock::time_point worked = Clock::now();
        for (int spins = 0; inside_.load() != 0; ++spins) {
            if (spins < kSpinsBeforeYield) {
                pause();
            } else {
                std::this_thread::yield();
            }
        }
        const Clock::time_point end = Clock::now();
        if (end - worked > std::max<Clock::duration>(worked - start, kStallFloor)) {
            // Stalls that keep coming (soon after the last span ended) lengthen the span.
            const bool again = end - soloUntil_ < 4 * soloSpan_;
            soloSpan_ = again ? 2 * soloSpan_ : kSoloPerStall * (end - worked);
            soloSpan_ = std::clamp<Clock::duration>(soloSpan_, kShortestSolo, kLongestSolo);
            soloUntil_ = end + soloSpan_;
        }
    }

  private:
    using Clock = std::chrono::steady_clock;
    static constexpr int kSpinsBeforeYield = 1 << 12;
    static constexpr auto kSpinBeforeSleep = std::chrono::microseconds(100);
    static constexpr auto kStallFloor = std::chrono::microseconds(500);
    // A lone hiccup (a virtual machine's core paused by its host) costs little: a span eight
    // times the wait.
    static constexpr int kSoloPerStall = 8;
    static constexpr auto kShortestSolo = std::chrono::milliseconds(5);
    static constexpr auto kLongestSolo = std::chrono::seconds(1);

    void claimAndRun() {
        inBlock = true;
        for (int b = next_.fetch_add(1); b < job_.blocks; b = next_.fetch_add(1))
            job_.task(job_.context, b);
        inBlock = false;
    }

    // Starts before the job that needs it is posted, so it looks for any job after `seen`.
    void serve(unsigned long seen) {
        for (;;) {
            const auto spinUntil = Clock::now() + kSpinBeforeSleep;
            for (int spins = 1; generation_.load() == seen; ++spins) {
                pause();
                if (spins % 64 != 0 || Clock::now() < spinUntil) continue;
                std::unique_lock lock(mutex_);
                sleepers_.fetch_add(1);
                wake_.wait(lock, [&] { return generation_.load() != seen; });
                sleepers_.fetch_sub(1);
            }
            seen = generation_.load();
            // Entering first and then checking that the job is still open means the caller,
            // which closes first and then waits for none inside, never returns under a helper.
            inside_.fetch_add(1);
            if (open_.load() && generation_.load() == seen && seats_.fetch_sub(1) > 0)
                claimAndRun();
            inside_.fetch_sub(1);
        }
    }

    Job job_{};
    Clock::time_point soloUntil_{};
    Clock::duration soloSpan_{};
    std::atomic<int> next_{0};
    std::atomic<int> seats_{0};
    std::atomic<bool> open_{false};
    std::atomic<int> inside_{0};
    std::atomic<unsigned long> generation_{0};
    std::atomic<int> sleepers_{0};
    std::mutex mutex_;
    std::condition_variable wake_;
    unsigned started_ = 0;
};

Pool& pool() {
    static Pool* const instance = new Pool;
    return *instance;
}

}  // namespace

int threadsFromEnvironment(const char* quorvexThreads, const char* ompThreads, int cores,
                           std::string& problem) {
    problem.clear();
    const auto refuse = [&](const char* name) {
        problem = std::string(name) + " must be a whole number from 1 to " +
                  std::to_string(kMaxThreads) + ": using " + std::to_string(cores) + " threads.";
        return cores;
    };
    if (quorvexThreads != nullptr && *quorvexThreads != '\0') {
        const int n = parseCount(quorvexThreads);
        return n > 0 ? n : refuse("QUORVEX_THREADS");
    }
    if (ompThreads != nullptr && *ompThreads != '\0') {
        // OpenMP allows a list, one count per nesting level; the first is ours.
        const std::string first(ompThreads, std::strcspn(ompThreads, ","));
        const int n = parseCount(first.c_str());
        return n > 0 ? n : refuse("OMP_NUM_THREADS");
    }
    return cores;
}

int availableCores() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(CPU_COUNT(&set), 1);
    return std::max(static_cast<int>(std::thread::hardware_concurrency()), 1);
}

int parallelThreads() {
    int n = chosenThreads.load(std::memory_order_relaxed);
    if (n == 0) {
        std::string ignored;
        n = threadsFromEnvironment(std::getenv("QUORVEX_THREADS"), std::getenv("OMP_NUM_THREADS"),
                                   availableCores(), ignored);
        chosenThreads.store(n, std::memory_order_relaxed);
    }
    return n;
}

void setParallelThreads(int threads) {
    chosenThreads.store(std::clamp(threads, 1, kMaxThreads), std::memory_order_relaxed);
}

std::vector<int> rowBlocks(int n, std::int64_t minPairs, int maxBlocks) {
    n = std::max(n, 0);
    const std::int64_t pairs = static_cast<std::int64_t>(n) * (n - 1) / 2;
    const std::int64_t count =
        std::clamp<std::int64_t>(pairs / std::max<std::int64_t>(minPairs, 1), 1, maxBlocks);
    // Block b starts at the first row with at least b / count of all pairs before it.
    std::vector<int> starts{0};
    std::int64_t before = 0;
    for (int p = 0; p < n && static_cast<std::int64_t>(starts.size()) < count; ++p) {
        const auto next = static_cast<std::int64_t>(starts.size());
        if (before * count >= pairs * next && p > starts.back()) starts.push_back(p);
        before += n - 1 - p;
    }
    starts.push_back(n);
    return starts;
}

void runBlocks(int blocks, int threads, void (*task)(void*, int), void* context) {
    const Job job{task, context, blocks, inBlock ? 0 : std::min(threads, blocks) - 1};
    if (job.helpers <= 0) {
        for (int b = 0; b < blocks; ++b) task(context, b);
        return;
    }
    std::lock_guard lock(callers);
    if (pool().solo()) {
        for (int b = 0; b < blocks; ++b) task(context, b);
        return;
    }
    pool().run(job);
}

}  // namespace qv
