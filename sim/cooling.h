#pragma once
// Temperature control: velocity rescaling, the averaged coupling of the thermostat and the
// idle-driven automations (smart cooling schedule, automatic firing).

namespace qv {

void changeTemperature();
void updateCcpleAverage();
void askCcpleTarget();
void smartCoolingSchedule();
void autoFiring();

}  // namespace qv
