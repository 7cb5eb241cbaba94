#include "console/console.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <locale>
#include <type_traits>

namespace qv::console {
namespace {

std::istream* inStream = &std::cin;
std::ostream* outStream = &std::cout;
ExitHook exitHook;

[[noreturn]] void inputEnded() {
    *outStream << "\nInput ended while waiting for an answer; Quorvex stops." << std::endl;
    exitProgram(1);
}

// Drops the rest of a line that held a bad answer, so one typo costs one re-prompt.
void discardBadAnswer() {
    inStream->ignore(std::numeric_limits<std::streamsize>::max(), '\n');
}

// The whole answer must be the number: "1.5" is no integer and "5abc" no number at all.
template <class T>
bool parseWhole(const std::string& word, T& value) {
    const char* first = word.data();
    const char* last = word.data() + word.size();
    if (first != last && *first == '+') ++first;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last) return false;
    if constexpr (std::is_floating_point_v<T>) return std::isfinite(value);
    return true;
}

template <class T>
T readNumber(std::string_view reprompt) {
    for (;;) {
        std::string word;
        if (!(*inStream >> word)) inputEnded();
        T value{};
        if (parseWhole(word, value)) return value;
        discardBadAnswer();
        *outStream << "That is not a number, please try again." << '\n' << reprompt << std::flush;
    }
}

}  // namespace

std::istream& in() {
    return *inStream;
}
std::ostream& out() {
    return *outStream;
}

void setStreams(std::istream& input, std::ostream& output) {
    inStream = &input;
    outStream = &output;
    outStream->imbue(std::locale::classic());
}

void useStandardStreams() {
    inStream = &std::cin;
    outStream = &std::cout;
}

void setExitHook(ExitHook hook) {
    exitHook = std::move(hook);
}

void exitProgram(int status) {
    outStream->flush();
    if (exitHook) exitHook(status);
    std::exit(status);
}

void clearScreen() {
    // ANSI: erase the screen and put the cursor at the top left.
    *outStream << "\x1b[2J\x1b[H" << std::flush;
}

int readInt(std::string_view reprompt) {
    return readNumber<int>(reprompt);
}
double readReal(std::string_view reprompt) {
    return readNumber<double>(reprompt);
}

char readChar() {
    char c = 0;
    if (!(*inStream >> c)) inputEnded();
    return c;
}

std::string readWord() {
    std::string word;
    if (!(*inStream >> word)) inputEnded();
    return word;
}

int readIntWhere(const std::function<bool(int)>& accept, std::string_view refusal,
                 std::string_view reprompt) {
    for (;;) {
        const int v = readInt(reprompt);
        if (accept(v)) return v;
        *outStream << refusal << '\n' << reprompt << std::flush;
    }
}

double readRealWhere(const std::function<bool(double)>& accept, std::string_view refusal,
                     std::string_view reprompt) {
    for (;;) {
        const double v = readReal(reprompt);
        if (accept(v)) return v;
        *outStream << refusal << '\n' << reprompt << std::flush;
    }
}

char readYesNo(std::string_view reprompt) {
    for (;;) {
        const char c = readChar();
        if (c == 'y' || c == 'n') return c;
        *outStream << "Please answer y or n." << '\n' << reprompt << std::flush;
    }
}

}  // namespace qv::console

namespace qv {

bool fileExists(const std::string& path) {
    std::ifstream f(path);
    return f.is_open();
}

}  // namespace qv
