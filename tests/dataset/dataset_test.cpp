// The data set format: the pure reader against broken files, and the
// load dialogues that read a replay and continue from a master file.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "dataset/reader.h"
#include "dataset/writer.h"
#include "setup/configuration.h"
#include "setup/load_dialogue.h"
#include "setup/loading.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

using dataset::num;

// A data set in the file format: 3 slots, EndFrame 5 every 4 steps, 1 dead particle parked at
// 1.5 Rapar on y. Line 1 header, 2-4 properties, stored frame b (from 0) at lines 5 + 3b to 7 + 3b.
double position(int b, int s, int a) {
    return s == 2 ? (a == 1 ? 18.75 : 0.0) : 10.0 * std::sin(0.37 * b + 1.3 * s + a) + 0.1234567;
}
double stored(double v) {
    return std::stod(num(v));
}
std::string dataSet(int frames = 6, int writeFreq = 4) {
    std::string t = "3 5 12.5 0.5 2000 " + std::to_string(writeFreq) + " 0.01 3.2 1\n";
    for (int s = 1; s <= 3; ++s)
        t += std::to_string(s) + (s == 3 ? " 1 0 0.5 0 0 " : " 0 0 0 1.0725e+16 -10000 ") +
             num(0.003 * s) + "\n";
    for (int b = 0; b < frames; ++b)
        for (int s = 0; s < 3; ++s)
            t += std::to_string(b == 0 ? 1 : b * writeFreq) + " " + std::to_string(s + 1) + " " +
                 num(position(b, s, 0)) + " " + num(position(b, s, 1)) + " " +
                 num(position(b, s, 2)) + "\n";
    return t;
}
// The file cut after `lines` lines, or with line n (from 1) replaced.
std::string edit(int n, const std::string& with, bool cut = false, std::string text = dataSet()) {
    std::istringstream in(text);
    std::string out, l;
    for (int k = 1; std::getline(in, l) && !(cut && k == n); ++k) out += (k == n ? with : l) + "\n";
    return out;
}
void writeText(const std::string& name, const std::string& text) {
    std::ofstream(name, std::ios::binary) << text;
}
void expectFrames(const std::vector<double>& store, long long frames) {
    ASSERT_EQ(store.size(), frames * 9u);
    for (std::size_t i = 0; i < store.size(); ++i)
        ASSERT_EQ(store[i], stored(position(int(i / 9), int(i / 3 % 3), int(i % 3)))) << i;
}

