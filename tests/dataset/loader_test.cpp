#include "dataset/loader.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <fstream>
#include <functional>
#include <locale>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "setup/configuration.h"
#include "sim/constants.h"
#include "sim/state.h"
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
    double timeStep = 0.5;  // then a Debye sphere count of 2000, 0.01 and 3.2 Debye lengths
    // Stored frame b (from 0), slot s, axis a. The last `dead` slots wait at 1.5 Rapar on y.
    std::function<double(int, int, int)> position = [this](int b, int s, int a) {
        if (s >= slots - dead) return a == 1 ? 1.5 * rapar : 0.0;
        return 10.0 * std::sin(0.37 * b + 1.3 * s + a) + 0.1234567 * s;
    };

    double mass(int s) const { return 1.0725e16 * (1 + 0.1 * s); }
    double charge(int s) const { return -10000.0 - s; }
    double radius(int s) const { return 0.0030079 + 0.0001 * s; }
    bool isDead(int s) const { return s >= slots - dead; }

    std::string headerLine() const {
        return std::to_string(slots) + " " + std::to_string(endFrame) + " " + num(rapar) + " " +
               num(timeStep) + " 2000 " + std::to_string(writeFreq) + " 0.01 3.2 " +
               std::to_string(dead) + "\n";
    }
    std::string propertyLine(int s) const {
        const char* colour = isDead(s) ? "1 0 0.5" : "0 0 0";
        return std::to_string(s + 1) + " " + colour + " " + num(mass(s)) + " " + num(charge(s)) +
               " " + num(radius(s)) + "\n";
    }
    std::string frameLine(int b, int s) const {
        const int frameNumber = b == 0 ? 1 : b * writeFreq;
        return std::to_string(frameNumber) + " " + std::to_string(s + 1) + " " +
               num(position(b, s, 0)) + " " + num(position(b, s, 1)) + " " +
               num(position(b, s, 2)) + "\n";
    }
    std::string text() const {
        std::string t = headerLine();
        for (int s = 0; s < slots; ++s) t += propertyLine(s);
        // A finished render stores frame 1, then frames writeFreq, 2 writeFreq ... EndFrame
        // writeFreq (the first is frame 1 itself when writeFreq is 1).
        for (int b = 0; b < endFrame + (writeFreq > 1 ? 1 : 0); ++b)
            for (int s = 0; s < slots; ++s) t += frameLine(b, s);
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
    params.runMode = 2;
    allocateParticles(params.numParticles);
    loadAllFrames();
    params.playStep = 0;
}

void expectFrameInStore(const DataSet& d, int block) {
    for (int s = 0; s < d.slots; ++s)
        for (int a = 0; a < 3; ++a)
            ASSERT_EQ(arrays.frameStore[(block * d.slots + s) * 3 + a],
                      stored(d.position(block, s, a)))
                << "block " << block << " slot " << s << " axis " << a;
}

