#include "sim/particle.h"

#include <gtest/gtest.h>

#include <cmath>

#include "sim/constants.h"
#include "sim/simulation.h"

namespace qv {
namespace {

// Angles, distances and speeds themselves are pinned by the Tracker and Detector files.
TEST(Particle, MovesAtTheOriginOnTheAxisAndInThePlane) {
    Particle p;
    EXPECT_EQ(p.polarAngle(), 0.0);
    p.setDistanceFromCentre(2);  // no direction at the centre: along z
    EXPECT_TRUE(p.pos[0] == 0 && p.pos[1] == 0 && p.pos[2] == 2);
    Particle onAxis{{0, 0, -3}};
    onAxis.setAzimuth(1.234);  // theta = pi must not leave the axis by rounding
    EXPECT_TRUE(onAxis.pos[0] == 0 && onAxis.pos[1] == 0 && onAxis.pos[2] == -3);
    Particle a{{0, 5, 0}};
    a.setAzimuth(std::atan2(8, 6));
    a.setDistanceFromCentre(10);
    const double expected[] = {6, 8, 0, 5.0 / 13, 12.0 / 13, 0};
    double u[3];
    EXPECT_DOUBLE_EQ(a.directionTo(Particle{{11, 20, 0}}, u), 13.0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(a.pos[i], expected[i], 1e-14);
        EXPECT_NEAR(u[i], expected[3 + i], 1e-15);
    }
    p.setColour(1.0, 1.0, 1.0);  // red 1.0 marks a dead particle, whatever else
    EXPECT_TRUE(p.isDeadParticle());
    p.setColour(0.999, deadColourGreen, deadColourBlue);
    EXPECT_FALSE(p.isDeadParticle());
}

TEST(Parameters, PlasmaFormulasAndStartValues) {
    const Simulation sim;
    const PlasmaModel& m = sim.model;
    EXPECT_NEAR(m.plasmaTemperature * boltzmannConstant / std::abs(electronCharge), 2.0, 1e-15);
    EXPECT_NEAR(debyeLength(m.plasmaTemperature, m.plasmaDensity), 3.3243e-4, 1e-7);
    EXPECT_NEAR(electronPlasmaFrequency(m.plasmaDensity), 1.78491e9, 1e4);
    EXPECT_NEAR(m.grainMass, 9.75988e-15, 1e-19);
    EXPECT_DOUBLE_EQ(m.grainCharge, -1.60217646e-15);
    EXPECT_EQ(coolingCode(CoolingState::Off) * 10 + coolingCode(CoolingState::TargetReached), -8);
    EXPECT_EQ(coolingCode(CoolingState::Steering), 1);
}

}  // namespace
}  // namespace qv
