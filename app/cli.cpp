#include "app/cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "app/batch.h"
#include "app/exchange.h"
#include "app/figures.h"
#include "setup/config.h"
#include "sim/parallel.h"

#ifndef QUORVEX_VERSION
#define QUORVEX_VERSION "unknown"
#endif

namespace qv {
namespace {

// --threads when given, else QUORVEX_THREADS, OMP_NUM_THREADS or every core, as interactively.
void chooseThreads(int threads) {
    if (threads > 0) {
        setParallelThreads(threads);
        return;
    }
    std::string problem;
    setParallelThreads(threadsFromEnvironment(
        std::getenv("QUORVEX_THREADS"), std::getenv("OMP_NUM_THREADS"), availableCores(), problem));
    if (!problem.empty()) std::cerr << problem << '\n';
}

int runConfigured(const std::string& path, Command command,
                  const std::vector<std::string>& overrides, const BatchOptions& options,
                  int threads) {
    try {
        const Config config = Config::fromFile(path, command, overrides);
        chooseThreads(threads);
        return runBatch(config, options);
    } catch (const ConfigError& e) {
        std::cerr << "quorvex: " << e.what() << '\n';
        return kExitConfigError;
    }
}

}  // namespace

bool isCommandLine(int argc, char** argv) {
    if (argc < 2) return false;
    // The window's own options (-display, -geometry, ...) start with a dash; a word is a
    // command, and a misspelt one is refused rather than starting the dialogue.
    const std::string first = argv[1];
    return first.empty() || first[0] != '-' || first == "--help" || first == "-h" ||
           first == "--version";
}

int runCommandLine(int argc, char** argv) {
    CLI::App app{
        "Quorvex: charged dust grains in a plasma. Without arguments it starts the interactive "
        "program; the commands below run without a dialogue.",
        "quorvex"};
    app.set_version_flag("--version", std::string("quorvex ") + QUORVEX_VERSION);
    app.require_subcommand(1);

    std::string configPath;
    std::vector<std::string> overrides;
    BatchOptions batch;
    int threads = 0;
    const auto common = [&](CLI::App* command) {
        command->add_option("CONFIG", configPath, "configuration file (TOML); see: quorvex keys")
            ->required();
        command->add_option("--set", overrides, "key=value, over the file's value (repeatable)");
        command->add_option("--out", batch.outDir, "folder for the files (made when missing)");
        command->add_option("--threads", threads, "threads of the pair loops")
            ->check(CLI::Range(1, 256));
    };
    CLI::App* render = app.add_subcommand("render", "render a new data set from CONFIG");
    common(render);
    CLI::App* cont =
        app.add_subcommand("continue", "load a stored frame (or master file) and render on");
    common(cont);
    CLI::App* sweep = app.add_subcommand(
        "sweep", "render every combination of the varied values, each in its own folder");
    common(sweep);
    SweepOptions sweepOptions;
    sweep->add_option("--vary", sweepOptions.varied, "key=v1,v2,... (repeatable)")->required();
    sweep->add_option("--jobs", sweepOptions.jobs, "runs at a time")->check(CLI::Range(1, 256));
    app.add_subcommand("keys", "list every configuration key with meaning, unit, default, range");

    ExportOptions exportOptions;
    CLI::App* exporter = app.add_subcommand(
        "export", "write stored frames for OVITO, ASE (extxyz) or LAMMPS (data file and script)");
    exporter->add_option("DATASET", exportOptions.dataSet, "data set or master file")->required();
    exporter->add_option("--format", exportOptions.format, "extxyz or lammps")
        ->required()
        ->check(CLI::IsMember({"extxyz", "lammps"}));
    exporter->add_option("--frames", exportOptions.frames,
                         "extxyz: stored frames FIRST:LAST:STEP (default: all)");
    exporter->add_option("--frame", exportOptions.frame,
                         "lammps: the stored frame (default: the last)");
    exporter->add_option("--steps", exportOptions.steps, "lammps: steps the script runs")
        ->check(CLI::Range(0, INT_MAX));
    exporter
        ->add_option("--every", exportOptions.every,
                     "lammps: dump interval (default: the data set's write interval)")
        ->check(CLI::Range(1, INT_MAX));
    exporter->add_option("-o", exportOptions.out, "extxyz: the file; lammps: the folder")
        ->required();

    ImportOptions importOptions;
    CLI::App* importer =
        app.add_subcommand("import", "turn a LAMMPS dump back into a data set (and master file)");
    importer->add_option("DUMP", importOptions.dump, "text dump with id x y z [vx vy vz]")
        ->required();
    importer->add_option("--format", importOptions.format, "lammps-dump")
        ->required()
        ->check(CLI::IsMember({"lammps-dump"}));
    importer->add_option("--like", importOptions.like, "the data set the state was exported from")
        ->required();
    importer->add_option("-o", importOptions.out, "the new data set")->required();

    AnalyseOptions analyseOptions;
    CLI::App* analyser = app.add_subcommand(
        "analyse", "pair correlation, shells and field of stored frames into the result files");
    analyser->add_option("DATASET", analyseOptions.dataSet, "data set or master file")->required();
    analyser->add_option("--frames", analyseOptions.frames,
                         "stored frames FIRST:LAST:STEP (default: all)");
    analyser->add_option("--pcf", analyseOptions.pcf, "pair correlation, samples along Rapar")
        ->check(CLI::Range(1, 1'000'000));
    analyser->add_option("--shells", analyseOptions.shells, "shells, samples along Rapar (a real)")
        ->check(CLI::Range(1e-6, 1e6));
    analyser->add_flag("--field", analyseOptions.field, "field and potential (30 shells)");

    MinimiseCommand minimiseOptions;
    CLI::App* minimiser = app.add_subcommand(
        "minimise",
        "relax a stored frame to a local energy minimum (FIRE), or search for the "
        "ground state");
    minimiser->add_option("DATASET", minimiseOptions.dataSet, "data set or master file")
        ->required();
    minimiser->add_option("--frame", minimiseOptions.frame, "the stored frame (default: the last)");
    minimiser
        ->add_option("--search", minimiseOptions.search,
                     "ground-state search: anneal and minimise from this many seeds, keep the "
                     "lowest")
        ->check(CLI::Range(1, 100000));
    minimiser->add_option("--seed", minimiseOptions.seed, "seed of the first try (default 1)");
    minimiser
        ->add_option("--anneal-steps", minimiseOptions.annealSteps,
                     "time steps of each try's annealing (default 2000)")
        ->check(CLI::Range(0, 100000000));
    minimiser->add_option("--tolerance", minimiseOptions.tolerance,
                          "largest force at the minimum (default: 1e-6 of the neighbour force)");
    minimiser->add_option("-o", minimiseOptions.out, "the new data set")->required();

    PlotOptions plotOptions;
    CLI::App* plot = app.add_subcommand(
        "plot", "PNG figures of a render's result files (matplotlib, no display needed)");
    plot->add_option("BASENAME", plotOptions.baseName, "the data set name the files start with")
        ->required();
    plot->add_option("-o", plotOptions.out, "folder for the figures (default: here)");

    PictureOptions pictureOptions;
    CLI::App* picture = app.add_subcommand(
        "picture", "draw stored frames as the window does, into PNG files, without a display");
    picture->add_option("DATASET", pictureOptions.dataSet, "data set or master file")->required();
    picture->add_option("--frame", pictureOptions.frame, "the stored frame (default: the last)");
    picture->add_option("--frames", pictureOptions.frames,
                        "FIRST:LAST:STEP: numbered pictures, and an MP4 when ffmpeg is installed");
    picture->add_option("--view", pictureOptions.view,
                        "X,Y: turn the scene X degrees about x, then Y about y (keys i/k, j/l)");
    picture->add_option("--size", pictureOptions.size, "pixels of the square picture")
        ->check(CLI::Range(16, 8192));
    picture->add_flag("--apparatus", pictureOptions.apparatus,
                      "draw the apparatus as a wire sphere");
    picture->add_option("-o", pictureOptions.out, "the PNG (numbered for --frames)")->required();

    const std::vector<std::string> commands = {"render", "continue", "sweep",    "keys", "export",
                                               "import", "analyse",  "minimise", "plot", "picture"};
    const std::string first = argv[1];
    if (first[0] != '-' && std::find(commands.begin(), commands.end(), first) == commands.end()) {
        std::cerr << "quorvex: unknown command \"" << first << "\"; did you mean \""
                  << nearestOf(first, commands) << "\"? (quorvex --help lists them)\n";
        return kExitConfigError;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e);
        return status == 0 ? 0 : kExitConfigError;
    }
    if (app.got_subcommand("keys")) {
        std::cout << keyReference();
        return 0;
    }
    if (app.got_subcommand("plot")) return runPlot(plotOptions);
    if (app.got_subcommand("picture")) return runPicture(pictureOptions);
    if (app.got_subcommand("export")) return runExport(exportOptions);
    if (app.got_subcommand("import")) return runImport(importOptions);
    if (app.got_subcommand("analyse")) return runAnalyse(analyseOptions);
    if (app.got_subcommand("minimise")) return runMinimise(minimiseOptions);
    if (app.got_subcommand("render"))
        return runConfigured(configPath, Command::Render, overrides, batch, threads);
    if (app.got_subcommand("continue"))
        return runConfigured(configPath, Command::Continue, overrides, batch, threads);
    sweepOptions.configPath = configPath;
    sweepOptions.overrides = overrides;
    sweepOptions.outDir = batch.outDir;
    sweepOptions.threads = threads;
    sweepOptions.program = "/proc/self/exe";
    return runSweep(sweepOptions);
}

}  // namespace qv
