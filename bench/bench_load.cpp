// Loading a data set for replay: the default render's size (376 slots) and a crystal-sized
// cloud (8000 slots), 400 stored frames each, from files written here in the data set format.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <locale>
#include <sstream>
#include <string>

#include "console/console.h"
#include "setup/configuration.h"
#include "setup/load_dialogue.h"
#include "sim/simulation.h"

namespace {

namespace fs = std::filesystem;

// A finished render of `slots` slots and EndFrame 400 at write frequency 25: 401 frames.
class DataSetFile {
  public:
    explicit DataSetFile(int slots)
        : path_(fs::temp_directory_path() / ("quorvex-bench-load-" + std::to_string(::getpid()) +
                                             "-" + std::to_string(slots))) {
        constexpr int kEndFrame = 400;
        constexpr int kWriteFreq = 25;
        constexpr int kDead = 100;
        std::ofstream f(path_);
        f.imbue(std::locale::classic());
        f << slots << ' ' << kEndFrame << ' ' << 135.34 << ' ' << 1.479e7 << ' ' << 2841.76 << ' '
          << kWriteFreq << ' ' << 2.597e-9 << ' ' << 33.508 << ' ' << kDead << '\n';
        for (int s = 0; s < slots; ++s) {
            const bool dead = s >= slots - kDead;
            f << s + 1 << (dead ? " 1 0 0.5 " : " 0 0 0 ") << 1.0725e16 << ' ' << -10000.0 << ' '
              << 0.0030079 << '\n';
        }
        for (int b = 0; b <= kEndFrame; ++b) {
            const int frameNumber = b == 0 ? 1 : b * kWriteFreq;
            for (int s = 0; s < slots; ++s) {
                f << frameNumber << ' ' << s + 1;
                for (int a = 0; a < 3; ++a) f << ' ' << 120.0 * std::sin(0.011 * b + 1.7 * s + a);
                f << '\n';
            }
        }
        f.close();
        bytes_ = static_cast<double>(fs::file_size(path_));
    }
    ~DataSetFile() {
        std::error_code ignored;
        fs::remove(path_, ignored);
    }
    std::string path() const { return path_.string(); }
    double bytes() const { return bytes_; }

  private:
    fs::path path_;
    double bytes_ = 0;
};

void loadForReplay(benchmark::State& state, const DataSetFile& file) {
    std::ostringstream out;
    qv::Simulation sim;
    for (auto _ : state) {
        // The play flow after the file name dialogue, with 0 at the EndFrame prompt.
        std::istringstream in("0\n");
        out.str("");
        qv::console::setStreams(in, out);
        sim = qv::Simulation{};
        sim.run.baseName = file.path();
        sim.run.runMode = qv::RunMode::Play;
        sim.numParticles = static_cast<int>(state.range(0));
        qv::allocateParticles(sim, sim.numParticles);
        qv::loadAllFrames(sim);
        benchmark::DoNotOptimize(sim.arrays.frameStore.data());
    }
    qv::console::useStandardStreams();
    if (sim.arrays.frameStore.size() != static_cast<std::size_t>(400 * state.range(0) * 3))
        state.SkipWithError("the file did not load completely");
    state.counters["MB/s"] =
        benchmark::Counter(file.bytes() / 1e6 * state.iterations(), benchmark::Counter::kIsRate);
    state.counters["file MB"] = file.bytes() / 1e6;
}

void BM_LoadDataSet(benchmark::State& state) {
    static const DataSetFile small(376);
    static const DataSetFile large(8000);
    loadForReplay(state, state.range(0) == 376 ? small : large);
}
BENCHMARK(BM_LoadDataSet)->Arg(376)->Arg(8000)->Unit(benchmark::kMillisecond);

}  // namespace
