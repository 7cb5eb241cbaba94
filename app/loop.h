#pragma once
// The frame logic of the idle callback, free of GL so that tests can drive it frame by frame.

namespace qv {

enum class FrameOutcome { Continue, RenderComplete };

// One call is one frame: a render step, the display of a stored frame, or a tick of the clock
// in crystal viewing. Returns RenderComplete on the call after the last frame of a render,
// once the data set file is closed and the master file written; the caller then exits with 0.
FrameOutcome idleFrame();

}  // namespace qv
