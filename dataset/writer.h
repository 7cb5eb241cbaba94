#pragma once
// The data set file and the master file: header, property block and frames.
#include "console/output_file.h"
#include "sim/simulation.h"

namespace qv {

// The charge of every slot together; the apparatus sphere holds its opposite.
double chargeSum(const Simulation& sim);
// The header line and the property block. Sets nothing: the caller keeps chargeSum(sim) as the
// run's total charge.
void writeDataSetHeader(const Simulation& sim, OutputFile& dataSet, int endFrame, int writeFreq);
// Appends the current positions as the next stored frame.
void writeFrame(Simulation& sim, OutputFile& dataSet);
void writeMasterFile(const Simulation& sim);
// The master file's header, properties and two frames into `master`, which it closes.
void writeMasterFileTo(const Simulation& sim, OutputFile& master);

}  // namespace qv
