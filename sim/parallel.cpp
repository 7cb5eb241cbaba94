#include "sim/parallel.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
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
    std::atomic<int> next{0};

    void claimAndRun() {
        inBlock = true;
        for (int b = next.fetch_add(1); b < blocks; b = next.fetch_add(1)) task(context, b);
        inBlock = false;
    }
};

// Helper threads, started when first needed and kept for the life of the process. They are
// never joined: at exit they sleep, and the pool is never destroyed under them.
class Pool {
  public:
    void run(Job& job) {
        const int wanted = job.helpers;
        {
            std::lock_guard lock(mutex_);
            // A helper the system will not start is simply not there: the caller and the
            // others take its blocks.
            try {
                while (static_cast<int>(started_) < wanted) {
                    std::thread(&Pool::serve, this).detach();
                    ++started_;
                }
            } catch (const std::system_error&) {
            }
            job_ = &job;
            joined_ = 0;
            ++generation_;
        }
        wake_.notify_all();
        job.claimAndRun();
        // Only helpers that took part are waited for; their blocks are the last unfinished ones.
        std::unique_lock lock(mutex_);
        finished_.wait(lock, [this] { return inside_ == 0; });
        job_ = nullptr;
    }

  private:
    void serve() {
        unsigned long seen = 0;
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return generation_ != seen; });
            seen = generation_;
            if (job_ == nullptr || joined_ >= job_->helpers) continue;
            Job* job = job_;
            ++joined_;
            ++inside_;
            lock.unlock();
            job->claimAndRun();
            lock.lock();
            if (--inside_ == 0) finished_.notify_one();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable finished_;
    Job* job_ = nullptr;
    unsigned long generation_ = 0;
    unsigned started_ = 0;
    int joined_ = 0;
    int inside_ = 0;
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
    Job job{task, context, blocks, inBlock ? 0 : std::min(threads, blocks) - 1};
    if (job.helpers <= 0) {
        for (int b = 0; b < blocks; ++b) task(context, b);
        return;
    }
    std::lock_guard lock(callers);
    pool().run(job);
}

}  // namespace qv