// Each file damaged in one way: a bad header or property block is a problem with its line; a
// broken or missing frame line keeps the complete frames before it.
TEST(Reader, BrokenFilesGiveTheirLineAndReasonOrKeepTheFramesBeforeTheDamage) {
    test::Sandbox box;
    const auto h = [](const std::string& fields) { return edit(1, fields); };
    const std::string fourFrames = edit(17, "", true);
    std::string crlf;
    for (char c : fourFrames) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const std::string exact = dataSet(5, 1);  // EndFrame frames and no more, as a master file
    const std::string noEnd = exact.substr(0, exact.size() - 1);
    const std::string shortLast = edit(19, "5 3 1 2", false, exact);
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"intact", dataSet()},
        {"empty", ""},
        {"1 slot", "1 1 12.5 0.5 2000 1 0.01 3.2 0\n1 0 0 0 1 -1 1\n1 1 0 0 0\n"},
        {"8 header fields", h("3 5 12.5 0.5 2000 4 0.01 3.2")},
        {"Rapar abc", h("3 5 abc 0.5 2000 4 0.01 3.2 1")},
        {"Rapar inf", h("3 5 inf 0.5 2000 4 0.01 3.2 1")},
        {"3.5 slots", h("3.5 5 12.5 0.5 2000 4 0.01 3.2 1")},
        {"0 slots", h("0 5 12.5 0.5 2000 4 0.01 3.2 1")},
        {"2e7 slots", h("20000000 5 12.5 0.5 2000 4 0.01 3.2 1")},
        {"9e6 slots", h("9000000 5 12.5 0.5 2000 4 0.01 3.2 1")},
        {"EndFrame 0", h("3 0 12.5 0.5 2000 4 0.01 3.2 1")},
        {"write frequency 0", h("3 5 12.5 0.5 2000 0 0.01 3.2 1")},
        {"EndFrame 2e9", h("3 2000000000 12.5 0.5 2000 4 0.01 3.2 1")},
        {"time step 1e-320", h("3 5 12.5 1e-320 2000 4 0.01 3.2 1")},
        {"time step 0", h("3 5 12.5 0 2000 4 0.01 3.2 1")},
        {"time step 1e-30, Debye sphere count 1e30", h("3 5 12.5 1e-30 1e30 4 0.01 3.2 1")},
        {"Rapar 1e31", h("3 5 1e31 0.5 2000 4 0.01 3.2 1")},
        {"Debye sphere count -2000", h("3 5 12.5 0.5 -2000 4 0.01 3.2 1")},
        {"dust plasma frequency -0.01", h("3 5 12.5 0.5 2000 4 -0.01 3.2 1")},
        {"dust plasma frequency 0", h("+3 +5 12.5 0.5 2000 4 0 3.2 1")},
        {"spacing 1e-320", h("3 5 12.5 0.5 2000 4 0.01 1e-320 1")},
        {"3 dead of 3 slots", h("3 5 12.5 0.5 2000 4 0.01 3.2 3")},
        {"-1 dead", h("3 5 12.5 0.5 2000 4 0.01 3.2 -1")},
        {"header cut short", "3 5 12.5"},
        {"2 shortest property lines", "2 1 1 1 1 1 1 1 0\n1 0 0 0 1 1 1\n2 0 0 0 1 1 1\n"},
        {"2 slots, 1 shortest line", "2 1 1 1 1 1 1 1 0\n1 0 0 0 1 1 1\n2 0 0 0 1 1\n"},
        {"a line too long", std::string(70000, '1')},
        {"6 property fields", edit(3, "2 0 0 0 1e16 -10000")},
        {"mass heavy", edit(3, "2 0 0 0 heavy -10000 0.003")},
        {"mass of 41 characters", edit(3, "2 0 0 0 " + std::string(40, '7') + "x -10000 0.003")},
        {"slot 5 for 2", edit(3, "5 0 0 0 1e16 -10000 0.003")},
        {"ends in the properties", edit(4, "", true)},
        {"property line cut short", edit(4, "", true).substr(0, 80)},
        {"mass 0", edit(3, "2 0 0 0 0 -10000 0.003")},
        {"mass -1e16", edit(3, "2 0 0 0 -1e16 -10000 0.003")},
        {"mass 1e-300", edit(3, "2 0 0 0 1e-300 -10000 0.003")},
        {"mass 1e101", edit(3, "2 0 0 0 1e101 -10000 0.003")},
        {"charge 1e308", edit(3, "2 0 0 0 1e16 1e308 0.003")},
        {"radius 0", edit(3, "2 0 0 0 1e16 -10000 0")},
        {"dead radius -0.003", edit(4, "3 1 0 0.5 0 0 -0.003")},
        {"dead mass 1e101", edit(4, "3 1 0 0.5 1e101 0 0.003")},
        {"frame 1 blank line", edit(6, "")},
        {"ends in frame 1", edit(6, "", true)},
        {"frame 2: 4 fields", edit(9, "4 2 1.5 2.5")},
        {"frame 2: x nan", edit(10, "4 3 nan 0 0")},
        {"frame 2: a lost line", edit(9, "4 3 1 2 3")},
        {"frame 3: y 2..5", edit(12, "8 2 1.5 2..5 3")},
        {"frame 3: z 1e308", edit(12, "8 2 1.5 2.5 1e308")},
        {"frame 3: x 1e-320", edit(13, "8 3 1e-320 2.5 3")},
        {"frame 4: frame number four", edit(15, "four 2 1 2 3")},
        {"ends in a number of frame 5", fourFrames + "20 1 1 2 3\n20 2 3.14"},
        {"CRLF, ends after frame 4", crlf},
        {"complete, no last line end", noEnd},
        {"last line short, no line end", shortLast.substr(0, shortLast.size() - 1)},
    };
    std::string results;
    for (const auto& [damage, text] : cases) {
        SCOPED_TRACE(damage);
        writeText("f", text);
        dataset::Reader reader;
        ASSERT_TRUE(reader.open("f"));
        dataset::Header head;
        std::vector<Particle> records(3);
        std::vector<double> store;
        long long heard = 0;
        dataset::Problem problem;
        results += damage;
        if (auto p = reader.readHeader(head))
            problem = *p;
        else if (auto q = reader.readProperties(head.slots, records.data()))
            problem = *q;
        else {
            const dataset::FramesRead read = reader.readFrames(
                head.slots, head.endFrame, store, problem, [&heard](long long k) { heard = k; });
            EXPECT_EQ(heard, read.complete);
            if (head.slots == 3) expectFrames(store, read.complete);
            results += ": " + std::to_string(read.complete) + " frames";
            if (!read.broken) problem = {};
        }
        results += problem.line == 0
                       ? "\n"
                       : ": line " + std::to_string(problem.line) + ": " + problem.what + "\n";
    }
    test::expectGolden("reader_bad_files.txt", results);
    // Only a regular file that opens counts.
    std::filesystem::create_directory("folder");
    for (const char* name : {"folder", "missing"}) EXPECT_FALSE(dataset::Reader().open(name));
}

