// Bad answers, one table: each script of answers, the command it is given to, what the program
// settled on, and the text it must have said (tests/golden/bad_answers.txt, by case name).
#include <GL/freeglut_std.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>

#include "analysis/tracker.h"
#include "console/console.h"
#include "setup/setup.h"
#include "sim/cooling.h"
#include "sim/state.h"
#include "tests/support/test_support.h"
#include "view/highlight.h"
#include "view/keys.h"
#include "view/menus.h"
#include "view/view_state.h"

namespace qv {
namespace {

using namespace std::string_literals;

// Golden lines "<case>: <text>", with \n standing for a line end inside the text.
std::map<std::string, std::string> goldenTexts() {
    const auto file =
        std::filesystem::path(__FILE__).parent_path().parent_path() / "golden" / "bad_answers.txt";
    std::map<std::string, std::string> texts;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        const std::size_t colon = line.find(": ");
        if (line.empty() || line[0] == '#' || colon == std::string::npos) continue;
        std::string text;
        for (std::size_t i = colon + 2; i < line.size(); ++i) {
            if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == 'n') {
                text += '\n';
                ++i;
            } else {
                text += line[i];
            }
        }
        texts[line.substr(0, colon)] = text;
    }
    return texts;
}

std::string str(double v) {
    std::ostringstream s;
    s << v;
    return s.str();
}

// A small render state for the window's commands: four grains and one dead particle.
void smallRun() {
    params.runMode = kRender;
    params.numParticles = 5;
    params.numDeadParticles = 1;
    params.framesToCalculate = 10;
    params.apparatusRadius = 10;
    params.temperatureRatio = 0.01;
    arrays.particleArray.assign(5, Particle{});
    for (int i = 0; i < 5; ++i) arrays.particleArray[i].setVelocity(0, 0.1 * (i + 1));
    arrays.particleArray[0].setColour(0, 4, 0);
    view.sliceMin = -1;
}

const std::string kTen = "1\n0\nrun\n13\n0\n4\n10\n";           // run mode 1 up to the frames
const std::string kParameterTail = "10000\n5\n5\n1\n1.0\n0\n";  // charge on

std::string setUp() {
    runSetUp();
    return str(params.timeStep);
}
std::string name() {
    promptDataSetFile();
    return params.baseName;
}
std::string schedule() {
    promptCoolingSchedule();
    return std::to_string(params.framesToCalculate) + " " + str(params.ccpleTarget);
}
// A key of the window, then the state it should have left.
template <class Getter>
std::function<std::string()> key(int code, bool special, Getter state) {
    return [=] {
        if (special) {
            specialKeyHandler(code, 0, 0);
        } else {
            keyboardHandler(static_cast<unsigned char>(code), 0, 0);
        }
        return str(state());
    };
}

