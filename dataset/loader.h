#pragma once
// Reading data sets back: replay (play mode) and load-and-continue.
//
// A data set comes from disk and may be cut short, edited or something else entirely, so it is
// read strictly by its format. openDataSetForReading accepts only a file whose header is sound
// and whose size can hold the property block the header promises; loadAllFrames reads the rest
// and, when it meets a broken line, names the file and the line and runs the file name dialogue
// again (keeping `runMode`), until a file loads. A file that ends before its EndFrame (an
// unfinished render) loads the complete frames it holds, with EndFrame shortened to their count.

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
