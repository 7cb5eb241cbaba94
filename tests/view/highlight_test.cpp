#include "view/highlight.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "console/console.h"
#include "sim/constants.h"
#include "sim/state.h"
#include "tests/support/test_support.h"
#include "view/view_state.h"

namespace qv {
namespace {

constexpr double kRapar = 10.0;

// Whatever the console prints to clear the screen, as the dialogues start with it.
std::string clearText() {
    test::ScriptedConsole console("");
    console::clearScreen();
    return console.output();
}

Particle& slot(int i) {
    return arrays.particleArray.at(static_cast<std::size_t>(i));
}

// Live grains at the given positions, then `waiting` dead particles parked at (0, 15, 0).
void makeCloud(const std::vector<std::vector<double>>& positions, int waiting) {
    params.apparatusRadius = kRapar;
    params.deadParkY = 1.5 * kRapar;
    const int live = static_cast<int>(positions.size());
    params.numParticles = live + waiting;
    params.numDeadParticles = waiting;
    arrays.particleArray.assign(static_cast<std::size_t>(live + waiting), Particle{});
    for (int i = 0; i < live; ++i) {
        for (int c = 0; c < 3; ++c) slot(i).setPosition(c, positions[i][c]);
    }
    for (int i = live; i < live + waiting; ++i) {
        slot(i).setColour(deadColourRed, deadColourGreen, deadColourBlue);
        slot(i).setPosition(1, params.deadParkY);
    }
}

std::set<int> highlighted() {
    std::set<int> s;
    for (int i = 0; i < params.numParticles; ++i) {
        const Particle& p = slot(i);
        if (p.colour(0) == 0 && p.colour(1) == 4 && p.colour(2) == 0) s.insert(i);
    }
    return s;
}

std::string particlePrompt(int max, int current) {
    return "Please enter a particle number (Max:" + std::to_string(max) +
           ") (Current: " + std::to_string(current) + ") : \n";
}
std::string particleRetry(int max) {
    return "Sorry Invalid Choice : Please enter a particle number (Max:" + std::to_string(max) +
           ") : \n";
}
std::string neighbourPrompt(int max) {
    return "Please enter how many neighbours you wish to see (Max:" + std::to_string(max) +
           ") : \n";
}
std::string neighbourRetry(int max) {
    return "Sorry Invalid Choice : Please enter how many neighbours you wish to see (Max:" +
           std::to_string(max) + ") : \n";
}
const std::string kResetQuestion = "\nWould you like to reset all colours (y or n)?\n\n";

TEST(AskSlice, WidthZeroResetsAndAsksNothingMore) {
    test::resetProgramState();
    params.apparatusRadius = kRapar;
    view.sliceMin = -3;
    view.sliceMax = 2;
    const std::string clear = clearText();
    test::ScriptedConsole console("0\n");
    askSlice();
    EXPECT_EQ(view.sliceMin, -9999999.0);
    EXPECT_EQ(view.sliceMax, 9999999.0);
    EXPECT_EQ(console.output(),
              clear +
                  "Please select a width (fraction of Rapar) for slice section(N.B. 0 will "
                  "reset)\n\nThank you\n\n");
}

TEST(AskSlice, WidthAndCentreAreFractionsOfRapar) {
    test::resetProgramState();
    params.apparatusRadius = kRapar;
    const std::string clear = clearText();
    test::ScriptedConsole console("0.2\n0\n");
    askSlice();
    EXPECT_DOUBLE_EQ(view.sliceMin, -0.1 * kRapar);
    EXPECT_DOUBLE_EQ(view.sliceMax, 0.1 * kRapar);
    EXPECT_EQ(console.output(),
              clear +
                  "Please select a width (fraction of Rapar) for slice section(N.B. 0 will "
                  "reset)\n\nPlease select Z axis value  for centre of slice\n\nThank you\n\n");

    test::ScriptedConsole offCentre("0.2 0.5\n");
    askSlice();
    EXPECT_DOUBLE_EQ(view.sliceMin, 0.4 * kRapar);
    EXPECT_DOUBLE_EQ(view.sliceMax, 0.6 * kRapar);

    // A negative width gives an empty slab: no z lies above the minimum and below the maximum.
    test::ScriptedConsole negative("-0.2\n0\n");
    askSlice();
    EXPECT_GT(view.sliceMin, view.sliceMax);
}

TEST(HighlightNeighbours, CentreWithNoNeighboursMarksTheGrainNearestTheCentre) {
    test::resetProgramState();
    makeCloud({{3, 0, 0}, {0, -1, 0}, {0, 0, 2}, {0.5, 0.5, 0.5}, {4, 4, 0}}, 2);
    const std::string clear = clearText();
    test::ScriptedConsole console("n 0 0\n");
    highlightNeighbours();
    EXPECT_EQ(highlighted(), std::set<int>{3});
    EXPECT_EQ(console.output(),
              clear + kResetQuestion + particlePrompt(7, 1) + "\n" + neighbourPrompt(7) + "\n");
    EXPECT_EQ(view.highlightedParticle, 0);
}

TEST(HighlightNeighbours, ParticleFiveAndThreeNeighbours) {
    test::resetProgramState();
    // Slot 4 sits at the origin; the others lie on the x axis at distinct distances from it.
    makeCloud({{5, 0, 0},
               {-1.5, 0, 0},
               {9, 0, 0},
               {0.5, 0, 0},
               {0, 0, 0},
               {-3, 0, 0},
               {2.5, 0, 0},
               {-0.7, 0, 0}},
              3);
    test::ScriptedConsole console("n\n5\n3\n");
    highlightNeighbours();
    EXPECT_EQ(highlighted(), (std::set<int>{4, 3, 7, 1}));
}

TEST(HighlightNeighbours, WaitingDeadParticlesTakePartInTheSearch) {
    test::resetProgramState();
    // Grain 1 is nearer to the parked reserve at (0, 15, 0) than to grain 0.
    makeCloud({{0, -5, 0}, {0, 14, 0}}, 2);
    test::ScriptedConsole console("n 2 1\n");
    highlightNeighbours();
    EXPECT_EQ(highlighted(), (std::set<int>{1, 2}));
}

TEST(HighlightNeighbours, EqualDistancesKeepTheSlotMetFirst) {
    test::resetProgramState();
    // From the centre: slots 0, 1 and 3 at distance 2, slot 2 at 1.
    makeCloud({{2, 0, 0}, {0, 2, 0}, {0, 0, 1}, {0, 0, -2}}, 0);
    test::ScriptedConsole one("n 0 1\n");
    highlightNeighbours();
    EXPECT_EQ(highlighted(), (std::set<int>{0, 2}));

    test::ScriptedConsole two("y 0 2\n");
    highlightNeighbours();
    EXPECT_EQ(highlighted(), (std::set<int>{0, 1, 2}));
}

TEST(HighlightNeighbours, OnlyGrainsWithinFiveRaparAreFound) {
    test::resetProgramState();
    makeCloud({{0, 0, 0}, {49.9, 0, 0}, {50, 0, 0}, {0, 0, 70}}, 0);
    test::ScriptedConsole console("n 1 3\n");
    highlightNeighbours();
    EXPECT_EQ(highlighted(), (std::set<int>{0, 1}));
}

TEST(HighlightNeighbours, YesClearsLiveColoursAndNoKeepsEarlierHighlights) {
    test::resetProgramState();
    makeCloud({{1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}}, 2);
    slot(0).setColour(0, 4, 0);
    slot(3).setColour(0, 1, 0);  // the space-key selection
    slot(2).setColour(0, 0, 1);  // a mass-group colour

    test::ScriptedConsole keep("n 2 0\n");
    highlightNeighbours();
    EXPECT_EQ(highlighted(), (std::set<int>{0, 1}));

    test::ScriptedConsole clear("y 3 0\n");
    highlightNeighbours();
    EXPECT_EQ(highlighted(), std::set<int>{2});
    for (int i : {0, 1, 3}) {
        EXPECT_EQ(slot(i).colour(0), 0.0);
        EXPECT_EQ(slot(i).colour(1), 0.0);
        EXPECT_EQ(slot(i).colour(2), 0.0);
    }
    // The waiting reserve keeps the dead colour, which is its mark.
    EXPECT_TRUE(slot(4).isDeadParticle());
    EXPECT_TRUE(slot(5).isDeadParticle());
}

TEST(HighlightNeighbours, ANegativeParticleNumberEndsTheDialogueAtEitherPrompt) {
    test::resetProgramState();
    makeCloud({{1, 0, 0}, {2, 0, 0}}, 1);
    view.highlightedParticle = 1;
    const std::string clear = clearText();

    test::ScriptedConsole first("n -1\n");
    highlightNeighbours();
    EXPECT_TRUE(highlighted().empty());
    EXPECT_EQ(first.output(), clear + kResetQuestion + particlePrompt(3, 2) + "\n");

    test::ScriptedConsole retry("n 4 9 -2\n");
    highlightNeighbours();
    EXPECT_TRUE(highlighted().empty());
    EXPECT_EQ(retry.output(), clear + kResetQuestion + particlePrompt(3, 2) + "\n" +
                                  particleRetry(3) + "\n" + particleRetry(3) + "\n");
}

TEST(HighlightNeighbours, OutOfRangeAnswersAreAskedAgain) {
    test::resetProgramState();
    makeCloud({{1, 0, 0}, {2, 0, 0}, {5, 0, 0}}, 0);
    const std::string clear = clearText();
    test::ScriptedConsole console("n 4 3 -1 4 1\n");
    highlightNeighbours();
    EXPECT_EQ(highlighted(), (std::set<int>{1, 2}));
    EXPECT_EQ(console.output(), clear + kResetQuestion + particlePrompt(3, 1) + "\n" +
                                    particleRetry(3) + "\n" + neighbourPrompt(3) + "\n" +
                                    neighbourRetry(3) + "\n" + neighbourRetry(3) + "\n");
}

TEST(HighlightNeighbours, AllNeighboursAndAnEmptyArray) {
    test::resetProgramState();
    makeCloud({{1, 0, 0}, {2, 0, 0}, {3, 0, 0}}, 1);
    test::ScriptedConsole all("n 1 4\n");
    highlightNeighbours();
    EXPECT_EQ(highlighted(), (std::set<int>{0, 1, 2, 3}));

    test::resetProgramState();
    params.numDeadParticles = 0;
    test::ScriptedConsole empty("y 0 0\n");
    highlightNeighbours();
    EXPECT_EQ(params.numParticles, 0);
}

}  // namespace
}  // namespace qv
