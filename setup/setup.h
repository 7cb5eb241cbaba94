#pragma once
// The console set-up: start-up menu and the dialogue of each run mode.
#include "console/output_file.h"
#include "sim/simulation.h"

namespace qv {

// The whole set-up of a run; a new or continued render's data set is opened on `dataSet`.
// `windowOpen`: play and crystal viewing need a window and are refused without one.
void runSetUp(Simulation& sim, OutputFile& dataSet, bool windowOpen);
void showStartMenu(Simulation& sim, bool windowOpen);
void chooseOutputs2D(Simulation& sim);
void promptDataSetFile(Simulation& sim, OutputFile& dataSet);
void promptParameters(Simulation& sim);
void applyRenderDefaults(Simulation& sim);
void applyCrystalDefaults(Simulation& sim);
void promptCoolingSchedule(Simulation& sim);
// The memory a render of this size allocates at the start, in bytes.
double setUpBytes(const Simulation& sim);
// The console question of a new dust temperature; the velocities are rescaled to it. Nothing
// changes when no temperature has been measured yet or the question is given up.
void changeTemperature(Simulation& sim);

}  // namespace qv
