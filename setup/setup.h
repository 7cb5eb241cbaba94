#pragma once
// The console set-up: start-up menu and the dialogue of each run mode.
#include <string>

#include "console/output_file.h"
#include "sim/simulation.h"

namespace qv {

// The whole set-up of a run; a new or continued render's data set is opened on `dataSet`.
// `windowOpen`: play and crystal viewing need a window and are refused without one.
void runSetUp(Simulation& sim, OutputFile& dataSet, bool windowOpen);
void showStartMenu(Simulation& sim, bool windowOpen);
void chooseOutputs2D(Simulation& sim);
void promptDataSetFile(Simulation& sim, OutputFile& dataSet);
class Config;
// The questions of a new render (run mode 1), asked or taken from `config`.
void promptParameters(Simulation& sim, const Config* config = nullptr);
void applyRenderDefaults(Simulation& sim);
void applyCrystalDefaults(Simulation& sim);
void promptCoolingSchedule(Simulation& sim, const Config* config = nullptr);
// The start of a new render once its answers are in: the initial cloud, the data set header
// and the result files' headers.
void startRender(Simulation& sim, OutputFile& dataSet);
// The start of a continued render once its frame is loaded and its answers are in.
void startContinuedRender(Simulation& sim, OutputFile& dataSet);
// A new render's answers from `config`, checked by the dialogue's rules, and its derived
// quantities. Throws ConfigError; writes nothing.
void configureRender(Simulation& sim, const Config& config);
void takeOutputs2D(Simulation& sim, const Config& config);
// Why `name` cannot name a data set (control characters, too long for the result files), or "".
std::string dataSetNameProblem(const std::string& name);
// The memory a render of this size allocates at the start, in bytes.
double setUpBytes(const Simulation& sim);
// The console question of a new dust temperature; the velocities are rescaled to it. Nothing
// changes when no temperature has been measured yet or the question is given up.
void changeTemperature(Simulation& sim);

}  // namespace qv
