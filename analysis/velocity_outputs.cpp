#include "analysis/velocity_outputs.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "console/console.h"
#include "console/output_file.h"
#include "sim/simulation.h"

namespace qv {
namespace {

// 60 cells span the apparatus diameter; one more holds the layer just outside it.
constexpr int kCells = 61;
using Plane = std::array<std::array<double, kCells>, kCells>;

// Cell of a coordinate, or -1 outside the grid (also for a non-finite coordinate).
int cellOf(double coordinate, double radius, double width) {
    const double c = std::floor((coordinate + radius) / width);
    if (!(c >= 0.0 && c <= kCells - 1)) return -1;
    return static_cast<int>(c);
}

// Axis labels run from -1 to 1 in units of the apparatus radius; k/30 - 1 keeps the centre at an
// exact 0.
double cellLabel(int k) {
    return k / 30.0 - 1.0;
}

void writeDensityHeader(std::ostream& f) {
    const char* planes[] = {"X/Y", "X/Z", "Y/Z"};
    for (int p = 0; p < 3; ++p) {
        f << planes[p] << '\t';
        for (int k = 0; k < kCells; ++k) f << cellLabel(k) << '\t';
        f << "Count";
        if (p < 2) f << '\t' << ' ' << '\t';
    }
    f << '\n';
}

// Number of speed samples in a planned run beyond the initial one.
std::size_t samplesAfterStart(const Simulation& sim) {
    if (sim.clock.analysisFreq < 1 || sim.clock.framesToCalculate < 1) return 0;
    return static_cast<std::size_t>(
        std::floor(static_cast<double>(sim.clock.framesToCalculate) / sim.clock.analysisFreq));
}

}  // namespace

void writeVelocityRows(const Simulation& sim, const Particle* particles, int liveCount) {
    OutputFile speedFile = openForAppend("vel" + sim.run.baseName);
    std::array<OutputFile, 3> componentFiles = {openForAppend("velx" + sim.run.baseName),
                                                openForAppend("vely" + sim.run.baseName),
                                                openForAppend("velz" + sim.run.baseName)};
    speedFile << sim.clock.currentFrame << '\t';
    for (OutputFile& f : componentFiles) f << sim.clock.currentFrame << '\t';
    for (int i = 0; i < liveCount; ++i) {
        speedFile << particles[i].speed() << '\t';
        for (int c : kAxes) componentFiles[c] << particles[i].velocity(c) << '\t';
    }
    speedFile << '\n';
    for (OutputFile& f : componentFiles) f << '\n';
}

void writeSpeedDensity(const Simulation& sim, const Particle* particles, int liveCount) {
    const double radius = sim.model.apparatusRadius;
    const double width = 2.0 * radius / 60.0;
    // Each plane sums the speeds of the grains in a column of the cloud seen along one axis.
    std::vector<Plane> planes(3);  // XY, XZ, YZ; value-initialised to zero
    Plane& xy = planes[0];
    Plane& xz = planes[1];
    Plane& yz = planes[2];
    for (int i = 0; i < liveCount; ++i) {
        const Particle& p = particles[i];
        if (p.isDeadParticle()) continue;
        const int cx = cellOf(p.position(0), radius, width);
        const int cy = cellOf(p.position(1), radius, width);
        const int cz = cellOf(p.position(2), radius, width);
        if (cx < 0 || cy < 0 || cz < 0) continue;
        const double s = p.speed();
        xy[cy][cx] += s;
        xz[cz][cx] += s;
        yz[cz][cy] += s;
    }

    const std::string path = sim.run.baseName + "2dveldensity" + ".xls";
    if (!fileExists(path)) {
        OutputFile header = openForAppend(path);
        writeDensityHeader(header.stream());
    }
    OutputFile f = openForAppend(path);
    for (int k = 0; k < kCells; ++k) {
        for (int p = 0; p < 3; ++p) {
            f << cellLabel(k) << '\t';
            for (int col = 0; col < kCells; ++col) f << planes[p][k][col] << '\t';
            // The column under "Count" carries the frame number.
            f << sim.clock.currentFrame;
            if (p < 2) f << '\t' << ' ' << '\t';
        }
        f << '\n';
    }
}

void writeMaxboltzTable(const Simulation& sim) {
    if (!sim.switches.speedDistributionOn) return;
    OutputFile f = openForWrite(sim.run.baseName + "Maxboltz" + ".xls");
    const std::size_t samples = samplesAfterStart(sim) + 1;
    const std::size_t n = sim.numParticles > 0 ? static_cast<std::size_t>(sim.numParticles) : 0;
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < samples; ++j) {
            // A sample the table does not hold (a run cut short, or a table never allocated)
            // is shown as 0, never read from beyond the table.
            const std::size_t at = j * n + i;
            const double speed =
                at < sim.arrays.speedTable.size() ? sim.arrays.speedTable[at] : 0.0;
            f << speed << '\t';
        }
        f << '\n';
    }
}

}  // namespace qv
