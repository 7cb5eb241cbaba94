#include "console/console.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/test_support.h"

namespace qv {
namespace {

TEST(Console, ReadsEachKindOfAnswer) {
    test::resetProgramState();
    test::ScriptedConsole io("42\n-3.5e2\n  y\nrun7 rest\n");
    EXPECT_EQ(console::readInt(), 42);
    EXPECT_DOUBLE_EQ(console::readReal(), -350.0);
    EXPECT_EQ(console::readChar(), 'y');
    EXPECT_EQ(console::readWord(), "run7");
    EXPECT_EQ(console::readWord(), "rest");
}

TEST(Console, NonNumericAnswerIsRefusedAndAskedAgain) {
    test::resetProgramState();
    test::ScriptedConsole io("ten\n1.5x\n7\n");
    EXPECT_EQ(console::readInt("How many?\n"), 7);
    // "ten" is refused, and "1.5x" is no integer either.
    const std::string out = io.output();
    EXPECT_NE(out.find("That is not a number, please try again.\nHow many?\n"), std::string::npos);
}

TEST(Console, RealReadRefusesWordsButTakesNumbersAsTyped) {
    test::resetProgramState();
    test::ScriptedConsole io("abc\n2.25\n");
    EXPECT_DOUBLE_EQ(console::readReal("Temperature?\n"), 2.25);
    EXPECT_EQ(io.output(), "That is not a number, please try again.\nTemperature?\n");
}

TEST(Console, RangeCheckedReadNamesTheRangeAndRepeatsThePrompt) {
    test::resetProgramState();
    test::ScriptedConsole io("0\n-4\n5\n");
    const int v = console::readIntWhere([](int n) { return n >= 1; },
                                        "Please enter a number of 1 or more.", "Frames?\n");
    EXPECT_EQ(v, 5);
    EXPECT_EQ(io.output(),
              "Please enter a number of 1 or more.\nFrames?\n"
              "Please enter a number of 1 or more.\nFrames?\n");
}

TEST(Console, YesNoQuestionIsAskedUntilYOrN) {
    test::resetProgramState();
    test::ScriptedConsole io("x Y n\n");
    EXPECT_EQ(console::readYesNo("Append? (y/n)\n"), 'n');
    EXPECT_EQ(io.output(),
              "Please answer y or n.\nAppend? (y/n)\nPlease answer y or n.\nAppend? (y/n)\n");
}

// End of input at any prompt ends the program with status 1, never a loop on a dead stream.
TEST(Console, EndOfInputExitsWithStatusOne) {
    test::resetProgramState();
    auto exitStatus = [](auto read) {
        try {
            read();
        } catch (const test::ProgramExit& e) {
            return e.status;
        }
        return -1;
    };
    {
        test::ScriptedConsole io("");
        EXPECT_EQ(exitStatus([] { console::readInt(); }), 1);
        EXPECT_NE(io.output().find("Input ended"), std::string::npos);
    }
    {
        test::ScriptedConsole io("junk");  // a bad answer, then nothing more
        EXPECT_EQ(exitStatus([] { console::readReal("again\n"); }), 1);
    }
    {
        test::ScriptedConsole io("   \n");
        EXPECT_EQ(exitStatus([] { console::readChar(); }), 1);
    }
    {
        test::ScriptedConsole io("");
        EXPECT_EQ(exitStatus([] { console::readWord(); }), 1);
    }
    {
        test::ScriptedConsole io("0\n");
        EXPECT_EQ(exitStatus([] {
                      console::readIntWhere([](int n) { return n > 0; }, "positive", "n?\n");
                  }),
                  1);
    }
}

TEST(Console, FilesUseTheClassicLocaleAndSixDigits) {
    test::resetProgramState();
    test::TempDir dir;
    {
        std::ofstream f = openForWrite("numbers");
        f << 0.000123456789 << ' ' << 1234567.0 << ' ' << 2.5 << '\n';
    }
    EXPECT_EQ(test::readFile("numbers"), "0.000123457 1.23457e+06 2.5\n");
    {
        std::ofstream f = openForAppend("numbers");
        f << 7 << '\n';
    }
    EXPECT_EQ(test::readFile("numbers"), "0.000123457 1.23457e+06 2.5\n7\n");
    EXPECT_TRUE(fileExists("numbers"));
    EXPECT_FALSE(fileExists("missing"));
}

}  // namespace
}  // namespace qv
