// Pair-distance histogram of the pair correlation function: the direct reference loop against
// the parallel kernel, for the default render (276 grains), a large cloud and crystal viewing.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "analysis/pair_histogram.h"
#include "sim/particle.h"

namespace {

constexpr double apparatusRadius = 20.0;
constexpr int sampleCount = 30;

// A uniform random cloud filling the apparatus sphere, as the thermal set-up leaves it.
std::vector<qv::Particle> uniformCloud(int n) {
    std::mt19937_64 rng(12345);
    std::uniform_real_distribution<double> u(-apparatusRadius, apparatusRadius);
    std::vector<qv::Particle> cloud;
    cloud.reserve(n);
    while (static_cast<int>(cloud.size()) < n) {
        qv::Particle p;
        for (double& c : p.pos) c = u(rng);
        if (p.distanceFromCentre() < apparatusRadius) cloud.push_back(p);
    }
    return cloud;
}

template <auto Kernel>
void histogram(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const auto cloud = uniformCloud(n);
    const double binWidth = 2 * apparatusRadius / sampleCount;
    for (auto _ : state) {
        auto counts = Kernel(cloud.data(), n, binWidth, sampleCount + 1);
        benchmark::DoNotOptimize(counts.data());
    }
    const double pairs = 0.5 * n * (n - 1.0);
    state.counters["pairs/s"] =
        benchmark::Counter(pairs, benchmark::Counter::kIsIterationInvariantRate);
}

void sizes(benchmark::internal::Benchmark* b) {
    b->Arg(276)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(histogram<qv::pairHistogramReference>)->Name("PairHistogramReference")->Apply(sizes);
BENCHMARK(histogram<qv::pairHistogramParallel>)->Name("PairHistogramParallel")->Apply(sizes);

}  // namespace
