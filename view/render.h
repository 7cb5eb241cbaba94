#pragma once
// Drawing: display and reshape callbacks, lights, the scene and bitmap texts.
#include <string>

namespace qv {

void display();
void reshape(int width, int height);
void setUpLights();
void drawScene();
void drawBitmapLabel(float x, float y, float z, void* font, const std::string& text);
void drawLabelledValue(float x, float y, float z, std::string label, double value);

// The decimal text of a value truncated toward zero, as the on-screen numbers show it
// (172.9 shows as 172, -2.5 as -2).
std::string truncatedValueText(double value);
// Wall-clock seconds since the last redraw ended, and how long that redraw took; the render
// paces its redraws by them.
double secondsSinceRedrawEnded();
double lastRedrawSeconds();

}  // namespace qv
