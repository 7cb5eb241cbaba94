#pragma once
// Reading data sets back: replay (play mode) and load-and-continue.
//
// A data set comes from disk and may be cut short, edited or something else entirely, so it is
// read strictly by its format, and every value must lie where a run stays finite. A header or
// property block that breaks it is refused with the file and the line, and the file name
// dialogue runs again (keeping `runMode`) until a file loads. Frames are kept up to the first
// broken line or the end of the file (an unfinished render, or one that blew up): EndFrame is
// shortened to the complete frames loaded, and the console says where and why.

namespace qv {

struct LoaderSettings {
    // From this many frame lines on, loading shows its progress as a percentage on the console.
    long long progressMinLines = 1'000'000;
};
inline LoaderSettings loaderSettings;

void openDataSetForReading();
void loadAllFrames();
void setFrameFromStore(int frame);
void loadAndContinue();

}  // namespace qv
