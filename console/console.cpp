#include "console/console.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <locale>
#include <optional>
#include <string>
#include <type_traits>

namespace qv::console {
namespace {

std::istream* inStream = &std::cin;
std::ostream* outStream = &std::cout;
std::ostream* errStream = nullptr;  // null: the messages go with the rest
ExitHook exitHook;

bool inputEndCancels{};  // the set-up ends the program; window commands cancel
bool inputHasEnded = false;

[[noreturn]] void stopForWantOfInput() {
    *outStream << "\nInput ended while waiting for an answer; Quorvex stops." << std::endl;
    exitProgram(1);
}

constexpr const char* kBlanks = " \t\r\n\v\f";

// The next line that holds anything but blanks, without the blanks around it.
std::optional<std::string> nextAnswer() {
    // Whatever waits in the buffer, a status line among it, is seen before the answer is read.
    outStream->flush();
    std::string line;
    while (std::getline(*inStream, line)) {
        const std::size_t first = line.find_first_not_of(kBlanks);
        if (first == std::string::npos) continue;
        const std::size_t last = line.find_last_not_of(kBlanks);
        return line.substr(first, last - first + 1);
    }
    inputHasEnded = true;
    return std::nullopt;
}

// A refusal starts on its own line, also after a prompt that leaves the cursor behind its text.
void refuse(std::string_view refusal, std::string_view reprompt) {
    if (!refusal.empty() && !reprompt.empty() && reprompt.back() != '\n') *outStream << '\n';
    *outStream << refusal << '\n' << reprompt << std::flush;
}

// What a judge says of an answer: nothing when it is taken, else the refusal to print.
using Verdict = std::optional<std::string>;

// Reads answers until `judge` takes one. At end of input a command may be given up (nothing is
// returned); the set-up dialogue cannot go on without its answers, so the program ends.
template <class T, class Judge>
std::optional<T> readAnswer(std::string_view reprompt, bool mayCancel, Judge judge) {
    for (;;) {
        const std::optional<std::string> answer = nextAnswer();
        if (!answer) {
            if (mayCancel && inputEndCancels) return std::nullopt;
            stopForWantOfInput();
        }
        T value{};
        const Verdict refusal = judge(*answer, value);
        if (!refusal) return value;
        refuse(*refusal, reprompt);
    }
}

// The whole answer must be the number: "1.5" is no integer and "5abc" no number at all. A number
// beyond what the type holds is named as such, with the range.
template <class T>
Verdict judgeNumber(const std::string& answer, T& value) {
    const char* first = answer.data();
    const char* last = answer.data() + answer.size();
    if (first != last && *first == '+') ++first;
    const auto [end, ec] = std::from_chars(first, last, value);
    const bool negative = *first == '-';
    if (ec == std::errc() && end == last) {
        if constexpr (std::is_floating_point_v<T>) {
            if (!std::isfinite(value)) return "That is not a number, please try again.";
        }
        return std::nullopt;
    }
    if (ec != std::errc::result_out_of_range || end != last)
        return "That is not a number, please try again.";
    if constexpr (std::is_integral_v<T>) {
        return std::string("That number is too ") + (negative ? "small" : "large") +
               "; whole numbers go from -2147483648 to 2147483647.";
    } else {
        // Beyond the doubles either way. strtold saturates, to 0 below and to infinity above,
        // also beyond the range of long double, where from_chars would give no value at all.
        const long double wide = std::strtold(std::string(first, last).c_str(), nullptr);
        if (std::fabs(wide) < 1)
            return "That number is too close to 0; numbers other than 0 are at least 4.94066e-324 "
                   "in size.";
        return std::string("That number is too ") + (negative ? "small" : "large") +
               "; numbers go from -1.79769e+308 to 1.79769e+308.";
    }
}

template <class T>
std::optional<T> readNumber(std::string_view reprompt, bool mayCancel) {
    return readAnswer<T>(reprompt, mayCancel, judgeNumber<T>);
}

template <class T>
std::optional<T> readNumberWhere(const std::function<bool(T)>& accept, std::string_view refusal,
                                 std::string_view reprompt, bool mayCancel) {
    return readAnswer<T>(reprompt, mayCancel, [&](const std::string& answer, T& value) -> Verdict {
        if (Verdict bad = judgeNumber(answer, value)) return bad;
        if (!accept(value)) return std::string(refusal);
        return std::nullopt;
    });
}

std::optional<char> readYesNoAnswer(std::string_view reprompt, bool mayCancel) {
    return readAnswer<char>(reprompt, mayCancel, [](const std::string& answer, char& c) -> Verdict {
        std::string lower = answer;
        for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        if (lower == "y" || lower == "yes" || lower == "n" || lower == "no") {
            c = lower[0];
            return std::nullopt;
        }
        return "Please answer y or n.";
    });
}

}  // namespace

std::istream& in() {
    return *inStream;
}
std::ostream& out() {
    return *outStream;
}

std::ostream& err() {
    return errStream ? *errStream : *outStream;
}

void setErrorStream(std::ostream* errors) {
    errStream = errors;
}

void setStreams(std::istream& input, std::ostream& output) {
    inStream = &input;
    outStream = &output;
    inputHasEnded = false;
    outStream->imbue(std::locale::classic());
}

void useStandardStreams() {
    inStream = &std::cin;
    outStream = &std::cout;
    inputHasEnded = false;
}

void setExitHook(ExitHook hook) {
    exitHook = std::move(hook);
}

void exitProgram(int status) {
    outStream->flush();
    if (exitHook) exitHook(status);
    std::exit(status);
}

void flushWhenDue(std::chrono::steady_clock::time_point now) {
    static std::chrono::steady_clock::time_point lastFlush{};
    // A time before the last flush (a caller's own clock) counts as due.
    if (now - lastFlush < kFlushInterval && now >= lastFlush) return;
    lastFlush = now;
    outStream->flush();
}

void clearScreen() {
    // ANSI: erase the screen and put the cursor at the top left.
    *outStream << "\x1b[2J\x1b[H" << std::flush;
}

int readInt(std::string_view reprompt) {
    return *readNumber<int>(reprompt, false);
}
double readReal(std::string_view reprompt) {
    return *readNumber<double>(reprompt, false);
}

std::string readWord(std::string_view reprompt) {
    return *readAnswer<std::string>(reprompt, false,
                                    [](const std::string& answer, std::string& word) -> Verdict {
                                        if (answer.find_first_of(kBlanks) != std::string::npos)
                                            return "Please enter one word, without spaces.";
                                        word = answer;
                                        return std::nullopt;
                                    });
}

int readIntWhere(const std::function<bool(int)>& accept, std::string_view refusal,
                 std::string_view reprompt) {
    return *readNumberWhere<int>(accept, refusal, reprompt, false);
}

double readRealWhere(const std::function<bool(double)>& accept, std::string_view refusal,
                     std::string_view reprompt) {
    return *readNumberWhere<double>(accept, refusal, reprompt, false);
}

char readYesNo(std::string_view reprompt) {
    return *readYesNoAnswer(reprompt, false);
}

char readChar() {
    return readYesNo({});
}

void setInputEndCancels(bool cancels) {
    inputEndCancels = cancels;
}

std::optional<int> askInt(std::string_view reprompt) {
    return readNumber<int>(reprompt, true);
}

std::optional<double> askReal(std::string_view reprompt) {
    return readNumber<double>(reprompt, true);
}

std::optional<int> askIntWhere(const std::function<bool(int)>& accept, std::string_view refusal,
                               std::string_view reprompt) {
    return readNumberWhere<int>(accept, refusal, reprompt, true);
}

std::optional<double> askRealWhere(const std::function<bool(double)>& accept,
                                   std::string_view refusal, std::string_view reprompt) {
    return readNumberWhere<double>(accept, refusal, reprompt, true);
}

std::optional<char> askYesNo(std::string_view reprompt) {
    return readYesNoAnswer(reprompt, true);
}

bool inputEnded() {
    return inputHasEnded;
}

template <class T>
T prompt(std::string_view prompt, const std::function<bool(T)>& accept, std::string_view refusal) {
    *outStream << prompt << std::flush;
    const T value = accept ? *readNumberWhere<T>(accept, refusal, prompt, false)
                           : *readNumber<T>(prompt, false);
    *outStream << '\n';
    return value;
}
template int prompt<int>(std::string_view, const std::function<bool(int)>&, std::string_view);
template double prompt<double>(std::string_view, const std::function<bool(double)>&,
                               std::string_view);

template <class T>
std::optional<T> ask(std::string_view prompt, const std::function<bool(T)>& accept,
                     std::string_view refusal) {
    *outStream << prompt << std::flush;
    const std::optional<T> value =
        accept ? readNumberWhere<T>(accept, refusal, prompt, true) : readNumber<T>(prompt, true);
    if (!value) {
        reportCancelled();
        return std::nullopt;
    }
    *outStream << '\n';
    return value;
}
template std::optional<int> ask<int>(std::string_view, const std::function<bool(int)>&,
                                     std::string_view);
template std::optional<double> ask<double>(std::string_view, const std::function<bool(double)>&,
                                           std::string_view);

void reportCancelled() {
    *outStream << '\n'
               << "Input ended while waiting for an answer; the command is cancelled." << '\n'
               << '\n'
               << std::flush;
}

}  // namespace qv::console

namespace qv {

bool fileExists(const std::string& path) {
    std::ifstream f(path);
    return f.is_open();
}

}  // namespace qv
