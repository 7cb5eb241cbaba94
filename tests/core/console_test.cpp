#include "console/console.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iomanip>
#include <limits>
#include <locale>
#include <random>
#include <sstream>
#include <streambuf>

#include "analysis/runlog.h"
#include "console/number_text.h"
#include "console/output_file.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

// An answer is a whole line, blanks around it ignored. Bad answers get a message and the prompt
// again (tests/setup has them one by one); end of input ends the program, or cancels a command.
TEST(Console, AnswersBadAnswersAndEndOfInput) {
    namespace c = console;
    auto positive = [](double x) { return x > 0; };
    const struct {
        const char* script;
        std::function<void(std::ostream&)> read;
        const char* result;  // the answers taken, then "exit 1" if the program ended
    } cases[] = {
        {"42\n\n-3.5e2\n  y\n rest \nYES\n",  // C++17 orders the reads of one << chain
         [](std::ostream& o) {
             o << c::readInt() << " " << c::readReal() << " " << c::readChar() << " "
               << c::readWord() << " " << c::readYesNo("");
         },
         "42 -350 y rest y"},
        {"ten\n1.5x\n+7\n", [](std::ostream& o) { o << c::readInt("How many?\n"); }, "7"},
        {"maybe\nn\n", [](std::ostream& o) { o << c::readYesNo("y/n?"); }, "n"},
        {"maybe\n", [](std::ostream& o) { o << c::readYesNo("y/n?"); }, "exit 1"},
        {"-1\n2.5\n", [&](std::ostream& o) { o << c::prompt<double>("x: ", positive, "no"); },
         "2.5"},
        {"junk", [](std::ostream& o) { o << c::readReal("again\n"); }, "exit 1"},
        {"0\n", [&](std::ostream& o) { o << c::readRealWhere(positive, "positive", "n?\n"); },
         "exit 1"},
        {"3\nx\n",
         [](std::ostream& o) {
             c::setInputEndCancels(true);
             o << *c::askInt() << c::askYesNo("?\n").has_value() << c::inputEnded();
         },
         "301"},
        {"0\n",
         [&](std::ostream& o) {
             c::setInputEndCancels(true);
             o << c::ask<double>("x? ", positive, "no").has_value() << c::askInt().has_value()
               << c::askReal().has_value();
         },
         "000"},
        {"-2\n5\n", [&](std::ostream& o) { o << *c::ask<int>("n? ", positive, "no"); }, "5"},
        {"-2\n", [&](std::ostream& o) { o << c::prompt<double>("x? ", positive, "no"); }, "exit 1"},
        {"", [](std::ostream& o) { o << c::prompt<int>("n? ", {}, ""); }, "exit 1"},
        {"0\n", [&](std::ostream& o) { o << c::readIntWhere(positive, "no", "n?\n"); }, "exit 1"},
        {"1e-5000\n-1e5000\n1e-400\n-1e400\n2\n2147483648\n-2147483649\n4e-324\n",
         [](std::ostream& o) { o << c::readReal() << " " << c::readInt(); }, "2 exit 1"},
    };
    std::ostringstream transcript;
    for (const auto& k : cases) {
        test::resetConsole();
        test::ScriptedConsole io(k.script);
        std::ostringstream result;
        try {
            k.read(result);
        } catch (const test::ProgramExit& e) {
            result << "exit " << e.status;
        }
        EXPECT_EQ(result.str(), k.result) << "script '" << k.script << "'";
        transcript << "== " << k.result << "\n" << io.output() << "\n";
    }
    test::resetConsole();
    test::expectGolden("console_answers.txt", transcript.str());
}

// Set-up questions end the program at the end of input, also while window commands would cancel.
TEST(Console, SetUpQuestionsEndTheProgramEvenWhereCommandsCancel) {
    namespace c = console;
    const auto yes = [](double) { return true; };
    const std::function<void()> reads[] = {[] { c::readInt(); },
                                           [] { c::readReal(); },
                                           [] { c::readWord(); },
                                           [] { c::readChar(); },
                                           [] { c::readYesNo(""); },
                                           [&] { c::readIntWhere(yes, "", ""); },
                                           [&] { c::readRealWhere(yes, "", ""); },
                                           [&] { c::prompt<double>("", yes, ""); }};
    for (const auto& read : reads) {
        test::resetConsole();
        test::ScriptedConsole io("");
        c::setInputEndCancels(true);
        EXPECT_THROW(read(), test::ProgramExit);
    }
    test::resetConsole();
}

