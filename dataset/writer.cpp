#include "dataset/writer.h"

#include <array>
#include <ostream>

#include "console/console.h"
#include "dataset/header.h"
#include "sim/simulation.h"

namespace qv {
namespace {

// One frame's lines, slots counted from 1; `position(g, axis)` gives what is written. The frame
// goes to disk before the next step: an interrupted render leaves a file that the loader can
// still read up to its last whole frame, without a system call for every line.
template <class Position>
void writeFrameLines(const Simulation& sim, OutputFile& file, int frame, Position position) {
    int slot = 1;
    for (const Particle& g : sim.arrays.particleArray) {
        file << frame << ' ' << slot++ << ' ' << position(g, 0) << ' ' << position(g, 1) << ' '
             << position(g, 2) << '\n';
    }
    file << std::flush;
}

}  // namespace

double chargeSum(const Simulation& sim) {
    double total = 0;
    for (const Particle& g : sim.arrays.particleArray) total += g.charge();
    return total;
}

void writeDataSetHeader(const Simulation& sim, OutputFile& dataSet, int endFrame, int writeFreq) {
    const dataset::Header header{sim.numParticles,
                                 endFrame,
                                 sim.model.apparatusRadius,
                                 sim.model.timeStep,
                                 sim.model.debyeSphereCount,
                                 writeFreq,
                                 sim.model.dustPlasmaFrequency,
                                 sim.model.interparticleDistance,
                                 sim.reserve.numDeadParticles};
    dataset::writeHeaderLine(dataSet.stream(), header);
    dataSet << '\n';

    int slot = 1;
    for (const Particle& g : sim.arrays.particleArray) {
        const std::array<double, 3> colour = displayColour(g);
        dataSet << slot++ << ' ' << colour[0] << ' ' << colour[1] << ' ' << colour[2] << ' '
                << g.mass() << ' ' << g.charge() << ' ' << g.radius() << '\n';
    }
    dataSet << std::flush;

    // Only the master file, written after the last frame, reports the charge balance.
    if (sim.clock.currentFrame > sim.clock.framesToCalculate) {
        console::out() << '\n'
                       << "Total charge of all dust particles : " << chargeSum(sim) << '\n'
                       << '\n'
                       << std::flush;
    }
}

void writeFrame(Simulation& sim, OutputFile& dataSet) {
    writeFrameLines(sim, dataSet, sim.clock.currentFrame,
                    [](const Particle& g, int axis) { return g.position(axis); });
}

void writeMasterFile(const Simulation& sim) {
    OutputFile master = openForAppend(sim.run.baseName + "MasterFile");
    writeMasterFileTo(sim, master);
}

void writeMasterFileTo(const Simulation& sim, OutputFile& master) {
    writeDataSetHeader(sim, master, 2, 1);

    // Two frames one time step apart: the loader takes the velocity from their difference.
    const double dt = sim.model.timeStep;
    const auto before = [dt](const Particle& g, int axis) {
        return g.position(axis) - g.velocity(axis) * dt;
    };
    writeFrameLines(sim, master, 1, before);
    // Stepped forward from the first frame, as the loader steps back from the second.
    writeFrameLines(sim, master, 2, [dt, before](const Particle& g, int axis) {
        return g.velocity(axis) * dt + before(g, axis);
    });
    master.close();
}

}  // namespace qv