// Missing, a directory, declined with 2, asked again after 7, accepted with 1; then a negative
// EndFrame is asked again and 0 keeps the header's. The records are sized to the file.
TEST(LoadDialogue, AReplayLoadsEveryStoredFrameAndSetsFramesFromTheStore) {
    test::Sandbox box;
    Simulation sim;
    allocateParticles(sim, 2);
    setFrameFromStore(sim, 1);  // nothing loaded yet: an empty store is never read
    writeText("run", dataSet());
    std::filesystem::create_directory("folder");
    test::ScriptedConsole console("missing\nfolder\nrun\n2\nrun\n7\nrun\n1\n-5\n0\n");
    openDataSetForReading(sim);
    sim.run.runMode = RunMode::Play;
    allocateParticles(sim, 1);
    loadAllFrames(sim, LoadOptions{1, {}});  // a large load shows its progress in place
    test::expectGolden("loader_play.txt", console.output());
    // Every slot is drawn as a grain; the density counts the header's live grains.
    EXPECT_EQ(
        (std::vector<double>{double(sim.numParticles), double(sim.clock.framesToCalculate),
                             double(sim.clock.writeFreq), double(sim.reserve.numDeadParticles),
                             sim.model.apparatusRadius, sim.model.timeStep,
                             sim.model.debyeSphereCount, sim.model.dustPlasmaFrequency,
                             sim.model.interparticleDistance, sim.reserve.deadParkY}),
        (std::vector<double>{3, 5, 4, 0, 12.5, 0.5, 2000, 0.01, 3.2, 18.75}));
    EXPECT_DOUBLE_EQ(sim.model.numberDensity, 2.0 / (12.5 * 12.5 * 12.5 * 2000));
    EXPECT_TRUE(cursorAtEnd(sim));
    expectFrames(sim.arrays.frameStore, 5);
    const Particle& dead = sim.arrays.particleArray[2];
    EXPECT_EQ((std::vector<double>{dead.colour(0), dead.colour(2), dead.mass(), dead.radius()}),
              (std::vector<double>{1, 0.5, 0, 0.009}));
    EXPECT_EQ(sim.model.grainMass, 1.0725e16);  // the averages leave the dead particle out
    // First, middle and last frame: positions only; frames out of range change nothing.
    sim.arrays.particleArray[1].setVelocity(0, 7.5);
    for (int frame : {1, 3, 5, 0, 6, -1, INT_MAX}) {
        setFrameFromStore(sim, frame);
        const int b = frame >= 1 && frame <= 5 ? frame - 1 : 4;
        for (int i = 0; i < 9; ++i)
            EXPECT_EQ(sim.arrays.particleArray[i / 3].pos[i % 3], stored(position(b, i / 3, i % 3)))
                << frame;
    }
    EXPECT_EQ(sim.arrays.particleArray[1].velocity(0), 7.5);
    // A positive EndFrame loads that many frames; a broken file sends back to the file name.
    writeText("bad", edit(3, "2 0 0 0 1e16"));
    test::ScriptedConsole fewer("0\nrun\n1\n2\n");
    sim.run.baseName = "bad";
    allocateParticles(sim, 3);
    loadAllFrames(sim);
    EXPECT_EQ(sim.clock.framesToCalculate, 2);
    EXPECT_EQ(sim.run.runMode, RunMode::Play);
    expectFrames(sim.arrays.frameStore, 2);
    // Without a dialogue (EndFrame answered) a failed load gives its reason back.
    writeText("badhead", edit(1, "3 5 abc 0.5 2000 4 0.01 3.2 1"));
    const std::pair<const char*, const char*> failures[] = {
        {"missing", "the file cannot be opened"}, {"badhead", "line 1: "}, {"bad", "line 3: "}};
    for (const auto& [name, reason] : failures) {
        std::string why;
        sim.run.baseName = name;
        EXPECT_FALSE(loadFramesOnce(sim, LoadOptions{1'000'000, 0}, &why)) << name;
        EXPECT_EQ(why.substr(0, std::string(reason).size()), reason) << name;
    }
}

