#pragma once
// The screened interaction and the Langevin gas: taken from a configuration, recorded beside the
// run's data set (only when not at their defaults, so a plain run writes nothing new) and taken
// back from that record when a run continues.
#include <string>

#include "sim/simulation.h"

namespace qv {

class Config;

// The options given in `config` (keys not given leave sim.options as they are). Throws
// ConfigError for a value out of range.
void takeModelOptions(Simulation& sim, const Config& config);
// Sets the screening length from kappa once the interparticle distance is known.
void resolveScreening(Simulation& sim);
// The name of the record of the run whose data set or master file is `dataSet`.
std::string modelRecordName(const std::string& dataSet);
// The record as TOML, in the keys of the configuration.
std::string modelRecord(const ModelOptions& options);
// Writes baseName + "Model.toml" when the options are not at their defaults; failures are
// reported as every failed write is.
void writeModelRecord(const Simulation& sim);
// Takes the options recorded beside `dataSet`, if there is a record. False, with `problem`, when
// a record is there but does not read.
bool readModelRecord(Simulation& sim, const std::string& dataSet, std::string& problem);
// The lines the parameter listing shows for options not at their defaults.
std::string describeModelOptions(const Simulation& sim);

}  // namespace qv
