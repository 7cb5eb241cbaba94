#include "sim/particle.h"

#include <gtest/gtest.h>

#include <cmath>

#include "sim/constants.h"
#include "sim/state.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

Particle at(double x, double y, double z) {
    Particle p;
    p.pos[0] = x;
    p.pos[1] = y;
    p.pos[2] = z;
    return p;
}

TEST(Particle, FreshAndResetRecordsAreAllZero) {
    Particle p = at(1, 2, 3);
    p.setVelocity(1, 4);
    p.setColour(0.1, 0.2, 0.3);
    p.setMass(5);
    p.setCharge(-6);
    p.setRadius(7);
    p.reset();
    const double* raw = reinterpret_cast<const double*>(&p);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(raw[i], 0.0) << "field " << i;
}

TEST(Particle, FieldsAreStoredInFileOrder) {
    Particle p;
    for (int i = 0; i < 3; ++i) {
        p.setPosition(i, 1 + i);
        p.setVelocity(i, 4 + i);
    }
    p.setColour(7, 8, 9);
    p.setMass(10);
    p.setCharge(11);
    p.setRadius(12);
    const double* raw = reinterpret_cast<const double*>(&p);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(raw[i], i + 1.0);
    Particle copy;
    copy.assign(p);
    EXPECT_EQ(copy.charge(), 11);
    EXPECT_EQ(copy.velocity(2), 6);
}

TEST(Particle, GeometryAtTheOriginAndOnTheAxes) {
    Particle origin;
    EXPECT_EQ(origin.polarAngle(), 0.0);
    EXPECT_EQ(origin.distanceFromCentre(), 0.0);
    origin.setDistanceFromCentre(2);
    EXPECT_EQ(origin.position(0), 0.0);
    EXPECT_EQ(origin.position(1), 0.0);
    EXPECT_EQ(origin.position(2), 2.0);

    for (double z : {3.0, -3.0}) {
        Particle onAxis = at(0, 0, z);
        onAxis.setAzimuth(1.234);
        EXPECT_EQ(onAxis.position(0), 0.0);
        EXPECT_EQ(onAxis.position(1), 0.0);
        EXPECT_EQ(onAxis.position(2), z);
    }

    Particle p = at(0, 1.5, 0);
    p.setAzimuth(pi / 4);
    EXPECT_NEAR(p.position(0), 1.5 * std::cos(pi / 4), 1e-15);
    EXPECT_NEAR(p.position(1), 1.5 * std::sin(pi / 4), 1e-15);
    EXPECT_EQ(p.position(2), 0.0);
    EXPECT_NEAR(p.azimuth(), pi / 4, 1e-15);
    EXPECT_NEAR(p.polarAngle(), pi / 2, 1e-15);

    Particle q = at(3, 4, 0);
    q.setDistanceFromCentre(10);
    EXPECT_NEAR(q.position(0), 6, 1e-14);
    EXPECT_NEAR(q.position(1), 8, 1e-14);
}

TEST(Particle, DistanceDirectionAndSpeed) {
    Particle a = at(1, 1, 1);
    Particle b = at(4, 5, 1);
    double u[3];
    EXPECT_DOUBLE_EQ(a.distanceTo(b), 5.0);
    EXPECT_DOUBLE_EQ(a.directionTo(b, u), 5.0);
    EXPECT_DOUBLE_EQ(u[0], 0.6);
    EXPECT_DOUBLE_EQ(u[1], 0.8);
    EXPECT_DOUBLE_EQ(u[2], 0.0);
    a.setVelocity(0, 2);
    a.setVelocity(1, -3);
    a.setVelocity(2, 6);
    EXPECT_DOUBLE_EQ(a.speed(), 7.0);
}

TEST(Particle, RedOneMarksADeadParticleWhateverElse) {
    Particle p;
    EXPECT_FALSE(p.isDeadParticle());
    p.setColour(deadColourRed, deadColourGreen, deadColourBlue);
    EXPECT_TRUE(p.isDeadParticle());
    p.setColour(1.0, 1.0, 1.0);  // any grain painted red 1.0 counts as dead
    EXPECT_TRUE(p.isDeadParticle());
    p.setColour(0.999, 0.0, 0.5);
    EXPECT_FALSE(p.isDeadParticle());
}

TEST(Parameters, PlasmaFormulasAndLoadValues) {
    test::resetProgramState();
    EXPECT_EQ(pi, std::acos(-1.0));
    EXPECT_NEAR(params.plasmaTemperature, 23209.0085, 1e-4);
    EXPECT_NEAR(params.plasmaTemperature * boltzmannConstant / std::abs(electronCharge), 2.0,
                1e-15);
    EXPECT_NEAR(debyeLength(), 3.3243e-4, 1e-7);
    EXPECT_NEAR(electronPlasmaFrequency(), 1.78491e9, 1e4);
    EXPECT_NEAR(params.grainMass, 9.75988e-15, 1e-19);
    EXPECT_DOUBLE_EQ(params.grainCharge, -1.60217646e-15);
    EXPECT_DOUBLE_EQ(params.apparatusRadius, 1e-4);
    EXPECT_EQ(params.numDeadParticles, 100);
    EXPECT_EQ(params.currentFrame, 1);
    EXPECT_EQ(params.coolingState, -1);
    EXPECT_EQ(params.writeFreq, 4);
    EXPECT_EQ(params.analysisFreq, 100);
    EXPECT_EQ(dead.probeIndex, -1);

    params.numParticles = 7;
    params.baseName = "run";
    test::resetProgramState();
    EXPECT_EQ(params.numParticles, 0);
    EXPECT_TRUE(params.baseName.empty());
}

}  // namespace
}  // namespace qv
