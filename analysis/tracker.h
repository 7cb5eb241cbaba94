#pragma once
// The particle tracker: chosen array slots followed in the Tracker file.
#include <array>

namespace qv {

struct TrackerState {
    std::array<int, 100> trackedParticles{};  // zero-based slots, -1 free
    int trackedCount = 0;
};
inline TrackerState tracker;

// Returns false when nothing was added (all slots in use); the caller counts the new slot.
bool askTrackedParticle();
void writeTrackerRow();

}  // namespace qv