// Reals as printf's %.6g writes them (and %.17g at precision 17), also at the edges of the fixed
// notation, for signed zeros, infinities and NaNs; integers, text and characters as the stream
// writes them; a format flag or a field width is honoured. Enough rows to fill the file's buffer
// several times, so that numbers also land at its end.
TEST(OutputFile, WritesTheBytesTheStreamWrites) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double reals[] = {
        0.0,     -0.0,     1e-5,     1e-4,     0.000123456789, 1.0 / 3,
        100000,  999999.4, 999999.5, 1e6,      1234567.0,      -2.76e6,
        inf,     -inf,     nan,      -nan,     4.9e-324,       1.7976931348623157e308,
        -1e-300, 123456.5, 0.1,      9.9999995};
    test::Sandbox box;
    std::ostringstream expected;
    {
        OutputFile file("f", FileMode::Replace);
        for (int row = 0; row < 120; ++row) {
            const int precision = row < 100 ? 6 : 17;
            file.stream().precision(precision);
            for (double v : reals) {
                char text[40];
                std::snprintf(text, sizeof text, "%.*g\t", precision, v);
                file << v << '\t';
                expected << text;
            }
            file << row - 60 << ' ' << (static_cast<long long>(row) << 57) << ' '
                 << std::numeric_limits<unsigned long long>::max() - row << std::string(" text")
                 << std::string_view(" and ", 5) << "more\n";
            expected << row - 60 << ' ' << (static_cast<long long>(row) << 57) << ' '
                     << std::numeric_limits<unsigned long long>::max() - row << " text and more\n";
        }
        file << std::setw(9) << 2.5 << std::setw(4) << "ab" << std::fixed << 2.5;
        expected << "      2.5  ab2.50000000000000000";
    }
    EXPECT_EQ(test::readFile("f"), expected.str());
}

// The shorter way to %.<p>g against printf itself: random bit patterns, magnitudes from 1e-22 to
// 1e22, values halfway between two outputs, the neighbours of powers of ten, whole numbers.
TEST(NumberText, RealsAreWhatPrintfWrites) {
    std::mt19937_64 rng(3);
    const int precisions[] = {0, 1, 3, 6, 9, 10};
    for (int i = 0; i < 300000; ++i) {
        const std::uint64_t b = rng();
        const double ten = std::pow(10.0, static_cast<int>(b % 45) - 22);
        double v = 0;
        switch (i % 5) {
            case 0:
                std::memcpy(&v, &b, sizeof v);
                break;
            case 1:
                v = std::ldexp(static_cast<double>(b >> 11), static_cast<int>(b % 140) - 120);
                break;
            case 2:
                v = (static_cast<double>((b >> 40) % 2000000) + 0.5) * ten;
                break;
            case 3:
                v = std::nextafter(std::nextafter(ten, (b & 2) ? 0 : 1.0), (b & 4) ? 0 : 1.0);
                break;
            default:
                v = static_cast<double>((b >> 20) % 2000001) - 1e6;
        }
        if (b & 1) v = -v;
        const int p = precisions[i % 6];
        char expected[64], text[kNumberTextSize + 1];
        std::snprintf(expected, sizeof expected, "%.*g", p, v);
        *realText(text, v, p) = '\0';
        ASSERT_STREQ(text, expected) << p;
    }
}

// A status line rewritten at every step reaches the terminal about 30 times a second, not more;
// a read of an answer flushes what waits before it.
TEST(Console, FlushesWhenDueAndBeforeAnAnswerIsRead) {
    struct CountingBuffer : std::stringbuf {
        int syncs = 0;
        int sync() override {
            ++syncs;
            return std::stringbuf::sync();
        }
    } buffer;
    std::ostream out(&buffer);
    std::istringstream in("7\n");
    console::setStreams(in, out);
    const auto t0 = std::chrono::steady_clock::now() + std::chrono::hours(1);
    const int after[] = {0, 1, 32, 33, 40, 65, 66, 0};  // milliseconds
    const int syncs[] = {1, 1, 1, 2, 2, 2, 3, 4};       // at 0 again: an earlier time counts as due
    for (int k = 0; k < 8; ++k) {
        console::flushWhenDue(t0 + std::chrono::milliseconds(after[k]));
        EXPECT_EQ(buffer.syncs, syncs[k]) << k;
    }
    out << "How many?";
    EXPECT_EQ(console::readInt(), 7);
    EXPECT_EQ(buffer.syncs, 5);
    test::resetConsole();
}

// The status line: 199 backspaces, then the values as the console stream writes them with three
// significant digits, which it keeps; also when the stream has a format flag set.
TEST(RunLog, StatusLineIsWhatTheConsoleStreamWritesAtThreeDigits) {
    Simulation sim;
    const double values[][3] = {
        {1.5, 123456, -0.0},
        {1e-5, 999.5, 0.000123456},
        {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN(), 1e6}};
    for (const auto flags :
         {std::ios_base::fmtflags{}, std::ios_base::fixed, std::ios_base::showpos})
        for (const auto& v : values) {
            std::istringstream in;
            std::ostringstream out, expected;
            for (std::ostream* s : {&out, &expected}) {
                s->imbue(std::locale::classic());
                s->setf(flags);
            }
            console::setStreams(in, out);
            sim.thermostat.temperatureRatio = v[0];
            sim.thermostat.ccple = v[1];
            sim.energies.kineticEnergy = v[2];
            sim.clock.currentFrame = static_cast<int>(v[1]) % 10007;
            printStatusLine(sim);
            expected << std::setprecision(3) << std::string(199, '\b') << "T: " << v[0]
                     << " : CCP: " << v[1] << " : Count: " << sim.clock.currentFrame
                     << " : KE: " << v[2];
            EXPECT_EQ(out.str(), expected.str());
            EXPECT_EQ(out.precision(), 3);
        }
    test::resetConsole();
}

}  // namespace
}  // namespace qv