TEST(LoaderPlay, LoadsEveryStoredPositionAndPropertyAndSetsFramesFromTheStore) {
    test::resetProgramState();
    test::TempDir dir;
    allocateParticles(2);
    setFrameFromStore(1);  // nothing loaded yet: an empty store is never read
    EXPECT_EQ(arrays.particleArray[0].position(0), 0.0);
    DataSet d;
    d.write("run");
    loaderSettings.progressMinLines = 1;  // a large load shows its progress in place
    test::ScriptedConsole console("run\n1\n0\n");
    openDataSetForReading();
    params.runMode = 2;
    allocateParticles(1);  // too few records for the file: they are sized to it
    loadAllFrames();
    EXPECT_NE(console.output().find("Loading frames:   0%\b\b\b\b 20%\b\b\b\b 40%\b\b\b\b 60%"
                                    "\b\b\b\b 80%\b\b\b\b100%\n"),
              std::string::npos);
    const std::string expectedStart =
        "\nPlease enter the filename you wish to play\n\nLoading run\n\n"
        "\nLoading File...\nFile Contains: Particles: 3 || Frames: 20\n\n"
        "Write Freq: 4 || Timestep: 0.5\n\n"
        "If you wish to play this file press 1 otherwise press 2 to choose another file\n"
        "\nFor unfinished file please manually enter new EndFrame number (Reported EndFrame: 5)"
        " - enter 0 to leave: \n\n";
    EXPECT_EQ(console.output().substr(0, expectedStart.size()), expectedStart);
    // Every slot is a grain in a replay, so the dead count is 0.
    EXPECT_EQ((std::vector<int>{params.runMode, params.numParticles, params.framesToCalculate,
                                params.writeFreq, params.numDeadParticles}),
              (std::vector<int>{2, 3, 5, 4, 0}));
    EXPECT_EQ((std::vector<double>{params.apparatusRadius, params.timeStep, params.debyeSphereCount,
                                   params.dustPlasmaFrequency, params.interparticleDistance,
                                   params.deadParkY}),
              (std::vector<double>{12.5, 0.5, 2000, 0.01, 3.2, 18.75}));
    // The density counts the header's live grains, before the replay zeroes the dead count.
    EXPECT_DOUBLE_EQ(params.numberDensity, 2.0 / (12.5 * 12.5 * 12.5 * 2000));

    ASSERT_EQ(arrays.particleArray.size(), 3u);
    EXPECT_TRUE(cursorAtEnd());
    ASSERT_EQ(arrays.frameStore.size(), 5u * 3 * 3);
    for (int b = 0; b < 5; ++b) expectFrameInStore(d, b);
    for (int s = 0; s < 3; ++s) {
        const Particle& p = arrays.particleArray[s];
        EXPECT_EQ((std::vector<double>{p.mass(), p.charge(), p.radius(), p.colour(0), p.colour(2)}),
                  (std::vector<double>{stored(d.mass(s)), stored(d.charge(s)), stored(d.radius(s)),
                                       d.isDead(s) ? 1.0 : 0.0, d.isDead(s) ? 0.5 : 0.0}))
            << s;
    }
    // The averages leave the dead particle out, by its colour.
    EXPECT_DOUBLE_EQ(params.grainMass, (stored(d.mass(0)) + stored(d.mass(1))) / 2);

    // First, middle and last frame: positions only; frames out of range change nothing.
    arrays.particleArray[1].setVelocity(0, 7.5);
    for (int frame : {1, 3, 5, 0, 6, -1, INT_MAX}) {
        setFrameFromStore(frame);
        const int b = frame >= 1 && frame <= 5 ? frame - 1 : 4;
        for (int s = 0; s < 3; ++s)
            for (int a = 0; a < 3; ++a)
                EXPECT_EQ(arrays.particleArray[s].position(a), stored(d.position(b, s, a)))
                    << frame;
    }
    EXPECT_EQ(arrays.particleArray[1].velocity(0), 7.5);
    EXPECT_EQ(arrays.particleArray[0].mass(), stored(d.mass(0)));
}

TEST(LoaderPlay, DefaultRenderSizeLoadsAsManyFramesAsTheEndFramePromptSays) {
    DataSet d;
    d.slots = 376;
    d.dead = 100;
    d.endFrame = 400;
    d.writeFreq = 25;
    test::TempDir dir;
    d.write("big");
    // 0 keeps the header's EndFrame; a negative one is asked again.
    for (const auto& [script, frames] :
         {std::pair<const char*, int>{"big\n1\n0\n", 400}, {"big\n1\n-5\n120\n", 120}}) {
        SCOPED_TRACE(script);
        test::resetProgramState();
        test::ScriptedConsole console(script);
        playFlow();
        const std::string out = console.output();
        EXPECT_NE(out.find("File Contains: Particles: 376 || Frames: 10000\n"), std::string::npos);
        EXPECT_EQ(out.find("EndFrame cannot be negative: enter 0 to keep it or the number of "
                           "complete frames\nFor unfinished file") != std::string::npos,
                  frames == 120);
        EXPECT_EQ(params.framesToCalculate, frames);
        ASSERT_EQ(arrays.frameStore.size(), frames * 376u * 3);
        expectFrameInStore(d, 0);
        expectFrameInStore(d, frames - 1);
    }
}

TEST(LoaderPlay, AnUnfinishedFileLoadsItsCompleteFramesAndSaysHowMany) {
    const DataSet d;
    const std::string fourFrames = d.cut(1 + 3 + 4 * 3);
    std::string crlf;
    for (char c : fourFrames) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    // Half a frame and a line cut off in the middle of a number; or ending exactly between
    // frames, with CRLF line ends.
    for (const std::string& text : {fourFrames + d.frameLine(4, 0) + "20 2 3.14", crlf}) {
        test::resetProgramState();
        test::TempDir dir;
        DataSet::writeText("cut", text);
        test::ScriptedConsole console("cut\n1\n0\n");
        playFlow();
        EXPECT_NE(console.output().find("The file cut ends after 4 complete stored frames, not the "
                                        "5 of its EndFrame (an unfinished render): 4 frames are "
                                        "loaded\n"),
                  std::string::npos)
            << console.output();
        EXPECT_EQ(params.framesToCalculate, 4);
        ASSERT_EQ(arrays.frameStore.size(), 4u * 3 * 3);
        expectFrameInStore(d, 3);
    }
}

