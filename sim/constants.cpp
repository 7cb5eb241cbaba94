#include "sim/constants.h"

#include <cmath>

#include "sim/state.h"

namespace qv {

double debyeLength() {
    return std::sqrt(vacuumPermittivity * boltzmannConstant * params.plasmaTemperature /
                     (electronCharge * electronCharge * params.plasmaDensity));
}

double electronPlasmaFrequency() {
    return std::sqrt(params.plasmaDensity * electronCharge * electronCharge /
                     (vacuumPermittivity * electronMass));
}

}  // namespace qv
