#pragma once
// The console: every prompt and message of the program goes through these streams, so that a
// whole dialogue can run in a test from a script of answers.
#include <chrono>
#include <fstream>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace qv::console {

std::istream& in();
std::ostream& out();
// Replace the console streams (tests); useStandardStreams() goes back to std::cin/std::cout.
void setStreams(std::istream& input, std::ostream& output);
void useStandardStreams();
// Failures (a file that cannot be written, a render that stops) go to err(): the console's own
// stream unless another is set, as a batch run sets one while its other messages go nowhere.
std::ostream& err();
void setErrorStream(std::ostream* errors);

// Ends the program with `status` through the normal exit path (std::exit, so the registered
// at-exit handler runs). Tests replace the hook, e.g. by one that throws.
using ExitHook = std::function<void(int)>;
void setExitHook(ExitHook hook);
[[noreturn]] void exitProgram(int status);

// Flushes out() when at least kFlushInterval has passed since the last flush made here, so that a
// line rewritten at every step reaches the terminal no more often than it can show it. Reads of
// answers and exitProgram flush out() as well.
inline constexpr std::chrono::milliseconds kFlushInterval{33};
void flushWhenDue(std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now());

// Clears the terminal; the following text starts on an empty screen.
void clearScreen();

// Every answer is one whole line: blank lines are skipped, blanks around the answer ignored, and
// nothing of the line is left over for the next prompt. An answer that is refused gets a short
// message on a line of its own and `reprompt`, and is read again.
//
// The read functions serve the set-up dialogue: when input ends while the program waits, it says
// so and exits with status 1.
int readInt(std::string_view reprompt = {});
double readReal(std::string_view reprompt = {});
std::string readWord(std::string_view reprompt = {});  // one word, without blanks

// Reads until `accept` holds; otherwise prints `refusal` (a line naming the accepted range,
// printed with a line end) and `reprompt`, and reads again.
int readIntWhere(const std::function<bool(int)>& accept, std::string_view refusal,
                 std::string_view reprompt);
double readRealWhere(const std::function<bool(double)>& accept, std::string_view refusal,
                     std::string_view reprompt);

// "y", "yes", "n" or "no" in any case; returns 'y' or 'n'. Anything else is asked again.
char readYesNo(std::string_view reprompt);
// A y/n answer to a question that is not repeated: readYesNo without a prompt to repeat.
char readChar();

// The ask functions serve commands given from the window. Once setInputEndCancels(true) has been
// called, end of input makes them return nothing, and the caller cancels its command (or takes
// its fallback) and the program runs on; before that they end the program as the reads do.
void setInputEndCancels(bool cancels);
std::optional<int> askInt(std::string_view reprompt = {});
std::optional<double> askReal(std::string_view reprompt = {});
std::optional<int> askIntWhere(const std::function<bool(int)>& accept, std::string_view refusal,
                               std::string_view reprompt);
std::optional<double> askRealWhere(const std::function<bool(double)>& accept,
                                   std::string_view refusal, std::string_view reprompt);
std::optional<char> askYesNo(std::string_view reprompt);
// True once a read has found the input at its end.
bool inputEnded();
// The message of a command given up for want of an answer.
void reportCancelled();

}  // namespace qv::console

namespace qv {

bool fileExists(const std::string& path);

}  // namespace qv

namespace qv::console {

// One question of the set-up dialogues: prints `prompt` as given (a prompt ending in a line end
// takes its answer on the next line), reads the answer, then ends the line. An answer `accept`
// refuses gets `refusal` and `prompt` again. T is int or double; input that ends while the
// program waits ends it, as the reads do.
template <class T>
T prompt(std::string_view prompt, const std::function<bool(T)>& accept = {},
         std::string_view refusal = {});
// The same for a command given from the window: nothing when the input has ended, and the
// command is reported cancelled.
template <class T>
std::optional<T> ask(std::string_view prompt, const std::function<bool(T)>& accept = {},
                     std::string_view refusal = {});

}  // namespace qv::console
