#pragma once
// Temperature control rules: velocity rescaling and the averaged coupling of the thermostat.
#include "sim/simulation.h"

namespace qv {

// Scales the velocities of every slot so that the measured temperature `current` (K) becomes
// `wanted`; the measured temperature goes with the square of the speeds.
void rescaleTemperature(Simulation& sim, double current, double wanted);
// The measured temperature in K, from the last sampled temperature ratio.
double measuredTemperature(const Simulation& sim);
// Puts the latest coupling into the ring of ten and averages it.
void updateCcpleAverage(Thermostat& thermostat);
// Starts steering towards `target` (above 0); the firing automation counts from the reserve now.
void setCcpleTarget(Simulation& sim, double target);

}  // namespace qv
