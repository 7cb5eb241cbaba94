#include <array>
#include <cmath>

#include "analysis/structure.h"
#include "console/output_file.h"
#include "sim/simulation.h"

namespace qv {
namespace {

constexpr int pointCount = fieldShellCount + 1;  // grid points 0 .. 30, the last on the wall
using Profile = std::array<double, pointCount>;

double ratioOrZero(double numerator, double denominator) {
    return denominator != 0 ? numerator / denominator : 0.0;
}

// The largest magnitude of a profile, 1 when it is zero everywhere so that the "2D" cells are 0.
double largestMagnitude(const Profile& values) {
    double largest = 0;
    for (double v : values) {
        if (std::fabs(v) > largest) largest = std::fabs(v);
    }
    return largest == 0 ? 1.0 : largest;
}

}  // namespace

FieldStructure fieldStructure(const Simulation& sim, const Particle* particles, int n) {
    FieldStructure result;
    const double rapar = sim.model.apparatusRadius;
    const double w = rapar / fieldShellCount;
    result.rapar = rapar;
    result.binWidth = w;

    std::array<double, fieldShellCount> shellCharge{};
    for (int i = 0; i < n; ++i) {
        const double shell = std::floor(particles[i].distanceFromCentre() / w);
        // Grains at the wall or beyond (dead particles in flight) are outside the background.
        if (shell < fieldShellCount) shellCharge[static_cast<int>(shell)] += particles[i].charge();
    }

    // Net charge inside r_k: the grains of the inner shells and the part of the uniformly charged
    // background sphere (carrying -totalCharge) that lies inside r_k. Gauss gives the field, with
    // the Coulomb divisor 3 ND of the normalised units.
    const double total = sim.model.totalCharge;
    const double coulombDivisor = 3 * sim.model.debyeSphereCount;
    Profile& netCharge = result.netCharge;
    Profile& field = result.field;
    double enclosed = 0;
    for (int k = 1; k < fieldShellCount; ++k) {
        const double fraction = k * w / rapar;
        netCharge[k] = enclosed + shellCharge[k - 1] - total * (fraction * fraction * fraction);
        enclosed += shellCharge[k - 1];
    }
    enclosed += shellCharge[fieldShellCount - 1];
    netCharge[fieldShellCount] = enclosed - total;
    for (int k = 1; k < pointCount; ++k) {
        const double r = k * w;
        field[k] = ratioOrZero(netCharge[k], r * r * coulombDivisor);
    }

    // Potential zero at the wall, integrated inwards by the trapezoidal rule.
    Profile& potential = result.potential;
    for (int k = fieldShellCount - 1; k >= 0; --k) {
        potential[k] = potential[k + 1] + (field[k] + field[k + 1]) / 2 * w;
    }
    return result;
}

void writeFieldStructure(const Simulation& sim, const FieldStructure& result) {
    const double w = result.binWidth;
    const double rapar = result.rapar;
    OutputFile file = openForAppend(sim.run.baseName + "EFieldStruct.xls");
    const double time = sim.clock.simTime * sim.model.dustPlasmaFrequency;
    // The net charge in units of the mean grain charge's magnitude (grainCharge is negative).
    const double chargeUnit = -sim.model.grainCharge;
    for (int k = 0; k < pointCount; ++k) {
        file << time << '\t' << k * w / rapar << '\t'
             << ratioOrZero(result.netCharge[k], chargeUnit) << '\t' << result.field[k] << '\t'
             << result.potential[k] << '\t' << sim.thermostat.ccple << '\n';
    }

    const double step = w / rapar;
    if (sim.switches.potentialOutput2D) {
        writeRadialProfile(sim, time, pointCount, sim.run.baseName + "Potential.xls",
                           result.potential.data(), 0, largestMagnitude(result.potential), step);
    }
    if (sim.switches.efieldOutput2D) {
        writeRadialProfile(sim, time, pointCount, sim.run.baseName + "EField.xls",
                           result.field.data(), 0, largestMagnitude(result.field), step);
    }
}

}  // namespace qv
