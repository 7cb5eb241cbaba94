#include "analysis/tracker.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "sim/particle.h"
#include "sim/state.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::size_t tabCount(const std::string& line) {
    std::size_t tabs = 0;
    for (char c : line) tabs += c == '\t';
    return tabs;
}

// Three slots: grain 1 on the z axis, grain 2 at the centre, grain 3 in the x-y plane.
class Tracker : public ::testing::Test {
  protected:
    void SetUp() override {
        test::resetProgramState();
        params.baseName = "run7";
        params.numParticles = 3;
        params.numDeadParticles = 1;
        params.simTime = 4;
        params.dustPlasmaFrequency = 0.25;
        params.temperatureRatio = 0.5;
        arrays.particleArray.resize(3);
        Particle& first = arrays.particleArray[0];
        first.pos[2] = 2;
        first.vel[0] = 3;
        first.vel[1] = 4;
        Particle& third = arrays.particleArray[2];
        third.pos[0] = 1;
        third.pos[1] = 1;
        third.vel[2] = 1;
    }

    // What the 'q' key does: ask, and count the slot when one was filled.
    std::string pressQ(const std::string& answers) {
        test::ScriptedConsole console(answers);
        if (askTrackedParticle()) ++tracker.trackedCount;
        return console.output();
    }

    std::string trackerFile() const { return test::readFile("run7Tracker.xls"); }

    test::TempDir dir_;
};

TEST_F(Tracker, FirstChoiceClearsTheSlotsAndWritesTheHeaderWithAllHundredGroups) {
    tracker.trackedParticles.fill(7);
    EXPECT_EQ(pressQ("3\n"), "\nPlease enter particle number: \n\n");
    EXPECT_EQ(tracker.trackedCount, 1);
    EXPECT_EQ(tracker.trackedParticles[0], 2);
    for (int slot = 1; slot < 100; ++slot) EXPECT_EQ(tracker.trackedParticles[slot], -1);

    std::string header = "Time In Periods\tTempratio\t";
    for (int group = 0; group < 100; ++group) header += "Particle No\tR\tTheta\tPhi\tx\ty\tz\tv\t";
    EXPECT_EQ(trackerFile(), header + "\n");

    // Later choices fill the next slot and leave the header alone.
    EXPECT_EQ(pressQ("1\n"), "\nPlease enter particle number: \n\n");
    EXPECT_EQ(tracker.trackedCount, 2);
    EXPECT_EQ(tracker.trackedParticles[0], 2);
    EXPECT_EQ(tracker.trackedParticles[1], 0);
    EXPECT_EQ(trackerFile(), header + "\n");
}

TEST_F(Tracker, InvalidNumbersAreAskedAgainWithTheMaximum) {
    // Dead particles in reserve count: 3 is valid, 0, negatives and 4 are not.
    const std::string again =
        "Sorry Invalid Choice : Please enter a particle number (Max:3) : \n\n";
    EXPECT_EQ(pressQ("0\n-5\n4\n3\n"),
              "\nPlease enter particle number: \n\n" + again + again + again);
    EXPECT_EQ(tracker.trackedParticles[0], 2);
    EXPECT_EQ(tracker.trackedCount, 1);
}

TEST_F(Tracker, RowsHoldTimeTemperatureAndEightFieldsPerTrackedSlot) {
    writeTrackerRow();  // nothing tracked yet: no file
    EXPECT_FALSE(std::filesystem::exists("run7Tracker.xls"));
    pressQ("1\n");
    pressQ("3\n");
    pressQ("1\n");  // the same grain twice gives two identical groups
    writeTrackerRow();
    writeTrackerRow();
    const auto lines = splitLines(trackerFile());
    ASSERT_EQ(lines.size(), 3u);
    // Grain 1: r 2 on the z axis (theta 0, phi 0), speed 5. Grain 3: r sqrt 2 in the x-y plane.
    const std::string first = "1\t2\t0\t0\t0\t0\t2\t5\t";
    const std::string row =
        "1\t0.5\t" + first + "3\t1.41421\t1.5708\t0.785398\t1\t1\t0\t1\t" + first;
    EXPECT_EQ(lines[1], row);
    EXPECT_EQ(lines[2], row);
    EXPECT_EQ(tabCount(lines[1]), 2u + 8 * 3);
}

TEST_F(Tracker, WithoutParticlesNothingIsAsked) {
    params.numParticles = 0;
    EXPECT_EQ(pressQ(""), "\nThere are no particles to track.\n\n");
    EXPECT_EQ(tracker.trackedCount, 0);
    EXPECT_FALSE(std::filesystem::exists("run7Tracker.xls"));
}

TEST_F(Tracker, FullSlotsRefuseAndChangeNothing) {
    for (int i = 0; i < 100; ++i) pressQ("1\n");
    ASSERT_EQ(tracker.trackedCount, 100);
    const auto slotsBefore = tracker.trackedParticles;
    const std::string fileBefore = trackerFile();

    // Nothing is read: the script is empty, and reading would end the program.
    EXPECT_EQ(pressQ(""),
              "\nNo more particles can be tracked: all 100 tracker slots are in use.\n\n");
    EXPECT_EQ(tracker.trackedCount, 100);
    EXPECT_EQ(tracker.trackedParticles, slotsBefore);
    EXPECT_EQ(trackerFile(), fileBefore);

    writeTrackerRow();
    const auto lines = splitLines(trackerFile());
    EXPECT_EQ(tabCount(lines.back()), 2u + 8 * 100);
}

}  // namespace
}  // namespace qv
