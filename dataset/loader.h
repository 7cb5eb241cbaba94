#pragma once
// Reading data sets back: replay (play mode) and load-and-continue.

namespace qv {

void openDataSetForReading();
void loadAllFrames();
void setFrameFromStore(int frame);
void loadAndContinue();

}  // namespace qv
