#include "view/highlight.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "console/console.h"
#include "sim/simulation.h"
#include "view/view_state.h"

namespace qv {
namespace {

// Slice bounds far beyond any apparatus: the solid view shows every grain.
constexpr double kNoSlice = 9999999.0;

// The prompt on its own line, an integer answer, a line end; nothing when input has ended.
std::optional<int> askInt(const std::string& prompt) {
    return console::ask<int>(prompt + "\n");
}

// Every place is built with both values; slot -1 holds no slot yet.
struct Place {
    int slot;
    double distance;
};

}  // namespace

void askSlice(const Simulation& sim, ViewState& view) {
    std::ostream& out = console::out();
    console::clearScreen();
    const std::string widthPrompt =
        "Please select a width (fraction of Rapar) for slice section(N.B. 0 will reset)";
    out << widthPrompt << '\n' << std::flush;
    // Without an answer the width is 0, which resets the slice.
    const double w = console::askReal(widthPrompt + "\n").value_or(0.0);
    out << '\n';
    if (w != 0) {
        const std::string centrePrompt = "Please select Z axis value  for centre of slice";
        out << centrePrompt << '\n' << std::flush;
        const std::optional<double> centre = console::askReal(centrePrompt + "\n");
        if (!centre) {
            console::reportCancelled();
            return;
        }
        const double c = *centre;
        out << '\n';
        // Width and centre are fractions of Rapar.
        view.sliceMax = (c + w / 2) * sim.model.apparatusRadius;
        view.sliceMin = (c - w / 2) * sim.model.apparatusRadius;
    } else {
        view.sliceMax = kNoSlice;
        view.sliceMin = -kNoSlice;
    }
    out << "Thank you" << '\n' << '\n' << std::flush;
}

void highlightNeighbours(Simulation& sim, ViewState& view) {
    std::ostream& out = console::out();
    const int all = sim.numParticles;
    // Only slots that exist take part, whatever the counts say.
    const int slots = std::min<std::size_t>(static_cast<std::size_t>(std::max(all, 0)),
                                            sim.arrays.particleArray.size());
    std::vector<Particle>& array = sim.arrays.particleArray;

    console::clearScreen();
    const std::string question = "Would you like to reset all colours (y or n)?\n";
    out << '\n' << question << std::flush;
    const char answer = console::askYesNo(question).value_or('n');
    out << '\n';
    if (answer == 'y') {
        // Waiting dead particles keep their colour, which is what marks them.
        const int live = std::min(sim.liveCount(), slots);
        for (int i = 0; i < live; ++i) {
            array[static_cast<std::size_t>(i)].setColour(0, 0, 0);
            array[static_cast<std::size_t>(i)].highlighted = false;
        }
    }

    const std::string max = "(Max:" + std::to_string(all) + ") ";
    std::optional<int> p = askInt("Please enter a particle number " + max + "(Current: " +
                                  std::to_string(view.highlightedParticle + 1) + ") : ");
    // A negative number is the way out, at the first prompt as at its repetitions.
    while (p && *p > all)
        p = askInt("Sorry Invalid Choice : Please enter a particle number " + max + ": ");
    if (p && *p < 0) return;
    std::optional<int> n;
    if (p) n = askInt("Please enter how many neighbours you wish to see " + max + ": ");
    while (n && (*n < 0 || *n > all)) {
        n = askInt("Sorry Invalid Choice : Please enter how many neighbours you wish to see " +
                   max + ": ");
    }
    if (!n) return;

    // Particle numbers count from 1; 0 stands for the centre of the apparatus.
    const Particle* reference = nullptr;
    if (*p >= 1) {
        if (*p > slots) return;
        reference = &array[static_cast<std::size_t>(*p - 1)];
    }

    // The n + 1 nearest slots within 5 Rapar, kept sorted by decreasing distance so that
    // place 0 holds the one to drop next. An equal distance never displaces a kept slot, so
    // of equally near slots the one met first stays.
    const std::size_t m = static_cast<std::size_t>(*n) + 1;
    std::vector<Place> places(m, Place{-1, 5 * sim.model.apparatusRadius});
    for (int i = 0; i < slots; ++i) {
        const Particle& q = array[static_cast<std::size_t>(i)];
        const double d = reference != nullptr ? reference->distanceTo(q) : q.distanceFromCentre();
        if (!(d < places[0].distance)) continue;
        std::size_t j = 0;
        while (j < m - 1 && d < places[j + 1].distance) ++j;
        for (std::size_t k = 0; k < j; ++k) places[k] = places[k + 1];
        places[j] = Place{i, d};
    }
    for (const Place& place : places) {
        if (place.slot >= 0) array[static_cast<std::size_t>(place.slot)].highlighted = true;
    }
}

}  // namespace qv
