#pragma once
// Data sets out to other programs and back, and their analyses without a render: export (extended
// XYZ, LAMMPS), import (a LAMMPS dump) and analyse. Exit statuses as for renders: 0 done, 1 a
// file could not be written or an import kept only part of its dump, 2 bad input (nothing
// written then).
#include <optional>
#include <string>
#include <vector>

#include "sim/minimise.h"
#include "sim/simulation.h"

namespace qv {

struct ExportOptions {
    std::string dataSet;
    std::string format;  // "extxyz" or "lammps"
    std::string frames;  // extxyz: FIRST:LAST:STEP of the stored frames
    int frame = 0;       // lammps: the stored frame, 0 for the last
    int steps = 1000;    // lammps: steps the script runs
    int every = 0;       // lammps: dump interval, 0 for the data set's own
    std::string out;
};
int runExport(const ExportOptions& options);

struct ImportOptions {
    std::string dump;
    std::string format;  // "lammps-dump"
    std::string like;    // the data set the state was exported from
    std::string out;
};
int runImport(const ImportOptions& options);

struct AnalyseOptions {
    std::string dataSet;
    std::string frames;
    std::optional<int> pcf;        // samples along Rapar
    std::optional<double> shells;  // samples along Rapar, a real
    bool field = false;
};
int runAnalyse(const AnalyseOptions& options);

struct MinimiseCommand {
    std::string dataSet;
    int frame = 0;           // the stored frame, 0 for the last
    int search = 0;          // ground-state search: anneal-and-minimise tries; 0: minimise only
    unsigned long seed = 1;  // of the first try
    int annealSteps = 2000;  // per try
    double tolerance = 0;    // largest force at the minimum; 0: a millionth of the neighbour force
    std::string out;
};
// The stored frame relaxed to a local minimum (or the lowest of several), written as a data set
// of that state at rest (two equal frames, so that it continues with zero velocities), its master
// file and, for a screened run, its record.
int runMinimise(const MinimiseCommand& command);

// The live records of `sim` relaxed where they are, in the run's own interaction (the thermostat
// and the wall take no part); velocities are zero afterwards.
MinimiseResult minimiseLive(Simulation& sim, const MinimiseOptions& options = {});
// The console line that reports a minimisation: energy per live record before and after.
std::string describeMinimisation(const MinimiseResult& result, int live);

// "quorvex: " and the problem on stderr; the status of bad input.
int refuse(const std::string& what);
// Every complete stored frame of `path` into `sim`, without a dialogue (as a replay when the run
// mode says Play); false with the reason. The console stays as it is: callers quieten it.
bool loadDataSet(Simulation& sim, const std::string& path, std::string& problem);

// The stored frames (from 1) that "FIRST:LAST:STEP" picks out of `count`: each part may be left
// out ("10:", ":50", "::5"); a single number is one frame. Empty with `problem` set when the
// text is not such a range or reaches beyond the stored frames.
std::vector<int> frameRange(const std::string& text, int count, std::string& problem);

}  // namespace qv
