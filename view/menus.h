#pragma once
// The right-button pop-up menu.

namespace qv {

void buildMenus();
void menuHandler(int value);
void askCoolingTolerance();

}  // namespace qv
