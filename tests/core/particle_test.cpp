#include "sim/particle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "sim/constants.h"
#include "sim/simulation.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

TEST(Particle, FieldsLieInFileOrderAndAreCopiedOrResetWhole) {
    Particle p;
    Particle copy{{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, 10, 11, 12};
    const auto* raw = reinterpret_cast<const double*>(&p);
    const auto* copied = reinterpret_cast<const double*>(&copy);
    p.assign(copy);
    copy.reset();
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(raw[i], i + 1.0) << "field " << i;
        EXPECT_EQ(copied[i], 0.0) << "reset field " << i;
    }
}

std::vector<double> xyz(const Particle& p) {
    return {p.pos, p.pos + 3};
}

// Angles, distances and speeds themselves are pinned by the Tracker and Detector files.
TEST(Particle, MovesAtTheOriginOnTheAxisAndInThePlane) {
    Particle p;
    EXPECT_EQ(p.polarAngle(), 0.0);
    p.setDistanceFromCentre(2);  // no direction at the centre: along z
    EXPECT_EQ(xyz(p), (std::vector<double>{0, 0, 2}));
    Particle onAxis{{0, 0, -3}};
    onAxis.setAzimuth(1.234);  // theta = pi must not leave the axis by rounding
    EXPECT_EQ(xyz(onAxis), (std::vector<double>{0, 0, -3}));
    Particle a{{0, 5, 0}};
    a.setAzimuth(std::atan2(8, 6));
    a.setDistanceFromCentre(10);
    EXPECT_NEAR(a.pos[0], 6, 1e-14);
    EXPECT_NEAR(a.pos[1], 8, 1e-14);
    EXPECT_NEAR(a.pos[2], 0, 1e-14);
    double u[3];
    EXPECT_DOUBLE_EQ(a.directionTo(Particle{{11, 20, 0}}, u), 13.0);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(u[i], (std::vector<double>{5, 12, 0})[i] / 13, 1e-15);
}

TEST(Particle, RedOneMarksADeadParticleWhateverElse) {
    Particle p;
    p.setColour(1.0, 1.0, 1.0);  // any grain painted red 1.0 counts as dead
    EXPECT_TRUE(p.isDeadParticle());
    p.setColour(0.999, deadColourGreen, deadColourBlue);
    EXPECT_FALSE(p.isDeadParticle());
}

TEST(Parameters, PlasmaFormulasAndDerivedLoadValues) {
    sim.numParticles = 7;
    sim.clock.currentFrame = 9;
    test::resetProgramState();
    EXPECT_EQ(sim.numParticles, 0);
    EXPECT_EQ(sim.clock.currentFrame, 1);
    EXPECT_NEAR(sim.model.plasmaTemperature, 23209.0085, 1e-4);
    EXPECT_NEAR(sim.model.plasmaTemperature * boltzmannConstant / std::abs(electronCharge), 2.0,
                1e-15);
    EXPECT_NEAR(debyeLength(), 3.3243e-4, 1e-7);
    EXPECT_NEAR(electronPlasmaFrequency(), 1.78491e9, 1e4);
    EXPECT_NEAR(sim.model.grainMass, 9.75988e-15, 1e-19);
    EXPECT_DOUBLE_EQ(sim.model.grainCharge, -1.60217646e-15);
    EXPECT_DOUBLE_EQ(sim.model.apparatusRadius, 1e-4);
}

}  // namespace
}  // namespace qv
