// The console screens raised from the window, and the whole numbers shown on screen.
#include "view/screens.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>

#include "console/console.h"
#include "sim/simulation.h"
#include "tests/support/test_support.h"
#include "view/render.h"
#include "view/view_state.h"

namespace qv {
namespace {

// What a screen prints on a console left at three digits, as the status line of the first
// step leaves it; the screen keeps its own six digits to itself.
std::string screen(void (*show)()) {
    test::ScriptedConsole console("");
    console::out().precision(3);
    show();
    EXPECT_EQ(console::out().precision(), 3);
    return console.output();
}

// Help, then the parameter listing without a probe, with one in slot 3 (charges of -25000 in
// grain charges of -10000), in slot 0 (no probe for the listing) and beyond the array. Values
// are chosen so that every column shows how six significant digits print; the reset slice shows
// as plus and minus 9999999 over Rapar, the first slot as number 1.
TEST(Screens, HelpListsEveryKeyAndTheParametersShowSixDigitsAndTheProbe) {
    test::resetProgramState();
    const std::string help = screen(showHelp);
    std::string said = help;
    const std::pair<int, int> probes[] = {{0, -1}, {5, 3}, {2, 0}, {2, 7}};
    for (const auto& [slots, probe] : probes) {
        test::resetProgramState();
        sim.numParticles = 376;
        sim.model.apparatusRadius = 20;
        view.shellViewRadius = 5;
        view.shellViewWidth = 0.5;
        sim.model.grainRadius = 0.00302;
        sim.model.timeStep = 0.0123456789;
        sim.clock.currentFrame = 77;
        view.slowMotionDelay = 30;
        sim.model.grainMass = 1.5e10;
        sim.model.numberDensity = 0.25;
        sim.model.grainCharge = -10000;
        sim.thermostat.state = 2;
        sim.model.interparticleDistance = 1.7;
        sim.model.debyeSphereCount = 123456.7;
        sim.arrays.particleArray.resize(slots);
        for (Particle& p : sim.arrays.particleArray) p.setCharge(-25000);
        sim.reserve.probeIndex = probe;
        said += "== probe " + std::to_string(probe) + " of " + std::to_string(slots) + " slots\n" +
                screen(showParameters);
        // Help is the same in any state.
        view.dustDrawMode = 7;
        sim.run.runMode = RunMode::Play;
        EXPECT_EQ(screen(showHelp), help);
    }
    test::expectGolden("screens.txt", test::markClears(said));
}

TEST(Screens, OnScreenValuesAreTruncatedTowardZeroAndAlwaysGiveText) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, const char*> cases[] = {{172.9, "172"},
                                                    {-2.5, "-2"},
                                                    {-0.7, "0"},
                                                    {0.0, "0"},
                                                    {-10000.999, "-10000"},
                                                    {3e12 + 0.5, "3000000000000"},
                                                    {-2147483648.9, "-2147483648"},
                                                    {inf, "inf"},
                                                    {-inf, "-inf"},
                                                    {std::nan(""), "nan"}};
    for (const auto& [value, text] : cases) EXPECT_EQ(truncatedValueText(value), text) << value;
}

}  // namespace
}  // namespace qv
