#pragma once
// The console set-up: start-up menu and the dialogue of each run mode.

namespace qv {

void runSetUp();
void showStartMenu();
void chooseOutputs2D();
void promptDataSetFile();
void promptParameters();
void applyRenderDefaults();
void applyCrystalDefaults();
void promptCoolingSchedule();

}  // namespace qv
