#pragma once
// The program's command line: with no arguments the interactive program, else the batch
// commands (render, continue, sweep, keys) and --help and --version.

namespace qv {

// Whether the arguments are a command (a first argument that is a word, --help or --version)
// rather than none or options for the window.
bool isCommandLine(int argc, char** argv);
// Runs the command; returns the exit status.
int runCommandLine(int argc, char** argv);

}  // namespace qv
