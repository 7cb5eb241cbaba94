#include <gsl/gsl_randist.h>
#include <gsl/gsl_rng.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "console/console.h"
#include "dataset/writer.h"
#include "setup/configuration.h"
#include "setup/derived.h"
#include "setup/setup.h"
#include "sim/constants.h"
#include "sim/state.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

// A render of `live` grains and `deadCount` dead particles from the default physics.
void prepareRender(int live, int deadCount) {
    test::resetProgramState();
    applyRenderDefaults();
    params.numDeadParticles = deadCount;
    params.numParticles = live + deadCount;
    params.baseName = "cloud";
    computeDerivedQuantities();
}

struct RenderFiles {
    std::string dataSet;
    std::string rdistribution;
};

// Configures a cloud in a fresh directory and returns the data set (header, properties and
// the first frame, so positions and velocities both show) and the Rdistribution file.
RenderFiles configureAndWrite(int seed) {
    prepareRender(40, 3);
    params.randomSeed = seed;
    test::TempDir dir;
    test::ScriptedConsole console("");
    dataSetStream = openForWrite("cloud");
    configureInitialParticles();
    writeDataSetHeader(params.numWrittenFrames, params.writeFreq);
    writeFrame();
    for (Particle& p : arrays.particleArray) {
        for (int j = 0; j < 3; ++j) p.setPosition(j, p.velocity(j));
    }
    writeFrame();  // the velocities, through the same formatting
    dataSetStream.close();
    return {test::readFile("cloud"), test::readFile("cloudRdistribution.xls")};
}

std::vector<double> readNumbers(const std::string& text) {
    std::istringstream in(text);
    std::vector<double> values;
    for (double v; in >> v;) values.push_back(v);
    return values;
}

TEST(InitialConfiguration, SameSeedGivesIdenticalFiles) {
    const RenderFiles first = configureAndWrite(13);
    const RenderFiles second = configureAndWrite(13);
    EXPECT_EQ(first.dataSet, second.dataSet);
    EXPECT_EQ(first.rdistribution, second.rdistribution);
    const RenderFiles other = configureAndWrite(14);
    EXPECT_NE(first.dataSet, other.dataSet);
    EXPECT_NE(first.rdistribution, other.rdistribution);
}

TEST(InitialConfiguration, DrawsFollowTheFixedOrder) {
    prepareRender(5, 0);
    params.randomSeed = 21;
    test::TempDir dir;
    test::ScriptedConsole console("");
    configureInitialParticles();

    // The same sequence drawn by hand: polar angle, azimuth, radius by rejection, then the three
    // velocity components, slot after slot.
    gsl_rng* rng = gsl_rng_alloc(gsl_rng_mt19937);
    gsl_rng_set(rng, 21);
    const double sigma =
        std::sqrt(boltzmannConstant * params.dustTemperature / (params.groupMass * electronMass));
    for (int i = 0; i < 5; ++i) {
        const double theta = std::acos(2 * gsl_rng_uniform(rng) - 1);
        const double phi = 2 * gsl_rng_uniform(rng) * pi - pi;
        double u3, u4;
        do {
            u3 = gsl_rng_uniform(rng);
            u4 = gsl_rng_uniform(rng);
        } while (u3 * u3 <= u4);
        const double r = u3 * params.apparatusRadius;
        const Particle& p = arrays.particleArray[i];
        EXPECT_DOUBLE_EQ(p.position(0), r * std::sin(theta) * std::cos(phi)) << i;
        EXPECT_DOUBLE_EQ(p.position(1), r * std::sin(theta) * std::sin(phi)) << i;
        EXPECT_DOUBLE_EQ(p.position(2), r * std::cos(theta)) << i;
        for (int j = 0; j < 3; ++j) {
            EXPECT_DOUBLE_EQ(p.velocity(j),
                             gsl_ran_gaussian(rng, sigma) / params.electronThermalSpeed)
                << i << " " << j;
        }
    }
    gsl_rng_free(rng);
}

TEST(InitialConfiguration, EnvironmentSeedIsOverruledByTheProgramSeed) {
    const RenderFiles plain = configureAndWrite(13);
    ::setenv("GSL_RNG_SEED", "987654", 1);
    const RenderFiles withEnvSeed = configureAndWrite(13);
    ::unsetenv("GSL_RNG_SEED");
    EXPECT_EQ(plain.dataSet, withEnvSeed.dataSet);
    EXPECT_EQ(plain.rdistribution, withEnvSeed.rdistribution);
}

