#pragma once
// The apparatus sphere sized to its cloud.
#include <cmath>

#include "sim/constants.h"

namespace qv {

// The radius of the sphere that holds `grains` grains at one Wigner-Seitz cell of radius
// `spacing` each: n grains fill (3n / 4 pi)^(1/3) spacings.
inline double apparatusRadiusFor(double grains, double spacing) {
    return std::cbrt(3.0 * grains / (4.0 * pi)) * spacing;
}

}  // namespace qv