TEST(BadAnswers, AreRefusedOrCancelledAndNeverShiftLaterAnswers) {
    struct Case {
        const char* name;
        std::string script;
        bool window;  // a command from the window: end of input cancels it
        std::function<std::string()> run;
        std::string settled;  // "exit <status>" when the program ended
    };
    const Case cases[] = {
        // Every answer takes its whole line; y/n in words and in any case.
        {"yes no", "x\nyes please\n12\nNO\n5\n", false,
         [] {
             const char answer = console::readChar();
             return answer + str(console::readInt());
         },
         "n5"},
        {"no then a name", "old\nno\nrun8\n", false, name, "run8"},
        {"one word", "two words\nrun7\n", false, [] { return console::readWord("Name?\n"); },
         "run7"},
        {"control characters", "bad\0name\nbell\a\nrun9\n"s, false, name, "run9"},
        {"long name", std::string(236, 'a') + "\n" + std::string(235, 'a') + "\n", false,
         [] { return std::to_string(name().size()); }, "235"},
        // Numbers beyond their type are too large or too small, not "not a number".
        {"whole numbers", "99999999999\n-99999999999\n12 34\n7\n", false,
         [] { return str(console::readInt("n?\n")); }, "7"},
        {"reals", "1e400\n-1e400\n1e-400\ninf\n2.5\n", false,
         [] { return str(console::readReal("x?\n")); }, "2.5"},
        // Counts that would not fit in an int: dead particles, slots, frames, the schedule's.
        {"counts", "13\n2147483647\n1\n2147483647\n4\n2147483647\n10\n300\n500\n" + kParameterTail,
         false,
         [] {
             promptParameters();
             return std::to_string(params.numParticles) + " " +
                    std::to_string(params.framesToCalculate);
         },
         "5 10"},
        {"schedule frames", "200\n100\n50000\n50000\n1\n200\n100\n5\n1000\n1\n", false, schedule,
         "6000 225"},
        {"schedule target", "1e308\n1e-300\n2\n10\n1\n200\n100\n5\n10\n1\n", false, schedule,
         "60 225"},
        // Answers in range whose derived quantities are not: the set-up names the answer.
        {"temperature",
         kTen + "1e308\n500\n" + kParameterTail + "13\n0\n4\n10\n300\n500\n" + kParameterTail,
         false, setUp, "1.479e+07"},
        {"coupling", kTen + "300\n1e155\n" + kParameterTail, false, setUp, "exit 1"},
        {"charge", kTen + "300\n500\n4.9e-324\n5\n5\n1\n1.0\n0\n", false, setUp, "exit 1"},
        {"mass fractions", kTen + "300\n500\n10000\n5\n5\n2\n1e308\n1e308\n1.0\n0\n", false, setUp,
         "exit 1"},
        {"step multiplier", kTen + "300\n500\n10000\n5\n5\n1\n1e300\n0\n", false, setUp, "exit 1"},
        {"speed table", "1\n0\nrun\n13\n0\n100000\n1000000000\n300\n500\n10000\n5\n1\n1\n1\n1\n",
         false, setUp, "exit 1"},
        // Input ends at a window command: the command is cancelled or takes its fallback.
        {"F6", "", true, key(GLUT_KEY_F6, true, [] { return arrays.particleArray[1].vel[0]; }),
         "0.2"},
        {"F6 in the set-up", "", false, key(GLUT_KEY_F6, true, [] { return 0; }), "exit 1"},
        {"F7", "", true, key(GLUT_KEY_F7, true, [] { return view.sliceMin; }), "-1e+07"},
        {"F7 centre", "0.2\n", true, key(GLUT_KEY_F7, true, [] { return view.sliceMin; }), "-1"},
        {"F8", "", true, key(GLUT_KEY_F8, true, [] { return arrays.particleArray[0].colour(1); }),
         "4"},
        // Neither analysis wrote a line.
        {"F5", "", true,
         key(GLUT_KEY_F5, true,
             [] {
                 return std::filesystem::exists("ShellStructure.xls") +
                        std::filesystem::exists("PCF Data.xls");
             }),
         "0"},
        {"C", "", true, key('C', false, [] { return params.coolingState; }), "-1"},
        {"f", "", true, key('f', false, [] { return params.autoFiringOn; }), "-1"},
        {"q", "", true, key('q', false, [] { return tracker.trackedCount; }), "0"},
        {"g", "", true, key('g', false, [] { return params.currentFrame; }), "1"},
        {"menus", "", true,
         [] {
             for (int entry : {13, 21, 23, 26}) menuHandler(entry);
             return str(dead.deadMassFraction) + " " + str(dead.phiScanOn) + " " +
                    str(params.coolingTolerance);
         },
         "1 -1 0.01"},
    };
    const std::map<std::string, std::string> golden = goldenTexts();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::resetProgramState();
        test::TempDir dir;
        std::ofstream("old") << "previous\n";
        smallRun();
        // The window's commands run after the set-up; "g" needs a replay.
        params.runMode = c.window ? (std::string(c.name) == "g" ? kPlay : kRender) : 0;
        console::setInputEndCancels(c.window);
        test::ScriptedConsole console(c.script);
        std::string settled;
        try {
            settled = c.run();
        } catch (const test::ProgramExit& e) {
            settled = "exit " + std::to_string(e.status);
        }
        EXPECT_EQ(settled, c.settled);
        const auto text = golden.find(c.name);
        if (text == golden.end()) {
            ADD_FAILURE() << "no golden text";
            continue;
        }
        EXPECT_NE(console.output().find(text->second), std::string::npos)
            << "said:\n"
            << console.output() << "\nexpected within it:\n"
            << text->second;
    }
}

}  // namespace
}  // namespace qv