TEST(InitialConfiguration, GrainsFillTheSphereAndRdistributionListsTheirRadii) {
    prepareRender(500, 4);
    test::TempDir dir;
    test::ScriptedConsole console("");
    configureInitialParticles();
    const double rapar = params.apparatusRadius;
    const std::vector<double> radii = readNumbers(test::readFile("cloudRdistribution.xls"));
    // Dead slots draw their numbers too, so every slot has a line.
    ASSERT_EQ(radii.size(), 504u);
    int innerHalf = 0;
    for (int i = 0; i < 500; ++i) {
        const double r = arrays.particleArray[i].distanceFromCentre();
        EXPECT_LE(r, rapar);
        EXPECT_NEAR(r, radii[i], 5e-6 * std::max(r, 1.0));
        if (r < rapar * std::cbrt(0.5)) ++innerHalf;
    }
    // Uniform density: half the grains lie inside the sphere of half the volume.
    EXPECT_NEAR(innerHalf, 250, 45);
    EXPECT_TRUE(cursorAtEnd());
    EXPECT_EQ(arrays.forceArray.size(), 3u * 504u);
    EXPECT_TRUE(arrays.speedTable.empty());
}

TEST(InitialConfiguration, SpeedTableHoldsInitialSpeedsInItsFirstBlock) {
    prepareRender(10, 2);
    params.speedDistributionOn = 1;
    params.framesToCalculate = 100;
    params.analysisFreq = 30;
    test::TempDir dir;
    test::ScriptedConsole console("");
    configureInitialParticles();
    ASSERT_EQ(arrays.speedTable.size(), 12u * 4u);  // floor(100 / 30) + 1 blocks
    for (int i = 0; i < 10; ++i) {
        EXPECT_GT(arrays.speedTable[i], 0);
    }
    // Dead slots recorded the speed they were drawn with before parking.
    EXPECT_GT(arrays.speedTable[11], 0);
    for (std::size_t i = 12; i < arrays.speedTable.size(); ++i) EXPECT_EQ(arrays.speedTable[i], 0);
}

TEST(InitialConfiguration, OneMassGroupGivesIdenticalGrainsAndMatchingAverages) {
    prepareRender(20, 2);
    const double radius = params.grainRadius;
    const double mass = params.groupMass;
    test::TempDir dir;
    test::ScriptedConsole console("");
    configureInitialParticles();
    for (int i = 0; i < 20; ++i) {
        const Particle& p = arrays.particleArray[i];
        EXPECT_EQ(p.radius(), radius);
        EXPECT_EQ(p.mass(), mass);
        EXPECT_EQ(p.charge(), -10000.0);
        EXPECT_EQ(p.colour(0) + p.colour(1) + p.colour(2), 0.0);
    }
    std::ostringstream expected;
    expected << "\nCalculated Averages for Radius/Mass/Charge: \n"
             << radius << " / " << mass << " / " << -10000.0 << "\n\n";
    EXPECT_EQ(console.output(), expected.str());
}

TEST(InitialConfiguration, DeadParticlesWaitAboveTheApparatus) {
    prepareRender(30, 5);
    const double parkY = 1.5 * params.apparatusRadius;
    test::TempDir dir;
    test::ScriptedConsole console("");
    configureInitialParticles();
    for (int i = 30; i < 35; ++i) {
        const Particle& p = arrays.particleArray[i];
        EXPECT_TRUE(p.isDeadParticle());
        EXPECT_EQ(p.colour(1), 0.0);
        EXPECT_EQ(p.colour(2), 0.5);
        EXPECT_EQ(p.position(0), 0.0);
        EXPECT_DOUBLE_EQ(p.position(1), parkY);
        EXPECT_EQ(p.position(2), 0.0);
        EXPECT_EQ(p.speed(), 0.0);
        EXPECT_EQ(p.mass(), 0.0);
        EXPECT_EQ(p.charge(), 0.0);
        EXPECT_EQ(p.radius(), params.grainRadius);
    }
    for (int i = 0; i < 30; ++i) EXPECT_FALSE(arrays.particleArray[i].isDeadParticle());
    // Later averages leave the parked particles out.
    const double mass = params.grainMass;
    reportAverages();
    EXPECT_EQ(params.grainMass, mass);
    EXPECT_EQ(params.grainCharge, -10000.0);
}

