#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "analysis/structure.h"
#include "console/output_file.h"
#include "sim/simulation.h"

namespace qv {
namespace {

double ratioOrZero(double numerator, double denominator) {
    return denominator != 0 ? numerator / denominator : 0.0;
}

// Shell k holds k^2 unit volumes of a uniform cloud.
double uniformCount(const ShellStructure& s, int k) {
    return static_cast<double>(k) * k * s.unitVolume;
}

}  // namespace

ShellStructure shellStructure(const Simulation& sim, const Particle* particles, int n,
                              double samples) {
    ShellStructure result;
    result.rapar = sim.model.apparatusRadius;
    // Not a single shell (nor a NaN count, nor more shells than an int counts): nothing to write.
    if (!(samples > 0 && samples < std::numeric_limits<int>::max())) return result;
    n = std::max(n, 0);

    const double w = result.rapar / samples;
    result.binWidth = w;
    const int bins = static_cast<int>(samples + 1);
    result.count.assign(bins, 0.0);
    result.mass.assign(bins, 0.0);
    for (int i = 0; i < n; ++i) {
        const double shell = std::floor(particles[i].distanceFromCentre() / w);
        // Grains beyond the last shell (outside the apparatus) are not counted.
        if (shell < bins) {
            const int k = static_cast<int>(shell);
            result.count[k] += 1;
            result.mass[k] += particles[i].mass();
        }
    }
    // The innermost shell has no volume in the normalisation below; its grains are not counted,
    // but their mass still shows in the mass columns.
    result.count[0] = 0;

    // D_k = k^2 V: N times the grains a uniform cloud of this density puts into shell k.
    result.unitVolume = w * w * (n * w) * 3 * sim.model.debyeSphereCount * sim.model.numberDensity;
    for (int k = 1; k < bins; ++k) {
        const double normalised = ratioOrZero(result.count[k], uniformCount(result, k));
        if (normalised > result.nmax) result.nmax = normalised;
    }
    return result;
}

void writeShellStructure(const Simulation& sim, const ShellStructure& result) {
    if (result.count.empty()) return;
    const int bins = static_cast<int>(result.count.size());
    const double w = result.binWidth;
    const double rapar = result.rapar;
    const std::vector<double>& count = result.count;
    const std::vector<double>& mass = result.mass;

    OutputFile file = openForAppend(sim.run.baseName + "ShellStructure.xls");
    const double time = sim.clock.simTime * sim.model.dustPlasmaFrequency;
    const double grainMass = sim.model.grainMass;
    const double ccple = sim.thermostat.ccple;
    file << time << '\t' << 0 << '\t' << count[0] << '\t' << "0" << '\t' << "0" << '\t' << mass[0]
         << '\t' << "0" << '\t' << ratioOrZero(mass[0], grainMass) << '\t' << ccple << '\n';
    std::vector<double> normalised(bins, 0.0);
    for (int k = 1; k < bins; ++k) {
        const double d = uniformCount(result, k);
        normalised[k] = ratioOrZero(count[k], d);
        file << time << '\t' << k * w / rapar << '\t' << count[k] << '\t' << normalised[k] << '\t'
             << ratioOrZero(normalised[k], result.nmax) << '\t' << mass[k] << '\t'
             << ratioOrZero(mass[k], d) << '\t' << ratioOrZero(mass[k], grainMass) << '\t' << ccple
             << '\n';
    }
    file.close();

    if (sim.switches.shellOutput2D) {
        writeRadialProfile(sim, time, bins, sim.run.baseName + "ShellStructure.xls",
                           normalised.data(), 0, result.nmax, w / rapar);
    }
}

}  // namespace qv
