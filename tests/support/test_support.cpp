#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <vector>

#include "console/console.h"
#include "console/output_file.h"

namespace qv::test {

void resetConsole() {
    clearWriteFailures();
    console::useStandardStreams();
    console::setInputEndCancels(false);
    console::setExitHook([](int status) { throw ProgramExit{status}; });
}

ScriptedConsole::ScriptedConsole(const std::string& answers) : in_(answers) {
    console::setStreams(in_, out_);
}

ScriptedConsole::~ScriptedConsole() {
    console::useStandardStreams();
}

TempDir::TempDir() : previous_(std::filesystem::current_path()) {
    static std::atomic<int> counter{0};
    dir_ = std::filesystem::temp_directory_path() /
           ("quorvex-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    std::filesystem::current_path(dir_);
}

TempDir::~TempDir() {
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string filesHere() {
    std::vector<std::filesystem::path> names;
    for (const auto& entry : std::filesystem::directory_iterator("."))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    std::string all;
    for (const auto& name : names) all += "== " + name.string() + "\n" + readFile(name);
    return all;
}

std::string markClears(std::string text) {
    std::string clear;
    {
        ScriptedConsole console("");
        console::clearScreen();
        clear = console.output();
    }
    for (std::size_t at; (at = text.find(clear)) != std::string::npos;)
        text.replace(at, clear.size(), "[clear]");
    return text;
}

void expectGolden(const std::string& name, const std::string& text) {
    const auto path = std::filesystem::path(__FILE__).parent_path().parent_path() / "golden" / name;
    const char* update = std::getenv("QUORVEX_UPDATE_GOLDEN");
    if (update != nullptr && std::string(update) == "1")
        std::ofstream(path, std::ios::binary) << text;
    EXPECT_EQ(text, readFile(path)) << "differs from " << path;
}

}  // namespace qv::test
