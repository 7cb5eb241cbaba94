#include "dataset/loader.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <locale>
#include <sstream>
#include <string>
#include <vector>

#include "setup/configuration.h"
#include "sim/constants.h"
#include "sim/simulation.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

// A real as the data set writer stores it: six significant digits, classic locale.
std::string num(double v) {
    std::ostringstream s;
    s.imbue(std::locale::classic());
    s << v;
    return s.str();
}
double stored(double v) {
    return std::stod(num(v));
}

// A data set written by hand in the file format: header, property block, frames.
struct DataSet {
    int slots = 3;
    int endFrame = 5;
    int writeFreq = 4;
    int dead = 1;
    double rapar = 12.5;
    double timeStep = 0.5;  // then a Debye sphere count of 2000 and 0.01
    double spacing = 3.2;
    // Stored frame b (from 0), slot s, axis a. The last `dead` slots wait at 1.5 Rapar on y.
    std::function<double(int, int, int)> position = [this](int b, int s, int a) {
        if (s >= slots - dead) return a == 1 ? 1.5 * rapar : 0.0;
        return 10.0 * std::sin(0.37 * b + 1.3 * s + a) + 0.1234567 * s;
    };

    double mass(int s) const { return 1.0725e16 * (1 + 0.1 * s); }
    double charge(int s) const { return -10000.0 - s; }
    double radius(int s) const { return 0.0030079 + 0.0001 * s; }
    bool isDead(int s) const { return s >= slots - dead; }

    std::string text() const {
        std::string t = std::to_string(slots) + " " + std::to_string(endFrame) + " " + num(rapar) +
                        " " + num(timeStep) + " 2000 " + std::to_string(writeFreq) + " 0.01 " +
                        num(spacing) + " " + std::to_string(dead) + "\n";
        for (int s = 0; s < slots; ++s)
            t += std::to_string(s + 1) + (isDead(s) ? " 1 0 0.5 " : " 0 0 0 ") + num(mass(s)) +
                 " " + num(charge(s)) + " " + num(radius(s)) + "\n";
        // A finished render stores frame 1, then frames writeFreq, 2 writeFreq ... EndFrame
        // writeFreq (the first is frame 1 itself when writeFreq is 1).
        for (int b = 0; b < endFrame + (writeFreq > 1 ? 1 : 0); ++b)
            for (int s = 0; s < slots; ++s)
                t += std::to_string(b == 0 ? 1 : b * writeFreq) + " " + std::to_string(s + 1) +
                     " " + num(position(b, s, 0)) + " " + num(position(b, s, 1)) + " " +
                     num(position(b, s, 2)) + "\n";
        return t;
    }
    void write(const std::string& name) const { writeText(name, text()); }
    static void writeText(const std::string& name, const std::string& text) {
        std::ofstream(name, std::ios::binary) << text;
    }
    // The first `lines` lines of the file, and the file with line n (from 1) replaced.
    std::string cut(int lines) const { return edit(lines + 1, "", true); }
    std::string edit(int n, const std::string& with, bool stop = false) const {
        std::istringstream in(text());
        std::string out, l;
        for (int k = 1; std::getline(in, l) && !(stop && k == n); ++k)
            out += (k == n ? with : l) + "\n";
        return out;
    }
};

// The set-up's order for play mode.
void playFlow() {
    openDataSetForReading();
    sim.run.runMode = 2;
    allocateParticles(sim.numParticles);
    loadAllFrames();
}

void expectFrameInStore(const DataSet& d, int block) {
    for (int s = 0; s < d.slots; ++s)
        for (int a = 0; a < 3; ++a)
            ASSERT_EQ(sim.arrays.frameStore[(block * d.slots + s) * 3 + a],
                      stored(d.position(block, s, a)))
                << "block " << block << " slot " << s << " axis " << a;
}

