#pragma once
// What the replay and the load-and-continue dialogues share.
#include <string>

#include "setup/load_dialogue.h"
#include "sim/simulation.h"

namespace qv {

// One attempt at the whole file named `baseName`: header into the run, the EndFrame prompt,
// property block into the records, every frame into the frame store. On a broken file it says
// what and where, and returns false; the run is then to be read again from another file.
// `problem`, when given, receives the reason of a failure.
bool loadFramesOnce(Simulation& sim, const LoadOptions& options, std::string* problem = nullptr);
long long storedFrameCount(const Simulation& sim);

}  // namespace qv
