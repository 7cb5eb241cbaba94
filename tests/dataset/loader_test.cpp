#include "dataset/loader.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <fstream>
#include <functional>
#include <locale>
#include <sstream>
#include <string>

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
    double timeStep = 0.5;
    double debyeSphereCount = 2000;
    double dustPlasmaFrequency = 0.01;
    double interparticleDistance = 3.2;
    // Stored frames in the file: a finished render stores EndFrame + 1 when writeFreq is above 1.
    int framesInFile = -1;
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
               num(timeStep) + " " + num(debyeSphereCount) + " " + std::to_string(writeFreq) + " " +
               num(dustPlasmaFrequency) + " " + num(interparticleDistance) + " " +
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
        const int frames = framesInFile >= 0 ? framesInFile : endFrame + (writeFreq > 1 ? 1 : 0);
        for (int b = 0; b < frames; ++b)
            for (int s = 0; s < slots; ++s) t += frameLine(b, s);
        return t;
    }
    void write(const std::string& name) const { writeText(name, text()); }
    static void writeText(const std::string& name, const std::string& text) {
        std::ofstream(name, std::ios::binary) << text;
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

void expectFrameInStore(const DataSet& d, int block, int storeBlock) {
    for (int s = 0; s < d.slots; ++s)
        for (int a = 0; a < 3; ++a)
            ASSERT_EQ(arrays.frameStore[(storeBlock * d.slots + s) * 3 + a],
                      stored(d.position(block, s, a)))
                << "block " << block << " slot " << s << " axis " << a;
}

TEST(LoaderPlay, LoadsEveryStoredPositionAndThePropertiesAsWritten) {
    test::resetProgramState();
    test::TempDir dir;
    DataSet d;
    d.write("run");
    test::ScriptedConsole console("run\n1\n0\n");
    playFlow();

    const std::string expectedStart =
        "\nPlease enter the filename you wish to play\n\nLoading run\n\n"
        "\nLoading File...\nFile Contains: Particles: 3 || Frames: 20\n\n"
        "Write Freq: 4 || Timestep: 0.5\n\n"
        "If you wish to play this file press 1 otherwise press 2 to choose another file\n"
        "\nFor unfinished file please manually enter new EndFrame number (Reported EndFrame: 5)"
        " - enter 0 to leave: \n\n";
    EXPECT_EQ(console.output().substr(0, expectedStart.size()), expectedStart);
    EXPECT_EQ(params.runMode, 2);
    EXPECT_EQ(params.playStep, 0);
    EXPECT_EQ(params.numParticles, 3);
    EXPECT_EQ(params.framesToCalculate, 5);
    EXPECT_EQ(params.writeFreq, 4);
    EXPECT_EQ(params.numDeadParticles, 0);  // every slot is a grain in a replay
    EXPECT_DOUBLE_EQ(params.apparatusRadius, 12.5);
    EXPECT_DOUBLE_EQ(params.timeStep, 0.5);
    EXPECT_DOUBLE_EQ(params.debyeSphereCount, 2000);
    EXPECT_DOUBLE_EQ(params.dustPlasmaFrequency, 0.01);
    EXPECT_DOUBLE_EQ(params.interparticleDistance, 3.2);
    EXPECT_DOUBLE_EQ(params.deadParkY, 18.75);
    // The density counts the header's live grains, before the replay zeroes the dead count.
    EXPECT_DOUBLE_EQ(params.numberDensity, 2.0 / (12.5 * 12.5 * 12.5 * 2000));

    ASSERT_EQ(arrays.frameStore.size(), 5u * 3 * 3);
    for (int b = 0; b < 5; ++b) expectFrameInStore(d, b, b);
    for (int s = 0; s < 3; ++s) {
        const Particle& p = arrays.particleArray[s];
        EXPECT_EQ(p.mass(), stored(d.mass(s)));
        EXPECT_EQ(p.charge(), stored(d.charge(s)));
        EXPECT_EQ(p.radius(), stored(d.radius(s)));
        EXPECT_EQ(p.colour(0), d.isDead(s) ? 1.0 : 0.0);
        EXPECT_EQ(p.colour(2), d.isDead(s) ? 0.5 : 0.0);
    }
    // The averages leave the dead particle out, by its colour.
    EXPECT_DOUBLE_EQ(params.grainMass, (stored(d.mass(0)) + stored(d.mass(1))) / 2);
    EXPECT_NE(console.output().find("Calculated Averages for Radius/Mass/Charge: "),
              std::string::npos);
}

TEST(LoaderPlay, SetFrameFromStoreCopiesOnlyPositionsAndIgnoresFramesOutOfRange) {
    test::resetProgramState();
    test::TempDir dir;
    DataSet d;
    d.write("run");
    test::ScriptedConsole console("run\n1\n0\n");
    playFlow();
    arrays.particleArray[1].setVelocity(0, 7.5);
    for (int frame : {1, 3, 5}) {
        setFrameFromStore(frame);
        for (int s = 0; s < 3; ++s)
            for (int a = 0; a < 3; ++a)
                EXPECT_EQ(arrays.particleArray[s].position(a), stored(d.position(frame - 1, s, a)));
    }
    EXPECT_EQ(arrays.particleArray[1].velocity(0), 7.5);
    EXPECT_EQ(arrays.particleArray[0].mass(), stored(d.mass(0)));
    for (int frame : {0, 6, -1, INT_MAX}) {
        setFrameFromStore(frame);
        EXPECT_EQ(arrays.particleArray[0].position(0), stored(d.position(4, 0, 0)));
    }
}

TEST(LoaderPlay, RecordsAreSizedToTheFileAndAnEmptyStoreIsNeverRead) {
    test::resetProgramState();
    test::TempDir dir;
    allocateParticles(2);
    setFrameFromStore(1);  // nothing loaded yet
    EXPECT_EQ(arrays.particleArray[0].position(0), 0.0);
    DataSet d;
    d.write("run");
    test::ScriptedConsole console("run\n1\n0\n");
    openDataSetForReading();
    params.runMode = 2;
    allocateParticles(1);  // too few records for the file
    loadAllFrames();
    ASSERT_EQ(arrays.particleArray.size(), 3u);
    EXPECT_TRUE(cursorAtEnd());
    EXPECT_EQ(arrays.particleArray[2].mass(), stored(d.mass(2)));
}

TEST(LoaderPlay, DefaultRenderSizeReportsItsFramesAndLoadsThemAll) {
    test::resetProgramState();
    test::TempDir dir;
    DataSet d;
    d.slots = 376;
    d.dead = 100;
    d.endFrame = 400;
    d.writeFreq = 25;
    d.write("big");
    test::ScriptedConsole console("big\n1\n0\n");
    playFlow();
    EXPECT_NE(console.output().find("File Contains: Particles: 376 || Frames: 10000\n"),
              std::string::npos);
    ASSERT_EQ(arrays.frameStore.size(), 400u * 376 * 3);
    EXPECT_EQ(params.framesToCalculate, 400);
    expectFrameInStore(d, 0, 0);
    expectFrameInStore(d, 399, 399);
}

TEST(LoaderPlay, EndFramePromptKeepsOnZeroShortensOnAPositiveValueAndRefusesNegatives) {
    test::resetProgramState();
    test::TempDir dir;
    DataSet d;
    d.slots = 2;
    d.endFrame = 150;
    d.write("run");
    {
        test::ScriptedConsole console("run\n1\n0\n");
        playFlow();
        EXPECT_EQ(params.framesToCalculate, 150);
        EXPECT_EQ(arrays.frameStore.size(), 150u * 2 * 3);
    }
    test::resetProgramState();
    test::ScriptedConsole console("run\n1\n-5\n120\n");
    playFlow();
    EXPECT_NE(console.output().find("EndFrame cannot be negative: enter 0 to keep it or the number "
                                    "of complete frames\nFor unfinished file"),
              std::string::npos);
    EXPECT_EQ(params.framesToCalculate, 120);
    ASSERT_EQ(arrays.frameStore.size(), 120u * 2 * 3);
    expectFrameInStore(d, 119, 119);
}

TEST(LoaderPlay, AnUnfinishedFileLoadsItsCompleteFramesAndSaysHowMany) {
    test::resetProgramState();
    test::TempDir dir;
    DataSet d;
    d.framesInFile = 4;
    // Half a frame and a line cut off in the middle of a number.
    const std::string text = d.text() + d.frameLine(4, 0) + "20 2 3.14";
    DataSet::writeText("cut", text);
    test::ScriptedConsole console("cut\n1\n0\n");
    playFlow();
    EXPECT_NE(console.output().find("The file cut ends after 4 complete stored frames, not the 5 "
                                    "of its EndFrame (an unfinished render): 4 frames are "
                                    "loaded\n"),
              std::string::npos);
    EXPECT_EQ(params.framesToCalculate, 4);
    ASSERT_EQ(arrays.frameStore.size(), 4u * 3 * 3);
    expectFrameInStore(d, 3, 3);

    // Ending exactly between frames is unfinished too; CRLF line ends read the same.
    test::resetProgramState();
    std::string crlf;
    for (char c : d.text()) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    DataSet::writeText("crlf", crlf);
    test::ScriptedConsole again("crlf\n1\n0\n");
    playFlow();
    EXPECT_EQ(params.framesToCalculate, 4);
    expectFrameInStore(d, 3, 3);
}

TEST(LoaderPlay, AFileThatDoesNotOpenOrIsDeclinedAsksForTheNameAgain) {
    test::resetProgramState();
    test::TempDir dir;
    DataSet d;
    d.write("run");
    std::filesystem::create_directory("folder");
    test::ScriptedConsole console("missing\nfolder\nrun\n2\nrun\n7\nrun\n1\n0\n");
    playFlow();
    const std::string out = console.output();
    EXPECT_NE(out.find("Loading missing\n\n\nError in opening file please re-enter file name\n"
                       "\nPlease enter the filename you wish to play\n"),
              std::string::npos);
    EXPECT_NE(out.find("Loading folder\n\n\nError in opening file"), std::string::npos);
    size_t questions = 0;
    for (size_t at = out.find("press 1 otherwise"); at != std::string::npos;
         at = out.find("press 1 otherwise", at + 1))
        ++questions;
    EXPECT_EQ(questions, 3u);
    EXPECT_EQ(params.runMode, 2);
    EXPECT_EQ(arrays.frameStore.size(), 5u * 3 * 3);
}

TEST(LoaderPlay, EndOfInputInTheDialogueEndsTheProgram) {
    test::resetProgramState();
    test::TempDir dir;
    test::ScriptedConsole console("missing\n");
    try {
        playFlow();
        FAIL() << "the dialogue returned without a file";
    } catch (const test::ProgramExit& e) {
        EXPECT_EQ(e.status, 1);
    }
}

TEST(LoaderPlay, LargeLoadsShowTheirProgressInPlace) {
    test::resetProgramState();
    test::TempDir dir;
    DataSet d;
    d.write("run");
    loaderSettings.progressMinLines = 1;
    test::ScriptedConsole console("run\n1\n0\n");
    playFlow();
    EXPECT_NE(console.output().find("Loading frames:   0%\b\b\b\b 20%\b\b\b\b 40%\b\b\b\b 60%"
                                    "\b\b\b\b 80%\b\b\b\b100%\n"),
              std::string::npos);
}

// Every broken file names itself and the line, then the file name is asked again; the good
// file given next loads.
struct BrokenCase {
    const char* label;
    std::function<std::string(const DataSet&)> text;
    bool foundAtOpen;  // the header is checked before the play question
    std::string message;
};

std::string replaceLine(const std::string& text, int line, const std::string& with) {
    std::istringstream in(text);
    std::string out, l;
    for (int n = 1; std::getline(in, l); ++n) out += (n == line ? with : l) + "\n";
    return out;
}

TEST(LoaderPlay, EveryBrokenFileGivesItsMessageAndTheFilePromptAgain) {
    auto header = [](const std::string& h) {
        return [h](const DataSet& d) { return replaceLine(d.text(), 1, h); };
    };
    auto line = [](int n, const std::string& with) {
        return [n, with](const DataSet& d) { return replaceLine(d.text(), n, with); };
    };
    const BrokenCase cases[] = {
        {"empty", [](const DataSet&) { return std::string(); }, true, "line 1: the file is empty"},
        {"eight fields", header("3 5 12.5 0.5 2000 4 0.01 3.2"), true,
         "line 1: the header has 8 fields where 9 belong"},
        {"ten fields", header("3 5 12.5 0.5 2000 4 0.01 3.2 1 7"), true,
         "line 1: the header has 10 fields where 9 belong"},
        {"text", header("3 5 abc 0.5 2000 4 0.01 3.2 1"), true,
         "line 1: header field 3 (Rapar) is \"abc\", not a number"},
        {"fraction", header("3.5 5 12.5 0.5 2000 4 0.01 3.2 1"), true,
         "line 1: header field 1 (number of slots) is \"3.5\", not a whole number"},
        {"no slots", header("0 5 12.5 0.5 2000 4 0.01 3.2 1"), true,
         "line 1: the number of slots is 0; at least 1 is needed"},
        {"negative slots", header("-2 5 12.5 0.5 2000 4 0.01 3.2 1"), true,
         "line 1: the number of slots is -2; at least 1 is needed"},
        {"no frames", header("3 0 12.5 0.5 2000 4 0.01 3.2 1"), true,
         "line 1: EndFrame is 0; at least 1 is needed"},
        {"write freq", header("3 5 12.5 0.5 2000 0 0.01 3.2 1"), true,
         "line 1: the write frequency is 0; at least 1 is needed"},
        {"infinite", header("3 5 inf 0.5 2000 4 0.01 3.2 1"), true,
         "line 1: header field 3 (Rapar) is \"inf\", not a number"},
        {"zero step", header("3 5 12.5 0 2000 4 0.01 3.2 1"), true,
         "line 1: the time step must be above 0"},
        {"too many dead", header("3 5 12.5 0.5 2000 4 0.01 3.2 4"), true,
         "line 1: the number of dead particles is 4, outside 0 to 3"},
        {"frame overflow", header("3 2000000000 12.5 0.5 2000 4 0.01 3.2 1"), true,
         "line 1: EndFrame times the write frequency is more frames than a run can count"},
        {"huge", header("2000000000 5 12.5 0.5 2000 4 0.01 3.2 1"), true,
         "line 1: the header promises 2000000000 slots, but the file is far too short to hold "
         "their property lines"},
        {"property fields", line(3, "2 0 0 0 1e16 -10000"), false,
         "line 3: a property line has 7 fields, this one 6"},
        {"property text", line(3, "2 0 0 0 heavy -10000 0.003"), false,
         "line 3: property field 5 is \"heavy\", not a number"},
        {"property slot", line(3, "5 0 0 0 1e16 -10000 0.003"), false,
         "line 3: slot number \"5\" where 2 belongs"},
        {"property end",
         [](const DataSet& d) { return d.headerLine() + d.propertyLine(0) + d.propertyLine(1); },
         false, "line 4: the file ends in the property block after 2 of 3 slots"},
        {"frame fields", line(9, "4 2 1.5 2.5"), false,
         "line 9: a frame line has 5 fields, this one 4"},
        {"frame text", line(9, "4 2 1.5 2..5 3"), false,
         "line 9: position field 4 is \"2..5\", not a number"},
        {"frame nan", line(10, "4 3 nan 0 0"), false,
         "line 10: position field 3 is \"nan\", not a number"},
        {"frame number", line(9, "four 2 1 2 3"), false,
         "line 9: the frame number \"four\" is not a whole number"},
        {"lost line", [](const DataSet& d) { return replaceLine(d.text(), 9, d.frameLine(1, 2)); },
         false, "line 9: slot number \"3\" where 2 belongs"},
        {"blank line", line(6, ""), false, "line 6: a frame line has 5 fields, this one 0"},
        {"no frame",
         [](const DataSet& d) {
             std::string t = d.headerLine();
             for (int s = 0; s < d.slots; ++s) t += d.propertyLine(s);
             return t + d.frameLine(0, 0);
         },
         false, "line 6: the file holds no complete stored frame"},
    };
    for (const BrokenCase& c : cases) {
        SCOPED_TRACE(c.label);
        test::resetProgramState();
        test::TempDir dir;
        DataSet bad;
        DataSet::writeText("bad", c.text(bad));
        DataSet good;
        good.slots = 2;
        good.dead = 0;
        good.write("good");
        test::ScriptedConsole console(c.foundAtOpen ? "bad\ngood\n1\n0\n"
                                                    : "bad\n1\n0\ngood\n1\n0\n");
        playFlow();
        EXPECT_NE(console.output().find("Error in data set file bad, " + c.message +
                                        "\nPlease choose another file\n\nPlease enter the "
                                        "filename you wish to play\n"),
                  std::string::npos)
            << console.output();
        EXPECT_EQ(params.baseName, "good");
        EXPECT_EQ(params.runMode, 2);
        EXPECT_EQ(params.numParticles, 2);
        EXPECT_EQ(params.framesToCalculate, 5);
        ASSERT_EQ(arrays.frameStore.size(), 5u * 2 * 3);
        expectFrameInStore(good, 4, 4);
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
    EXPECT_EQ(params.framesToCalculate, 500);
    EXPECT_EQ(params.numWrittenFrames, 100);
    EXPECT_EQ(params.writeFreq, 5);
    EXPECT_EQ(params.analysisFreq, 50);
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

TEST(LoaderContinue, ADeadParticleMismatchRescalesRaparAndEqualisesTheGrains) {
    test::resetProgramState();
    test::TempDir dir;
    DataSet d;
    d.slots = 5;
    d.dead = 2;
    d.endFrame = 3;
    d.writeFreq = 2;
    // The last dead particle has been fired: it no longer waits at the park position.
    auto parked = d.position;
    d.position = [parked](int b, int s, int a) { return s == 4 ? 1.0 + b + a : parked(b, s, a); };
    d.write("run");
    test::ScriptedConsole console("run\n1\n6\n0\n5\n-1\n1\nn\n10\n2\n5\n1\n");
    loadAndContinue();
    const double rapar = std::cbrt(3.0 * 5 / (4 * pi)) * 3.2;
    const double density = 4 / (rapar * rapar * rapar * 2000);
    std::ostringstream expected;
    expected << "\nNumber of deadparticles in header file (2) does not match estimated (1).\n"
             << "Please enter the number of dead particles you wish to use: \n"
             << "Please enter a number from 0 to 4\n"
             << "Please enter the number of dead particles you wish to use: \n"
             << "Please enter a number from 0 to 4\n"
             << "Please enter the number of dead particles you wish to use: \n\n"
             << "Old Aparatus Radius: 12.5\n"
             << "New Aparatus Radius: " << rapar << " : Check value " << (1.0 + 2 + 1) / 1.5
             << "\nOld number density: " << 3 / (12.5 * 12.5 * 12.5 * 2000) << '\n'
             << "New number density: " << density << "\n\n"
             << "All particles will be set to particle 0's properties\n"
             << "This is to ensure system stability - to avoid this please load a master file\n\n";
    EXPECT_NE(console.output().find(expected.str()), std::string::npos) << console.output();
    EXPECT_EQ(params.numDeadParticles, 1);
    EXPECT_DOUBLE_EQ(params.apparatusRadius, rapar);
    EXPECT_DOUBLE_EQ(params.numberDensity, density);
    EXPECT_DOUBLE_EQ(params.deadParkY, 1.5 * rapar);
    for (int s = 0; s < 4; ++s) {
        const Particle& p = arrays.particleArray[s];
        EXPECT_EQ(p.mass(), stored(d.mass(0)));
        EXPECT_EQ(p.charge(), stored(d.charge(0)));
        EXPECT_EQ(p.radius(), stored(d.radius(s)));
        EXPECT_EQ(p.colour(0), 0.0);
        EXPECT_EQ(p.colour(2), 0.0);
        EXPECT_EQ(p.position(0), stored(d.position(2, s, 0)));
    }
    const Particle& last = arrays.particleArray[4];
    EXPECT_EQ(last.mass(), stored(d.mass(4)));
    EXPECT_EQ(last.colour(0), 1.0);
}

TEST(LoaderContinue, KeepingTheHeaderDeadCountChangesNothing) {
    test::resetProgramState();
    test::TempDir dir;
    DataSet d;
    d.slots = 5;
    d.dead = 2;
    d.endFrame = 3;
    d.writeFreq = 2;
    auto parked = d.position;
    d.position = [parked](int b, int s, int a) { return s == 4 ? 1.0 + b + a : parked(b, s, a); };
    d.write("run");
    test::ScriptedConsole console("run\n1\n6\n0\n2\nn\n10\n2\n5\n1\n");
    loadAndContinue();
    EXPECT_NE(console.output().find("does not match estimated (1)."), std::string::npos);
    EXPECT_EQ(console.output().find("Old Aparatus Radius"), std::string::npos);
    EXPECT_EQ(params.numDeadParticles, 2);
    EXPECT_DOUBLE_EQ(params.apparatusRadius, 12.5);
    for (int s = 0; s < 5; ++s) EXPECT_EQ(arrays.particleArray[s].mass(), stored(d.mass(s)));
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
    DataSet broken;
    DataSet::writeText("broken", replaceLine(broken.text(), 2, "1 0 0"));
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
