#include "console/console.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>

#include "tests/support/test_support.h"

namespace qv {
namespace {

// An answer is a whole line, blanks around it ignored. Bad answers get a message and the prompt
// again; end of input ends the program with status 1, or, once commands may cancel, gives nothing.
// (The table of bad answers in tests/setup covers the refusals one by one.)
TEST(Console, AnswersBadAnswersAndEndOfInput) {
    const std::string notNumber = "That is not a number, please try again.\n";
    const std::string ended = "\nInput ended while waiting for an answer; Quorvex stops.\n";
    namespace c = console;
    auto positive = [](double x) { return x > 0; };
    const struct {
        const char* script;
        bool cancels;
        std::function<void(std::ostream&)> read;
        std::string result, output;  // result: the answers taken, then "exit 1" if it ended
    } cases[] = {
        {"42\n\n-3.5e2\n  y\n rest \nYES\n", false,
         [](std::ostream& o) {
             o << c::readInt() << " ";
             o << c::readReal() << " ";
             o << c::readChar() << " ";
             o << c::readWord() << " " << c::readYesNo("");
         },
         "42 -350 y rest y", ""},
        {"ten\n1.5x\n7\n", false, [](std::ostream& o) { o << c::readInt("How many?\n"); }, "7",
         notNumber + "How many?\n" + notNumber + "How many?\n"},
        {"maybe\nn\n", false, [](std::ostream& o) { o << c::readYesNo("y/n?"); }, "n",
         "\nPlease answer y or n.\ny/n?"},
        {"-1\n2.5\n", false,
         [&](std::ostream& o) { o << c::prompt<double>("x: ", positive, "no"); }, "2.5",
         "x: \nno\nx: \n"},
        {"junk", false, [](std::ostream& o) { o << c::readReal("again\n"); }, "exit 1",
         notNumber + "again\n" + ended},
        {"   \n", false, [](std::ostream& o) { o << c::readChar(); }, "exit 1", ended},
        {"0\n", false,
         [&](std::ostream& o) { o << c::readRealWhere(positive, "positive", "n?\n"); }, "exit 1",
         "positive\nn?\n" + ended},
        {"3\nx\n", true,
         [](std::ostream& o) {
             o << *c::askInt() << c::askYesNo("?\n").has_value() << c::inputEnded();
         },
         "301", "Please answer y or n.\n?\n"},
    };
    for (const auto& k : cases) {
        test::resetConsole();
        test::ScriptedConsole io(k.script);
        c::setInputEndCancels(k.cancels);
        std::ostringstream result;
        try {
            k.read(result);
        } catch (const test::ProgramExit& e) {
            result << "exit " << e.status;
        }
        EXPECT_EQ(result.str(), k.result) << "script '" << k.script << "'";
        EXPECT_EQ(io.output(), k.output) << "script '" << k.script << "'";
    }
    test::resetConsole();
}

}  // namespace
}  // namespace qv
