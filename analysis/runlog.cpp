#include "analysis/runlog.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "console/console.h"
#include "console/number_text.h"
#include "console/output_file.h"
#include "sim/constants.h"
#include "sim/simulation.h"

namespace qv {
namespace {

// Back over the previous status line, so that it is rewritten in place.
constexpr int kBackspaces = 199;

// Every result file sits beside the data set and carries its name in front.
std::string resultFile(const Simulation& sim, std::string_view word, std::string_view extension) {
    return sim.run.baseName + std::string(word) + std::string(extension);
}

// One tab-separated line of headings, appended.
void appendHeader(const Simulation& sim, std::string_view word,
                  std::initializer_list<std::string_view> headings) {
    OutputFile f = openForAppend(resultFile(sim, word, ".xls"));
    bool first = true;
    for (std::string_view h : headings) {
        if (!first) f << '\t';
        f << h;
        first = false;
    }
    f << '\n';
}

template <class T>
void settingsLine(OutputFile& f, std::string_view label, T value) {
    f << label << '\t' << value << '\n';
}

void writeSettings(const Simulation& sim) {
    OutputFile f = openForAppend(resultFile(sim, "Settings", ".txt"));
    settingsLine(f, "Timestep: ", sim.model.timeStep);
    settingsLine(f, "Total Charge: ", sim.model.totalCharge);
    settingsLine(f, "Number Density: ", sim.model.numberDensity);
    settingsLine(f, "Tempratio: ", sim.thermostat.temperatureRatio);
    settingsLine(f, "Radius Aparatus: ", sim.model.apparatusRadius);
    settingsLine(f, "Radius of Particle: ", sim.model.grainRadius);
    settingsLine(f, "Particles: ", sim.numParticles - sim.reserve.numDeadParticles);
    settingsLine(f, "CCP: ", sim.thermostat.ccple);
    settingsLine(f, "Mass of Particles: ", sim.model.grainMass);
    settingsLine(f, "Plasma Freq: ", electronPlasmaFrequency(sim.model.plasmaDensity));
    // The period is quoted per radian, as the normalised time unit is.
    settingsLine(f, "Plasma Period: ", 1.0 / electronPlasmaFrequency(sim.model.plasmaDensity));
    settingsLine(f, "Normalised Dust Plasma frequency: ", sim.model.dustPlasmaFrequency);
    settingsLine(f, "Interparticle distance: ", sim.model.interparticleDistance);
}

// Keeps every slot's speed for the Maxboltz table; a sample that falls outside the table (a
// frame beyond the planned run) is dropped rather than written past its end.
void recordSpeeds(Simulation& sim, const std::vector<Particle>& slots) {
    if (sim.clock.analysisFreq < 1 || sim.numParticles < 1 || sim.clock.currentFrame < 0) return;
    const std::size_t n = static_cast<std::size_t>(sim.numParticles);
    const std::size_t sample =
        static_cast<std::size_t>(sim.clock.currentFrame / sim.clock.analysisFreq);
    const std::size_t first = sample * n;
    if (first + n > sim.arrays.speedTable.size() || n > slots.size()) return;
    for (std::size_t i = 0; i < n; ++i) {
        sim.arrays.speedTable[first + i] = slots[i].speed();
    }
}

}  // namespace

void writeRunLogHeaders(const Simulation& sim) {
    appendHeader(sim, "Data",
                 {"Time in Dust Periods", "Tempratio", "ccple", "TotalKE", "TotalPEduetoprtcles",
                  "TotalPEduetoplasma", "Total E", "CCpletarget", "Cool"});
    appendHeader(sim, "Detector", {"Phi", "Theta", "X", "Y", "Z"});
    writeSettings(sim);
    writeFieldStructureHeader(sim);
    writeShellStructureHeader(sim);
}

void writeFieldStructureHeader(const Simulation& sim) {
    appendHeader(sim, "EFieldStruct",
                 {"Time in Dust Periods", "Normalised R", "Overall Charge", "Overall E-Field",
                  "Potential", "CCPLE"});
}

void writeShellStructureHeader(const Simulation& sim) {
    appendHeader(
        sim, "ShellStructure",
        {"Time in Dust Periods", "Normalised R", "Number of Particles",
         "Normalised Number of Particles", "Unit Normalised", "Unormalised Mass Distribution",
         "Mass Distribution", "No. Av. Mass Particles", "CCPLE"});
}

void writeDataRow(Simulation& sim, const StepReport& report) {
    if (sim.switches.speedDistributionOn) recordSpeeds(sim, report.sampled);
    OutputFile f = openForAppend(resultFile(sim, "Data", ".xls"));
    const double total =
        sim.energies.kineticEnergy + sim.energies.pairEnergy + sim.energies.apparatusEnergy;
    f << sim.clock.simTime * sim.model.dustPlasmaFrequency << '\t'
      << sim.thermostat.temperatureRatio << '\t' << sim.thermostat.ccple << '\t'
      << sim.energies.kineticEnergy << '\t' << sim.energies.pairEnergy << '\t'
      << sim.energies.apparatusEnergy << '\t' << total << '\t' << sim.thermostat.ccpleTarget << '\t'
      << coolingCode(sim.thermostat.coolingState) << '\n';
}

void printStatusLine(const Simulation& sim) {
    std::ostream& out = console::out();
    // Three digits from now on, for every console number of the rest of the run.
    out.precision(3);
    if (plainNumbers(out)) {
        // The line in one piece, as the stream would write it, into one write of the stream.
        constexpr std::string_view labels[] = {"T: ", " : CCP: ", " : Count: ", " : KE: "};
        std::array<char, kBackspaces + 4 * (kNumberTextSize + 12)> line;
        char* end = std::fill_n(line.data(), kBackspaces, '\b');
        const auto label = [&end](std::string_view text) {
            end = std::copy(text.begin(), text.end(), end);
        };
        label(labels[0]);
        end = realText(end, sim.thermostat.temperatureRatio, 3);
        label(labels[1]);
        end = realText(end, sim.thermostat.ccple, 3);
        label(labels[2]);
        end = integerText(end, sim.clock.currentFrame);
        label(labels[3]);
        end = realText(end, sim.energies.kineticEnergy, 3);
        out.write(line.data(), end - line.data());
    } else {
        out << std::string(kBackspaces, '\b') << "T: " << sim.thermostat.temperatureRatio
            << " : CCP: " << sim.thermostat.ccple << " : Count: " << sim.clock.currentFrame
            << " : KE: " << sim.energies.kineticEnergy;
    }
    console::flushWhenDue();
}

void writeDetectorRow(const Simulation& sim, const Particle& escaped) {
    OutputFile f = openForAppend(resultFile(sim, "Detector", ".xls"));
    f << escaped.azimuth() << '\t' << escaped.polarAngle() << '\t' << escaped.position(0) << '\t'
      << escaped.position(1) << '\t' << escaped.position(2) << '\n';
}

}  // namespace qv
