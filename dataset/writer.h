#pragma once
// The data set file and the master file: header, property block and frames.
#include "console/output_file.h"

namespace qv {

inline OutputFile dataSetStream;

void writeDataSetHeader(int endFrame, int writeFreq);
void writeFrame();
void writeMasterFile();

}  // namespace qv
