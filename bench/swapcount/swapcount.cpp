// Loaded with LD_PRELOAD into a GLUT program, counts its glutSwapBuffers calls and ends it:
//   SWAPCOUNT_WARMUP   seconds after the first swap that are not counted (default 3)
//   SWAPCOUNT_SECONDS  seconds counted after the warm-up (default 10)
//   SWAPCOUNT_OUT      file the frames per second are written to (default: standard error)
// The figure is the swaps after the warm-up over the wall time they took, ended on a swap; the
// processor time the whole process (GL's threads too) spent per swap meanwhile comes with it, as
// a machine that others keep busy lowers the frames per second but hardly the time per frame.
#include <dlfcn.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

double seconds(const char* name, double fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') return fallback;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    return *end == '\0' && value >= 0 ? value : fallback;
}

double processorSeconds() {
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    const auto add = [](timeval t) { return t.tv_sec + t.tv_usec / 1e6; };
    return add(use.ru_utime) + add(use.ru_stime);
}

void report(double fps, long swaps, double wall, double processor) {
    const char* path = std::getenv("SWAPCOUNT_OUT");
    std::FILE* out = path != nullptr && *path != '\0' ? std::fopen(path, "w") : nullptr;
    std::fprintf(out != nullptr ? out : stderr,
                 "%.2f frames/s (%ld swaps in %.2f s, %.1f ms processor time a frame)\n", fps,
                 swaps, wall, 1000 * processor / swaps);
    if (out != nullptr) std::fclose(out);
}

}  // namespace

extern "C" void glutSwapBuffers() {
    using Swap = void (*)();
    static const auto real = reinterpret_cast<Swap>(dlsym(RTLD_NEXT, "glutSwapBuffers"));
    static const double warmup = seconds("SWAPCOUNT_WARMUP", 3);
    static const double span = seconds("SWAPCOUNT_SECONDS", 10);
    static Clock::time_point first{}, start{};
    static double processorAtStart = 0;
    static bool counting = false;
    static long swaps = 0;

    if (real != nullptr) real();
    const Clock::time_point now = Clock::now();
    if (first == Clock::time_point{}) first = now;
    if (!counting) {
        if (std::chrono::duration<double>(now - first).count() < warmup) return;
        counting = true;
        start = now;
        processorAtStart = processorSeconds();
        return;
    }
    ++swaps;
    const double wall = std::chrono::duration<double>(now - start).count();
    if (wall < span) return;
    report(swaps / wall, swaps, wall, processorSeconds() - processorAtStart);
    // Straight out: the program's exit handlers would write its end-of-run files.
    std::fflush(nullptr);
    _exit(0);
}
