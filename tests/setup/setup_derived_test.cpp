#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "setup/derived.h"
#include "setup/setup.h"
#include "sim/state.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

// The default render: 276 live grains of 1 micron at 300 K, Γ 500, 10000 electrons each.
void computeDefaults() {
    test::resetProgramState();
    applyRenderDefaults();
    computeDerivedQuantities();
}

TEST(DerivedQuantities, DefaultRenderGivesTheKnownPlasma) {
    computeDefaults();
    // Each to the digits the values are known to.
    EXPECT_NEAR(params.debyeLength, 3.32e-4, 0.005e-4);
    EXPECT_NEAR(params.debyeSphereCount, 1.539e5, 0.0005e5);
    EXPECT_NEAR(params.temperatureRatio, 0.012926, 0.0000005);
    EXPECT_NEAR(params.interparticleDistance, 33.508, 0.0005);
    EXPECT_NEAR(params.apparatusRadius, 135.34, 0.005);
    EXPECT_NEAR(params.numberDensity, 7.2333e-10, 0.00005e-10);
    EXPECT_NEAR(params.timeStep, 1.4790e7, 0.00005e7);
    EXPECT_NEAR(params.grainRadius, 0.0030079, 0.00000005);
    EXPECT_NEAR(params.groupMass, 1.0725e16, 0.00005e16);
    EXPECT_EQ(params.grainMass, params.groupMass);
    EXPECT_NEAR(params.dustPlasmaFrequency, 2.5970e-9, 0.00005e-9);
    EXPECT_NEAR(params.electronThermalSpeed, 5.9340e5, 0.00005e5);
    EXPECT_DOUBLE_EQ(params.deadParkY, 1.5 * params.apparatusRadius);
    EXPECT_DOUBLE_EQ(params.chargePerRadius, -10000.0 / params.grainRadius);
    // About 26 steps per dust plasma period: fine enough to follow the grains' oscillation.
    EXPECT_NEAR(params.timeStep * params.dustPlasmaFrequency, 0.038, 0.0005);
}

TEST(DerivedQuantities, MoreGrainsWidenTheApparatusAtTheSameDensity) {
    computeDefaults();
    const Parameters single = params;
    test::resetProgramState();
    applyRenderDefaults();
    params.numParticles = params.numDeadParticles + 2 * 276;
    computeDerivedQuantities();
    EXPECT_NEAR(params.apparatusRadius / single.apparatusRadius, std::cbrt(2.0), 1e-12);
    EXPECT_NEAR(params.numberDensity / single.numberDensity, 1.0, 1e-12);
    EXPECT_DOUBLE_EQ(params.interparticleDistance, single.interparticleDistance);
    EXPECT_DOUBLE_EQ(params.timeStep, single.timeStep);
}

TEST(DerivedQuantities, StepMultiplierScalesOnlyTheTimeStep) {
    computeDefaults();
    const Parameters single = params;
    test::resetProgramState();
    applyRenderDefaults();
    params.stepMultiplier = 2.0;
    computeDerivedQuantities();
    EXPECT_DOUBLE_EQ(params.timeStep, 2.0 * single.timeStep);
    EXPECT_DOUBLE_EQ(params.apparatusRadius, single.apparatusRadius);
    EXPECT_DOUBLE_EQ(params.numberDensity, single.numberDensity);
    EXPECT_DOUBLE_EQ(params.dustPlasmaFrequency, single.dustPlasmaFrequency);
    EXPECT_DOUBLE_EQ(params.grainRadius, single.grainRadius);
}

TEST(DerivedQuantities, ReportPrintsEveryLabelInOrder) {
    computeDefaults();
    test::ScriptedConsole console("");
    reportDerivedQuantities();
    EXPECT_EQ(console.output(),
              "Timestep is: 1.479e+07\n\n"
              "Temperature of plasma (K): 23209\n\n"
              "Temperature Ratio is: 0.012926\n\n"
              "Interparticle distnace is (Debye Lengths): 33.5083\n\n"
              "Number (N) of e- in a plasma electron Debye Sphere is: 153919\n\n"
              "Radius of aparatus is: 135.34 in electron debye lengths\n\n"
              "Number Density in Normalised Units: 7.23334e-10\n\n"
              "Electron Debye Length (m): 0.000332456\n\n"
              "Normalised dust plasma frequency: 2.59698e-09\n\n"
              "Frames to be calculated: 10000\n\n"
              "Thank you now generating... \n");
}

}  // namespace
}  // namespace qv
