#include <gsl/gsl_randist.h>
#include <gsl/gsl_rng.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>
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

void configureQuietly() {
    test::ScriptedConsole console("");
    configureInitialParticles();
}

// The data set (header, properties, then the positions and the velocities written as two frames,
// so both show in the file's digits) and the Rdistribution file of a cloud made in a fresh
// directory.
std::pair<std::string, std::string> configureAndWrite(int seed) {
    prepareRender(40, 3);
    params.randomSeed = seed;
    test::TempDir dir;
    dataSetStream = openForWrite("cloud");
    configureQuietly();
    writeDataSetHeader(params.numWrittenFrames, params.writeFreq);
    writeFrame();
    for (Particle& p : arrays.particleArray) std::copy(p.vel, p.vel + 3, p.pos);
    writeFrame();
    dataSetStream.close();
    return {test::readFile("cloud"), test::readFile("cloudRdistribution.xls")};
}

TEST(InitialConfiguration, SameSeedGivesIdenticalFilesWhateverGslRngSeedSays) {
    const auto first = configureAndWrite(13);
    EXPECT_EQ(configureAndWrite(13), first);
    ::setenv("GSL_RNG_SEED", "987654", 1);
    const auto withEnvSeed = configureAndWrite(13);
    ::unsetenv("GSL_RNG_SEED");
    EXPECT_EQ(withEnvSeed, first) << "the environment's seed took effect";
    const auto other = configureAndWrite(14);
    EXPECT_NE(other.first, first.first);
    EXPECT_NE(other.second, first.second);
}

TEST(InitialConfiguration, DrawsFollowTheFixedOrderAndAreListedSlotBySlot) {
    prepareRender(5, 1);
    params.randomSeed = 21;
    params.speedDistributionOn = 1;
    params.framesToCalculate = 100;
    params.analysisFreq = 30;
    test::TempDir dir;
    configureQuietly();
    std::istringstream rdistribution(test::readFile("cloudRdistribution.xls"));

    // The same sequence drawn by hand: polar angle, azimuth, radius by rejection, then the three
    // velocity components, slot after slot; the dead slot draws too, before it is parked.
    gsl_rng* rng = gsl_rng_alloc(gsl_rng_mt19937);
    gsl_rng_set(rng, 21);
    const double sigma =
        std::sqrt(boltzmannConstant * params.dustTemperature / (params.groupMass * electronMass));
    for (int i = 0; i < 6; ++i) {
        const double theta = std::acos(2 * gsl_rng_uniform(rng) - 1);
        const double phi = 2 * gsl_rng_uniform(rng) * pi - pi;
        double u3, u4;
        do {
            u3 = gsl_rng_uniform(rng);
            u4 = gsl_rng_uniform(rng);
        } while (u3 * u3 <= u4);
        const double r = u3 * params.apparatusRadius;
        double v[3], listed = -1;
        for (double& vj : v) vj = gsl_ran_gaussian(rng, sigma) / params.electronThermalSpeed;
        rdistribution >> listed;
        EXPECT_NEAR(listed, r, 5e-6 * r) << i;
        EXPECT_DOUBLE_EQ(arrays.speedTable[i], std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]))
            << i;
        if (i == 5) break;
        const Particle& p = arrays.particleArray[i];
        EXPECT_DOUBLE_EQ(p.position(0), r * std::sin(theta) * std::cos(phi)) << i;
        EXPECT_DOUBLE_EQ(p.position(1), r * std::sin(theta) * std::sin(phi)) << i;
        EXPECT_DOUBLE_EQ(p.position(2), r * std::cos(theta)) << i;
        for (int j = 0; j < 3; ++j) EXPECT_DOUBLE_EQ(p.velocity(j), v[j]) << i << " " << j;
    }
    gsl_rng_free(rng);
    // Speeds of the initial block only, in floor(100 / 30) + 1 blocks.
    ASSERT_EQ(arrays.speedTable.size(), 6u * 4);
    EXPECT_TRUE(std::all_of(arrays.speedTable.begin() + 6, arrays.speedTable.end(),
                            [](double s) { return s == 0; }));
    EXPECT_EQ(arrays.forceArray.size(), 3u * 6);
}

TEST(InitialConfiguration, OneMassGroupGivesIdenticalGrainsAndTheDeadWaitAboveTheApparatus) {
    prepareRender(20, 3);
    const double radius = params.grainRadius;
    const double mass = params.groupMass;
    const double parkY = params.deadParkY;
    EXPECT_DOUBLE_EQ(parkY, 1.5 * params.apparatusRadius);
    test::TempDir dir;
    test::ScriptedConsole console("");
    configureInitialParticles();
    for (int i = 0; i < 23; ++i) {
        const Particle& p = arrays.particleArray[i];
        EXPECT_EQ(p.isDeadParticle(), i >= 20) << i;
        // Radius, mass, charge, colour; for the dead also the park position and speed.
        const std::vector<double> seen = {p.radius(),    p.mass(),    p.charge(),    p.colour(0),
                                          p.colour(1),   p.colour(2), p.position(0), p.position(1),
                                          p.position(2), p.speed()};
        if (i < 20) {
            EXPECT_EQ(std::vector<double>(seen.begin(), seen.begin() + 6),
                      (std::vector<double>{radius, mass, -10000, 0, 0, 0}))
                << i;
        } else {
            EXPECT_EQ(seen,
                      (std::vector<double>{params.grainRadius, 0, 0, 1, 0, 0.5, 0, parkY, 0, 0}))
                << i;
        }
    }
    std::ostringstream expected;
    expected << "\nCalculated Averages for Radius/Mass/Charge: \n"
             << radius << " / " << mass << " / " << -10000.0 << "\n\n";
    EXPECT_EQ(console.output(), expected.str());
    // Later averages leave the parked particles out.
    reportAverages();
    EXPECT_EQ(params.grainMass, mass);
    EXPECT_EQ(params.grainCharge, -10000.0);
}