TEST(LoaderPlay, LoadsEveryStoredPositionAndPropertyAndSetsFramesFromTheStore) {
    test::resetProgramState();
    test::TempDir dir;
    allocateParticles(2);
    setFrameFromStore(1);  // nothing loaded yet: an empty store is never read
    EXPECT_EQ(sim.arrays.particleArray[0].position(0), 0.0);
    const DataSet d;
    d.write("run");
    std::filesystem::create_directory("folder");
    loaderSettings.progressMinLines = 1;  // a large load shows its progress in place
    // Missing, a directory, declined with 2, asked again after 7, accepted with 1; then a
    // negative EndFrame is asked again and 0 keeps the header's.
    test::ScriptedConsole console("missing\nfolder\nrun\n2\nrun\n7\nrun\n1\n-5\n0\n");
    openDataSetForReading();
    sim.run.runMode = 2;
    allocateParticles(1);  // too few records for the file: they are sized to it
    loadAllFrames();
    test::expectGolden("loader_play.txt", console.output());
    // Every slot is a grain in a replay, so the dead count is 0.
    EXPECT_EQ((std::vector<int>{sim.run.runMode, sim.numParticles, sim.clock.framesToCalculate,
                                sim.clock.writeFreq, sim.reserve.numDeadParticles}),
              (std::vector<int>{2, 3, 5, 4, 0}));
    EXPECT_EQ((std::vector<double>{sim.model.apparatusRadius, sim.model.timeStep, sim.model.debyeSphereCount,
                                   sim.model.dustPlasmaFrequency, sim.model.interparticleDistance,
                                   sim.reserve.deadParkY}),
              (std::vector<double>{12.5, 0.5, 2000, 0.01, 3.2, 18.75}));
    // The density counts the header's live grains, before the replay zeroes the dead count.
    EXPECT_DOUBLE_EQ(sim.model.numberDensity, 2.0 / (12.5 * 12.5 * 12.5 * 2000));

    ASSERT_EQ(sim.arrays.particleArray.size(), 3u);
    EXPECT_TRUE(cursorAtEnd());
    ASSERT_EQ(sim.arrays.frameStore.size(), 5u * 3 * 3);
    for (int b = 0; b < 5; ++b) expectFrameInStore(d, b);
    for (int s = 0; s < 3; ++s) {
        const Particle& p = sim.arrays.particleArray[s];
        EXPECT_EQ((std::vector<double>{p.mass(), p.charge(), p.radius(), p.colour(0), p.colour(2)}),
                  (std::vector<double>{stored(d.mass(s)), stored(d.charge(s)), stored(d.radius(s)),
                                       d.isDead(s) ? 1.0 : 0.0, d.isDead(s) ? 0.5 : 0.0}))
            << s;
    }
    // The averages leave the dead particle out, by its colour.
    EXPECT_DOUBLE_EQ(sim.model.grainMass, (stored(d.mass(0)) + stored(d.mass(1))) / 2);

    // First, middle and last frame: positions only; frames out of range change nothing.
    sim.arrays.particleArray[1].setVelocity(0, 7.5);
    for (int frame : {1, 3, 5, 0, 6, -1, INT_MAX}) {
        setFrameFromStore(frame);
        const int b = frame >= 1 && frame <= 5 ? frame - 1 : 4;
        for (int s = 0; s < 3; ++s)
            for (int a = 0; a < 3; ++a)
                EXPECT_EQ(sim.arrays.particleArray[s].position(a), stored(d.position(b, s, a)))
                    << frame;
    }
    EXPECT_EQ(sim.arrays.particleArray[1].velocity(0), 7.5);

    // A positive EndFrame loads that many frames; input that ends at the file name ends the
    // program.
    test::ScriptedConsole fewer("run\n1\n2\n");
    playFlow();
    EXPECT_EQ(sim.clock.framesToCalculate, 2);
    EXPECT_EQ(sim.arrays.frameStore.size(), 2u * 3 * 3);
    test::ScriptedConsole none("missing\n");
    EXPECT_THROW(playFlow(), test::ProgramExit);
}

