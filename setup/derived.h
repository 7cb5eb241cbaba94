#pragma once
// Physical inputs of a new render turned into the normalised quantities of the run.
#include <optional>

#include "sim/simulation.h"

namespace qv {

void computeDerivedQuantities(Simulation& sim);
void reportDerivedQuantities(const Simulation& sim);

// A quantity the run steps with or divides by that is not a finite number above 0, or a time step
// too long for the integration to stay stable.
struct UnusableQuantity {
    const char* name;  // "time step", "Rapar", ...
    double value;
    double limit;  // 0 when the value is not a finite number above 0; else the bound it exceeds
};
// The first such quantity of `m`, among those a new render derives and a loaded data set carries:
// time step, Rapar, interparticle distance, electrons per Debye sphere, number density and dust
// plasma frequency. Nothing when all are usable.
std::optional<UnusableQuantity> findUnusableQuantity(const PlasmaModel& m);

}  // namespace qv
