#pragma once
// The data set file and the master file: header, property block and frames.
#include <fstream>

namespace qv {

inline std::ofstream dataSetStream;

void writeDataSetHeader(int endFrame, int writeFreq);
void writeFrame();
void writeMasterFile();

}  // namespace qv
