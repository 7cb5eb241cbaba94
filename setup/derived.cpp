#include "setup/derived.h"

#include <cmath>
#include <ostream>

#include "console/console.h"
#include "sim/apparatus.h"
#include "sim/constants.h"
#include "sim/simulation.h"

namespace qv {

void computeDerivedQuantities(Simulation& sim) {
    PlasmaModel& m = sim.model;
    const double liveGrains = static_cast<double>(sim.liveCount());
    const double q = m.grainCharge;

    m.debyeLength = debyeLength(m.plasmaTemperature, m.plasmaDensity);
    m.debyeSphereCount =
        m.debyeLength * m.debyeLength * m.debyeLength * (4.0 / 3.0 * pi) * m.plasmaDensity;
    sim.thermostat.temperatureRatio = m.dustTemperature / m.plasmaTemperature;
    // Wigner-Seitz distance at which the Coulomb energy is Γ times the thermal energy; in units
    // of kB*Te the Coulomb constant is 1/(3 ND).
    m.interparticleDistance =
        q * q / (3.0 * sim.thermostat.ccple * sim.thermostat.temperatureRatio * m.debyeSphereCount);
    m.groupMass = m.grainMass / electronMass;
    m.grainMass = m.groupMass;
    m.apparatusRadius = apparatusRadiusFor(liveGrains, m.interparticleDistance);
    const double rapar = m.apparatusRadius;
    m.numberDensity = liveGrains / (rapar * rapar * rapar * m.debyeSphereCount);
    m.electronThermalSpeed = std::sqrt(boltzmannConstant * m.plasmaTemperature / electronMass);
    // Colder and more strongly coupled clouds move more slowly, so they can take longer steps.
    const double ccple = sim.thermostat.ccple;
    m.timeStep = electronPlasmaFrequency(m.plasmaDensity) * 100000.0 * std::log(ccple) /
                 (ccple * ccple * m.dustTemperature);
    m.timeStep = m.timeStep * m.stepMultiplier;
    m.grainRadius = m.grainRadius / m.debyeLength;
    m.dustPlasmaFrequency = std::sqrt(m.numberDensity * q * q / m.groupMass);
    sim.reserve.deadParkY = 1.5 * rapar;
    // Grain charge grows with the grain's radius (capacitance of a sphere).
    m.chargePerRadius = q / m.grainRadius;
}

std::optional<UnusableQuantity> findUnusableQuantity(const PlasmaModel& p) {
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

void reportDerivedQuantities(const Simulation& sim) {
    const PlasmaModel& p = sim.model;
    std::ostream& out = console::out();
    out << "Timestep is: " << p.timeStep << "\n\n";
    out << "Temperature of plasma (K): " << p.plasmaTemperature << "\n\n";
    out << "Temperature Ratio is: " << sim.thermostat.temperatureRatio << "\n\n";
    out << "Interparticle distnace is (Debye Lengths): " << p.interparticleDistance << "\n\n";
    out << "Number (N) of e- in a plasma electron Debye Sphere is: " << p.debyeSphereCount
        << "\n\n";
    out << "Radius of aparatus is: " << p.apparatusRadius << " in electron debye lengths\n\n";
    out << "Number Density in Normalised Units: " << p.numberDensity << "\n\n";
    out << "Electron Debye Length (m): " << p.debyeLength << "\n\n";
    out << "Normalised dust plasma frequency: " << p.dustPlasmaFrequency << "\n\n";
    out << "Frames to be calculated: " << sim.clock.framesToCalculate << "\n\n";
    out << "Thank you now generating... " << '\n' << std::flush;
}

}  // namespace qv
