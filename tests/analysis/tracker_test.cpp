#include "analysis/tracker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <string>

#include "sim/particle.h"
#include "sim/simulation.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

// Three slots: grain 1 on the z axis moving at speed 5, grain 2 at the centre, grain 3 in the x-y
// plane; one of the three is a dead particle in reserve.
class Tracker : public ::testing::Test {
  protected:
    void SetUp() override {
        sim.run.baseName = "run7";
        sim.numParticles = 3;
        sim.reserve.numDeadParticles = 1;
        sim.clock.simTime = 4;
        sim.model.dustPlasmaFrequency = 0.25;
        sim.thermostat.temperatureRatio = 0.5;
        sim.arrays.particleArray = {{{0, 0, 2}, {3, 4, 0}}, {}, {{1, 1, 0}, {0, 0, 1}}};
    }

    // What the 'q' key does: ask, and count the slot when one was filled.
    static std::string pressQ(const std::string& answers) {
        test::ScriptedConsole console(answers);
        if (askTrackedParticle()) ++sim.tracker.trackedCount;
        return console.output();
    }

    test::Sandbox box_;
};

TEST_F(Tracker, ChoicesFillSlotsInOrderAndEveryRowHasEightFieldsPerSlot) {
    writeTrackerRow();  // nothing tracked yet: no file
    EXPECT_FALSE(std::filesystem::exists("run7Tracker.xls"));
    sim.tracker.trackedParticles.fill(7);
    // Dead particles in reserve count: 3 is valid, 0, negatives and 4 are not.
    const std::string ask = "\nPlease enter particle number: \n\n";
    const std::string again =
        "Sorry Invalid Choice : Please enter a particle number (Max:3) : \n\n";
    EXPECT_EQ(pressQ("0\n-5\n4\n3\n"), ask + again + again + again);
    EXPECT_EQ(pressQ("1\n"), ask);
    pressQ("3\n");  // the same grain twice gives two identical groups
    EXPECT_EQ(sim.tracker.trackedCount, 3);
    std::array<int, 100> slots;
    slots.fill(-1);  // the earlier 7s are cleared at the first choice
    slots[0] = slots[2] = 2;
    slots[1] = 0;
    EXPECT_EQ(sim.tracker.trackedParticles, slots);

    // The header names all 100 groups. Rows: grain 3 at r sqrt 2 in the x-y plane, grain 1 at r 2
    // on the z axis (theta 0, phi 0) at speed 5, grain 3 again.
    writeTrackerRow();
    writeTrackerRow();
    test::expectGolden("tracker_two_rows.txt", test::filesHere());
}

TEST_F(Tracker, WithoutParticlesOrFreeSlotsNothingIsAskedOrChanged) {
    sim.numParticles = 0;
    EXPECT_EQ(pressQ(""), "\nThere are no particles to track.\n\n");
    EXPECT_EQ(sim.tracker.trackedCount, 0);
    EXPECT_FALSE(std::filesystem::exists("run7Tracker.xls"));

    sim.numParticles = 3;
    for (int i = 0; i < 100; ++i) pressQ("1\n");
    const auto slotsBefore = sim.tracker.trackedParticles;
    // Nothing is read: the script is empty, and reading would end the program.
    EXPECT_EQ(pressQ(""),
              "\nNo more particles can be tracked: all 100 tracker slots are in use.\n\n");
    EXPECT_EQ(sim.tracker.trackedCount, 100);
    EXPECT_EQ(sim.tracker.trackedParticles, slotsBefore);
    writeTrackerRow();
    const std::string file = test::readFile("run7Tracker.xls");  // the header and one row
    EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 2);
    EXPECT_EQ(std::count(file.begin(), file.end(), '\t'), 2 * (2 + 8 * 100));
}

}  // namespace
}  // namespace qv
