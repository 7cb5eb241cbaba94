#pragma once
// Everything one interactive run holds: the simulation, the window's view of it and the data
// set file being written.
#include "console/output_file.h"
#include "sim/simulation.h"
#include "view/view_state.h"

namespace qv {

struct Session {
    Simulation sim;
    ViewState view;
    OutputFile dataSet;
};

}  // namespace qv
