#pragma once
// The program-wide state of the simulation: one instance of each struct, with the values the
// program holds at load as default member initialisers, so `x = X{}` restores them.
#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "sim/constants.h"
#include "sim/particle.h"

namespace qv {

// The start-up menu's choices. After the set-up `params.runMode` holds kRender, kPlay or kCrystal.
inline constexpr int kRender = 1;
inline constexpr int kPlay = 2;
inline constexpr int kLoadAndContinue = 3;
inline constexpr int kRenderDefaults = 4;
inline constexpr int kOutputs2D = 5;
inline constexpr int kCrystal = 6;

// Run parameters, switches, counters and derived quantities.
struct Parameters {
    // Fixed plasma: 2 eV electrons at 1e15 per cubic metre.
    double plasmaTemperature = -2.0 * electronCharge / boltzmannConstant;  // K
    double plasmaDensity = 1e15;                                           // m^-3

    // Mean grain properties: SI at load, normalised after the derived quantities are computed.
    double grainRadius = 1e-6;
    double grainMass = grainMaterialDensity * 4.0 / 3.0 * pi * 1e-6 * 1e-6 * 1e-6;
    double grainCharge = 1e4 * electronCharge;
    double groupMass = 0;  // mass of the mass group being filled
    double chargePerRadius = 0;
    double maxMassFraction = 1.0;
    double minMassFraction = 1.0;

    double apparatusRadius = 100 * 1e-6;  // Rapar
    double timeStep = 1.0;
    double stepMultiplier = 0;
    double debyeSphereCount = 0;  // ND, electrons in a Debye sphere
    double debyeLength = 0;       // metres
    double electronThermalSpeed = 0;
    double dustTemperature = 0;   // K
    double temperatureRatio = 0;  // dust kinetic temperature / Te
    double interparticleDistance = 0;
    double numberDensity = 0;
    double dustPlasmaFrequency = 0;
    double totalCharge = 0;

    // Coupling parameter and its thermostat.
    double ccple = 0;
    double ccpleTarget = 0;
    std::array<double, 10> ccpleHistory{};
    double ccpleHistoryIndex = 0;
    double ccpleAverage = 0;
    int coolingState = -1;  // -1 off, 1 steering, 2 target reached
    double coolingTolerance = 0.01;

    int analysisFreq = 100;
    int coolingSampleFreq = 10;
    int writeFreq = 4;

    int apparatusFieldOn = 1;
    int pairInteractionOn = 1;
    int wallOn = 1;

    double kineticEnergy = 0;
    double pairEnergy = 0;
    double apparatusEnergy = 0;
    double simTime = 0;

    int currentFrame = 1;
    int playStep = 1;
    int framesToCalculate = 0;
    int numWrittenFrames = 0;
    int numParticles = 0;
    int numDeadParticles = 100;
    int slowMotionDelay = 0;  // ms per replayed frame

    int speedDistributionOn = 0;
    int velocityTrackingOn = -1;
    int automatedAnalysis = 0;
    int autoFiringOn = -1;
    int compensateDeadAddition = -1;
    int autoFiringStartDead = 0;
    int lastFireFrame = 0;
    double deadSpeedFraction = 0.06;
    double deadParkY = 0;

    // Smart cooling schedule.
    int scheduleDivisions = 0;
    int scheduleDivisionLength = 0;
    int scheduleMode = 0;
    double scheduleStep = 0;

    // Run set-up.
    int runMode = 0;
    int randomSeed = 13;
    int numMassGroups = 1;
    std::string baseName;
    int shellOutput2D = -1;
    int pcfOutput2D = -1;
    int potentialOutput2D = -1;
    int efieldOutput2D = -1;

    // Window.
    int windowId = 0;
    int windowWidth = 900;
    int windowHeight = 900;
    bool windowOpen = false;  // false when running without a display
};

// Settings of the dead particles held in reserve and of the probe.
struct DeadParticleSettings {
    double deadMassFraction = 1.0;
    double deadRadiusFraction = 1.0;
    double deadChargeFraction = 1.0;
    int phiScanOn = -1;
    double phiMin = 0;
    double phiMax = 0;
    double firingPhi = 0;
    int probeIndex = -1;
};

// The arrays owned by the program for its whole run.
struct Arrays {
    std::vector<Particle> particleArray;  // live grains first, then the waiting dead particles
    std::size_t particleCursor = 0;       // fill cursor, an index into particleArray
    std::vector<double> forceArray;       // x, y, z per particle
    std::vector<double> speedTable;       // speed samples for the Maxboltz file
    std::vector<double> frameStore;       // replay frames, frame-major, x y z per slot
};

inline Parameters params;
inline DeadParticleSettings dead;
inline Arrays arrays;

inline Particle* particles() {
    return arrays.particleArray.data();
}
inline int liveCount() {
    return params.numParticles - params.numDeadParticles;
}

}  // namespace qv
