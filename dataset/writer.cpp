#include "dataset/writer.h"

#include <ostream>

#include "console/console.h"
#include "sim/simulation.h"

namespace qv {
namespace {

// Each line goes to disk as soon as it is complete, so an interrupted render leaves a file
// that the loader can still read up to its last whole line.
void endLine() {
    dataSetStream << std::endl;
}

}  // namespace

void writeDataSetHeader(int endFrame, int writeFreq) {
    const Parameters& p = params;
    dataSetStream << p.numParticles << ' ' << endFrame << ' ' << p.apparatusRadius << ' '
                  << p.timeStep << ' ' << p.debyeSphereCount << ' ' << writeFreq << ' '
                  << p.dustPlasmaFrequency << ' ' << p.interparticleDistance << ' '
                  << p.numDeadParticles;
    endLine();

    sim.model.totalCharge = 0;
    int slot = 1;
    for (const Particle& g : sim.arrays.particleArray) {
        dataSetStream << slot++ << ' ' << g.colour(0) << ' ' << g.colour(1) << ' ' << g.colour(2)
                      << ' ' << g.mass() << ' ' << g.charge() << ' ' << g.radius();
        endLine();
        sim.model.totalCharge += g.charge();
    }

    // Only the master file, written after the last frame, reports the charge balance.
    if (sim.clock.currentFrame > sim.clock.framesToCalculate) {
        console::out() << '\n'
                       << "Total charge of all dust particles : " << sim.model.totalCharge << '\n'
                       << '\n'
                       << std::flush;
    }
}

void writeFrame() {
    int slot = 1;
    for (const Particle& g : sim.arrays.particleArray) {
        dataSetStream << sim.clock.currentFrame << ' ' << slot++ << ' ' << g.position(0) << ' '
                      << g.position(1) << ' ' << g.position(2);
        endLine();
    }
}

void writeMasterFile() {
    dataSetStream = openForAppend(sim.run.baseName + "MasterFile");
    writeDataSetHeader(2, 1);

    // Two frames one time step apart: the loader takes the velocity from their difference.
    const double dt = sim.model.timeStep;
    for (Particle& g : sim.arrays.particleArray) {
        for (int j = 0; j < 3; ++j) g.setPosition(j, g.position(j) - g.velocity(j) * dt);
    }
    sim.clock.currentFrame = 1;
    writeFrame();
    for (Particle& g : sim.arrays.particleArray) {
        for (int j = 0; j < 3; ++j) g.setPosition(j, g.velocity(j) * dt + g.position(j));
    }
    sim.clock.currentFrame = 2;
    writeFrame();
    dataSetStream.close();
}

}  // namespace qv
