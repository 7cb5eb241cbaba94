#pragma once
// The right-button pop-up menu.
#include "sim/simulation.h"
#include "view/view_state.h"

namespace qv {

// The values GLUT hands back for the menu's entries. The draw entries share their numbers with
// DustDraw and ApparatusDraw.
enum class MenuEntry {
    Quit = 0,
    ApparatusClear = 1,
    ApparatusWire = 2,
    ApparatusSolid = 3,
    DustWire = 4,
    DustSolid = 5,
    DustClear = 6,
    DustShellView = 7,
    DoubleTimeStep = 8,
    HalveTimeStep = 9,
    TenfoldTimeStep = 10,
    TenthTimeStep = 11,
    NumberDisplay = 12,
    DeadMass = 13,
    DeadRadius = 14,
    DeadCharge = 15,
    DeadSpeed = 16,
    Wall = 17,
    CompensateDead = 18,
    ScreenText = 19,
    FullScreen = 20,
    PhiScan = 21,
    AddProbe = 22,
    DisplaceHighlighted = 23,
    DisplaceShellView = 24,
    ProbeText = 25,
    CoolingTolerance = 26,
    DoubleGrainSize = 27,
    HalveGrainSize = 28,
    DoubleApparatusSize = 29,
    HalveApparatusSize = 30,
    MoreResolution = 31,
    LessResolution = 32,
};

// Builds the menu tree; GLUT calls `handler` with the chosen entry's value.
void buildMenus(void (*handler)(int));
void menuHandler(Simulation& sim, ViewState& view, int value);
void askCoolingTolerance(Simulation& sim);

}  // namespace qv
