#include <algorithm>
#include <cmath>
#include <optional>
#include <ostream>
#include <vector>

#include "analysis/structure.h"
#include "console/console.h"
#include "console/output_file.h"
#include "sim/simulation.h"

namespace qv {
namespace {

// Samples along Rapar for the quiet calls of the time step and the automations.
constexpr double defaultSampleCount = 30;
// Far finer shells than any grain spacing; the bound keeps the shell count and its memory sane.
constexpr double maxSampleCount = 100000;

std::optional<double> askSampleCount() {
    console::clearScreen();
    std::ostream& out = console::out();
    out << "Analysing please wait..." << '\n'
        << '\n'
        << "Enter number of samples along Rapar : " << '\n'
        << std::flush;
    const std::optional<double> samples =
        console::askRealWhere([](double s) { return s > 0 && s <= maxSampleCount; },
                              "The number of samples must be above 0 and at most 100000.",
                              "Enter number of samples along Rapar : \n");
    if (!samples) {
        console::reportCancelled();
        return std::nullopt;
    }
    out << '\n';
    return samples;
}

double ratioOrZero(double numerator, double denominator) {
    return denominator != 0 ? numerator / denominator : 0.0;
}

}  // namespace

void computeShellStructure(const Particle* particles, int n) {
    n = std::max(n, 0);
    const bool interactive = sim.switches.automatedAnalysis == 0;
    // A real number: a fractional count gives shells that do not fit Rapar a whole number of times.
    const std::optional<double> asked = interactive ? askSampleCount() : defaultSampleCount;
    if (!asked) return;
    const double sampleCount = *asked;

    const double rapar = sim.model.apparatusRadius;
    const double w = rapar / sampleCount;
    const int bins = static_cast<int>(sampleCount + 1);
    std::vector<double> count(bins, 0.0);
    std::vector<double> mass(bins, 0.0);
    for (int i = 0; i < n; ++i) {
        const double shell = std::floor(particles[i].distanceFromCentre() / w);
        // Grains beyond the last shell (outside the apparatus) are not counted.
        if (shell < bins) {
            const int k = static_cast<int>(shell);
            count[k] += 1;
            mass[k] += particles[i].mass();
        }
    }
    // The innermost shell has no volume in the normalisation below; its grains are not counted,
    // but their mass still shows in the mass columns.
    count[0] = 0;

    // D_k = k^2 V: N times the grains a uniform cloud of this density puts into shell k.
    const double v = w * w * (n * w) * 3 * sim.model.debyeSphereCount * sim.model.numberDensity;
    double nmax = 0;
    for (int k = 1; k < bins; ++k) {
        const double normalised = ratioOrZero(count[k], static_cast<double>(k) * k * v);
        if (normalised > nmax) nmax = normalised;
    }

    OutputFile file = openForAppend(sim.run.baseName + "ShellStructure.xls");
    // A replayed frame stands for writeFreq steps; the replay keeps no clock of its own.
    if (sim.run.runMode == RunMode::Play) {
        sim.clock.simTime = sim.clock.currentFrame * sim.model.timeStep * sim.clock.writeFreq;
    }
    const double time = sim.clock.simTime * sim.model.dustPlasmaFrequency;
    const double grainMass = sim.model.grainMass;
    file << time << '\t' << 0 << '\t' << count[0] << '\t' << "0" << '\t' << "0" << '\t' << mass[0]
         << '\t' << "0" << '\t' << ratioOrZero(mass[0], grainMass) << '\t' << sim.thermostat.ccple << '\n';
    for (int k = 1; k < bins; ++k) {
        const double d = static_cast<double>(k) * k * v;
        const double normalised = ratioOrZero(count[k], d);
        file << time << '\t' << k * w / rapar << '\t' << count[k] << '\t' << normalised << '\t'
             << ratioOrZero(normalised, nmax) << '\t' << mass[k] << '\t' << ratioOrZero(mass[k], d)
             << '\t' << ratioOrZero(mass[k], grainMass) << '\t' << sim.thermostat.ccple << '\n';
    }
    file.close();

    if (sim.switches.shellOutput2D > 0) {
        for (int k = 1; k < bins; ++k) {
            count[k] = ratioOrZero(count[k], static_cast<double>(k) * k * v);
        }
        count[0] = 0;
        writeRadialProfile(time, bins, sim.run.baseName + "ShellStructure.xls", count.data(), 0,
                           nmax, w / rapar);
    }

    if (interactive) console::out() << "Finished shell calculation" << '\n' << '\n' << std::flush;
}

}  // namespace qv
