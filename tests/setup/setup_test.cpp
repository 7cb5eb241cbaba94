// The initial cloud's tables, the crystal lattice and the parked dead particles; what a set-up
// needs and when it cannot run. The random cloud itself is pinned by the golden sessions.
#include "setup/setup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>

#include "setup/configuration.h"
#include "setup/derived.h"
#include "sim/simulation.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

// The default render (grains of 1 micron at 300 K, Γ 500, 10000 electrons each) with `live`
// grains and `deadCount` dead particles.
Simulation prepareRender(int live, int deadCount) {
    Simulation sim;
    applyRenderDefaults(sim);
    sim.reserve.numDeadParticles = deadCount;
    sim.numParticles = live + deadCount;
    sim.run.baseName = "cloud";
    computeDerivedQuantities(sim);
    return sim;
}

void configureQuietly(Simulation& sim) {
    test::ScriptedConsole console("");
    configureInitialParticles(sim);
}

// The speed table holds floor(frames / analysis period) + 1 blocks; averages over no grain are 0.
TEST(InitialConfiguration, SpeedTableAndAveragesWithoutGrains) {
    test::Sandbox box;
    Simulation sim = prepareRender(5, 1);
    sim.switches.speedDistributionOn = true;
    sim.clock.framesToCalculate = 100, sim.clock.analysisFreq = 30;
    configureQuietly(sim);
    EXPECT_EQ(sim.arrays.speedTable.size(), 6u * 4);
    EXPECT_EQ(sim.arrays.speedTable[4], sim.arrays.particleArray[4].speed());
    for (Particle& p : sim.arrays.particleArray) p.role = Role::WaitingDead;
    reportAverages(sim);
    EXPECT_TRUE(sim.model.grainMass == 0 && sim.model.grainCharge == 0 &&
                sim.model.grainRadius == 0);
}

TEST(CrystalLattice, GrainsTouchOnAClosePackedLatticeAndTheDeadParkAtTheOldRapar) {
    test::Sandbox box;
    Simulation sim;
    applyCrystalDefaults(sim);
    sim.run.runMode = RunMode::Crystal;
    sim.run.baseName = "crystal";
    computeDerivedQuantities(sim);
    std::ostringstream set;  // the crystal's defaults and what the plasma makes of them
    set << sim.numParticles << ' ' << sim.reserve.numDeadParticles << ' '
        << sim.clock.framesToCalculate << ' ' << sim.clock.writeFreq << ' '
        << sim.clock.analysisFreq << ' ' << sim.clock.numWrittenFrames << ' '
        << sim.model.dustTemperature << ' ' << sim.thermostat.ccple << ' '
        << sim.thermostat.ccpleTarget << ' ' << sim.model.grainCharge << ' '
        << sim.model.apparatusRadius << ' ' << sim.model.timeStep;
    EXPECT_EQ(set.str(), "8001 1 10000 10000 10000 1 300 300 300 -10000 692.897 3.77063e+07");
    const double bigR = sim.model.apparatusRadius;
    const double a = bigR / 20;  // the lattice's sphere radius
    const double layer = std::sqrt(8.0 / 3.0) * a;
    const double s3 = std::sqrt(3.0);
    configureQuietly(sim);
    const auto& g = sim.arrays.particleArray;
    // Offsets from the corner (-R, -R, -R): columns along z, rows along y, blocks of 400 along
    // x; odd columns and odd blocks sit in the hollows.
    const double corner[5][4] = {{0, 0, 0, 0},
                                 {1, a, a / s3, layer},
                                 {20, 0, 2 * a, 0},
                                 {400, s3 * a, a, 0},
                                 {7999, 19 * s3 * a + a, 39 * a + a / s3, 19 * layer}};
    for (const auto& c : corner) {
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(g[int(c[0])].position(k), c[k + 1] - bigR, 1e-9 * bigR) << c[0] << " " << k;
        }
    }
    // Within a block of 400 the spheres of radius a touch their neighbours and never overlap.
    for (int i = 0; i < 400; ++i) {
        double nearest = 1e300;
        for (int j = 0; j < 400; ++j) {
            if (j != i) nearest = std::min(nearest, g[i].distanceTo(g[j]));
        }
        EXPECT_NEAR(nearest, 2 * a, 1e-9 * a) << i;
    }
    EXPECT_TRUE(std::all_of(g.begin(), g.begin() + 8000,
                            [a](const Particle& p) { return p.radius() == a && p.speed() == 0; }));
    EXPECT_TRUE(g[8000].isDeadParticle());
    EXPECT_DOUBLE_EQ(g[8000].position(1), 1.5 * bigR);
    EXPECT_DOUBLE_EQ(sim.model.apparatusRadius, bigR * std::sqrt(8.0 / 3.0) / 2);
    EXPECT_EQ(sim.model.stepMultiplier, 1.0);  // the crystal steps at the derived time step
}

// What a set-up allocates, and the first derived quantity that makes a run impossible.
TEST(SetUp, MemoryNeededAndUnusableQuantities) {
    Simulation sim;
    sim.numParticles = 10, sim.clock.framesToCalculate = 100, sim.clock.analysisFreq = 30;
    EXPECT_EQ(setUpBytes(sim), 10.0 * (sizeof(Particle) + 24));
    sim.switches.speedDistributionOn = true;  // floor(100 / 30) + 1 blocks of 10 speeds
    EXPECT_EQ(setUpBytes(sim), 10.0 * (sizeof(Particle) + 24) + 10 * 4 * 8);

    const PlasmaModel usable = prepareRender(5, 0).model;
    EXPECT_FALSE(findUnusableQuantity(usable).has_value());
    const double w = usable.dustPlasmaFrequency;
    const struct {
        double PlasmaModel::*field;
        double value;
        const char* name;
        double limit;
    } cases[] = {{&PlasmaModel::debyeSphereCount, 0, "number of electrons in a Debye sphere", 0},
                 {&PlasmaModel::interparticleDistance, -1, "interparticle distance", 0},
                 {&PlasmaModel::apparatusRadius, INFINITY, "Rapar", 0},
                 {&PlasmaModel::numberDensity, NAN, "number density", 0},
                 {&PlasmaModel::dustPlasmaFrequency, 0, "dust plasma frequency", 0},
                 {&PlasmaModel::timeStep, 2 / w, "time step", 2 / w},
                 {&PlasmaModel::timeStep, 1.999 / w, nullptr, 0}};
    for (const auto& c : cases) {
        PlasmaModel m = usable;
        m.*c.field = c.value;
        const auto bad = findUnusableQuantity(m);
        EXPECT_STREQ(bad ? bad->name : nullptr, c.name) << c.value;
        EXPECT_EQ(bad ? bad->limit : 0, c.limit) << c.name;
    }
}

// A speed table of 1e9 frames for 100000 slots fits in no memory: the set-up says so.
TEST(SetUp, ASpeedTableBeyondMemoryIsRefused) {
    test::Sandbox box;
    Simulation sim;
    OutputFile dataSet;
    test::ScriptedConsole console(
        "1\n0\nrun\n13\n0\n100000\n1000000000\n300\n500\n10000\n5\n1\n1\n1\n1\n");
    EXPECT_THROW(runSetUp(sim, dataSet, false), test::ProgramExit);
    EXPECT_NE(console.output().find("speed table would need"), std::string::npos);
}

}  // namespace
}  // namespace qv
