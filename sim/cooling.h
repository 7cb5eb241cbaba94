#pragma once
// Temperature control: velocity rescaling, the averaged coupling of the thermostat and the
// idle-driven automations (smart cooling schedule, automatic firing).

namespace qv {

void changeTemperature();
void updateCcpleAverage();
// False when the question was given up for want of input; nothing has changed then.
bool askCcpleTarget();
void smartCoolingSchedule();
void autoFiring();

}  // namespace qv
