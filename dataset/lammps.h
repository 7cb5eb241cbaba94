#pragma once
// The hand-off to LAMMPS and back: a data file and an input script that carry a stored state
// and the program's model, and the reader of LAMMPS's text dumps.
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "dataset/reader.h"
#include "sim/kernels.h"
#include "sim/particle.h"

namespace qv::dataset {

// A state to hand over: atom k is record k, with id k + 1.
struct LammpsState {
    std::string source;  // where the state comes from, for the comments
    int frame = 1;       // the render's frame number of the state
    double debyeSphereCount = 0;
    double apparatusRadius = 0;
    double totalCharge = 0;  // the apparatus sphere holds its opposite
    double timeStep = 0;
    int steps = 1000;  // what the script runs unless told otherwise
    int every = 25;    // dump and thermo interval
    // The screened interaction and its cutoff (kUnscreened: bare Coulomb).
    double screeningLength = kUnscreened;
    double cutoff = kUnscreened;
    // The Langevin gas: friction per time unit (0: none), k T_n in units of k Te, its seed.
    double friction = 0;
    double gasTemperature = 0;
    int seed = 1;
    std::vector<Particle> atoms;
};

// The atom types: one per role and mass, in order of first appearance.
struct AtomTypes {
    std::vector<int> typeOf;  // per atom, from 1
    std::vector<Role> role;   // per type
    std::vector<double> mass;
};
AtomTypes atomTypes(const std::vector<Particle>& atoms);

// The pair cutoff: the screened interaction's own; without screening twice the diameter of the
// larger of the cloud and the apparatus, so that every pair interacts, as in the program, while
// the cloud breathes.
double lammpsCutoff(const LammpsState& state);

// The wall is a container LAMMPS does have: a spherical indenter from inside (fix indent, side
// in) pushes a grain beyond R back with the force K (r - R)^2. The program's wall reflects
// outright; this one stops a grain meeting it head-on at twice the grains' rms speed within a
// depth of 1 % of R, or of 20 steps at that speed where a step moves a grain further: stiffer
// than that, the integrator would throw grains off rather than turn them.
struct LammpsWall {
    double depth = 0;
    double constant = 0;  // K
};
LammpsWall lammpsWall(const LammpsState& state);

// `name`.data and the script `name`.in; the script reads the data file from the folder it runs in
// and dumps to `name`.dump.
std::string lammpsData(const LammpsState& state);
std::string lammpsInput(const LammpsState& state, const std::string& name);

// A text dump (dump custom), frame by frame. The atoms of each frame must be `atoms` many,
// sorted by id from 1 (an id column is always needed); the columns asked for are found by name
// in the ITEM: ATOMS line.
struct DumpFrame {
    long long timestep = 0;
    std::vector<double> values;  // per atom, the columns found, in the order asked for
};
struct DumpRead {
    std::vector<std::string> columns;  // the columns found: every required one, then optional
    std::vector<DumpFrame> frames;     // complete frames only
    std::optional<Problem> problem;    // what stopped the reading before the end of the file
};
DumpRead readLammpsDump(std::istream& in, int atoms, const std::vector<std::string>& required,
                        const std::vector<std::string>& optional);

}  // namespace qv::dataset