TEST(LoaderPlay, AFileThatDoesNotOpenOrIsDeclinedAsksForTheNameAgainUntilInputEnds) {
    test::resetProgramState();
    test::TempDir dir;
    DataSet d;
    d.write("run");
    std::filesystem::create_directory("folder");
    {
        test::ScriptedConsole console("missing\nfolder\nrun\n2\nrun\n7\nrun\n1\n0\n");
        playFlow();
        const std::string out = console.output();
        EXPECT_NE(out.find("Loading missing\n\n\nError in opening file please re-enter file name\n"
                           "\nPlease enter the filename you wish to play\n"),
                  std::string::npos);
        EXPECT_NE(out.find("Loading folder\n\n\nError in opening file"), std::string::npos);
        // Declined with 2, asked again after 7, accepted with 1.
        int questions = 0;
        for (auto at = out.find("press 1"); at != std::string::npos;
             at = out.find("press 1", at + 1))
            ++questions;
        EXPECT_EQ(questions, 3);
        EXPECT_EQ(arrays.frameStore.size(), 5u * 3 * 3);
    }
    test::resetProgramState();
    test::ScriptedConsole console("missing\n");
    try {
        playFlow();
        ADD_FAILURE() << "the dialogue returned without a file";
    } catch (const test::ProgramExit& e) {
        EXPECT_EQ(e.status, 1);
    }
}