TEST(InitialConfiguration, RdistributionIsExtendedByASecondRender) {
    test::TempDir dir;
    prepareRender(6, 1);
    {
        test::ScriptedConsole console("");
        configureInitialParticles();
    }
    const std::string once = test::readFile("cloudRdistribution.xls");
    prepareRender(6, 1);
    test::ScriptedConsole console("");
    configureInitialParticles();
    EXPECT_EQ(test::readFile("cloudRdistribution.xls"), once + once);
}

TEST(InitialConfiguration, NoSlotsIsHarmless) {
    prepareRender(0, 0);
    test::TempDir dir;
    test::ScriptedConsole console("");
    configureInitialParticles();
    EXPECT_TRUE(arrays.particleArray.empty());
    EXPECT_EQ(test::readFile("cloudRdistribution.xls"), "");
}

// Mass groups are asked for in the dialogue (before the dead particles join the count), then
// the derived quantities normalise the average mass.
void prepareMassGroups(int live, int groups, const std::string& fractions) {
    test::resetProgramState();
    applyRenderDefaults();
    params.numDeadParticles = 2;
    params.numParticles = live;
    params.numMassGroups = groups;
    {
        test::ScriptedConsole console(fractions);
        setUpMassDistribution();
    }
    params.numParticles += params.numDeadParticles;
    params.baseName = "groups";
    computeDerivedQuantities();
}

TEST(MassGroups, ThreeGroupsAreColouredBlocksOneMassStepApart) {
    prepareMassGroups(300, 3, "1.5\n0.5\n");
    const double average = params.groupMass;
    const double step = (1.5 - 0.5) / 2 * average;
    const double chargePerRadius = params.chargePerRadius;
    test::TempDir dir;
    test::ScriptedConsole console("");
    configureInitialParticles();
    const double colours[3][3] = {{0, 0, 0}, {0, 0, 1}, {0, 1, 0}};
    for (int i = 0; i < 300; ++i) {
        const Particle& p = arrays.particleArray[i];
        const int g = i / 100;
        for (int c = 0; c < 3; ++c) EXPECT_EQ(p.colour(c), colours[g][c]) << i;
        EXPECT_DOUBLE_EQ(p.mass(), average + g * step) << i;
        const double radius =
            std::cbrt(p.mass() * electronMass * 3 / (4 * grainMaterialDensity * pi)) /
            params.debyeLength;
        EXPECT_DOUBLE_EQ(p.radius(), radius) << i;
        EXPECT_DOUBLE_EQ(p.charge(), chargePerRadius * radius) << i;
    }
    // The averages are taken before the dead slots are parked, while they still carry the last
    // group's mass.
    EXPECT_NEAR(params.grainMass / ((300 * (average + step) + 2 * (average + 2 * step)) / 302), 1.0,
                1e-12);
}

TEST(MassGroups, AFourthGroupIsDrawnLikeTheFirst) {
    prepareMassGroups(400, 4, "2\n1\n");
    test::TempDir dir;
    test::ScriptedConsole console("");
    configureInitialParticles();
    const Particle& first = arrays.particleArray[0];
    const Particle& fourth = arrays.particleArray[300];
    EXPECT_EQ(fourth.colour(0) + fourth.colour(1) + fourth.colour(2), 0.0);
    EXPECT_GT(fourth.mass(), arrays.particleArray[200].mass());
    EXPECT_GT(arrays.particleArray[200].mass(), first.mass());
}

TEST(MassGroups, LiveCountIsRaisedToAMultipleOfTheGroups) {
    test::resetProgramState();
    params.numParticles = 301;
    params.numMassGroups = 4;
    const double massAtLoad = params.grainMass;
    test::ScriptedConsole console("3\n1\n");
    setUpMassDistribution();
    EXPECT_EQ(params.numParticles, 304);
    EXPECT_EQ(console.output(),
              "Please enter maximum mass as a fraction of am average mass particle\n\n"
              "Please enter minimum mass\n\n"
              "Updated Particle Number is: 304\n\n");
    EXPECT_DOUBLE_EQ(params.grainMass, 2 * massAtLoad);
    EXPECT_DOUBLE_EQ(params.grainRadius, 1e-6 * std::cbrt(2.0));
}

