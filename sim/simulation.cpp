#include "sim/simulation.h"

namespace qv {

int coolingCode(CoolingState state) {
    switch (state) {
        case CoolingState::Steering:
            return 1;
        case CoolingState::TargetReached:
            return 2;
        case CoolingState::Off:
            break;
    }
    return -1;
}

}  // namespace qv
