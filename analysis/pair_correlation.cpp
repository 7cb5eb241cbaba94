#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "analysis/pair_histogram.h"
#include "analysis/structure.h"
#include "console/output_file.h"
#include "sim/simulation.h"

namespace qv {
namespace {

// A peak must stand above this many bins beyond it.
constexpr int peakWindow = 4;

// A peak has a rise into it and the next peakWindow bins all below it (the first of them is the
// fall out of it); the scan then skips past that window.
std::vector<double> findPeaks(const std::vector<double>& g, double w, double rapar) {
    std::vector<double> peaks;
    const int bins = static_cast<int>(g.size());
    for (int k = 2; k < bins - peakWindow; ++k) {
        const int p = k - 1;
        if (g[p] > g[p - 1]) {
            int lower = 0;
            for (int m = 1; m <= peakWindow; ++m) {
                if (g[p] > g[p + m]) ++lower;
            }
            if (lower == peakWindow) {
                peaks.push_back(p * w / rapar);
                k += peakWindow - 1;
            }
        }
    }
    return peaks;
}

}  // namespace

PairCorrelation pairCorrelation(const Simulation& sim, const Particle* particles, int n,
                                int samples) {
    PairCorrelation result;
    result.rapar = sim.model.apparatusRadius;
    // Not a single sample, or one bin more than an int counts: nothing to write.
    if (samples < 1 || samples == std::numeric_limits<int>::max()) return result;
    n = std::max(n, 0);

    // The bins span twice Rapar, the widest distance two grains inside the sphere can have.
    const double w = 2 * result.rapar / samples;
    result.binWidth = w;
    const int bins = samples + 1;
    const std::vector<std::int64_t> pairs = pairHistogramParallel(particles, n, w, bins);

    // g(k): the pairs found against those a uniform cloud of the same density puts into the
    // shell of radius k w around each grain (the divisor is N 4 pi r^2 w numberDensity in the
    // normalised units). Bin 0 has no such shell and stays 0, as does any bin without a divisor
    // (no grains, or no density yet).
    result.g.assign(bins, 0.0);
    for (int k = 1; k < bins; ++k) {
        const double r = k * w;
        const double divisor =
            r * r * (n * w) * 3 * sim.model.debyeSphereCount * sim.model.numberDensity;
        if (divisor != 0) result.g[k] = static_cast<double>(pairs[k]) / divisor;
    }
    for (double gk : result.g) {
        if (gk > result.gmax) result.gmax = gk;
    }
    result.peaks = findPeaks(result.g, w, result.rapar);
    return result;
}

void writePairCorrelation(const Simulation& sim, const PairCorrelation& result) {
    if (result.g.empty()) return;
    const double w = result.binWidth;
    const double rapar = result.rapar;
    const double gmax = result.gmax;

    OutputFile file = openForAppend(sim.run.baseName + "PCF Data.xls");
    file << "\t\t\t\tPeaks:";
    for (double position : result.peaks) file << '\t' << position;
    file << '\t' << "CCPLE:" << '\t' << sim.thermostat.ccpleAverage << '\t'
         << "Target:" << sim.thermostat.ccpleTarget << '\n';

    const double time = sim.clock.simTime * sim.model.dustPlasmaFrequency;
    const int bins = static_cast<int>(result.g.size());
    for (int k = 0; k < bins; ++k) {
        file << time << '\t' << k * w / rapar << '\t' << result.g[k] << '\t'
             << (gmax != 0 ? result.g[k] / gmax : 0.0) << '\n';
    }
    file.close();

    if (sim.switches.pcfOutput2D) {
        writeRadialProfile(sim, time, bins, sim.run.baseName + "PCF Data.xls", result.g.data(), 0,
                           gmax, w / rapar);
    }
}

}  // namespace qv
