#pragma once
// The console: every prompt and message of the program goes through these streams, so that a
// whole dialogue can run in a test from a script of answers.
#include <fstream>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

namespace qv::console {

std::istream& in();
std::ostream& out();
// Replace the console streams (tests); useStandardStreams() goes back to std::cin/std::cout.
void setStreams(std::istream& input, std::ostream& output);
void useStandardStreams();

// Ends the program with `status` through the normal exit path (std::exit, so the registered
// at-exit handler runs). Tests replace the hook, e.g. by one that throws.
using ExitHook = std::function<void(int)>;
void setExitHook(ExitHook hook);
[[noreturn]] void exitProgram(int status);

// Clears the terminal; the following text starts on an empty screen.
void clearScreen();

// Answers are read by formatted extraction. A non-numeric answer to a numeric read is never
// taken as a value: a short message and `reprompt` are printed and the answer read again.
// When input ends while the program waits, it says so and exits with status 1.
int readInt(std::string_view reprompt = {});
double readReal(std::string_view reprompt = {});
char readChar();         // one non-blank character
std::string readWord();  // one white-space-delimited word

// Reads until `accept` holds; otherwise prints `refusal` (a line naming the accepted range,
// printed with a line end) and `reprompt`, and reads again.
int readIntWhere(const std::function<bool(int)>& accept, std::string_view refusal,
                 std::string_view reprompt);
double readRealWhere(const std::function<bool(double)>& accept, std::string_view refusal,
                     std::string_view reprompt);

// Prints "y/n" style refusal and asks again until the answer is 'y' or 'n'.
char readYesNo(std::string_view reprompt);

}  // namespace qv::console

namespace qv {

bool fileExists(const std::string& path);

}  // namespace qv