TEST(MassGroups, CountIsPrintedEvenWhenUnchangedAndBadFractionsAreAskedAgain) {
    test::resetProgramState();
    params.numParticles = 300;
    params.numMassGroups = 3;
    // Maximum below minimum repeats both prompts; a fraction of 0 or less is refused.
    test::ScriptedConsole console("0.5\n2\n0\n1.5\n-1\n0.5\n");
    setUpMassDistribution();
    EXPECT_EQ(params.maxMassFraction, 1.5);
    EXPECT_EQ(params.minMassFraction, 0.5);
    const std::string out = console.output();
    EXPECT_NE(out.find("Updated Particle Number is: 300\n\n"), std::string::npos);
    const std::string maxPrompt =
        "Please enter maximum mass as a fraction of am average mass particle\n";
    EXPECT_EQ(out.find(maxPrompt + "A mass fraction must be above 0.\n" + maxPrompt),
              out.find(maxPrompt, 1));
    EXPECT_NE(out.find("Please enter minimum mass\nA mass fraction must be above 0.\n"
                       "Please enter minimum mass\n"),
              std::string::npos);
}

TEST(CrystalLattice, GrainsTouchTheirNeighboursOnAClosePackedLattice) {
    test::resetProgramState();
    params.numDeadParticles = 1;
    params.numParticles = 8001;
    params.apparatusRadius = 20.0;  // lattice radius a = 1
    allocateParticles(params.numParticles);
    for (Particle& p : arrays.particleArray) p.setVelocity(0, 3.0);
    buildCrystalLattice();
    const auto& g = arrays.particleArray;
    const double a = 1.0;
    EXPECT_DOUBLE_EQ(g[0].position(0), -20.0);
    EXPECT_DOUBLE_EQ(g[0].position(1), -20.0);
    EXPECT_DOUBLE_EQ(g[0].position(2), -20.0);
    EXPECT_DOUBLE_EQ(g[1].position(0), -20.0 + a);
    EXPECT_DOUBLE_EQ(g[1].position(1), -20.0 + a / std::sqrt(3.0));
    EXPECT_DOUBLE_EQ(g[1].position(2), -20.0 + std::sqrt(8.0 / 3.0) * a);
    EXPECT_DOUBLE_EQ(g[20].position(1), -20.0 + 2 * a);
    EXPECT_DOUBLE_EQ(g[400].position(0), -20.0 + std::sqrt(3.0) * a);
    EXPECT_DOUBLE_EQ(g[400].position(1), -20.0 + a);
    EXPECT_DOUBLE_EQ(g[7999].position(2), -20.0 + 19 * std::sqrt(8.0 / 3.0) * a);
    // Within a block of 400 the spheres of radius a touch their neighbours and never overlap.
    for (int i = 0; i < 400; ++i) {
        double nearest = 1e9;
        for (int j = 0; j < 400; ++j) {
            if (j != i) nearest = std::min(nearest, g[i].distanceTo(g[j]));
        }
        EXPECT_NEAR(nearest, 2 * a, 1e-9) << i;
    }
    for (int i = 0; i < 8000; ++i) {
        EXPECT_EQ(g[i].radius(), a);
        EXPECT_EQ(g[i].speed(), 0.0);
    }
    EXPECT_EQ(g[8000].velocity(0), 3.0);  // the dead slot is not part of the lattice
    EXPECT_EQ(params.grainRadius, a);
    EXPECT_DOUBLE_EQ(params.apparatusRadius, 20.0 * std::sqrt(8.0 / 3.0) / 2);
}

TEST(CrystalLattice, CrystalRenderShrinksRaparButParksTheDeadAtTheOldOne) {
    test::resetProgramState();
    applyCrystalDefaults();
    params.runMode = 6;
    params.baseName = "crystal";
    computeDerivedQuantities();
    const double oldRapar = params.apparatusRadius;
    test::TempDir dir;
    test::ScriptedConsole console("");
    configureInitialParticles();
    EXPECT_DOUBLE_EQ(params.apparatusRadius, oldRapar * std::sqrt(8.0 / 3.0) / 2);
    const Particle& deadSlot = arrays.particleArray[8000];
    EXPECT_TRUE(deadSlot.isDeadParticle());
    EXPECT_DOUBLE_EQ(deadSlot.position(1), 1.5 * oldRapar);
    for (int i = 0; i < 8000; ++i) {
        EXPECT_DOUBLE_EQ(arrays.particleArray[i].radius(), oldRapar / 20);
        EXPECT_EQ(arrays.particleArray[i].speed(), 0.0);
    }
}

}  // namespace
}  // namespace qv
