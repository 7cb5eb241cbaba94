// Scripted dialogues, two tables: the set-up's flows and every kind of bad answer. Each case runs
// in a fresh directory; what the program said, what it settled (or its exit status) and the files
// it left are compared with tests/golden/setup_dialogues.txt and tests/golden/bad_answers.txt.
#include <GL/freeglut_std.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/tracker.h"
#include "console/console.h"
#include "dataset/writer.h"
#include "setup/setup.h"
#include "sim/cooling.h"
#include "sim/simulation.h"
#include "tests/support/test_support.h"
#include "view/highlight.h"
#include "view/keys.h"
#include "view/menus.h"
#include "view/view_state.h"

namespace qv {
namespace {

using namespace std::string_literals;

struct Case {
    const char* name;
    std::string script;
    std::function<std::string()> run;  // what the dialogue settled
};

template <class... T>
std::string join(const T&... values) {
    std::ostringstream s;
    ((s << ' ' << values), ...);
    return s.str().substr(1);
}

// Every file of the directory: its line count, first and last line. A data set still open gets
// a line "next" first, to show whether it was appended to.
std::string files() {
    if (dataSetStream.is_open()) dataSetStream << "next\n";
    dataSetStream.close();
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(".")) {
        names.insert(e.path().filename().string() + (e.is_directory() ? "/" : ""));
    }
    std::string listing;
    for (const std::string& name : names) {
        std::istringstream in(name.back() == '/' ? "" : test::readFile(name));
        std::string first, last, line;
        int count = 0;
        for (; std::getline(in, line); ++count) (count == 0 ? first : last) = line;
        listing += "  " + name + ": " + join(count, "lines:", first) +
                   (count > 1 ? " ... " + last : "") + "\n";
    }
    return listing;
}

std::string transcripts(const std::vector<Case>& cases, const std::function<void()>& prepare) {
    std::string all;
    for (const Case& c : cases) {
        test::resetProgramState();
        test::TempDir dir;
        std::ofstream("old") << "previous\n";
        prepare();
        test::ScriptedConsole console(c.script);
        std::string settled;
        try {
            settled = c.run();
        } catch (const test::ProgramExit& e) {
            settled = "exit " + std::to_string(e.status);
        }
        all += "== "s + c.name + "\n" + console.output() + "-> " + settled + "\n" + files();
    }
    return all;
}

// What a dialogue settled, all at once.
std::string settled() {
    const Parameters& p = params;
    return join("mode", p.runMode, "name", p.baseName, "slots", p.numParticles, "dead",
                p.numDeadParticles, "frames", p.framesToCalculate, "written", p.numWrittenFrames,
                "every", p.writeFreq, "analysis", p.analysisFreq, "seed", p.randomSeed, "T",
                p.dustTemperature, "ccple", p.ccple, "to", p.ccpleTarget, "charge", p.grainCharge,
                "groups", p.numMassGroups, "mult", p.stepMultiplier, "speeds",
                p.speedDistributionOn, "2D", p.shellOutput2D, p.pcfOutput2D, p.potentialOutput2D,
                p.efieldOutput2D, "schedule", p.scheduleStep, p.scheduleDivisions,
                p.scheduleDivisionLength, p.scheduleMode, "play step", p.playStep, "grains",
                sim.arrays.particleArray.size(), "charge 0",
                sim.arrays.particleArray.empty() ? 0 : sim.arrays.particleArray[0].charge());
}
template <void (*dialogue)()>
std::string run() {
    dialogue();
    return settled();
}
std::string setUpInWindow() {
    view.windowOpen = true;
    return run<runSetUp>();
}

TEST(Dialogues, FollowTheirScripts) {
    const std::vector<Case> cases = {
        {"default render", "4\n0\nrunA\n", run<runSetUp>},
        // The charge is typed in electrons: a negative count makes a positive charge.
        {"render", "1\n0\nrunB\n7\n2\n5\n1000\n20\n3\n-10000\n30\n7\n1\n0.5\n1\n", run<runSetUp>},
        // Bad choices, play and crystal need a window, two rounds of surface plots (the last
        // answers count), then the default set with a Max-Min cooling schedule.
        {"menu loop",
         "0\n7\nx\n2\n6\n5\n1\n0\n1\n0\n5\n0\n1\n1\n0\n4\n2\n1\nrunF\n200\n100\n5\n1000\n1\n",
         run<runSetUp>},
        {"crystal", "6\ncrystal\n", setUpInWindow},
        // File name, 1 to play it, 0 to keep its EndFrame.
        {"play", "2\nplay\n1\n0\n",
         [] {
             std::ofstream("play") << "1 1 10 0.5 2000 1 0.01 3.2 0\n1 0 0 0 1 -1 1\n1 1 0 0 0\n";
             return setUpInWindow();
         }},
        {"end at the menu", "", run<runSetUp>},
        {"end at the file name", "4\n", run<runSetUp>},
        {"end in the parameters", "1\n0\nrunG\n13\n2\n", run<runSetUp>},
        {"end in the loading dialogue", "3\n0\n", run<runSetUp>},
        // Appending; after a "no" an existing name is only refused; a missing directory, then a
        // directory that exists but cannot take lines.
        {"append", "old\nx\ny\n", run<promptDataSetFile>},
        {"no append", "old\nn\nold2\nfresh\n",
         [] {
             std::ofstream("old2") << "previous\n";
             return run<promptDataSetFile>();
         }},
        {"uncreatable", "missing/dir/run\nadir\ny\nok\n",
         [] {
             std::filesystem::create_directory("adir");
             return run<promptDataSetFile>();
         }},
        // Each refused with its range and asked again; the mass groups' maximum below the
        // minimum asks for both again.
        {"parameters",
         "13\n-1\n2\n0\n-5\n4\n0\n100\n0\n-3\n300\n1\n0.5\n500\n0\n10000\n0\n101\n1\n0\n10\n"
         "0\n5\n2\n0.5\n2\n0\n3\n-1\n1\n0\n-1\n1.0\n0\n",
         run<promptParameters>},
        // Max-Min-Max runs twice the divisions; ten steps a division would give 0 frames between
        // analyses, so 1; the written count stays the parameters'.
        {"cooling schedule", "0\n200\n100\n1\n0\n3\n1\n10\n3\n2\n",
         [] {
             sim.clock.numWrittenFrames = 123;
             return run<promptCoolingSchedule>();
         }},
    };
    test::expectGolden("setup_dialogues.txt", transcripts(cases, [] {}));
}

// A window command, run after a small render's set-up (RunMode::Play for a replay, 0 while still in
// the set-up, where end of input ends the program).
template <class Getter>
std::function<std::string()> key(int code, bool special, Getter state, int mode = RunMode::Render) {
    return [=] {
        sim.run.runMode = mode;
        console::setInputEndCancels(mode != 0);
        if (special) {
            specialKeyHandler(code, 0, 0);
        } else {
            keyboardHandler(static_cast<unsigned char>(code), 0, 0);
        }
        return join(state());
    };
}

const std::string kTen = "1\n0\nrun\n13\n0\n4\n10\n";           // run mode 1 up to the frames
const std::string kParameterTail = "10000\n5\n5\n1\n1.0\n0\n";  // charge on

TEST(BadAnswers, AreRefusedOrCancelledAndNeverShiftLaterAnswers) {
    const std::vector<Case> cases = {
        // Every answer takes its whole line; y/n in words and in any case.
        {"yes no", "x\nyes please\n12\nNO\n5\n",
         [] {
             const char answer = console::readChar();
             return answer + join(console::readInt());
         }},
        {"no then a name", "old\nno\nrun8\n", run<promptDataSetFile>},
        {"one word", "two words\nrun7\n", [] { return console::readWord("Name?\n"); }},
        {"control characters", "bad\0name\nbell\a\nrun9\n"s, run<promptDataSetFile>},
        {"long name", std::string(236, 'a') + "\n" + std::string(235, 'a') + "\n",
         run<promptDataSetFile>},
        // Numbers beyond their type are too large or too small, not "not a number".
        {"whole numbers", "99999999999\n-99999999999\n12 34\n7\n",
         [] { return join(console::readInt("n?\n")); }},
        {"reals", "1e400\n-1e400\n1e-400\ninf\n2.5\n",
         [] { return join(console::readReal("x?\n")); }},
        // Counts that would not fit in an int: dead particles, slots, frames, the schedule's.
        {"counts", "13\n2147483647\n1\n2147483647\n4\n2147483647\n10\n300\n500\n" + kParameterTail,
         run<promptParameters>},
        {"schedule frames", "200\n100\n50000\n50000\n1\n200\n100\n5\n1000\n1\n",
         run<promptCoolingSchedule>},
        {"schedule target", "1e308\n1e-300\n2\n10\n1\n200\n100\n5\n10\n1\n",
         run<promptCoolingSchedule>},
        // Answers in range whose derived quantities are not: the set-up names the answer.
        {"temperature",
         kTen + "1e308\n500\n" + kParameterTail + "13\n0\n4\n10\n300\n500\n" + kParameterTail,
         run<runSetUp>},
        {"coupling", kTen + "300\n1e155\n" + kParameterTail, run<runSetUp>},
        {"charge", kTen + "300\n500\n4.9e-324\n5\n5\n1\n1.0\n0\n", run<runSetUp>},
        {"mass fractions", kTen + "300\n500\n10000\n5\n5\n2\n1e308\n1e308\n1.0\n0\n",
         run<runSetUp>},
        {"step multiplier", kTen + "300\n500\n10000\n5\n5\n1\n1e300\n0\n", run<runSetUp>},
        {"speed table", "1\n0\nrun\n13\n0\n100000\n1000000000\n300\n500\n10000\n5\n1\n1\n1\n1\n",
         run<runSetUp>},
        // Input ends at a window command: the command is cancelled or takes its fallback.
        {"F6", "", key(GLUT_KEY_F6, true, [] { return sim.arrays.particleArray[1].vel[0]; })},
        {"F6 in the set-up", "",
         key(
             GLUT_KEY_F6, true, [] { return 0; }, 0)},
        {"F7", "", key(GLUT_KEY_F7, true, [] { return view.sliceMin; })},
        {"F7 centre", "0.2\n", key(GLUT_KEY_F7, true, [] { return view.sliceMin; })},
        {"F8", "", key(GLUT_KEY_F8, true, [] { return sim.arrays.particleArray[0].colour(1); })},
        // Neither analysis wrote a line.
        {"F5", "", key(GLUT_KEY_F5, true, [] { return 0; })},
        {"C", "", key('C', false, [] { return sim.thermostat.state; })},
        {"f", "", key('f', false, [] { return sim.switches.autoFiringOn; })},
        {"q", "", key('q', false, [] { return sim.tracker.trackedCount; })},
        {"g", "",
         key(
             'g', false, [] { return sim.clock.currentFrame; }, RunMode::Play)},
        {"menus", "",
         [] {
             console::setInputEndCancels(true);
             sim.run.runMode = RunMode::Render;
             for (int entry : {13, 21, 23, 26}) menuHandler(entry);
             return join(sim.reserve.deadMassFraction, sim.reserve.phiScanOn, sim.thermostat.coolingTolerance);
         }},
    };
    // A small render: four grains and one dead particle.
    const auto smallRun = [] {
        sim.numParticles = 5;
        sim.reserve.numDeadParticles = 1;
        sim.clock.framesToCalculate = 10;
        sim.model.apparatusRadius = 10;
        sim.thermostat.temperatureRatio = 0.01;
        sim.arrays.particleArray.assign(5, Particle{});
        for (int i = 0; i < 5; ++i) sim.arrays.particleArray[i].setVelocity(0, 0.1 * (i + 1));
        sim.arrays.particleArray[0].setColour(0, 4, 0);
        view.sliceMin = -1;
    };
    test::expectGolden("bad_answers.txt", transcripts(cases, smallRun));
}

}  // namespace
}  // namespace qv
