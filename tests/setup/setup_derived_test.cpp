#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "setup/derived.h"
#include "setup/setup.h"
#include "sim/state.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

// The default render (276 live grains of 1 micron at 300 K, Γ 500, 10000 electrons each), with
// `extraLive` more grains and the step multiplied by `stepFactor`.
Parameters derivedDefaults(int extraLive = 0, double stepFactor = 1.0) {
    test::resetProgramState();
    applyRenderDefaults();
    params.numParticles += extraLive;
    params.stepMultiplier *= stepFactor;
    computeDerivedQuantities();
    return params;
}

TEST(DerivedQuantities, DefaultRenderReportsTheKnownPlasmaInOrder) {
    derivedDefaults();
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
    // The quantities the report leaves out, each to the digits it is known to.
    EXPECT_NEAR(params.grainRadius, 0.0030079, 0.00000005);
    EXPECT_NEAR(params.groupMass, 1.0725e16, 0.00005e16);
    EXPECT_NEAR(params.electronThermalSpeed, 5.9340e5, 0.00005e5);
    // About 26 steps per dust plasma period: fine enough to follow the grains' oscillation.
    EXPECT_NEAR(params.timeStep * params.dustPlasmaFrequency, 0.038, 0.0005);
}

TEST(DerivedQuantities, MoreGrainsWidenTheApparatusAndTheMultiplierScalesOnlyTheStep) {
    const Parameters single = derivedDefaults();
    const Parameters doubled = derivedDefaults(276);
    EXPECT_NEAR(doubled.apparatusRadius / single.apparatusRadius, std::cbrt(2.0), 1e-12);
    EXPECT_NEAR(doubled.numberDensity / single.numberDensity, 1.0, 1e-12);
    EXPECT_DOUBLE_EQ(doubled.timeStep, single.timeStep);

    const Parameters longer = derivedDefaults(0, 2.0);
    EXPECT_DOUBLE_EQ(longer.timeStep, 2.0 * single.timeStep);
    EXPECT_DOUBLE_EQ(longer.apparatusRadius, single.apparatusRadius);
    EXPECT_DOUBLE_EQ(longer.numberDensity, single.numberDensity);
    EXPECT_DOUBLE_EQ(longer.dustPlasmaFrequency, single.dustPlasmaFrequency);
}

}  // namespace
}  // namespace qv
