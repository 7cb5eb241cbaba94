#pragma once
// Extended XYZ, the trajectory format of OVITO, ASE and QUIP: one block per frame, a count line,
// a comment line of key=value pairs naming the per-atom columns, and one line per slot.
#include <optional>
#include <ostream>
#include <vector>

#include "sim/particle.h"

namespace qv::dataset {

struct ExtxyzFrame {
    int frame = 0;    // the render's frame number
    double time = 0;  // inverse electron plasma frequencies
    double seconds = 0;
    std::optional<double> coupling;      // Gamma, when the velocities give a temperature
    const double* positions = nullptr;   // x y z per slot
    const double* velocities = nullptr;  // x y z per slot, or none
};

// The role column's word for a record.
const char* roleName(Role role);

// One block for every slot of `slots`: species X (ASE's dummy element: a grain is no chemical
// element), position, velocity when known, charge, mass, radius, role; open boundaries.
void writeExtxyzFrame(std::ostream& out, const std::vector<Particle>& slots,
                      const ExtxyzFrame& frame);

}  // namespace qv::dataset
