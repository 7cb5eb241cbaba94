#include "analysis/tracker.h"

#include <optional>
#include <ostream>
#include <string>

#include "console/console.h"
#include "console/output_file.h"
#include "sim/simulation.h"

namespace qv {
namespace {

constexpr int slotCount = static_cast<int>(TrackerState{}.trackedParticles.size());

std::string trackerFileName(const Simulation& sim) {
    return sim.run.baseName + "Tracker.xls";
}

void writeTrackerHeader(const Simulation& sim) {
    OutputFile file = openForAppend(trackerFileName(sim));
    file << "Time In Periods" << '\t' << "Tempratio" << '\t';
    // Always every group, however many particles end up tracked.
    for (int slot = 0; slot < slotCount; ++slot) {
        file << "Particle No" << '\t' << "R" << '\t' << "Theta" << '\t' << "Phi" << '\t' << "x"
             << '\t' << "y" << '\t' << "z" << '\t' << "v" << '\t';
    }
    file << '\n';
}

// A slot follows an array index, whatever record the time step has moved into it since.
bool slotInUse(const Simulation& sim, int slot) {
    const int index = sim.tracker.trackedParticles[slot];
    return index >= 0 && index < sim.numParticles &&
           index < static_cast<int>(sim.arrays.particleArray.size());
}

}  // namespace

bool askTrackedParticle(Simulation& sim) {
    std::ostream& out = console::out();
    if (sim.tracker.trackedCount >= slotCount) {
        out << '\n'
            << "No more particles can be tracked: all " << slotCount << " tracker slots are in use."
            << '\n'
            << '\n'
            << std::flush;
        return false;
    }
    if (sim.numParticles <= 0) {
        out << '\n' << "There are no particles to track." << '\n' << '\n' << std::flush;
        return false;
    }
    if (sim.tracker.trackedCount == 0) sim.tracker.trackedParticles.fill(-1);

    const std::string prompt = "Please enter particle number: \n";
    out << '\n' << prompt << std::flush;
    std::optional<int> number = console::askInt(prompt);
    // Particle numbers count from 1; dead particles in reserve can be tracked too.
    while (number && (*number > sim.numParticles || *number <= 0)) {
        out << '\n';
        const std::string again = "Sorry Invalid Choice : Please enter a particle number (Max:" +
                                  std::to_string(sim.numParticles) + ") : \n";
        out << again << std::flush;
        number = console::askInt(again);
    }
    if (!number) {
        console::reportCancelled();
        return false;
    }
    out << '\n';
    sim.tracker.trackedParticles[sim.tracker.trackedCount] = *number - 1;

    // The key handler counts the slot after this returns, so 0 still means the first choice.
    if (sim.tracker.trackedCount == 0) writeTrackerHeader(sim);
    return true;
}

void writeTrackerRow(const Simulation& sim, const Particle* slots) {
    // Before the first choice the slots are not even cleared to "free".
    if (sim.tracker.trackedCount <= 0) return;
    OutputFile file = openForAppend(trackerFileName(sim));
    if (slotInUse(sim, 0)) {
        file << sim.clock.simTime * sim.model.dustPlasmaFrequency << '\t'
             << sim.thermostat.temperatureRatio << '\t';
    }
    for (int slot = 0; slot < slotCount; ++slot) {
        if (!slotInUse(sim, slot)) continue;
        const int index = sim.tracker.trackedParticles[slot];
        const Particle& p = slots[index];
        file << index + 1 << '\t' << p.distanceFromCentre() << '\t' << p.polarAngle() << '\t'
             << p.azimuth() << '\t' << p.pos[0] << '\t' << p.pos[1] << '\t' << p.pos[2] << '\t'
             << p.speed() << '\t';
    }
    file << '\n';
}

}  // namespace qv
