#pragma once
// The driver of a render: steps the simulation and writes what each step reports, and runs the
// automations (smart cooling schedule, automatic firing) on their schedule.
#include "console/output_file.h"
#include "sim/simulation.h"
#include "sim/timestep.h"

namespace qv {

// One render frame: the stored frame when due, the automations, the step and its outputs, and
// the clock.
void renderStep(Simulation& sim, OutputFile& dataSet);
// The outputs of a step's report, in the order the program has always written them.
void writeStepOutputs(Simulation& sim, const StepReport& report);
// The automations run before a step.
void smartCoolingSchedule(Simulation& sim);
void autoFiring(Simulation& sim);
// What every step relies on: the counts fit the slots, live + waiting = slots by role, and every
// live position and velocity is finite. Null when all hold.
const char* invariantBreach(const Simulation& sim);

}  // namespace qv
