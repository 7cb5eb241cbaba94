#pragma once
// Drawing: display and reshape callbacks, lights, the scene and bitmap texts.
#include <string>

#include "sim/simulation.h"
#include "view/view_state.h"

namespace qv {

void display(const Simulation& sim, ViewState& view);
// The scene from the camera: what a redraw draws before the buffers are swapped.
void drawFrame(const Simulation& sim, const ViewState& view);
// The picture just drawn, `width` x `height`, as baseName + "View" + the first free number +
// ".png"; the console names the file. Returns the name.
std::string saveViewPicture(const std::string& baseName, int width, int height);
void reshape(ViewState& view, int width, int height);
void setUpLights(ViewState& view);
// The lights of setUpLights, without asking for a redraw.
void applyLights();
void drawScene(const Simulation& sim, const ViewState& view);
void drawBitmapLabel(float x, float y, float z, void* font, const std::string& text);
void drawLabelledValue(float x, float y, float z, std::string label, double value);

// The decimal text of a value truncated toward zero, as the on-screen numbers show it
// (172.9 shows as 172, -2.5 as -2).
std::string truncatedValueText(double value);
// Wall-clock seconds since the last redraw ended, and how long that redraw took; the render
// paces its redraws by them.
double secondsSinceRedrawEnded(const ViewState& view);
double lastRedrawSeconds(const ViewState& view);

}  // namespace qv