// Each file is damaged in one way. A bad header or property block, or no complete frame, is
// refused with the line (the file name is asked again and a good file loads); a broken or
// missing frame line keeps the complete frames before it. The file loaded, its frames and the
// message: tests/golden.
TEST(LoaderPlay, BadFilesAreRefusedWithTheirLineOrKeepTheFramesBeforeTheDamage) {
    const DataSet d;  // lines: 1 header, 2-4 properties, frame b (from 0) at 5 + 3b to 7 + 3b
    DataSet exact = d;
    exact.writeFreq = 1;  // EndFrame frames and no more, as in a master file
    const std::string fourFrames = d.cut(1 + 3 + 4 * 3);
    std::string crlf;
    for (char c : fourFrames) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const auto h = [&d](const std::string& fields) { return d.edit(1, fields); };
    const auto noLineEnd = [](std::string s) { return s.substr(0, s.size() - 1); };
    struct Case {
        const char* damage;
        std::string text;
    };
    const Case cases[] = {
        {"empty", ""},
        {"8 header fields", h("3 5 12.5 0.5 2000 4 0.01 3.2")},
        {"10 header fields", h("3 5 12.5 0.5 2000 4 0.01 3.2 1 7")},
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
        {"Rapar 1e31", h("3 5 1e31 0.5 2000 4 0.01 3.2 1")},
        {"Debye sphere count -2000", h("3 5 12.5 0.5 -2000 4 0.01 3.2 1")},
        {"dust plasma frequency -0.01", h("3 5 12.5 0.5 2000 4 -0.01 3.2 1")},
        {"spacing 1e-320", h("3 5 12.5 0.5 2000 4 0.01 1e-320 1")},
        {"3 dead of 3 slots", h("3 5 12.5 0.5 2000 4 0.01 3.2 3")},
        {"-1 dead", h("3 5 12.5 0.5 2000 4 0.01 3.2 -1")},
        {"6 property fields", d.edit(3, "2 0 0 0 1e16 -10000")},
        {"mass heavy", d.edit(3, "2 0 0 0 heavy -10000 0.003")},
        {"slot 5 for 2", d.edit(3, "5 0 0 0 1e16 -10000 0.003")},
        {"ends in the properties", d.cut(3)},
        {"mass 0", d.edit(3, "2 0 0 0 0 -10000 0.003")},
        {"mass -1e16", d.edit(3, "2 0 0 0 -1e16 -10000 0.003")},
        {"mass 1e-300", d.edit(3, "2 0 0 0 1e-300 -10000 0.003")},
        {"mass 1e101", d.edit(3, "2 0 0 0 1e101 -10000 0.003")},
        {"charge 1e308", d.edit(3, "2 0 0 0 1e16 1e308 0.003")},
        {"radius 0", d.edit(3, "2 0 0 0 1e16 -10000 0")},
        {"dead radius -0.003", d.edit(4, "3 1 0 0.5 0 0 -0.003")},
        {"frame 1 blank line", d.edit(6, "")},
        {"ends in frame 1", d.cut(5)},
        {"frame 2: 4 fields", d.edit(9, "4 2 1.5 2.5")},
        {"frame 2: x nan", d.edit(10, "4 3 nan 0 0")},
        {"frame 2: a lost line", d.edit(9, "4 3 1 2 3")},
        {"frame 3: y 2..5", d.edit(12, "8 2 1.5 2..5 3")},
        {"frame 3: z 1e308", d.edit(12, "8 2 1.5 2.5 1e308")},
        {"frame 3: x 1e-320", d.edit(13, "8 3 1e-320 2.5 3")},
        {"frame 4: frame number four", d.edit(15, "four 2 1 2 3")},
        {"ends in a number of frame 5", fourFrames + "20 1 1 2 3\n20 2 3.14"},
        {"CRLF, ends after frame 4", crlf},
        {"complete, no last line end", noLineEnd(exact.text())},
        {"last line short, no line end", noLineEnd(exact.edit(19, "5 3 1 2"))},
    };
    std::string messages;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.damage);
        test::resetProgramState();
        test::TempDir dir;
        DataSet::writeText("bad", c.text);
        DataSet good;
        good.slots = 2;
        good.dead = 0;
        good.write("good");
        // After a header refused, the answers meant for it are taken as names of missing files.
        test::ScriptedConsole console("bad\n1\n0\ngood\n1\n0\n");
        playFlow();
        const std::string out = console.output();
        const auto at = std::min(out.find("Error in data set file bad"), out.find("The file bad"));
        const int frames = sim.clock.framesToCalculate;
        messages +=
            std::string(c.damage) + ": " + sim.run.baseName + ", " + std::to_string(frames) +
            " frames; " +
            (at == std::string::npos ? "(no message)" : out.substr(at, out.find('\n', at) - at)) +
            "\n";
        const DataSet& loaded = sim.run.baseName == "bad" ? d : good;
        ASSERT_EQ(sim.arrays.frameStore.size(), frames * loaded.slots * 3u);
        expectFrameInStore(loaded, frames - 1);
    }
    test::expectGolden("loader_bad_files.txt", messages);
}

