#pragma once
// Run log files: settings, Data and Detector rows, the structure-file headers and the console
// status line.
#include "sim/simulation.h"
#include "sim/timestep.h"

namespace qv {

void writeRunLogHeaders(const Simulation& sim);
// The heading lines of the two structure files, appended.
void writeFieldStructureHeader(const Simulation& sim);
void writeShellStructureHeader(const Simulation& sim);
// The Data row of a sampling frame; with the speed distribution on, also keeps every slot's
// speed of `report.sampled` for the Maxboltz table.
void writeDataRow(Simulation& sim, const StepReport& report);
void printStatusLine(const Simulation& sim);
void writeDetectorRow(const Simulation& sim, const Particle& escaped);

}  // namespace qv
