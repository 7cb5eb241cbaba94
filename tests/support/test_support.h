#pragma once
// Test helpers: a fresh console, scripted console dialogues, a private working directory.
#include <filesystem>
#include <sstream>
#include <string>

namespace qv::test {

// Thrown by the test exit hook in place of ending the process.
struct ProgramExit {
    int status;
};

// Forgets earlier write failures, points the console at std::cin/std::cout, lets end of input
// end the program and makes exitProgram throw ProgramExit.
void resetConsole();

// Runs the console over a script of answers; `output()` is everything the program printed.
class ScriptedConsole {
  public:
    explicit ScriptedConsole(const std::string& answers);
    ~ScriptedConsole();
    std::string output() const { return out_.str(); }
    void clearOutput() { out_.str(""); }

  private:
    std::istringstream in_;
    std::ostringstream out_;
};

// Makes a fresh empty directory and works inside it for the lifetime of the object.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& path() const { return dir_; }

  private:
    std::filesystem::path dir_;
    std::filesystem::path previous_;
};

// A fresh console (first), then a private directory and a console without answers, for the
// lifetime of one test.
class Sandbox {
    struct Reset {
        Reset() { resetConsole(); }
    } reset_;

  public:
    TempDir dir;
    ScriptedConsole console{""};
};

std::string readFile(const std::filesystem::path& path);

// Every file of the working directory in name order, each under a line "== <name>".
std::string filesHere();

// The console text with each screen clear written as "[clear]". Leaves the console on the
// standard streams, so it is for text already taken from a ScriptedConsole.
std::string markClears(std::string text);

// `text` against tests/golden/<name>; with QUORVEX_UPDATE_GOLDEN=1 the file is written instead.
void expectGolden(const std::string& name, const std::string& text);

}  // namespace qv::test