// Continue mode: the answers after the file are the frame, EndFrame, temperature and the four
// continuation values.
TEST(LoaderContinue, TakesPositionsFromTheChosenFrameAndVelocitiesFromTheOneBefore) {
    test::resetProgramState();
    test::TempDir dir;
    DataSet d;
    d.endFrame = 40;
    d.writeFreq = 25;
    d.timeStep = 0.37;
    d.write("run");
    // Frames 1001, 0 and 49 (no stored frame before it) are refused; 600 frames between writes
    // is longer than the run, an analysis interval of 0 and step multipliers -1 and 1e300 are
    // refused too.
    test::ScriptedConsole console(
        "run\n1\n0\n1001\n49\n1000\n0\nn\n500\n0\n600\n5\n0\n50\n-1\n1e300\n2\n");
    loadAndContinue();
    test::expectGolden("loader_continue.txt", console.output());
    EXPECT_EQ(sim.run.runMode, 1);
    EXPECT_EQ(sim.reserve.numDeadParticles, 1);
    EXPECT_EQ(sim.arrays.forceArray.size(), 9u);
    for (int s = 0; s < 3; ++s) {
        const Particle& p = sim.arrays.particleArray[s];
        for (int a = 0; a < 3; ++a) {
            EXPECT_EQ(p.position(a), stored(d.position(39, s, a)));
            EXPECT_DOUBLE_EQ(
                p.velocity(a),
                (stored(d.position(39, s, a)) - stored(d.position(38, s, a))) / (25 * 0.37));
        }
    }
    EXPECT_EQ((std::vector<int>{sim.clock.framesToCalculate, sim.clock.numWrittenFrames, sim.clock.writeFreq,
                                sim.clock.analysisFreq}),
              (std::vector<int>{500, 100, 5, 50}));
    EXPECT_DOUBLE_EQ(sim.model.timeStep, 0.74);
}

TEST(LoaderContinue, AMasterFileRestoresTheFinalPositionsAndVelocities) {
    test::resetProgramState();
    test::TempDir dir;
    // The final state of a render: positions and velocities as the master file stores them,
    // frame 1 one time step back, frame 2 the positions.
    const double dt = 1.4790e7;
    const double pos[3][3] = {{12.3456789, -40.1, 0.5}, {-3.33, 7.77777, 101.25}, {0, 202.5, 0}};
    const double vel[3][3] = {{2.1e-8, -3.4e-8, 5.5e-9}, {-1.25e-7, 0, 9.9e-8}, {0, 0, 0}};
    DataSet d;
    d.endFrame = 2;
    d.writeFreq = 1;
    d.timeStep = dt;
    d.rapar = 135.0;
    d.position = [&](int b, int s, int a) {
        return b == 1 ? pos[s][a] : pos[s][a] - vel[s][a] * dt;
    };
    d.write("runMasterFile");
    // A temperature that would move grains more than 1e30 in a step leaves the velocities as
    // loaded and is asked again; then the input ends.
    test::ScriptedConsole console("runMasterFile\n1\n2\n0\ny\n1e300\n");
    EXPECT_THROW(loadAndContinue(), test::ProgramExit);
    test::expectGolden("loader_master_file.txt", console.output());
    for (int s = 0; s < 3; ++s) {
        const Particle& p = sim.arrays.particleArray[s];
        for (int a = 0; a < 3; ++a) {
            EXPECT_NEAR(p.position(a), pos[s][a], 5e-6 * std::abs(pos[s][a]));
            // Each stored coordinate is off by at most half a unit in its sixth digit.
            const double slack =
                5e-6 * (std::abs(pos[s][a]) + std::abs(pos[s][a] - vel[s][a] * dt)) / dt;
            EXPECT_NEAR(p.velocity(a), vel[s][a], slack) << s << " " << a;
        }
    }
    // The temperature of the restored cloud: slot 0's mass times the squared mean speed over 3.
    const double meanSpeed =
        (sim.arrays.particleArray[0].speed() + sim.arrays.particleArray[1].speed()) / 2;
    EXPECT_DOUBLE_EQ(sim.thermostat.temperatureRatio, stored(d.mass(0)) * meanSpeed * meanSpeed / 3);
    EXPECT_DOUBLE_EQ(sim.model.timeStep, stored(dt));
}