// Every broken file names itself and the line, then the file name is asked again; the good
// file given next loads.
TEST(LoaderPlay, EveryBrokenFileGivesItsMessageAndTheFilePromptAgain) {
    const DataSet d;
    const auto h = [&d](const char* header) { return d.edit(1, header); };
    struct Case {
        std::string text;
        int line;  // line 1 is checked when the file opens, before the play question
        std::string message;
    };
    const Case cases[] = {
        {"", 1, "the file is empty"},
        {h("3 5 12.5 0.5 2000 4 0.01 3.2"), 1, "the header has 8 fields where 9 belong"},
        {h("3 5 12.5 0.5 2000 4 0.01 3.2 1 7"), 1, "the header has 10 fields where 9 belong"},
        {h("3 5 abc 0.5 2000 4 0.01 3.2 1"), 1, "header field 3 (Rapar) is \"abc\", not a number"},
        {h("3 5 inf 0.5 2000 4 0.01 3.2 1"), 1, "header field 3 (Rapar) is \"inf\", not a number"},
        {h("3.5 5 12.5 0.5 2000 4 0.01 3.2 1"), 1,
         "header field 1 (number of slots) is \"3.5\", not a whole number"},
        {h("0 5 12.5 0.5 2000 4 0.01 3.2 1"), 1, "the number of slots is 0; at least 1 is needed"},
        {h("-2 5 12.5 0.5 2000 4 0.01 3.2 1"), 1,
         "the number of slots is -2; at least 1 is needed"},
        {h("3 0 12.5 0.5 2000 4 0.01 3.2 1"), 1, "EndFrame is 0; at least 1 is needed"},
        {h("3 5 12.5 0.5 2000 0 0.01 3.2 1"), 1, "the write frequency is 0; at least 1 is needed"},
        {h("3 5 12.5 0 2000 4 0.01 3.2 1"), 1, "the time step must be above 0"},
        {h("3 5 12.5 0.5 2000 4 0.01 3.2 4"), 1,
         "the number of dead particles is 4, outside 0 to 3"},
        {h("3 2000000000 12.5 0.5 2000 4 0.01 3.2 1"), 1,
         "EndFrame times the write frequency is more frames than a run can count"},
        {h("2000000000 5 12.5 0.5 2000 4 0.01 3.2 1"), 1,
         "the header promises 2000000000 slots, but the file is far too short to hold their "
         "property lines"},
        {d.edit(3, "2 0 0 0 1e16 -10000"), 3, "a property line has 7 fields, this one 6"},
        {d.edit(3, "2 0 0 0 heavy -10000 0.003"), 3, "property field 5 is \"heavy\", not a number"},
        {d.edit(3, "5 0 0 0 1e16 -10000 0.003"), 3, "slot number \"5\" where 2 belongs"},
        {d.cut(3), 4, "the file ends in the property block after 2 of 3 slots"},
        {d.edit(9, "4 2 1.5 2.5"), 9, "a frame line has 5 fields, this one 4"},
        {d.edit(9, "4 2 1.5 2..5 3"), 9, "position field 4 is \"2..5\", not a number"},
        {d.edit(10, "4 3 nan 0 0"), 10, "position field 3 is \"nan\", not a number"},
        {d.edit(9, "four 2 1 2 3"), 9, "the frame number \"four\" is not a whole number"},
        {d.edit(9, "4 3 1 2 3"), 9, "slot number \"3\" where 2 belongs"},  // a lost line
        {d.edit(6, ""), 6, "a frame line has 5 fields, this one 0"},
        {d.cut(5), 6, "the file holds no complete stored frame"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        test::resetProgramState();
        test::TempDir dir;
        DataSet::writeText("bad", c.text);
        DataSet good;
        good.slots = 2;
        good.dead = 0;
        good.write("good");
        test::ScriptedConsole console(c.line == 1 ? "bad\ngood\n1\n0\n"
                                                  : "bad\n1\n0\ngood\n1\n0\n");
        playFlow();
        EXPECT_NE(console.output().find("Error in data set file bad, line " +
                                        std::to_string(c.line) + ": " + c.message +
                                        "\nPlease choose another file\n\nPlease enter the "
                                        "filename you wish to play\n"),
                  std::string::npos)
            << console.output();
        EXPECT_EQ(params.baseName, "good");
        EXPECT_EQ(params.runMode, 2);
        ASSERT_EQ(arrays.frameStore.size(), 5u * 2 * 3);
        expectFrameInStore(good, 4);
    }
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
    test::ScriptedConsole console(
        "run\n1\n0\n1001\n49\n1000\n0\nn\n500\n0\n600\n5\n0\n50\n-1\n2\n");
    loadAndContinue();
    const std::string out = console.output();
    EXPECT_NE(out.find("\nPlease select the frame you wish to load Max(1000)  : \n"
                       "\nError please pick another value\n"
                       "\nError please pick another value\n"
                       "\nError please pick another value\n"
                       "Frame 49 is stored frame 1, which has no stored frame before it for the "
                       "velocities: pick a frame from 50 to 1000\n"
                       "\nTaking into account the write frequency frame 40 will be loaded.\n"
                       "\nPlease wait while the file is loaded... \n\n"
                       "\nFor unfinished file"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("\nWould you like change the temperature y/n\n\n"
                       "Please select the number of frames you wish to generate\n"),
              std::string::npos);
    EXPECT_EQ(out.find("Number of deadparticles"), std::string::npos);
    EXPECT_EQ(params.runMode, 1);
    EXPECT_EQ(params.numDeadParticles, 1);
    EXPECT_EQ(arrays.forceArray.size(), 9u);
    for (int s = 0; s < 3; ++s) {
        const Particle& p = arrays.particleArray[s];
        for (int a = 0; a < 3; ++a) {
            EXPECT_EQ(p.position(a), stored(d.position(39, s, a)));
            EXPECT_DOUBLE_EQ(
                p.velocity(a),
                (stored(d.position(39, s, a)) - stored(d.position(38, s, a))) / (25 * 0.37));
        }
    }
    // 500 frames written every 5 (600 refused as longer than the run), analysis every 50,
    // the time step doubled (-1 refused).
    EXPECT_EQ((std::vector<int>{params.framesToCalculate, params.numWrittenFrames, params.writeFreq,
                                params.analysisFreq}),
              (std::vector<int>{500, 100, 5, 50}));
    EXPECT_DOUBLE_EQ(params.timeStep, 0.74);
    EXPECT_NE(out.find("Please enter a value from 1 to 500\n"), std::string::npos);
    EXPECT_NE(out.find("Please enter a value of at least 1\n"), std::string::npos);
    EXPECT_NE(out.find("please enter a factor above 0\n"), std::string::npos);
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
    // The script ends at the temperature dialogue, which then meets the end of input.
    test::ScriptedConsole console("runMasterFile\n1\n2\n0\ny\n");
    EXPECT_THROW(loadAndContinue(), test::ProgramExit);
    EXPECT_NE(console.output().find("The file you chose to load appears to be a Master File, "
                                    "would you like change the temperature y/n\n"),
              std::string::npos);
    for (int s = 0; s < 3; ++s) {
        const Particle& p = arrays.particleArray[s];
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
        (arrays.particleArray[0].speed() + arrays.particleArray[1].speed()) / 2;
    EXPECT_DOUBLE_EQ(params.temperatureRatio, stored(d.mass(0)) * meanSpeed * meanSpeed / 3);
    EXPECT_DOUBLE_EQ(params.timeStep, stored(dt));
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
    const double rapar = std::cbrt(3.0 * 5 / (4 * pi)) * 3.2;
    const double density = 4 / (rapar * rapar * rapar * 2000);
    const std::string ask = "Please enter the number of dead particles you wish to use: \n";
    for (const int answer : {1, 2}) {
        SCOPED_TRACE(answer);
        test::resetProgramState();
        test::TempDir dir;
        d.write("run");
        test::ScriptedConsole console("run\n1\n6\n0\n5\n-1\n" + std::to_string(answer) +
                                      "\nn\n10\n2\n5\n1\n");
        loadAndContinue();
        const std::string out = console.output();
        EXPECT_NE(out.find("\nNumber of deadparticles in header file (2) does not match estimated "
                           "(1).\n" +
                           ask + "Please enter a number from 0 to 4\n" + ask +
                           "Please enter a number from 0 to 4\n" + ask + "\n"),
                  std::string::npos)
            << out;
        EXPECT_EQ(params.numDeadParticles, answer);
        if (answer == 2) {  // the header's own count changes nothing
            EXPECT_EQ(out.find("Old Aparatus Radius"), std::string::npos);
            EXPECT_DOUBLE_EQ(params.apparatusRadius, 12.5);
            for (int s = 0; s < 5; ++s)
                EXPECT_EQ(arrays.particleArray[s].mass(), stored(d.mass(s)));
            continue;
        }
        std::ostringstream expected;
        expected << "\nOld Aparatus Radius: 12.5\n"
                 << "New Aparatus Radius: " << rapar << " : Check value " << (1.0 + 2 + 1) / 1.5
                 << "\nOld number density: " << 3 / (12.5 * 12.5 * 12.5 * 2000) << '\n'
                 << "New number density: " << density << "\n\n"
                 << "All particles will be set to particle 0's properties\n"
                 << "This is to ensure system stability - to avoid this please load a master "
                    "file\n\n";
        EXPECT_NE(out.find(ask + expected.str()), std::string::npos) << out;
        EXPECT_DOUBLE_EQ(params.apparatusRadius, rapar);
        EXPECT_DOUBLE_EQ(params.numberDensity, density);
        EXPECT_DOUBLE_EQ(params.deadParkY, 1.5 * rapar);
        for (int s = 0; s < 4; ++s) {
            const Particle& p = arrays.particleArray[s];
            EXPECT_EQ((std::vector<double>{p.mass(), p.charge(), p.radius(), p.colour(0),
                                           p.colour(2), p.position(0)}),
                      (std::vector<double>{stored(d.mass(0)), stored(d.charge(0)),
                                           stored(d.radius(s)), 0, 0, stored(d.position(2, s, 0))}))
                << s;
        }
        EXPECT_EQ(arrays.particleArray[4].mass(), stored(d.mass(4)));
        EXPECT_EQ(arrays.particleArray[4].colour(0), 1.0);
    }
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
    d.write("run");
    DataSet::writeText("broken", DataSet().edit(2, "1 0 0"));
    // single: refused at once; broken: refused after loading; run: frame 30 (stored 10) is
    // beyond the 4 frames kept at the EndFrame prompt, so 12 is chosen instead.
    test::ScriptedConsole console(
        "single\n1\nbroken\n1\n8\n0\nrun\n1\n30\n4\n12\nn\n10\n2\n5\n1\n");
    loadAndContinue();
    const std::string out = console.output();
    EXPECT_NE(out.find("The file single stores a single frame; continuing needs two, the frame "
                       "and the one before it for the velocities\nPlease choose another file\n"),
              std::string::npos);
    EXPECT_NE(out.find("Error in data set file broken, line 2: a property line has 7 fields, "
                       "this one 3\n"),
              std::string::npos);
    EXPECT_NE(out.find("Stored frame 10 is beyond the 4 frames loaded: pick a frame from 6 to 12\n"
                       "\nPlease select the frame you wish to load Max(12)  : \n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("Taking into account the write frequency frame 4 will be loaded."),
              std::string::npos);
    for (int a = 0; a < 3; ++a)
        EXPECT_EQ(arrays.particleArray[0].position(a), stored(d.position(3, 0, a)));
    EXPECT_EQ(params.runMode, 1);
}

}  // namespace
}  // namespace qv
