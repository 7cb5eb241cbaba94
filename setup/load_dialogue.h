#pragma once
// The dialogues that read data sets back: replay (play mode) and load-and-continue.
//
// A data set comes from disk and may be cut short, edited or something else entirely, so it is
// read strictly by its format, and every value must lie where a run stays finite. A header or
// property block that breaks it is refused with the file and the line, and the file name
// dialogue runs again (keeping the run mode) until a file loads. Frames are kept up to the first
// broken line or the end of the file (an unfinished render, or one that blew up): EndFrame is
// shortened to the complete frames loaded, and the console says where and why.
#include <optional>
#include <string>

#include "console/output_file.h"
#include "sim/simulation.h"

namespace qv {

struct LoadOptions {
    // From this many frame lines on, loading shows its progress as a percentage on the console.
    long long progressMinLines = 1'000'000;
    // The answer to the EndFrame question when it is not to be asked (0 keeps the header's).
    std::optional<int> endFrameAnswer;
};

class Config;

void openDataSetForReading(Simulation& sim);
// The header of `name` into the run (slots, EndFrame, Rapar, time step, ND, write interval);
// false with the problem when the file does not open or its header is broken.
bool readDataSetHeader(Simulation& sim, const std::string& name, std::string& problem);
void loadAllFrames(Simulation& sim, const LoadOptions& options = {});
void setFrameFromStore(Simulation& sim, int frame);
// The load-and-continue dialogue; the data set of the continued render is opened on `dataSet`.
void loadAndContinue(Simulation& sim, OutputFile& dataSet);
// Whether a continued render may multiply its `step` by `factor`: the new step must load again
// and move the fastest grain (at `speed`) no further than a position can lie; a factor up to 1
// never lengthens a move.
// Load-and-continue from `config`: the frame loaded, the dead particles and temperature
// settled, the new render's frames and step set. Throws ConfigError; writes nothing.
void configureContinue(Simulation& sim, const Config& config);
bool stepFactorUsable(double step, double speed, double factor);

}  // namespace qv
