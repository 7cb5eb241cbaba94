#pragma once
// One run's whole state as a value. Functions take it explicitly; the program holds one instance
// in its front end, and tests build as many as they like. Default member initialisers are the
// values a run starts from, so `sim = Simulation{}` starts afresh.
#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "sim/constants.h"
#include "sim/kernels.h"
#include "sim/particle.h"
#include "sim/random.h"

namespace qv {

// The start-up menu's choices. After the set-up a run is a Render, Play or Crystal.
enum class RunMode {
    NotChosen = 0,
    Render = 1,
    Play = 2,
    LoadAndContinue = 3,
    RenderDefaults = 4,
    Outputs2D = 5,
    Crystal = 6,
};

// The thermostat: off, steering the coupling towards its target, or holding it there.
enum class CoolingState { Off, Steering, TargetReached };
// The number the console and the settings file show for a state: -1, 1 or 2.
int coolingCode(CoolingState state);

// The plasma, the grains and the apparatus: SI at set-up, normalised once the derived
// quantities are computed.
struct PlasmaModel {
    // Fixed plasma: 2 eV electrons at 1e15 per cubic metre.
    double plasmaTemperature = -2.0 * electronCharge / boltzmannConstant;  // K
    double plasmaDensity = 1e15;                                           // m^-3

    double grainRadius = 1e-6;
    double grainMass = grainMaterialDensity * 4.0 / 3.0 * pi * 1e-6 * 1e-6 * 1e-6;
    double grainCharge = 1e4 * electronCharge;
    double groupMass = 0;  // mass of the mass group being filled
    double chargePerRadius = 0;
    double maxMassFraction = 1.0;
    double minMassFraction = 1.0;
    int numMassGroups = 1;

    double apparatusRadius = 100 * 1e-6;  // Rapar
    double timeStep = 1.0;
    double stepMultiplier = 0;
    double debyeSphereCount = 0;  // ND, electrons in a Debye sphere
    double debyeLength = 0;       // metres
    double electronThermalSpeed = 0;
    double dustTemperature = 0;  // K
    double interparticleDistance = 0;
    double numberDensity = 0;
    double dustPlasmaFrequency = 0;
    double totalCharge = 0;
};

// Where the run is in time and how often it samples and writes.
struct RunClock {
    int currentFrame = 1;
    int framesToCalculate = 0;
    int numWrittenFrames = 0;
    double simTime = 0;
    int analysisFreq = 100;
    int coolingSampleFreq = 10;
    int writeFreq = 4;
};

// Only whole write intervals are rendered: the frames are cut to a multiple of the write
// frequency, and the frames written counted.
inline void roundToWriteIntervals(RunClock& clock) {
    clock.numWrittenFrames = clock.framesToCalculate / clock.writeFreq;
    clock.framesToCalculate = clock.numWrittenFrames * clock.writeFreq;
}

// The measured temperature and coupling, the feedback thermostat steering the coupling, and the
// smart cooling schedule that moves its target.
struct Thermostat {
    double temperatureRatio = 0;  // dust kinetic temperature / Te
    double ccple = 0;
    double ccpleTarget = 0;
    std::array<double, 10> ccpleHistory{};
    double ccpleHistoryIndex = 0;
    double ccpleAverage = 0;
    CoolingState coolingState = CoolingState::Off;
    double coolingTolerance = 0.01;

    int scheduleDivisions = 0;
    int scheduleDivisionLength = 0;
    int scheduleMode = 0;
    double scheduleStep = 0;
};

// The energy sums of the last sampling frame.
struct Energies {
    double kineticEnergy = 0;
    double pairEnergy = 0;
    double apparatusEnergy = 0;
};

// What the run does besides the dynamics.
struct Switches {
    bool apparatusFieldOn = true;
    bool pairInteractionOn = true;
    bool wallOn = true;
    bool speedDistributionOn = false;  // initial speeds kept for the Maxboltz table
    bool velocityTrackingOn = false;
    bool automatedAnalysis = false;  // the smart cooling schedule drives the analyses
    bool autoFiringOn = false;
    bool compensateDeadAddition = false;  // the apparatus grows with every grain fired in
    bool shellOutput2D = false;
    bool pcfOutput2D = false;
    bool potentialOutput2D = false;
    bool efieldOutput2D = false;
};

// The dead particles held in reserve at the end of the particle array, their firing and the
// probe.
struct DeadReserve {
    int numDeadParticles = 100;  // waiting in the reserve
    int autoFiringStartDead = 0;
    int lastFireFrame = 0;
    double deadSpeedFraction = 0.06;
    double deadParkY = 0;
    double deadMassFraction = 1.0;
    double deadRadiusFraction = 1.0;
    double deadChargeFraction = 1.0;
    bool phiScanOn = false;
    double phiMin = 0;
    double phiMax = 0;
    double firingPhi = 0;
    int probeIndex = -1;
};

// The interaction and dynamics beyond the bare Coulomb model. The defaults are that model: a
// run at its defaults steps exactly as one without these options.
struct ModelOptions {
    double screeningLength = kUnscreened;  // lambda_s, electron Debye lengths
    double kappa = 0;  // a / lambda_s as given, until the interparticle distance a is known
    // Screened pairs farther apart than where the pair term has fallen to this fraction of its
    // value at the interparticle distance add nothing.
    double cutoffTolerance = 1e-6;
    double friction = 0;              // Langevin gamma, per second
    double gasTemperature = 300.0;    // K, the neutral gas of the Langevin dynamics
    bool couplingThermostat = false;  // with friction: the coupling thermostat acts as well

    bool screened() const { return screeningLength < kUnscreened || kappa > 0; }
    bool langevin() const { return friction > 0.0; }
    bool atDefaults() const { return !screened() && !langevin(); }
};

// The set-up's choices that name the run.
struct RunSetup {
    RunMode runMode = RunMode::NotChosen;
    int randomSeed = 13;
    std::string baseName;
};

// The arrays of a run.
struct Arrays {
    std::vector<Particle> particleArray;  // live grains first, then the waiting dead particles
    std::size_t particleCursor = 0;       // fill cursor, an index into particleArray
    std::vector<double> forceArray;       // x, y, z per particle
    std::vector<double> speedTable;       // speed samples for the Maxboltz file
    std::vector<double> frameStore;       // replay frames, frame-major, x y z per slot
    std::vector<int> frameNumbers;        // each stored frame's number, as its file states it
};

// Chosen array slots followed in the Tracker file.
struct TrackerState {
    std::array<int, 100> trackedParticles{};  // zero-based slots, -1 free
    int trackedCount = 0;
};

struct Simulation {
    PlasmaModel model;
    RunClock clock;
    Thermostat thermostat;
    Energies energies;
    Switches switches;
    DeadReserve reserve;
    RunSetup run;
    ModelOptions options;
    Random random{13};     // the Langevin gas's kicks, seeded with the run's seed
    int numParticles = 0;  // slots: live grains and waiting dead particles
    Arrays arrays;
    TrackerState tracker;
    KernelWorkspace workspace;  // scratch of the pair kernels, kept so a step allocates nothing

    Particle* particles() { return arrays.particleArray.data(); }
    const Particle* particles() const { return arrays.particleArray.data(); }
    int liveCount() const { return numParticles - reserve.numDeadParticles; }
};

}  // namespace qv
