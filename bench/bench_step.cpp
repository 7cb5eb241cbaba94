// Time per step of the reference and the fast kernels (overlap pass, force pass, integration),
// of each fast pass on its own and of the program's whole step, as unique pair interactions per
// second; for a screened cloud, steps and pairs within the cutoff per second. The ratio fast /
// reference is printed after the table, from the times of this run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "sim/kernels.h"
#include "sim/parallel.h"
#include "sim/simulation.h"
#include "sim/timestep.h"
#include "tests/support/cloud.h"

namespace {

using qv::test::RandomCloud;

constexpr unsigned kSeed = 2024;

void countPairs(benchmark::State& state, int n) {
    const double pairs = 0.5 * n * (n - 1.0);
    state.counters["pairs/s"] =
        benchmark::Counter(pairs * state.iterations(), benchmark::Counter::kIsRate);
}

void BM_StepReference(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    RandomCloud cloud = qv::test::makeRandomCloud(n, kSeed);
    std::vector<double> force(3 * n);
    for (auto _ : state) {
        std::fill(force.begin(), force.end(), 0.0);
        qv::overlapPassReference(cloud.particles.data(), n);
        benchmark::DoNotOptimize(
            qv::forcePassReference(cloud.particles.data(), n, cloud.model, force.data()));
        qv::integrate(cloud.particles.data(), n, force.data(), cloud.model.timeStep);
    }
    countPairs(state, n);
}

void BM_StepFast(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    RandomCloud cloud = qv::test::makeRandomCloud(n, kSeed);
    std::vector<double> force(3 * n);
    qv::KernelWorkspace workspace;
    for (auto _ : state) {
        // As the program's step does it: one sweep over the pairs serves both passes.
        std::fill(force.begin(), force.end(), 0.0);
        qv::sweepPairsFast(cloud.particles.data(), n, qv::pairSweepFor(cloud.model), workspace);
        qv::collideSweptPairs(cloud.particles.data(), workspace);
        benchmark::DoNotOptimize(
            qv::addSweptForces(cloud.particles.data(), n, cloud.model, force.data(), workspace));
        qv::integrate(cloud.particles.data(), n, force.data(), cloud.model.timeStep);
    }
    countPairs(state, n);
}

// The two pair kernels of the fast step on their own.
void BM_OverlapPassFast(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    RandomCloud cloud = qv::test::makeRandomCloud(n, kSeed);
    qv::KernelWorkspace workspace;
    for (auto _ : state)
        benchmark::DoNotOptimize(qv::overlapPassFast(cloud.particles.data(), n, workspace));
    countPairs(state, n);
}

// The fast force pass over the cloud, from a cleared accumulator each time.
void timeForcePass(benchmark::State& state, RandomCloud& cloud) {
    const int n = static_cast<int>(cloud.particles.size());
    std::vector<double> force(3 * n);
    qv::KernelWorkspace workspace;
    for (auto _ : state) {
        std::fill(force.begin(), force.end(), 0.0);
        benchmark::DoNotOptimize(
            qv::forcePassFast(cloud.particles.data(), n, cloud.model, force.data(), workspace));
    }
}

void BM_ForcePassFast(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    RandomCloud cloud = qv::test::makeRandomCloud(n, kSeed);
    timeForcePass(state, cloud);
    countPairs(state, n);
}

// A cloud of n grains whose steps sample nothing.
qv::Simulation unsampledCloud(int n) {
    qv::Simulation sim = qv::test::makeCloudSimulation(n, kSeed);
    sim.clock.analysisFreq = 1000000;
    sim.clock.coolingSampleFreq = 1000000;
    return sim;
}

// The program's own step on frames that sample nothing.
void BM_TimeStepOnce(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    qv::Simulation sim = unsampledCloud(n);
    for (auto _ : state) benchmark::DoNotOptimize(qv::timeStepOnce(sim));
    countPairs(state, n);
}

// The same step on a given number of threads (the second argument), for the sizes from which a
// second thread pays.
void BM_TimeStepThreads(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const int before = qv::parallelThreads();
    qv::setParallelThreads(static_cast<int>(state.range(1)));
    qv::Simulation sim = unsampledCloud(n);
    for (auto _ : state) benchmark::DoNotOptimize(qv::timeStepOnce(sim));
    qv::setParallelThreads(before);
    countPairs(state, n);
}

// A screened cloud at kappa = a / lambda = 2, cut off where the pair term has fallen to 1e-6 of
// its value at the spacing a, as a run with these options would do.
constexpr double kKappa = 2;
constexpr double kTolerance = 1e-6;

// Pairs of the cloud within the cutoff, counted once per size (a sweep along x).
double pairsWithinCutoff(int n) {
    static std::map<int, double> counted;
    if (const auto found = counted.find(n); found != counted.end()) return found->second;
    const RandomCloud cloud = qv::test::makeRandomCloud(n, kSeed);
    const double cutoff = qv::screenedCutoff(cloud.spacing / kKappa, cloud.spacing, kTolerance);
    std::vector<qv::Particle> ps = cloud.particles;
    std::sort(ps.begin(), ps.end(),
              [](const qv::Particle& a, const qv::Particle& b) { return a.pos[0] < b.pos[0]; });
    double pairs = 0;
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n && ps[j].pos[0] - ps[i].pos[0] <= cutoff; ++j)
            pairs += ps[i].distanceTo(ps[j]) <= cutoff;
    return counted[n] = pairs;
}

