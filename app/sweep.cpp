// Parameter sweeps: every combination of the varied values rendered in its own folder by its own
// process (the console, the thread pool and the write-failure state are per process, so runs
// cannot disturb each other), a few at a time, then one summary table.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <map>
#include <sstream>

#include "app/batch.h"
#include "console/console.h"
#include "setup/setup.h"
#include "sim/parallel.h"
#include "sim/simulation.h"

extern char** environ;

namespace qv {
namespace {

volatile std::sig_atomic_t sweepStopped = 0;

extern "C" void stopSweep(int) {
    sweepStopped = 1;
}

struct Run {
    std::vector<std::string> values;
    std::string folder;
    std::string name;  // the data set name, which a varied key may set
    std::vector<std::string> sets;
    int status = -1;  // exit status; -1 not run
    pid_t pid = 0;
};

std::string statusText(int status) {
    switch (status) {
        case 0:
            return "done";
        case -1:
            return "not run";
        case kExitConfigError:
            return "configuration error";
        case kExitInterrupted:
            return "interrupted";
        default:
            return "failed (" + std::to_string(status) + ")";
    }
}

pid_t launch(const SweepOptions& options, const Run& run, int threads) {
    const std::filesystem::path folder = std::filesystem::path(options.outDir) / run.folder;
    std::filesystem::create_directories(folder);
    std::vector<std::string> args = {options.program, "render", options.configPath};
    for (const std::string& s : run.sets) {
        args.push_back("--set");
        args.push_back(s);
    }
    args.insert(args.end(), {"--out", folder.string(), "--threads", std::to_string(threads)});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string log = (folder / "render.log").string();
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = 0;
    const int error =
        posix_spawn(&pid, options.program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        std::cerr << "quorvex: " << options.program
                  << " cannot be started: " << std::strerror(error) << '\n';
        return 0;
    }
    return pid;
}

// The row of a run's summary file, or empty cells when it has none.
std::string summaryRow(const SweepOptions& options, const Run& run) {
    const std::size_t columns =
        std::count(kSummaryHeader, kSummaryHeader + std::strlen(kSummaryHeader), '\t') + 1;
    std::ifstream file(std::filesystem::path(options.outDir) / run.folder /
                       (run.name + "Summary.tsv"));
    std::string header;
    std::string row;
    if (run.status == 0 || run.status == kExitInterrupted) {
        if (std::getline(file, header) && header == kSummaryHeader && std::getline(file, row))
            return row;
    }
    return std::string(columns - 1, '\t');
}

void writeTable(const SweepOptions& options, const std::vector<std::string>& keys,
                const std::vector<Run>& runs) {
    const std::string path = (std::filesystem::path(options.outDir) / "sweep.tsv").string();
    std::ofstream table(path);
    for (const std::string& k : keys) table << k << '\t';
    table << "folder\tstatus\t" << kSummaryHeader << '\n';
    for (const Run& run : runs) {
        for (const std::string& v : run.values) table << v << '\t';
        table << run.folder << '\t' << statusText(run.status) << '\t' << summaryRow(options, run)
              << '\n';
    }
    table.close();
    if (!table) std::cerr << "quorvex: " << path << " cannot be written\n";
    std::cout << "Summary: " << path << '\n';
}

}  // namespace

std::pair<std::string, std::vector<std::string>> parseVary(const std::string& vary) {
    const std::size_t equals = vary.find('=');
    if (equals == std::string::npos || equals == 0 || equals + 1 == vary.size())
        throw ConfigError("--vary " + vary + ": key=value1,value2,... is needed");
    std::vector<std::string> values;
    std::stringstream list(vary.substr(equals + 1));
    for (std::string v; std::getline(list, v, ',');) {
        if (v.empty()) throw ConfigError("--vary " + vary + ": an empty value");
        values.push_back(v);
    }
    return {vary.substr(0, equals), values};
}

std::vector<std::vector<std::string>> sweepCombinations(
    const std::vector<std::pair<std::string, std::vector<std::string>>>& varied) {
    std::vector<std::vector<std::string>> combinations = {{}};
    for (const auto& [key, values] : varied) {
        std::vector<std::vector<std::string>> longer;
        for (const auto& c : combinations) {
            for (const std::string& v : values) {
                longer.push_back(c);
                longer.back().push_back(v);
            }
        }
        combinations = std::move(longer);
    }
    return combinations;
}

std::string sweepFolderName(const std::vector<std::string>& keys,
                            const std::vector<std::string>& values) {
    std::string name;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i > 0) name += '_';
        name += keys[i] + '-' + values[i];
    }
    for (char& c : name) {
        const bool kept = std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '+' ||
                          c == '-' || c == '_';
        if (!kept) c = '_';
    }
    return name;
}

