#include "console/console.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>

#include "tests/support/test_support.h"

namespace qv {
namespace {

template <class T>
std::string text(const T& value) {
    std::ostringstream s;
    if constexpr (requires { value.has_value(); }) {
        value ? s << *value : s << "none";
    } else {
        s << value;
    }
    return s.str();
}

// An answer is a whole line. Bad answers are refused with a message and the prompt again; end of
// input ends the program with status 1, or, once commands may cancel, gives nothing. (The table of
// bad answers in tests/setup covers the refusals one by one.)
TEST(Console, AnswersBadAnswersAndEndOfInput) {
    const std::string notNumber = "That is not a number, please try again.\n";
    const std::string ended = "\nInput ended while waiting for an answer; Quorvex stops.\n";
    auto positive = [](int n) { return n > 0; };
    namespace c = console;
    const struct {
        const char* script;
        bool cancels;
        std::function<std::string()> read;
        std::string result, output;  // result: the answer taken, or "exit 1"
    } cases[] = {
        {"42\n\n-3.5e2\n  y\nrun7\n rest \nYES\n", false,
         [] {
             const std::string a[] = {text(c::readInt()), text(c::readReal()), text(c::readChar()),
                                      c::readWord(), c::readWord(), text(c::readYesNo(""))};
             return a[0] + " " + a[1] + " " + a[2] + " " + a[3] + "|" + a[4] + a[5];
         },
         "42 -350 y run7|resty", ""},
        {"ten\n1.5x\n7\n", false, [] { return text(c::readInt("How many?\n")); }, "7",
         notNumber + "How many?\n" + notNumber + "How many?\n"},
        {"0\n-4\n5\n", false,
         [&] { return text(c::readIntWhere(positive, "1 or more, please.", "n?\n")); }, "5",
         "1 or more, please.\nn?\n1 or more, please.\nn?\n"},
        {"maybe\nn\n", false, [] { return text(c::readYesNo("y/n?")); }, "n",
         "\nPlease answer y or n.\ny/n?"},
        {"-1\n2.5\n", false,
         [] { return text(c::prompt<double>("x: ", [](double x) { return x > 0; }, "no")); },
         "2.5", "x: \nno\nx: \n"},
        {"", false, [] { return text(c::readInt()); }, "exit 1", ended},
        {"junk", false, [] { return text(c::readReal("again\n")); }, "exit 1",
         notNumber + "again\n" + ended},
        {"   \n", false, [] { return text(c::readChar()); }, "exit 1", ended},
        {"0\n", false, [&] { return text(c::readIntWhere(positive, "positive", "n?\n")); },
         "exit 1", "positive\nn?\n" + ended},
        {"3\n", true,
         [] {
             const std::string a = text(c::askInt()), b = text(c::askReal());
             return a + b + text(c::inputEnded());
         },
         "3none1", ""},
        {"x\n", true, [] { return text(c::askYesNo("?\n")); }, "none", "Please answer y or n.\n?\n"},
    };
    for (const auto& k : cases) {
        test::resetConsole();
        test::ScriptedConsole io(k.script);
        c::setInputEndCancels(k.cancels);
        std::string result;
        try {
            result = k.read();
        } catch (const test::ProgramExit& e) {
            result = "exit " + text(e.status);
        }
        EXPECT_EQ(result, k.result) << "script '" << k.script << "'";
        EXPECT_EQ(io.output(), k.output) << "script '" << k.script << "'";
    }
    test::resetConsole();
}

}  // namespace
}  // namespace qv
