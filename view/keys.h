#pragma once
// Keyboard and special-key commands of the window.

namespace qv {

void keyboardHandler(unsigned char key, int x, int y);
void specialKeyHandler(int key, int x, int y);
void jumpToFrame();

}  // namespace qv
