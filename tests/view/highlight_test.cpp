// The slice and neighbour dialogues: the bounds, the marked grains and the prompts.
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

// Live grains at the given positions (x, y, z after each other), then `waiting` dead particles
// parked at (0, 15, 0).
void makeCloud(const std::vector<double>& positions, int waiting) {
    params.apparatusRadius = kRapar;
    params.deadParkY = 1.5 * kRapar;
    const int live = static_cast<int>(positions.size() / 3);
    params.numParticles = live + waiting;
    params.numDeadParticles = waiting;
    arrays.particleArray.assign(static_cast<std::size_t>(live + waiting), Particle{});
    for (int i = 0; i < live; ++i) {
        for (int c = 0; c < 3; ++c) slot(i).setPosition(c, positions[3 * i + c]);
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

// A prompt of the neighbour dialogue with the line end after its answer; the "Sorry" form
// repeats it after a refused answer.
const std::string kParticle = "a particle number",
                  kNeighbours = "how many neighbours you wish to see";
std::string prompt(const std::string& what, int max, const std::string& current = "") {
    return "Please enter " + what + " (Max:" + std::to_string(max) + ") " + current + ": \n\n";
}
std::string sorry(const std::string& what, int max) {
    return "Sorry Invalid Choice : " + prompt(what, max);
}
const std::string kResetQuestion = "\nWould you like to reset all colours (y or n)?\n\n";

TEST(AskSlice, WidthAndCentreAreFractionsOfRaparAndWidthZeroResets) {
    const std::string width =
        "Please select a width (fraction of Rapar) for slice section(N.B. 0 will reset)\n\n";
    const std::string centre = "Please select Z axis value  for centre of slice\n\n";
    struct Case {
        const char* answers;
        double min, max;
        std::string said;
    };
    const Case cases[] = {
        {"0\n", -9999999.0, 9999999.0, width},
        {"0.2\n0\n", -1, 1, width + centre},
        {"0.2\n0.5\n", 4, 6, width + centre},
        {"-0.2\n0\n", 1, -1, width + centre},  // a negative width: an empty slab
    };
    const std::string clear = clearText();
    for (const Case& c : cases) {
        test::resetProgramState();
        params.apparatusRadius = kRapar;
        view.sliceMin = -3;
        view.sliceMax = 2;
        test::ScriptedConsole console(c.answers);
        askSlice();
        EXPECT_DOUBLE_EQ(view.sliceMin, c.min) << c.answers;
        EXPECT_DOUBLE_EQ(view.sliceMax, c.max) << c.answers;
        EXPECT_EQ(console.output(), clear + c.said + "Thank you\n\n") << c.answers;
    }
}

TEST(HighlightNeighbours, MarksTheNearestSlotsWithinFiveRaparAndAsksAgainOutOfRange) {
    // Particle 0 is the centre: with no neighbours the grain nearest to it, slot 3.
    const std::vector<double> scattered = {3, 0, 0, 0, -1, 0, 0, 0, 2, 0.5, 0.5, 0.5, 4, 4, 0};
    const std::string atCentre = prompt(kParticle, 7, "(Current: 1) ") + prompt(kNeighbours, 7);
    // Slot 4 at the origin, the others on the x axis at distinct distances from it.
    const std::vector<double> line = {5, 0, 0, -1.5, 0, 0, 9,   0, 0, 0.5,  0, 0,
                                      0, 0, 0, -3,   0, 0, 2.5, 0, 0, -0.7, 0, 0};
    // From the centre slots 0, 1 and 3 lie at 2, slot 2 at 1: the slot met first wins a tie.
    const std::vector<double> tie = {2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, -2};
    const std::string outOfRange = prompt(kParticle, 3, "(Current: 1) ") + sorry(kParticle, 3) +
                                   prompt(kNeighbours, 3) + sorry(kNeighbours, 3) +
                                   sorry(kNeighbours, 3);
    const std::vector<double> two = {1, 0, 0, 2, 0, 0};
    const std::string second = prompt(kParticle, 3, "(Current: 2) ");
    const std::string secondRetried = second + sorry(kParticle, 3) + sorry(kParticle, 3);
    struct Case {
        const char* name;
        std::vector<double> at;
        int waiting;
        int selected;
        const char* answers;
        std::set<int> marked;
        std::string said;  // after the reset question; not checked when empty
    };
    const Case cases[] = {
        {"centre", scattered, 2, 0, "n\n0\n0\n", {3}, atCentre},
        {"particle 5", line, 3, 0, "n\n5\n3\n", {4, 3, 7, 1}, ""},
        // Grain 1 is nearer to the parked reserve at (0, 15, 0) than to grain 0.
        {"reserve", {0, -5, 0, 0, 14, 0}, 2, 0, "n\n2\n1\n", {1, 2}, ""},
        {"tie of one", tie, 0, 0, "n\n0\n1\n", {0, 2}, ""},
        {"tie of two", tie, 0, 0, "n\n0\n2\n", {0, 1, 2}, ""},
        {"5 Rapar", {0, 0, 0, 49.9, 0, 0, 50, 0, 0, 0, 0, 70}, 0, 0, "n\n1\n3\n", {0, 1}, ""},
        {"all", {1, 0, 0, 2, 0, 0, 3, 0, 0}, 1, 0, "n\n1\n4\n", {0, 1, 2, 3}, ""},
        {"out of range",
         {1, 0, 0, 2, 0, 0, 5, 0, 0},
         0,
         0,
         "n\n4\n3\n-1\n4\n1\n",
         {1, 2},
         outOfRange},
        // A negative particle number leaves without a change, at the first prompt as at a retry.
        {"negative", two, 1, 1, "n\n-1\n", {}, second},
        {"negative retry", two, 1, 1, "n\n4\n9\n-2\n", {}, secondRetried},
        {"no particles", {}, 0, 0, "y\n0\n0\n", {}, ""},
    };
    const std::string clear = clearText();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::resetProgramState();
        makeCloud(c.at, c.waiting);
        view.highlightedParticle = c.selected;
        test::ScriptedConsole console(c.answers);
        highlightNeighbours();
        EXPECT_EQ(highlighted(), c.marked);
        EXPECT_EQ(view.highlightedParticle, c.selected);
        if (!c.said.empty()) {
            EXPECT_EQ(console.output(), clear + kResetQuestion + c.said);
        }
    }
}

TEST(HighlightNeighbours, YesClearsLiveColoursAndNoKeepsEarlierHighlights) {
    test::resetProgramState();
    makeCloud({1, 0, 0, 2, 0, 0, 3, 0, 0, 4, 0, 0}, 2);
    slot(0).setColour(0, 4, 0);
    slot(3).setColour(0, 1, 0);  // the space-key selection
    slot(2).setColour(0, 0, 1);  // a mass-group colour
    test::ScriptedConsole keep("n\n2\n0\n");
    highlightNeighbours();
    EXPECT_EQ(highlighted(), (std::set<int>{0, 1}));

    test::ScriptedConsole clear("y\n3\n0\n");
    highlightNeighbours();
    EXPECT_EQ(highlighted(), std::set<int>{2});
    for (int i : {0, 1, 3}) EXPECT_EQ(slot(i).rgb[0] + slot(i).rgb[1] + slot(i).rgb[2], 0) << i;
    // The waiting reserve keeps the dead colour, which is its mark.
    EXPECT_TRUE(slot(4).isDeadParticle());
    EXPECT_TRUE(slot(5).isDeadParticle());
}

}  // namespace
}  // namespace qv
