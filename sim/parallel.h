#pragma once
// The threads of the pair loops. Work is cut into blocks whose bounds depend on the problem size
// alone, each block writes only its own results, and the caller combines them in block order:
// so the numbers never depend on how many threads there are or which thread ran which block.
//
// Idle helper threads sleep instead of spinning. On a machine where another program holds a core,
// a spinning helper would take the time its partner needs, and a step would wait for the
// scheduler instead of computing; here whichever thread has a core claims the next block, and a
// helper that was not woken in time finds nothing left to do.
#include <cstdint>
#include <string>
#include <vector>

namespace qv {

// The thread count chosen from the environment: QUORVEX_THREADS, else OMP_NUM_THREADS (its first
// entry), else `cores`. A value that is not a whole number from 1 to kMaxThreads is not used;
// `problem` then says why (it stays empty otherwise).
constexpr int kMaxThreads = 256;
int threadsFromEnvironment(const char* quorvexThreads, const char* ompThreads, int cores,
                           std::string& problem);

// The cores this process may run on.
int availableCores();

// Threads the program's parallel loops use; read from the environment on first use, or set.
int parallelThreads();
void setParallelThreads(int threads);

// Cuts the rows 0 .. n-1 of the pairs i < j into at most maxBlocks blocks of about equal pair
// counts, none much below minPairs (one block when there are fewer). Returns the first row of
// every block, then n. The cut depends on the arguments alone.
std::vector<int> rowBlocks(int n, std::int64_t minPairs, int maxBlocks);

// Runs task(context, b) once for every b in [0, blocks) on up to `threads` threads, the caller
// among them, and returns when every block is done. Blocks are claimed in ascending order.
void runBlocks(int blocks, int threads, void (*task)(void*, int), void* context);

template <class Task>
void forEachBlock(int blocks, int threads, Task& task) {
    runBlocks(
        blocks, threads, [](void* t, int b) { (*static_cast<Task*>(t))(b); }, &task);
}

}  // namespace qv
