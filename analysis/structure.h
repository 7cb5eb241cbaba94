#pragma once
// Structure analyses of the first n records of a particle array: each computes a result value,
// and its writer appends it to the result file (and to the "2D" file when that output is chosen).
#include <array>
#include <string>
#include <vector>

#include "sim/particle.h"
#include "sim/simulation.h"

namespace qv {

// Samples along Rapar when no one is asked: the periodic analyses and the automations.
inline constexpr int defaultSampleCount = 30;

struct PairCorrelation {
    double binWidth = 0;  // Debye lengths
    double rapar = 0;
    std::vector<double> g;  // samples + 1 bins
    double gmax = 0;
    std::vector<double> peaks;  // radii of the peaks, in units of Rapar
};
PairCorrelation pairCorrelation(const Simulation& sim, const Particle* particles, int n,
                                int samples);
void writePairCorrelation(const Simulation& sim, const PairCorrelation& result);

struct ShellStructure {
    double binWidth = 0;
    double rapar = 0;
    double unitVolume = 0;      // N times the grains a uniform cloud puts into shell 1
    std::vector<double> count;  // grains per shell (the innermost is not counted)
    std::vector<double> mass;   // mass per shell
    double nmax = 0;            // largest normalised count
};
// A real number of samples: a fractional count gives shells that do not fit Rapar a whole
// number of times.
ShellStructure shellStructure(const Simulation& sim, const Particle* particles, int n,
                              double samples);
void writeShellStructure(const Simulation& sim, const ShellStructure& result);

inline constexpr int fieldShellCount = 30;
struct FieldStructure {
    double binWidth = 0;
    double rapar = 0;
    std::array<double, fieldShellCount + 1> netCharge{};
    std::array<double, fieldShellCount + 1> field{};
    std::array<double, fieldShellCount + 1> potential{};
};
FieldStructure fieldStructure(const Simulation& sim, const Particle* particles, int n);
void writeFieldStructure(const Simulation& sim, const FieldStructure& result);

// One time row of a "2D" time-by-radius file named "2D" + name.
void writeRadialProfile(const Simulation& sim, double time, int n, std::string name,
                        const double* values, int start, double normaliser, double step);

}  // namespace qv
