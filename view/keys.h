#pragma once
// Keyboard and special-key commands of the window.
#include "sim/simulation.h"
#include "view/view_state.h"

namespace qv {

void keyboardHandler(Simulation& sim, ViewState& view, unsigned char key, int x, int y);
void specialKeyHandler(Simulation& sim, ViewState& view, int key, int x, int y);
void jumpToFrame(Simulation& sim, ViewState& view);

// Puts the camera target on the sphere of radius 50 around the eye, at polar angle `phi`
// (from the -z direction) and azimuth `theta`; `phi` is first wrapped once past +-2 pi.
void placeCameraTarget(double& phi, double theta, const float eye[3], float target[3]);

}  // namespace qv
