// Time per wall bounce of grazing crossings that need several passes, and how many of 200 000 such
// crossings the bounce leaves on or outside the wall (printed after the table; it must be 0).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <vector>

#include "sim/collisions.h"
#include "sim/simulation.h"
#include "tests/sim/grazing_crossings.h"

namespace {

constexpr unsigned kSeed = 2024;

std::vector<qv::Particle> grazingCrossings(int count) {
    std::mt19937_64 random(kSeed);
    std::vector<qv::Particle> crossings;
    for (int i = 0; i < count; ++i)
        crossings.push_back(qv::test::makeGrazingCrossing(random).grain);
    return crossings;
}

void BM_ReflectGrazing(benchmark::State& state) {
    const std::vector<qv::Particle> crossings = grazingCrossings(4096);
    std::size_t next = 0;
    for (auto _ : state) {
        qv::Particle p = crossings[next];
        next = (next + 1) % crossings.size();
        qv::reflectFromWall(p, qv::test::kGrazingApparatusRadius, qv::test::kGrazingTimeStep);
        benchmark::DoNotOptimize(p);
    }
    state.counters["bounces/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReflectGrazing);

void printCrossingsLeftOutside() {
    const int count = 200000;
    int outside = 0;
    for (qv::Particle p : grazingCrossings(count)) {
        qv::reflectFromWall(p, qv::test::kGrazingApparatusRadius, qv::test::kGrazingTimeStep);
        if (!(p.distanceFromCentre() < qv::test::kGrazingWallDistance)) ++outside;
    }
    std::printf("grazing crossings left on or outside the wall: %d of %d\n", outside, count);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    printCrossingsLeftOutside();
    benchmark::Shutdown();
    return 0;
}
