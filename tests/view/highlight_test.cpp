// The slice and neighbour dialogues: the bounds, the marked grains and what they say.
#include "view/highlight.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "console/console.h"
#include "sim/constants.h"
#include "sim/simulation.h"
#include "tests/support/test_support.h"
#include "view/view_state.h"

namespace qv {
namespace {

constexpr double kRapar = 10.0;

Particle& slot(int i) {
    return sim.arrays.particleArray.at(static_cast<std::size_t>(i));
}

// Live grains at the given positions (x, y, z after each other), then `waiting` dead particles
// parked at (0, 15, 0); input ends after the answers.
void makeCloud(const std::vector<double>& positions, int waiting) {
    test::resetProgramState();
    console::setInputEndCancels(true);
    sim.model.apparatusRadius = kRapar;
    sim.reserve.deadParkY = 1.5 * kRapar;
    const int live = static_cast<int>(positions.size() / 3);
    sim.numParticles = live + waiting;
    sim.reserve.numDeadParticles = waiting;
    sim.arrays.particleArray.assign(static_cast<std::size_t>(live + waiting), Particle{});
    for (int i = 0; i < live + waiting; ++i) {
        for (int c = 0; c < 3; ++c) slot(i).setPosition(c, i < live ? positions[3 * i + c] : 0);
        if (i >= live) slot(i).setColour(deadColourRed, deadColourGreen, deadColourBlue);
        if (i >= live) slot(i).setPosition(1, sim.reserve.deadParkY);
    }
}

std::set<int> highlighted() {
    std::set<int> s;
    for (int i = 0; i < sim.numParticles; ++i) {
        const Particle& p = slot(i);
        if (p.colour(0) == 0 && p.colour(1) == 4 && p.colour(2) == 0) s.insert(i);
    }
    return s;
}

// A heading for the golden transcripts: the answers on one line.
std::string heading(const std::string& answers) {
    return "==" + std::regex_replace(answers, std::regex("([^\n]*)\n"), " $1") + "\n";
}

TEST(Highlight, SliceWidthAndCentreAreFractionsOfRaparAndWidthZeroResets) {
    struct Case {
        const char* answers;
        double min, max;
    };
    const Case cases[] = {
        {"0\n", -9999999.0, 9999999.0},
        {"\n", -9999999.0, 9999999.0},
        {"0.2\n0\n", -1, 1},
        {"0.2\n0.5\n", 4, 6},
        {"0.2\n", -3, 2},      // the centre not given: no change
        {"-0.2\n0\n", 1, -1},  // a negative width: an empty slab
    };
    std::string said;
    for (const Case& c : cases) {
        makeCloud({}, 0);
        view.sliceMin = -3;
        view.sliceMax = 2;
        test::ScriptedConsole console(c.answers);
        askSlice();
        EXPECT_DOUBLE_EQ(view.sliceMin, c.min) << c.answers;
        EXPECT_DOUBLE_EQ(view.sliceMax, c.max) << c.answers;
        said += heading(c.answers) + test::markClears(console.output());
    }
    test::expectGolden("highlight_slice.txt", said);
}

TEST(Highlight, NeighboursAreTheNearestSlotsWithinFiveRaparAndOutOfRangeIsAskedAgain) {
    // Particle 0 is the centre: with no neighbours the grain nearest to it, slot 3.
    const std::vector<double> scattered = {3, 0, 0, 0, -1, 0, 0, 0, 2, 0.5, 0.5, 0.5, 4, 4, 0};
    // Slot 4 at the origin, the others on the x axis at distinct distances from it.
    const std::vector<double> line = {5, 0, 0, -1.5, 0, 0, 9,   0, 0, 0.5,  0, 0,
                                      0, 0, 0, -3,   0, 0, 2.5, 0, 0, -0.7, 0, 0};
    // From the centre slots 0, 1 and 3 lie at 2, slot 2 at 1: the slot met first wins a tie.
    const std::vector<double> tie = {2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, -2};
    const std::vector<double> two = {1, 0, 0, 2, 0, 0};
    struct Case {
        std::vector<double> at;
        int waiting;
        int selected;
        const char* answers;
        std::set<int> marked;
    };
    const Case cases[] = {
        {scattered, 2, 0, "n\n0\n0\n", {3}},
        {line, 3, 0, "n\n5\n3\n", {4, 3, 7, 1}},
        // Grain 1 is nearer to the parked reserve at (0, 15, 0) than to grain 0.
        {{0, -5, 0, 0, 14, 0}, 2, 0, "n\n2\n1\n", {1, 2}},
        {tie, 0, 0, "n\n0\n1\n", {0, 2}},
        {tie, 0, 0, "n\n0\n2\n", {0, 1, 2}},
        {{0, 0, 0, 49.9, 0, 0, 50, 0, 0, 0, 0, 70}, 0, 0, "n\n1\n3\n", {0, 1}},
        {{1, 0, 0, 2, 0, 0, 3, 0, 0}, 1, 0, "n\n1\n4\n", {0, 1, 2, 3}},
        {{1, 0, 0, 2, 0, 0, 5, 0, 0}, 0, 0, "n\n4\n3\n-1\n4\n1\n", {1, 2}},
        // A negative particle number leaves without a change, at the first prompt as at a retry.
        {two, 1, 1, "n\n-1\n", {}},
        {two, 1, 1, "n\n4\n9\n-2\n", {}},
        {two, 1, 1, "n\n2\n", {}},  // input ends at the count
        {{}, 0, 0, "y\n0\n0\n", {}},
    };
    std::string said;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answers);
        makeCloud(c.at, c.waiting);
        view.highlightedParticle = c.selected;
        test::ScriptedConsole console(c.answers);
        highlightNeighbours();
        EXPECT_EQ(highlighted(), c.marked);
        EXPECT_EQ(view.highlightedParticle, c.selected);
        said += heading(c.answers) + test::markClears(console.output());
    }
    test::expectGolden("highlight_neighbours.txt", said);
}

TEST(Highlight, YesClearsLiveColoursAndNoKeepsEarlierHighlights) {
    makeCloud({1, 0, 0, 2, 0, 0, 3, 0, 0, 4, 0, 0}, 2);
    slot(0).setColour(0, 4, 0);
    slot(3).setColour(0, 1, 0);  // the space-key selection
    slot(2).setColour(0, 0, 1);  // a mass-group colour
    test::ScriptedConsole console("n\n2\n0\ny\n3\n0\n");
    highlightNeighbours();
    EXPECT_EQ(highlighted(), (std::set<int>{0, 1}));
    highlightNeighbours();
    EXPECT_EQ(highlighted(), std::set<int>{2});
    for (int i : {0, 1, 3}) EXPECT_EQ(slot(i).rgb[0] + slot(i).rgb[1] + slot(i).rgb[2], 0) << i;
    // The waiting reserve keeps the dead colour, which is its mark.
    EXPECT_TRUE(slot(4).isDeadParticle() && slot(5).isDeadParticle());
}

}  // namespace
}  // namespace qv
