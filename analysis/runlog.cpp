#include "analysis/runlog.h"

#include <cstddef>
#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>

#include "console/console.h"
#include "console/output_file.h"
#include "sim/constants.h"
#include "sim/state.h"

namespace qv {
namespace {

// Every result file sits beside the data set and carries its name in front.
std::string resultFile(std::string_view word, std::string_view extension) {
    return params.baseName + std::string(word) + std::string(extension);
}

// One tab-separated line of headings, appended.
void appendHeader(std::string_view word, std::initializer_list<std::string_view> headings) {
    OutputFile f = openForAppend(resultFile(word, ".xls"));
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

void writeSettings() {
    OutputFile f = openForAppend(resultFile("Settings", ".txt"));
    settingsLine(f, "Timestep: ", params.timeStep);
    settingsLine(f, "Total Charge: ", params.totalCharge);
    settingsLine(f, "Number Density: ", params.numberDensity);
    settingsLine(f, "Tempratio: ", params.temperatureRatio);
    settingsLine(f, "Radius Aparatus: ", params.apparatusRadius);
    settingsLine(f, "Radius of Particle: ", params.grainRadius);
    settingsLine(f, "Particles: ", params.numParticles - params.numDeadParticles);
    settingsLine(f, "CCP: ", params.ccple);
    settingsLine(f, "Mass of Particles: ", params.grainMass);
    settingsLine(f, "Plasma Freq: ", electronPlasmaFrequency());
    // The period is quoted per radian, as the normalised time unit is.
    settingsLine(f, "Plasma Period: ", 1.0 / electronPlasmaFrequency());
    settingsLine(f, "Normalised Dust Plasma frequency: ", params.dustPlasmaFrequency);
    settingsLine(f, "Interparticle distance: ", params.interparticleDistance);
}

// Keeps every slot's speed for the Maxboltz table; a sample that falls outside the table (a
// frame beyond the planned run) is dropped rather than written past its end.
void recordSpeeds() {
    if (params.analysisFreq < 1 || params.numParticles < 1 || params.currentFrame < 0) return;
    const std::size_t n = static_cast<std::size_t>(params.numParticles);
    const std::size_t sample = static_cast<std::size_t>(params.currentFrame / params.analysisFreq);
    const std::size_t first = sample * n;
    if (first + n > arrays.speedTable.size() || n > arrays.particleArray.size()) return;
    for (std::size_t i = 0; i < n; ++i) {
        arrays.speedTable[first + i] = arrays.particleArray[i].speed();
    }
}

}  // namespace

void writeRunLogHeaders() {
    appendHeader("Data",
                 {"Time in Dust Periods", "Tempratio", "ccple", "TotalKE", "TotalPEduetoprtcles",
                  "TotalPEduetoplasma", "Total E", "CCpletarget", "Cool"});
    appendHeader("Detector", {"Phi", "Theta", "X", "Y", "Z"});
    writeSettings();
    appendHeader("EFieldStruct", {"Time in Dust Periods", "Normalised R", "Overall Charge",
                                  "Overall E-Field", "Potential", "CCPLE"});
    appendHeader("ShellStructure", {"Time in Dust Periods", "Normalised R", "Number of Particles",
                                    "Normalised Number of Particles", "Unit Normalised",
                                    "Unormalised Mass Distribution", "Mass Distribution",
                                    "No. Av. Mass Particles", "CCPLE"});
}

void writeDataRow() {
    if (params.speedDistributionOn == 1) recordSpeeds();
    OutputFile f = openForAppend(resultFile("Data", ".xls"));
    const double total = params.kineticEnergy + params.pairEnergy + params.apparatusEnergy;
    f << params.simTime * params.dustPlasmaFrequency << '\t' << params.temperatureRatio << '\t'
      << params.ccple << '\t' << params.kineticEnergy << '\t' << params.pairEnergy << '\t'
      << params.apparatusEnergy << '\t' << total << '\t' << params.ccpleTarget << '\t'
      << params.coolingState << '\n';
}

void printStatusLine() {
    std::ostream& out = console::out();
    // Back over the previous status line so that it is rewritten in place.
    out << std::string(199, '\b');
    // Three digits from now on, for every console number of the rest of the run.
    out.precision(3);
    out << "T: " << params.temperatureRatio << " : CCP: " << params.ccple
        << " : Count: " << params.currentFrame << " : KE: " << params.kineticEnergy << std::flush;
}

void writeDetectorRow(Particle escaped) {
    OutputFile f = openForAppend(resultFile("Detector", ".xls"));
    f << escaped.azimuth() << '\t' << escaped.polarAngle() << '\t' << escaped.position(0) << '\t'
      << escaped.position(1) << '\t' << escaped.position(2) << '\n';
}

}  // namespace qv