int runSweep(const SweepOptions& options) {
    std::vector<std::pair<std::string, std::vector<std::string>>> varied;
    std::vector<std::string> keys;
    std::vector<Run> runs;
    // Every run's configuration is checked before anything is written or started.
    const QuietConsole quiet;
    try {
        for (const std::string& v : options.varied) {
            varied.push_back(parseVary(v));
            keys.push_back(varied.back().first);
            if (std::count(keys.begin(), keys.end(), keys.back()) > 1)
                throw ConfigError("--vary " + v + ": " + keys.back() + " is varied twice");
        }
        for (const std::vector<std::string>& values : sweepCombinations(varied)) {
            Run run;
            run.values = values;
            run.folder = sweepFolderName(keys, values);
            run.sets = options.overrides;
            for (std::size_t i = 0; i < keys.size(); ++i)
                run.sets.push_back(keys[i] + "=" + values[i]);
            // A refusal names the run it belongs to.
            try {
                const Config config =
                    Config::fromFile(options.configPath, Command::Render, run.sets);
                Simulation trial;
                configureRender(trial, config);
                run.name = trial.run.baseName;
                const auto target = std::filesystem::path(options.outDir) / run.folder / run.name;
                if (!config.flag("append") && fileExists(target.string()))
                    config.reject("name", "the data set " + target.string() +
                                              " exists: set append = true or choose another name");
            } catch (const ConfigError& e) {
                throw ConfigError("the run " + run.folder + ": " + e.what());
            }
            runs.push_back(std::move(run));
        }
    } catch (const ConfigError& e) {
        std::cerr << "quorvex: " << e.what() << '\n';
        return kExitConfigError;
    }

    struct sigaction action {};
    action.sa_handler = stopSweep;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    const int jobs = std::max(1, options.jobs);
    const int threads =
        options.threads > 0 ? options.threads : std::max(1, availableCores() / jobs);
    const auto start = std::chrono::steady_clock::now();
    std::map<pid_t, std::size_t> running;
    std::size_t next = 0;
    bool failed = false;
    bool forwarded = false;
    while (next < runs.size() || !running.empty()) {
        while (!sweepStopped && next < runs.size() && running.size() < std::size_t(jobs)) {
            Run& run = runs[next];
            run.pid = launch(options, run, threads);
            if (run.pid == 0) {
                run.status = 1;
                failed = true;
            } else {
                running[run.pid] = next;
                std::cout << "started " << run.folder << '\n' << std::flush;
            }
            ++next;
        }
        if (sweepStopped && !forwarded) {
            // A signal sent to this process alone reaches the runs too: each stops cleanly.
            for (const auto& [pid, index] : running) ::kill(pid, SIGTERM);
            forwarded = true;
            next = runs.size();
        }
        if (running.empty()) break;
        int status = 0;
        const pid_t pid = ::waitpid(-1, &status, 0);
        if (pid < 0) {
            if (errno == EINTR) continue;
            break;
        }
        const auto it = running.find(pid);
        if (it == running.end()) continue;
        Run& run = runs[it->second];
        running.erase(it);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (run.status != 0) failed = true;
        std::cout << statusText(run.status) << ' ' << run.folder << '\n' << std::flush;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    writeTable(options, keys, runs);
    std::cout << runs.size() << " runs, " << jobs << " at a time, in " << std::fixed
              << std::setprecision(2) << seconds << " s\n";
    if (sweepStopped) return kExitInterrupted;
    return failed ? 1 : 0;
}

}  // namespace qv
