#include "setup/derived.h"

#include <cmath>
#include <ostream>

#include "console/console.h"
#include "sim/constants.h"
#include "sim/simulation.h"

namespace qv {

void computeDerivedQuantities() {
    Parameters& p = params;
    const double liveGrains = static_cast<double>(sim.liveCount());
    const double q = p.grainCharge;

    p.debyeLength = debyeLength();
    p.debyeSphereCount =
        p.debyeLength * p.debyeLength * p.debyeLength * (4.0 / 3.0 * pi) * p.plasmaDensity;
    p.temperatureRatio = p.dustTemperature / p.plasmaTemperature;
    // Wigner-Seitz distance at which the Coulomb energy is Γ times the thermal energy; in units
    // of kB*Te the Coulomb constant is 1/(3 ND).
    p.interparticleDistance = q * q / (3.0 * p.ccple * p.temperatureRatio * p.debyeSphereCount);
    p.groupMass = p.grainMass / electronMass;
    p.grainMass = p.groupMass;
    // The sphere that holds the live grains at one Wigner-Seitz cell each.
    p.apparatusRadius = std::cbrt(3.0 * liveGrains / (4.0 * pi)) * p.interparticleDistance;
    const double rapar = p.apparatusRadius;
    p.numberDensity = liveGrains / (rapar * rapar * rapar * p.debyeSphereCount);
    p.electronThermalSpeed = std::sqrt(boltzmannConstant * p.plasmaTemperature / electronMass);
    // Colder and more strongly coupled clouds move more slowly, so they can take longer steps.
    p.timeStep = electronPlasmaFrequency() * 100000.0 * std::log(p.ccple) /
                 (p.ccple * p.ccple * p.dustTemperature);
    p.timeStep = p.timeStep * p.stepMultiplier;
    p.grainRadius = p.grainRadius / p.debyeLength;
    p.dustPlasmaFrequency = std::sqrt(p.numberDensity * q * q / p.groupMass);
    p.deadParkY = 1.5 * rapar;
    // Grain charge grows with the grain's radius (capacitance of a sphere).
    p.chargePerRadius = q / p.grainRadius;
}

std::optional<UnusableQuantity> findUnusableQuantity(const Parameters& p) {
    // In the order they are derived, so that the first one named is the cause of the others.
    const UnusableQuantity quantities[] = {
        {"number of electrons in a Debye sphere", p.debyeSphereCount, 0},
        {"interparticle distance", p.interparticleDistance, 0},
        {"Rapar", p.apparatusRadius, 0},
        {"number density", p.numberDensity, 0},
        {"time step", p.timeStep, 0},
        {"dust plasma frequency", p.dustPlasmaFrequency, 0},
    };
    for (const UnusableQuantity& q : quantities) {
        if (!(std::isfinite(q.value) && q.value > 0)) return q;
    }
    // The semi-implicit Euler step follows an oscillation of frequency w only while w dt < 2;
    // beyond it the grains' plasma oscillation grows without bound.
    const double longestStep = 2.0 / p.dustPlasmaFrequency;
    if (!(p.timeStep < longestStep)) return UnusableQuantity{"time step", p.timeStep, longestStep};
    return std::nullopt;
}

void reportDerivedQuantities() {
    const Parameters& p = params;
    std::ostream& out = console::out();
    out << "Timestep is: " << p.timeStep << "\n\n";
    out << "Temperature of plasma (K): " << p.plasmaTemperature << "\n\n";
    out << "Temperature Ratio is: " << p.temperatureRatio << "\n\n";
    out << "Interparticle distnace is (Debye Lengths): " << p.interparticleDistance << "\n\n";
    out << "Number (N) of e- in a plasma electron Debye Sphere is: " << p.debyeSphereCount
        << "\n\n";
    out << "Radius of aparatus is: " << p.apparatusRadius << " in electron debye lengths\n\n";
    out << "Number Density in Normalised Units: " << p.numberDensity << "\n\n";
    out << "Electron Debye Length (m): " << p.debyeLength << "\n\n";
    out << "Normalised dust plasma frequency: " << p.dustPlasmaFrequency << "\n\n";
    out << "Frames to be calculated: " << p.framesToCalculate << "\n\n";
    out << "Thank you now generating... " << '\n' << std::flush;
}

}  // namespace qv
