#pragma once
// The driver of a render: steps the simulation and writes what each step reports, and runs the
// automations (smart cooling schedule, automatic firing) on their schedule.
#include "sim/simulation.h"
#include "sim/timestep.h"

namespace qv {

// One render step with its outputs: the automations due before it, the step, then the result
// files of a sampling frame, the Detector rows and the status line.
void renderStep(Simulation& sim);
// The outputs of a step's report, in the order the program has always written them.
void writeStepOutputs(Simulation& sim, const StepReport& report);
// The automations run before a step.
void smartCoolingSchedule(Simulation& sim);
void autoFiring(Simulation& sim);

}  // namespace qv