// The step stays from 1e-30 to 1e30; a factor above 1 must move no grain more than 1e30 a step.
TEST(LoadDialogue, StepFactorsKeepTheStepLoadableAndTheMovesFinite) {
    const struct {
        double step, speed, factor;
        bool usable;
    } cases[] = {{1e7, 1, 1, true},      {1e7, 1e31, 1, true},  {1e7, 1e31, 0.5, true},
                 {1e7, 1e23, 2, false},  {5e29, 1, 2, true},    {1e7, 1e22, 1.5, true},
                 {1e7, 1, 1e-38, false}, {1e7, 1, 1e24, false}, {1e7, 1e31, 1e-38, false}};
    for (const auto& c : cases)
        EXPECT_EQ(stepFactorUsable(c.step, c.speed, c.factor), c.usable)
            << c.speed << " " << c.factor;
}

// A render's final state goes through the master file and comes back as the start of a new
// render: positions and velocities, each off by at most half a unit in its sixth digit.
TEST(LoadDialogue, AMasterFileContinuesFromTheFinalPositionsAndVelocities) {
    test::Sandbox box;
    Simulation sim;
    sim.run.baseName = "run";
    sim.numParticles = 3;
    sim.reserve.numDeadParticles = 1;
    sim.model.timeStep = 1.479e7;
    sim.model.apparatusRadius = 135;
    sim.model.debyeSphereCount = 2000;
    sim.model.interparticleDistance = 3.2;
    sim.arrays.particleArray = {
        {{12.3456789, -40.1, 0.5}, {2.1e-8, -3.4e-8, 5.5e-9}, {}, 1e16, -1e4, 0.003},
        {{-3.33, 7.77777, 101.25}, {-1.25e-7, 0, 9.9e-8}, {}, 2e16, -1e4, 0.003},
        {{0, 202.5, 0}, {}, {1, 0, 0.5}, 0, 0, 0.003}};
    const Simulation final = sim;
    writeMasterFile(sim);
    sim = Simulation{};
    OutputFile next;
    test::ScriptedConsole console("runMasterFile\n1\n2\n0\nn\n10\n2\n5\n3\ncont\n");
    loadAndContinue(sim, next);
    EXPECT_TRUE(next.is_open());
    EXPECT_EQ(sim.run.baseName, "cont");
    EXPECT_EQ((std::vector<int>{sim.clock.framesToCalculate, sim.clock.numWrittenFrames,
                                sim.clock.writeFreq, sim.clock.analysisFreq,
                                sim.reserve.numDeadParticles}),
              (std::vector<int>{10, 5, 2, 5, 1}));
    EXPECT_DOUBLE_EQ(sim.model.timeStep, 3 * 1.479e7);
    EXPECT_DOUBLE_EQ(sim.reserve.deadParkY, 1.5 * sim.model.apparatusRadius);
    EXPECT_TRUE(sim.arrays.particleArray[1].role == Role::Grain &&
                sim.arrays.particleArray[2].role == Role::WaitingDead);
    for (int i = 0; i < 9; ++i) {
        const double x = final.arrays.particleArray[i / 3].pos[i % 3];
        const double v = final.arrays.particleArray[i / 3].vel[i % 3];
        const double dt = final.model.timeStep;
        EXPECT_NEAR(sim.arrays.particleArray[i / 3].pos[i % 3], x, 5e-6 * std::abs(x)) << i;
        const double slack = 5e-6 * (std::abs(x) + std::abs(x - v * dt)) / dt;
        EXPECT_NEAR(sim.arrays.particleArray[i / 3].vel[i % 3], v, slack) << i;
    }
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// The charge balance goes with the master file, written after the last frame, and never with the
// header of a data set, not even one of a single frame. Every frame is on disk once written.
TEST(Writer, OnlyTheHeaderWrittenAfterTheLastFrameReportsTheChargeBalance) {
    test::Sandbox box;
    Simulation sim;
    sim.numParticles = 1;
    sim.arrays.particleArray = {{{1, 2, 3}, {}, {}, 1e16, -5, 0.003}};
    sim.clock.framesToCalculate = 1;
    for (const int frame : {1, 2}) {
        test::ScriptedConsole console("");
        OutputFile file("d", FileMode::Replace);
        sim.clock.currentFrame = frame;
        writeDataSetHeader(sim, file, 1, 1);
        EXPECT_EQ(console.output().find("Total charge") != std::string::npos, frame == 2);
        // On disk before the next step: the header, the property block, then each frame.
        const std::string line = std::to_string(frame) + " 1 1 2 3\n";
        const std::string before = test::readFile("d");
        EXPECT_EQ(std::count(before.begin(), before.end(), '\n'), 2);
        writeFrame(sim, file);
        EXPECT_TRUE(test::readFile("d").ends_with("\n" + line));
    }
}

}  // namespace
}  // namespace qv
