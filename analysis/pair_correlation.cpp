#include <algorithm>
#include <cstdint>
#include <optional>
#include <ostream>
#include <vector>

#include "analysis/pair_histogram.h"
#include "analysis/structure.h"
#include "console/console.h"
#include "console/output_file.h"
#include "sim/simulation.h"

namespace qv {
namespace {

// Samples along Rapar for the quiet calls of the time step and the automations.
constexpr int defaultSampleCount = 30;
// Far finer bins than any grain spacing; the bound keeps the bin count and its memory sane.
constexpr int maxSampleCount = 100000;
// A peak must stand above this many bins beyond it.
constexpr int peakWindow = 4;

std::optional<int> askSampleCount() {
    std::ostream& out = console::out();
    out << "PCF Function loaded" << '\n'
        << '\n'
        << "Enter number of samples along Rapar" << std::flush;
    const std::optional<int> samples =
        console::askIntWhere([](int s) { return s >= 1 && s <= maxSampleCount; },
                             "The number of samples must be a whole number from 1 to 100000.",
                             "Enter number of samples along Rapar");
    if (!samples) {
        console::reportCancelled();
        return std::nullopt;
    }
    out << '\n' << "Calculating..." << '\n' << '\n' << std::flush;
    return samples;
}

}  // namespace

void computePairCorrelation(const Particle* particles, int n) {
    n = std::max(n, 0);
    const bool interactive = sim.switches.automatedAnalysis == 0;
    const std::optional<int> asked = interactive ? askSampleCount() : defaultSampleCount;
    if (!asked) return;
    const int sampleCount = *asked;

    // The bins span twice Rapar, the widest distance two grains inside the sphere can have.
    const double rapar = sim.model.apparatusRadius;
    const double w = 2 * rapar / sampleCount;
    const int bins = sampleCount + 1;
    const std::vector<std::int64_t> pairs = pairHistogramParallel(particles, n, w, bins);

    // g(k): the pairs found against those a uniform cloud of the same density puts into the
    // shell of radius k w around each grain (the divisor is N 4 pi r^2 w numberDensity in the
    // normalised units). Bin 0 has no such shell and stays 0, as does any bin without a divisor
    // (no grains, or no density yet).
    std::vector<double> g(bins, 0.0);
    for (int k = 1; k < bins; ++k) {
        const double r = k * w;
        const double divisor = r * r * (n * w) * 3 * sim.model.debyeSphereCount * sim.model.numberDensity;
        if (divisor != 0) g[k] = static_cast<double>(pairs[k]) / divisor;
    }
    double gmax = 0;
    for (int k = 0; k < bins; ++k) {
        if (g[k] > gmax) gmax = g[k];
    }

    OutputFile file = openForAppend(sim.run.baseName + "PCF Data.xls");
    file << "\t\t\t\tPeaks:";
    // A peak has a rise into it, a fall out of it and the next peakWindow bins all below it;
    // the scan then skips past that window.
    double previousSlope = (g[1] - g[0]) / w;
    for (int k = 2; k < bins - peakWindow; ++k) {
        const double slope = (g[k] - g[k - 1]) / w;
        if (previousSlope > 0 && slope < 0) {
            const int p = k - 1;
            int lower = 0;
            for (int m = 1; m <= peakWindow; ++m) {
                if (g[p] > g[p + m]) ++lower;
            }
            if (lower == peakWindow) {
                const double position = p * w / rapar;
                file << '\t' << position;
                if (interactive) console::out() << position << '\n';
                k += peakWindow - 1;
            }
        }
        previousSlope = (g[k] - g[k - 1]) / w;
    }
    if (interactive) console::out() << '\n' << std::flush;
    file << '\t' << "CCPLE:" << '\t' << sim.thermostat.ccpleAverage << '\t'
         << "Target:" << sim.thermostat.ccpleTarget << '\n';

    // A replayed frame stands for writeFreq steps; the replay keeps no clock of its own.
    if (sim.run.runMode == RunMode::Play) {
        sim.clock.simTime = sim.clock.currentFrame * sim.model.timeStep * sim.clock.writeFreq;
    }
    const double time = sim.clock.simTime * sim.model.dustPlasmaFrequency;
    for (int k = 0; k < bins; ++k) {
        file << time << '\t' << k * w / rapar << '\t' << g[k] << '\t'
             << (gmax != 0 ? g[k] / gmax : 0.0) << '\n';
    }
    file.close();

    if (sim.switches.pcfOutput2D > 0) {
        writeRadialProfile(time, bins, sim.run.baseName + "PCF Data.xls", g.data(), 0, gmax,
                           w / rapar);
    }
}

}  // namespace qv
