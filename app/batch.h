#pragma once
// Renders without a dialogue: a new or continued render from a configuration, and parameter
// sweeps of such renders. Exit statuses: 0 done, 1 the run failed (a file could not be written),
// 2 the configuration cannot run (nothing written then), 130 interrupted (SIGINT or SIGTERM;
// the data set keeps its complete frames and the master file holds the state reached).
#include <ostream>
#include <string>
#include <vector>

#include "setup/config.h"

namespace qv {

inline constexpr int kExitConfigError = 2;
inline constexpr int kExitInterrupted = 130;

struct BatchOptions {
    std::string outDir = ".";
};

int runBatch(const Config& config, const BatchOptions& options);

// While it lives, the console's texts go nowhere and its failures to stderr; the standard
// streams are back afterwards.
class QuietConsole {
  public:
    QuietConsole();
    ~QuietConsole();
    QuietConsole(const QuietConsole&) = delete;
    QuietConsole& operator=(const QuietConsole&) = delete;

  private:
    std::ostream quiet_{nullptr};
};

struct SweepOptions {
    std::string configPath;
    std::vector<std::string> overrides;  // --set, for every run
    std::vector<std::string> varied;     // --vary key=v1,v2,...
    std::string outDir = ".";
    int jobs = 1;
    int threads = 0;      // per run; 0: the cores shared out among the jobs
    std::string program;  // this executable, which runs each render
};

int runSweep(const SweepOptions& options);

// The values of one --vary: "key=v1,v2" gives key and {v1, v2}. Throws ConfigError.
std::pair<std::string, std::vector<std::string>> parseVary(const std::string& vary);
// Every combination of the varied values, the last key varying fastest.
std::vector<std::vector<std::string>> sweepCombinations(
    const std::vector<std::pair<std::string, std::vector<std::string>>>& varied);
// A run's folder: key-value pairs joined by "_", characters other than letters, digits, '.',
// '+' and '-' replaced by '_'.
std::string sweepFolderName(const std::vector<std::string>& keys,
                            const std::vector<std::string>& values);

// The final state of a render, as its "<name>Summary.tsv" holds it: the last sampled temperature
// and coupling, energies, and the shells.
inline constexpr const char* kSummaryHeader =
    "frames\tfinal_temperature_K\tfinal_coupling\tkinetic_energy\tpair_energy\t"
    "apparatus_energy\ttotal_energy\tshells";

// Shells: the grains' distances from the centre, sorted, split wherever two neighbours lie more
// than kShellGap interparticle distances apart. A frozen cloud's shells lie about one distance
// apart, while in a liquid the distances follow each other closely.
inline constexpr double kShellGap = 0.3;
int countShells(std::vector<double> radii, double spacing);

}  // namespace qv