void countScreened(benchmark::State& state, int n) {
    const double pairs = pairsWithinCutoff(n);
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["steps/s"] = benchmark::Counter(iterations, benchmark::Counter::kIsRate);
    state.counters["pairs/s"] = benchmark::Counter(pairs * iterations, benchmark::Counter::kIsRate);
    state.counters["neighbours"] = 2.0 * pairs / n;
}

void BM_ForcePassScreened(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    RandomCloud cloud = qv::test::makeRandomCloud(n, kSeed);
    cloud.model.screeningLength = cloud.spacing / kKappa;
    cloud.model.cutoff = qv::screenedCutoff(cloud.model.screeningLength, cloud.spacing, kTolerance);
    timeForcePass(state, cloud);
    countScreened(state, n);
}

void BM_TimeStepScreened(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    qv::Simulation sim = unsampledCloud(n);
    sim.options.screeningLength = sim.model.interparticleDistance / kKappa;
    sim.options.cutoffTolerance = kTolerance;
    for (auto _ : state) benchmark::DoNotOptimize(qv::timeStepOnce(sim));
    countScreened(state, n);
}

BENCHMARK(BM_StepReference)
    ->Arg(276)
    ->Arg(2000)
    ->Arg(8000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_StepFast)
    ->Arg(276)
    ->Arg(2000)
    ->Arg(8000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_OverlapPassFast)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ForcePassFast)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TimeStepOnce)
    ->Arg(276)
    ->Arg(2000)
    ->Arg(8000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_TimeStepThreads)
    ->ArgsProduct({{32, 64, 128, 200, 276, 500, 1000, 2000, 8000}, {1, 2}})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK(BM_ForcePassScreened)
    ->Arg(2000)
    ->Arg(8000)
    ->Arg(20000)
    ->Arg(50000)
    ->Arg(200000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_TimeStepScreened)
    ->Arg(2000)
    ->Arg(8000)
    ->Arg(20000)
    ->Arg(50000)
    ->Arg(200000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Keeps the time per step of every run so that the ratio can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations == 0) continue;
            const double seconds = run.real_accumulated_time / run.iterations;
            // With repetitions the median stands for the run.
            if (run.run_type == Run::RT_Iteration) {
                seconds_.emplace(run.run_name.str(), seconds);
            } else if (run.aggregate_name == "median") {
                seconds_[run.run_name.str()] = seconds;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void printRatios() const {
        for (const int n : {276, 2000, 8000}) {
            const auto reference = seconds_.find(runName("BM_StepReference", n));
            const auto fast = seconds_.find(runName("BM_StepFast", n));
            if (reference == seconds_.end() || fast == seconds_.end()) continue;
            std::printf("fast/reference speed-up at N = %d: %.1f\n", n,
                        reference->second / fast->second);
        }
    }

  private:
    static std::string runName(const char* benchmark, int n) {
        std::string name = benchmark;
        name += '/';
        name += std::to_string(n);
        name += "/real_time";
        return name;
    }
    std::map<std::string, double> seconds_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
