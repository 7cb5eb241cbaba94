#pragma once
// The frame logic of the idle callback, free of GL so that tests can drive it frame by frame.
#include "app/session.h"

namespace qv {

enum class FrameOutcome { Continue, RenderComplete, RenderFailed };

// One call is one frame: a render step, the display of a stored frame, or a tick of the clock
// in crystal viewing. Returns RenderComplete on the call after the last frame of a render,
// once the data set file is closed and the master file written; the caller then exits with 0.
// A render in which a file could not be written stops on the next call in the same way, keeping
// the frames stored so far, and returns RenderFailed: the caller exits with 1.
FrameOutcome idleFrame(Session& session);

// Ends a render where it stands: the data set closed with its complete frames, the master file
// of the state reached written. RenderFailed when a file could not be written.
FrameOutcome endRender(Session& session);

// The at-exit work: the Maxboltz table when asked for, the arrays released, the farewell line.
void writeMaxboltzAndFarewell(Simulation& sim);

}  // namespace qv
