#include <string>

#include "analysis/structure.h"
#include "console/console.h"
#include "console/output_file.h"
#include "sim/simulation.h"

namespace qv {

void writeRadialProfile(const Simulation& sim, double time, int n, std::string name,
                        const double* values, int start, double normaliser, double step) {
    const std::string fileName = "2D" + name;

    // The header goes in only once, when the file is new; later runs append below it.
    if (!fileExists(fileName)) {
        OutputFile header = openForAppend(fileName);
        header << "Time/Radius" << '\t';
        for (int p = 0; p < n; ++p) header << p * step << '\t';
        header << "Normalisation_Factor" << '\t' << "Particles" << '\t' << "Radius Apar" << '\n';
    }

    OutputFile row = openForAppend(fileName);
    row << time << '\t';
    // A profile that is empty in every bin has a normaliser of 0: its cells are 0, not 0/0.
    for (int p = 0; p < n; ++p)
        row << (normaliser != 0 ? values[start + p] / normaliser : 0.0) << '\t';
    row << normaliser << '\t' << sim.liveCount() << '\t' << sim.model.apparatusRadius << '\t'
        << sim.thermostat.ccpleTarget << '\n';
}

}  // namespace qv