TEST(InitialConfiguration, RdistributionGrowsWithEachRenderAndNoSlotsIsHarmless) {
    test::TempDir dir;
    prepareRender(0, 0);
    configureQuietly();
    EXPECT_TRUE(arrays.particleArray.empty());
    EXPECT_EQ(test::readFile("cloudRdistribution.xls"), "");
    prepareRender(6, 1);
    configureQuietly();
    const std::string once = test::readFile("cloudRdistribution.xls");
    prepareRender(6, 1);
    configureQuietly();
    EXPECT_EQ(test::readFile("cloudRdistribution.xls"), once + once);
}

TEST(MassGroups, GroupsAreColouredBlocksOneMassStepApart) {
    const std::string maxPrompt =
        "Please enter maximum mass as a fraction of am average mass particle\n";
    const std::string minPrompt = "Please enter minimum mass\n";
    const std::string refusal = "A mass fraction must be above 0.\n";
    struct Case {
        int groups, live;
        const char* fractions;
        double max, min;
        std::string output;
    };
    // 301 grains in 4 groups become 304. A maximum below the minimum repeats both prompts; a
    // fraction of 0 or less is refused.
    const Case cases[] = {
        {3, 300, "1.5\n0.5\n", 1.5, 0.5,
         maxPrompt + "\n" + minPrompt + "\nUpdated Particle Number is: 300\n\n"},
        {4, 301, "0.5\n2\n0\n3\n-1\n1\n", 3, 1,
         maxPrompt + "\n" + minPrompt + "\n" + maxPrompt + refusal + maxPrompt + "\n" + minPrompt +
             refusal + minPrompt + "\nUpdated Particle Number is: 304\n\n"},
    };
    // The fourth group is drawn like the first: only three colours tell groups apart.
    const double colours[4][3] = {{0, 0, 0}, {0, 0, 1}, {0, 1, 0}, {0, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.groups);
        // The groups are asked for before the dead particles join the count; the derived
        // quantities then normalise the average mass.
        test::resetProgramState();
        applyRenderDefaults();
        params.numDeadParticles = 2;
        params.numParticles = c.live;
        params.numMassGroups = c.groups;
        const double massAtLoad = params.grainMass;
        {
            test::ScriptedConsole console(c.fractions);
            setUpMassDistribution();
            EXPECT_EQ(console.output(), c.output);
        }
        const double mean = (c.max + c.min) / 2;
        EXPECT_DOUBLE_EQ(params.grainMass, mean * massAtLoad);
        EXPECT_DOUBLE_EQ(params.grainRadius, 1e-6 * std::cbrt(mean));  // metres, same material
        const int live = params.numParticles;
        params.numParticles += params.numDeadParticles;
        params.baseName = "groups";
        computeDerivedQuantities();
        const double average = params.groupMass;
        const double step = (c.max - c.min) / (c.groups - 1) * average;
        const double chargePerRadius = params.chargePerRadius;
        test::TempDir dir;
        configureQuietly();
        for (int i = 0; i < live; ++i) {
            const Particle& p = arrays.particleArray[i];
            const int g = i / (live / c.groups);
            for (int k = 0; k < 3; ++k) EXPECT_EQ(p.colour(k), colours[g][k]) << i;
            EXPECT_DOUBLE_EQ(p.mass(), average + g * step) << i;
            const double radius =
                std::cbrt(p.mass() * electronMass * 3 / (4 * grainMaterialDensity * pi)) /
                params.debyeLength;
            EXPECT_DOUBLE_EQ(p.radius(), radius) << i;
            EXPECT_DOUBLE_EQ(p.charge(), chargePerRadius * radius) << i;
        }
        // The averages are taken before the dead slots are parked, while they still carry the
        // last group's mass.
        const double top = average + (c.groups - 1) * step;
        EXPECT_NEAR(params.grainMass / ((live * (average + top) / 2 + 2 * top) / (live + 2)), 1.0,
                    1e-12);
    }
}

TEST(CrystalLattice, GrainsTouchOnAClosePackedLatticeAndTheDeadParkAtTheOldRapar) {
    test::resetProgramState();
    applyCrystalDefaults();
    params.runMode = 6;
    params.baseName = "crystal";
    computeDerivedQuantities();
    const double bigR = params.apparatusRadius;
    const double a = bigR / 20;  // the lattice's sphere radius
    const double layer = std::sqrt(8.0 / 3.0) * a;
    const double s3 = std::sqrt(3.0);
    test::TempDir dir;
    configureQuietly();
    const auto& g = arrays.particleArray;
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
    EXPECT_DOUBLE_EQ(params.apparatusRadius, bigR * std::sqrt(8.0 / 3.0) / 2);
}

}  // namespace
}  // namespace qv
