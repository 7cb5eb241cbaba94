#include "sim/constants.h"

#include <cmath>

namespace qv {

double debyeLength(double plasmaTemperature, double plasmaDensity) {
    return std::sqrt(vacuumPermittivity * boltzmannConstant * plasmaTemperature /
                     (electronCharge * electronCharge * plasmaDensity));
}

double electronPlasmaFrequency(double plasmaDensity) {
    return std::sqrt(plasmaDensity * electronCharge * electronCharge /
                     (vacuumPermittivity * electronMass));
}

}  // namespace qv
