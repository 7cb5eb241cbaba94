#include "dataset/extxyz.h"

#include <string>

#include "dataset/header.h"

namespace qv::dataset {

const char* roleName(Role role) {
    switch (role) {
        case Role::Grain:
            return "grain";
        case Role::Probe:
            return "probe";
        case Role::WaitingDead:
        case Role::FiredDead:
            break;
    }
    return "dead_particle";
}

void writeExtxyzFrame(std::ostream& out, const std::vector<Particle>& slots,
                      const ExtxyzFrame& frame) {
    std::string text = std::to_string(slots.size()) + "\nProperties=species:S:1:pos:R:3";
    if (frame.velocities) text += ":velo:R:3";
    text += ":charge:R:1:mass:R:1:radius:R:1:role:S:1 frame=" + std::to_string(frame.frame) +
            " time=" + exact(frame.time) + " time_s=" + exact(frame.seconds);
    if (frame.coupling) text += " Gamma=" + exact(*frame.coupling);
    text += " pbc=\"F F F\"\n";
    for (std::size_t s = 0; s < slots.size(); ++s) {
        const Particle& p = slots[s];
        text += 'X';
        for (int c : kAxes) text += ' ' + exact(frame.positions[3 * s + c]);
        if (frame.velocities) {
            for (int c : kAxes) text += ' ' + exact(frame.velocities[3 * s + c]);
        }
        text += ' ' + exact(p.charge()) + ' ' + exact(p.mass()) + ' ' + exact(p.radius()) + ' ' +
                roleName(p.role) + '\n';
    }
    out << text;
}

}  // namespace qv::dataset
