#include "console/console.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>

#include "tests/support/test_support.h"

namespace qv {
namespace {

template <class T>
std::string text(T value) {
    std::ostringstream s;
    s << value;
    return s.str();
}

// An answer is a whole line. Bad answers are refused with a message and the prompt again; end of
// input at any prompt ends the program with status 1, never a loop on a dead stream. (The table of
// bad answers in tests/setup covers the refusals one by one.)
TEST(Console, AnswersBadAnswersAndEndOfInput) {
    const std::string notNumber = "That is not a number, please try again.\n";
    const std::string ended = "\nInput ended while waiting for an answer; Quorvex stops.\n";
    auto positive = [](int n) { return n > 0; };
    struct Case {
        const char* script;
        std::function<std::string()> read;
        std::string result;  // the answer taken, or "exit 1"
        std::string output;
    } cases[] = {
        {"42\n\n-3.5e2\n  y\nrun7\n rest \n",
         [] {  // a braced list reads in order
             const std::string a[] = {text(console::readInt()), text(console::readReal()),
                                      text(console::readChar()), console::readWord(),
                                      console::readWord()};
             return a[0] + " " + a[1] + " " + a[2] + " " + a[3] + "|" + a[4];
         },
         "42 -350 y run7|rest", ""},
        {"ten\n1.5x\n7\n", [] { return text(console::readInt("How many?\n")); }, "7",
         notNumber + "How many?\n" + notNumber + "How many?\n"},
        {"0\n-4\n5\n",
         [&] { return text(console::readIntWhere(positive, "1 or more, please.", "n?\n")); }, "5",
         "1 or more, please.\nn?\n1 or more, please.\nn?\n"},
        {"", [] { return text(console::readInt()); }, "exit 1", ended},
        {"junk", [] { return text(console::readReal("again\n")); }, "exit 1",
         notNumber + "again\n" + ended},
        {"   \n", [] { return text(console::readChar()); }, "exit 1", ended},
        {"", [] { return console::readWord(); }, "exit 1", ended},
        {"0\n", [&] { return text(console::readIntWhere(positive, "positive", "n?\n")); }, "exit 1",
         "positive\nn?\n" + ended},
    };
    for (const Case& c : cases) {
        test::resetProgramState();
        test::ScriptedConsole io(c.script);
        std::string result;
        try {
            result = c.read();
        } catch (const test::ProgramExit& e) {
            result = "exit " + text(e.status);
        }
        EXPECT_EQ(result, c.result) << "script '" << c.script << "'";
        EXPECT_EQ(io.output(), c.output) << "script '" << c.script << "'";
    }
}

}  // namespace
}  // namespace qv