TEST(LoaderContinue, ADeadParticleMismatchAsksForTheCountAndRescalesWhenItChanges) {
    DataSet d;
    d.slots = 5;
    d.dead = 2;
    d.endFrame = 3;
    d.writeFreq = 2;
    // The last dead particle has been fired: it no longer waits at the park position.
    auto parked = d.position;
    d.position = [parked](int b, int s, int a) { return s == 4 ? 1.0 + b + a : parked(b, s, a); };
    // 1: Rapar rescaled; 2: the header's own count changes nothing; 4 with a grain spacing of
    // 1e-30: Rapar would leave the range a data set may hold, so 1 is asked for.
    std::string transcripts;
    for (const char* answers : {"5\n-1\n1\n", "2\n", "4\n1\n"}) {
        SCOPED_TRACE(answers);
        test::resetProgramState();
        test::TempDir dir;
        d.spacing = answers[0] == '4' ? 1e-30 : 3.2;
        d.write("run");
        test::ScriptedConsole console("run\n1\n6\n0\n" + std::string(answers) + "n\n10\n2\n5\n1\n");
        loadAndContinue();
        transcripts += console.output();
        const int answer = answers[std::string(answers).size() - 2] - '0';
        EXPECT_EQ(sim.reserve.numDeadParticles, answer);
        if (answer == 2) {
            EXPECT_DOUBLE_EQ(sim.model.apparatusRadius, 12.5);
            for (int s = 0; s < 5; ++s)
                EXPECT_EQ(sim.arrays.particleArray[s].mass(), stored(d.mass(s)));
            continue;
        }
        const double rapar = std::cbrt(3.0 * 5 / (4 * pi)) * d.spacing;
        EXPECT_DOUBLE_EQ(sim.model.apparatusRadius, rapar);
        EXPECT_DOUBLE_EQ(sim.model.numberDensity, 4 / (rapar * rapar * rapar * 2000));
        EXPECT_DOUBLE_EQ(sim.reserve.deadParkY, 1.5 * rapar);
        for (int s = 0; s < 4; ++s) {
            const Particle& p = sim.arrays.particleArray[s];
            EXPECT_EQ((std::vector<double>{p.mass(), p.charge(), p.radius(), p.colour(0),
                                           p.colour(2), p.position(0)}),
                      (std::vector<double>{stored(d.mass(0)), stored(d.charge(0)),
                                           stored(d.radius(s)), 0, 0, stored(d.position(2, s, 0))}))
                << s;
        }
        EXPECT_EQ(sim.arrays.particleArray[4].mass(), stored(d.mass(4)));
        EXPECT_EQ(sim.arrays.particleArray[4].colour(0), 1.0);
    }
    test::expectGolden("loader_dead_mismatch.txt", transcripts);
}

TEST(LoaderContinue, FilesWithTooFewFramesAreRefusedOrTheFrameAskedAgain) {
    test::resetProgramState();
    test::TempDir dir;
    DataSet single;
    single.endFrame = 1;
    single.write("single");
    DataSet d;
    d.endFrame = 10;
    d.writeFreq = 3;
    // A render that blew up in stored frame 5: the 4 frames before it are kept.
    DataSet::writeText("run", d.edit(1 + 3 + 4 * 3 + 2, "12 2 nan 0 0"));
    DataSet::writeText("broken", DataSet().edit(2, "1 0 0"));
    // single: refused at once; broken: refused after loading; run: frame 30 (stored 10) is
    // beyond the 4 frames kept, so 12 is chosen instead.
    test::ScriptedConsole console(
        "single\n1\nbroken\n1\n8\n0\nrun\n1\n30\n0\n12\nn\n10\n2\n5\n1\n");
    loadAndContinue();
    test::expectGolden("loader_too_few_frames.txt", console.output());
    for (int a = 0; a < 3; ++a)
        EXPECT_EQ(sim.arrays.particleArray[0].position(a), stored(d.position(3, 0, a)));
    EXPECT_EQ(sim.run.runMode, 1);
}

}  // namespace
}  // namespace qv
