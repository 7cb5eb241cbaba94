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

}  // namespace qv
