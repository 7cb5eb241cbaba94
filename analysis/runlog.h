#pragma once
// Run log files: settings, Data and Detector rows, the structure-file headers and the console
// status line.
#include "sim/particle.h"

namespace qv {

void writeRunLogHeaders();
void writeDataRow();
void printStatusLine();
void writeDetectorRow(Particle escaped);

}  // namespace qv
