#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "console/console.h"
#include "dataset/writer.h"
#include "setup/setup.h"
#include "sim/state.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

const std::string kMenu =
    "Welcome to Quorvex 3-D Simulation v.2  (inc. Pretty Pictures)\n"
    "\n"
    "Press F1 for help at any time (during simulation)\n"
    "\n"
    "Please choose from the following options:\n"
    "1: Render a new data set\n"
    "2: Play an existing data set\n"
    "3: Load start positions from file and continue to render\n"
    "4: Default options for Render\n"
    "5: Create files for surface plotting (If you use Matlab select this first)\n"
    "6: HCP Crystal Viewing\n";
const std::string kAutomated = "\nWould you like automated PCF/Shell Functions (1=yes , 0=no)\n";
const std::string kRendering = "Rendering a new data set \n\n";
const std::string kFilePrompt = "Please enter the filename you wish to render (No Spaces)\n";
const std::string kAppendPrompt =
    "File exists... do you wish to continue and append to end of file? (y/n) \n";

// Runs the whole set-up on a script of answers inside a fresh directory; the directory stays
// current until the fixture ends so that the files can be inspected.
class SetUpDialogue : public ::testing::Test {
  protected:
    void SetUp() override { test::resetProgramState(); }

    std::string run(const std::string& answers) {
        test::ScriptedConsole console(answers);
        runSetUp();
        return console.output();
    }

    std::vector<std::string> headerFields(const std::string& file) {
        std::istringstream in(test::readFile(file));
        std::string line;
        std::getline(in, line);
        std::istringstream fields(line);
        std::vector<std::string> out;
        for (std::string f; fields >> f;) out.push_back(f);
        return out;
    }

    static int lineCount(const std::string& text) {
        int n = 0;
        for (char c : text) n += c == '\n';
        return n;
    }

    static bool startsWith(const std::string& text, const std::string& prefix) {
        return text.compare(0, prefix.size(), prefix) == 0;
    }

    test::TempDir dir_;
};

TEST_F(SetUpDialogue, DefaultRenderTakesTheDefaultSet) {
    const std::string out = run("4\n0\nrunA\n");
    EXPECT_TRUE(startsWith(
        out, kMenu + kAutomated + kRendering + kFilePrompt + "\n\n" + "Timestep is: 1.479e+07\n\n"))
        << out;
    EXPECT_NE(out.find("Frames to be calculated: 10000\n\nThank you now generating... \n\n"
                       "Calculated Averages for Radius/Mass/Charge: \n"),
              std::string::npos);
    EXPECT_EQ(params.runMode, 1);
    EXPECT_EQ(params.numParticles, 376);
    EXPECT_EQ(params.numDeadParticles, 100);
    EXPECT_EQ(params.framesToCalculate, 10000);
    EXPECT_EQ(params.writeFreq, 25);
    EXPECT_EQ(params.analysisFreq, 20);
    EXPECT_EQ(params.numWrittenFrames, 400);
    EXPECT_EQ(params.ccple, 500.0);
    EXPECT_EQ(params.ccpleTarget, 500.0);
    EXPECT_EQ(params.randomSeed, 13);
    EXPECT_EQ(params.baseName, "runA");
    EXPECT_EQ(arrays.particleArray.size(), 376u);

    dataSetStream.close();
    const std::string dataSet = test::readFile("runA");
    EXPECT_TRUE(
        startsWith(dataSet, "376 400 135.34 1.479e+07 153919 25 2.59698e-09 33.5083 100\n"));
    EXPECT_EQ(lineCount(dataSet), 1 + 376);  // header and property block, no frame yet
    EXPECT_EQ(lineCount(test::readFile("runARdistribution.xls")), 376);
}

TEST_F(SetUpDialogue, RenderParametersAreRoundedToWholeWriteIntervals) {
    const std::string out = run("1\n0\nrunB\n7\n2\n5\n1000\n300\n500\n10000\n30\n100\n1\n1.0\n0\n");
    EXPECT_TRUE(
        startsWith(out, kMenu + kAutomated + kRendering + kFilePrompt + "\n\n" +
                            "Please select the seed for random number generation (default 13) \n\n"
                            "Please select the number of Dead Particles (default 100) \n\n"
                            "Please select the number of Particles \n\n"
                            "Please select the number of frames you wish to generate\n\n"
                            "Please select initial temperature of dust in Kelvin\n\n"
                            "Please enter a value for the CCP\n\n"
                            "Please enter average charge in electron charges\n\n"
                            "Please enter how often particle position data should be output(4)\n\n"
                            "Please enter how often the analysis file should be written(100)\n\n"
                            "Please enter how many different masses there should be\n\n"
                            "Multiply step length by(1.0)\n\n"
                            "Please select 1 to output speed distribution\n\n"
                            "Timestep is: "))
        << out;
    EXPECT_NE(out.find("Frames to be calculated: 990\n\n"), std::string::npos);
    EXPECT_EQ(params.randomSeed, 7);
    EXPECT_EQ(params.numParticles, 7);
    EXPECT_EQ(params.numDeadParticles, 2);
    EXPECT_EQ(params.framesToCalculate, 990);
    EXPECT_EQ(params.numWrittenFrames, 33);
    EXPECT_EQ(params.writeFreq, 30);
    EXPECT_EQ(params.analysisFreq, 100);
    EXPECT_EQ(params.stepMultiplier, 1.0);
    EXPECT_EQ(params.grainCharge, -10000.0);  // typed as a count of electrons
    EXPECT_EQ(arrays.particleArray[0].charge(), -10000.0);
    dataSetStream.close();
    const std::vector<std::string> header = headerFields("runB");
    ASSERT_EQ(header.size(), 9u);
    EXPECT_EQ(header[0], "7");
    EXPECT_EQ(header[1], "33");
    EXPECT_EQ(header[5], "30");
    EXPECT_EQ(header[8], "2");
}

TEST_F(SetUpDialogue, SurfacePlotChoiceShowsTheMenuAgain) {
    const std::string outputs =
        "\nPlease select which 2D outputs you would like\n\n"
        "Shell 1(yes) or 0(no)? \n"
        "PCF 1(yes) or 0(no)? \n"
        "Potential 1(yes) or 0(no)? \n"
        "E-Field 1(yes) or 0(no)? \n";
    const std::string out = run("5\n1\n0\n1\n0\n5\n0\n1\n1\n0\n4\n0\nrunC\n");
    EXPECT_TRUE(
        startsWith(out, kMenu + outputs + kMenu + outputs + kMenu + kAutomated + kRendering))
        << out;
    EXPECT_EQ(params.shellOutput2D, 0);
    EXPECT_EQ(params.pcfOutput2D, 1);
    EXPECT_EQ(params.potentialOutput2D, 1);
    EXPECT_EQ(params.efieldOutput2D, 0);
    EXPECT_EQ(params.runMode, 1);
}

TEST_F(SetUpDialogue, BadMenuAnswersAreAskedAgain) {
    const std::string out = run("0\n7\nx\n4\n2\n1\nrunD\n200\n100\n5\n1000\n1\n");
    EXPECT_TRUE(startsWith(out, kMenu + "Incorrect choice Please choose again\n" +
                                    "Incorrect choice Please choose again\n" +
                                    "That is not a number, please try again.\n" + kAutomated +
                                    "Please answer 1 (yes) or 0 (no).\n" + kAutomated.substr(1) +
                                    kRendering))
        << out;
    EXPECT_EQ(params.automatedAnalysis, 1);
}

TEST_F(SetUpDialogue, PlayAndCrystalViewingNeedAWindow) {
    params.windowOpen = false;
    const std::string out = run("2\n6\n4\n0\nrunE\n");
    EXPECT_TRUE(startsWith(
        out, kMenu +
                 "Option 2 needs a window, and Quorvex runs without a display; please choose "
                 "another option.\n\n" +
                 kMenu +
                 "Option 6 needs a window, and Quorvex runs without a display; please choose "
                 "another option.\n\n" +
                 kMenu + kAutomated + kRendering))
        << out;
    EXPECT_EQ(params.runMode, 1);
}

TEST_F(SetUpDialogue, CrystalViewingAsksNoQuestionsButTheName) {
    params.windowOpen = true;
    const std::string out = run("6\ncrystal\n");
    EXPECT_TRUE(startsWith(out, kMenu + kRendering + kFilePrompt + "\n\nTimestep is: ")) << out;
    EXPECT_EQ(params.runMode, 6);
    EXPECT_EQ(params.numParticles, 8001);
    EXPECT_EQ(params.numDeadParticles, 1);
    EXPECT_EQ(params.framesToCalculate, 10000);
    EXPECT_EQ(params.writeFreq, 10000);
    EXPECT_EQ(params.analysisFreq, 10000);
    EXPECT_EQ(params.numWrittenFrames, 1);
    EXPECT_EQ(params.ccple, 300.0);
    dataSetStream.close();
    const std::vector<std::string> header = headerFields("crystal");
    ASSERT_EQ(header.size(), 9u);
    EXPECT_EQ(header[0], "8001");
    EXPECT_EQ(header[1], "1");
    EXPECT_EQ(header[5], "10000");
    EXPECT_EQ(header[8], "1");
}

TEST_F(SetUpDialogue, CoolingScheduleKeepsTheEndFrameOfTheDefaultSet) {
    run("4\n1\nrunF\n200\n100\n5\n1000\n1\n");
    EXPECT_EQ(params.framesToCalculate, 6000);
    EXPECT_EQ(params.writeFreq, 6000);
    EXPECT_EQ(params.analysisFreq, 50);
    EXPECT_EQ(params.ccpleTarget, 225.0);
    dataSetStream.close();
    const std::vector<std::string> header = headerFields("runF");
    ASSERT_EQ(header.size(), 9u);
    EXPECT_EQ(header[1], "400");
    EXPECT_EQ(header[5], "6000");
}

TEST_F(SetUpDialogue, PlayOpensTheLoaderAndStartsPaused) {
    // A small data set for the loader to read: three slots, two stored frames.
    params.numParticles = 3;
    params.numDeadParticles = 0;
    params.framesToCalculate = 4;
    // The loader refuses a header whose lengths or Debye sphere count are not above 0.
    params.debyeSphereCount = 1.5e5;
    params.interparticleDistance = 33.5;
    arrays.particleArray.assign(3, Particle{});
    dataSetStream = openForWrite("play");
    writeDataSetHeader(2, 4);
    params.currentFrame = 1;
    writeFrame();
    params.currentFrame = 4;
    writeFrame();
    dataSetStream.close();
    test::resetProgramState();

    params.windowOpen = true;
    // File name, "1" to play it, "0" to keep its EndFrame.
    const std::string out = run("2\nplay\n1\n0\n");
    EXPECT_TRUE(startsWith(out, kMenu + "Play an existing data set\n\n")) << out;
    EXPECT_NE(out.find("Please wait while the file is loaded, this may take several minutes... "
                       "\n\n"),
              std::string::npos);
    EXPECT_EQ(params.runMode, 2);
    EXPECT_EQ(params.playStep, 0);
    EXPECT_EQ(arrays.particleArray.size(), static_cast<std::size_t>(params.numParticles));
}

TEST_F(SetUpDialogue, LoadAndContinueStartsWithItsTitle) {
    // The script ends inside the loading dialogue.
    test::ScriptedConsole console("3\n0\n");
    try {
        runSetUp();
        ADD_FAILURE() << "set-up returned without a data set to continue";
    } catch (const test::ProgramExit& exit) {
        EXPECT_EQ(exit.status, 1);
    }
    EXPECT_TRUE(startsWith(console.output(),
                           kMenu + kAutomated + "Load then render an existing data set\n\n"))
        << console.output();
}

TEST_F(SetUpDialogue, EndOfInputEndsTheProgramWithStatusOne) {
    for (const std::string script : {"", "4\n", "1\n0\nrunG\n13\n2\n"}) {
        test::resetProgramState();
        test::ScriptedConsole console(script);
        try {
            runSetUp();
            ADD_FAILURE() << "set-up returned on script " << script;
        } catch (const test::ProgramExit& exit) {
            EXPECT_EQ(exit.status, 1);
        }
        const std::string out = console.output();
        EXPECT_NE(out.find("Input ended while waiting for an answer"), std::string::npos) << out;
    }
}

class FileNameDialogue : public ::testing::Test {
  protected:
    void SetUp() override { test::resetProgramState(); }
    test::TempDir dir_;
};

TEST_F(FileNameDialogue, NewNameCreatesAnEmptyFile) {
    test::ScriptedConsole console("fresh\n");
    promptDataSetFile();
    EXPECT_EQ(console.output(), kFilePrompt + "\n\n");
    EXPECT_EQ(params.baseName, "fresh");
    EXPECT_TRUE(dataSetStream.is_open());
    EXPECT_TRUE(std::filesystem::exists("fresh"));
    EXPECT_EQ(test::readFile("fresh"), "");
}

TEST_F(FileNameDialogue, ExistingFileIsAppendedToOnYes) {
    std::ofstream("old") << "previous\n";
    test::ScriptedConsole console("old\nx\ny\n");
    promptDataSetFile();
    EXPECT_EQ(console.output(), kFilePrompt + "\n" + kAppendPrompt + "Please answer y or n.\n" +
                                    kAppendPrompt + "\n");
    dataSetStream << "next" << std::endl;
    EXPECT_EQ(test::readFile("old"), "previous\nnext\n");
}

TEST_F(FileNameDialogue, NoAsksForNamesUntilOneIsNew) {
    std::ofstream("old") << "previous\n";
    std::ofstream("old2") << "previous\n";
    test::ScriptedConsole console("old\nn\nold2\nfresh\n");
    promptDataSetFile();
    EXPECT_EQ(console.output(), kFilePrompt + "\n" + kAppendPrompt + "\n" + kFilePrompt +
                                    "File exists...\n" + "\n" + kFilePrompt + "\n");
    EXPECT_EQ(params.baseName, "fresh");
    EXPECT_EQ(test::readFile("old"), "previous\n");
    EXPECT_EQ(test::readFile("fresh"), "");
}

TEST_F(FileNameDialogue, NameThatCannotBeCreatedIsAskedAgain) {
    std::filesystem::create_directory("adir");
    // A missing directory, then a directory of that name (it exists, but cannot take lines).
    test::ScriptedConsole console("missing/dir/run\nadir\ny\nok\n");
    promptDataSetFile();
    EXPECT_EQ(console.output(),
              kFilePrompt + "\n" +
                  "The file missing/dir/run cannot be created; please enter another name.\n\n" +
                  kFilePrompt + "\n" + kAppendPrompt +
                  "The file adir cannot be created; please enter another name.\n\n" + kFilePrompt +
                  "\n\n");
    EXPECT_EQ(params.baseName, "ok");
    EXPECT_TRUE(dataSetStream.is_open());
}

class ParameterDialogue : public ::testing::Test {
  protected:
    void SetUp() override { test::resetProgramState(); }
};

TEST_F(ParameterDialogue, EveryBadAnswerIsRefusedWithItsRangeAndAskedAgain) {
    test::ScriptedConsole console(
        "13\n"
        "-1\n2\n"        // dead particles
        "0\n-5\n4\n"     // particles
        "0\n100\n"       // frames
        "0\n-3\n300\n"   // temperature
        "1\n0.5\n500\n"  // CCP
        "0\n10000\n"     // charge
        "0\n101\n30\n"   // write frequency
        "0\n10\n"        // analysis frequency
        "0\n5\n1\n"      // masses
        "0\n-1\n1.0\n"   // step multiplier
        "0\n");
    promptParameters();
    const std::string out = console.output();
    const auto refusedThenAsked = [&out](const std::string& refusal, const std::string& prompt,
                                         int times) {
        const std::string pair = refusal + "\n" + prompt + "\n";
        int found = 0;
        for (auto at = out.find(pair); at != std::string::npos; at = out.find(pair, at + 1)) {
            ++found;
        }
        EXPECT_EQ(found, times) << pair;
    };
    refusedThenAsked("The number of dead particles must be 0 or more.",
                     "Please select the number of Dead Particles (default 100) ", 1);
    refusedThenAsked("The number of particles must be 1 or more.",
                     "Please select the number of Particles ", 2);
    refusedThenAsked("The number of frames must be 1 or more.",
                     "Please select the number of frames you wish to generate", 1);
    refusedThenAsked("The temperature must be above 0 K.",
                     "Please select initial temperature of dust in Kelvin", 2);
    refusedThenAsked("The CCP must be above 1.", "Please enter a value for the CCP", 2);
    refusedThenAsked("The charge must not be 0.", "Please enter average charge in electron charges",
                     1);
    refusedThenAsked("The output frequency must be from 1 to 100 (the frames).",
                     "Please enter how often particle position data should be output(4)", 2);
    refusedThenAsked("The analysis frequency must be 1 or more.",
                     "Please enter how often the analysis file should be written(100)", 1);
    refusedThenAsked("The number of masses must be from 1 to 4 (the particles).",
                     "Please enter how many different masses there should be", 2);
    refusedThenAsked("The step multiplier must be above 0.", "Multiply step length by(1.0)", 2);

    EXPECT_EQ(params.numDeadParticles, 2);
    EXPECT_EQ(params.numParticles, 6);
    EXPECT_EQ(params.dustTemperature, 300.0);
    EXPECT_EQ(params.ccple, 500.0);
    EXPECT_EQ(params.grainCharge, -10000.0);
    EXPECT_EQ(params.writeFreq, 30);
    EXPECT_EQ(params.analysisFreq, 10);
    EXPECT_EQ(params.framesToCalculate, 90);
    EXPECT_EQ(params.numWrittenFrames, 3);
    EXPECT_EQ(params.numMassGroups, 1);
    EXPECT_EQ(params.stepMultiplier, 1.0);
}

TEST_F(ParameterDialogue, DefaultsInPromptsAreOnlyAdvice) {
    test::ScriptedConsole console("99\n0\n10\n50\n20\n3\n-200\n50\n7\n1\n0.5\n1\n");
    promptParameters();
    EXPECT_EQ(params.randomSeed, 99);
    EXPECT_EQ(params.numDeadParticles, 0);
    EXPECT_EQ(params.numParticles, 10);
    EXPECT_EQ(params.grainCharge, 200.0);  // a negative entry stores a positive charge
    EXPECT_EQ(params.writeFreq, 50);
    EXPECT_EQ(params.framesToCalculate, 50);
    EXPECT_EQ(params.analysisFreq, 7);
    EXPECT_EQ(params.stepMultiplier, 0.5);
    EXPECT_EQ(params.speedDistributionOn, 1);
}

TEST_F(ParameterDialogue, SeveralMassesAskForTheMassRangeAtOnce) {
    test::ScriptedConsole console("13\n1\n301\n100\n300\n500\n10000\n4\n4\n4\n2\n1\n1.0\n0\n");
    promptParameters();
    const std::string out = console.output();
    EXPECT_NE(out.find("Please enter how many different masses there should be\n\n"
                       "Please enter maximum mass as a fraction of am average mass particle\n\n"
                       "Please enter minimum mass\n\n"
                       "Updated Particle Number is: 304\n\n"
                       "Multiply step length by(1.0)\n\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(params.numParticles, 305);  // 304 live grains and the dead particle
}

class CoolingSchedule : public ::testing::Test {
  protected:
    void SetUp() override { test::resetProgramState(); }
};

TEST_F(CoolingSchedule, MaxToMinRunsOneDivisionMore) {
    test::ScriptedConsole console("200\n100\n5\n1000\n1\n");
    promptCoolingSchedule();
    EXPECT_EQ(console.output(),
              "Please enter maximum ccple\n\n"
              "Please enter minimum ccple\n\n"
              "Please enter divisions\n\n"
              "Please enter length of division (in time steps)\n\n"
              "Please enter 1 to only go from Max to Min and 2 for Max-Min-Max\n\n");
    EXPECT_EQ(params.scheduleStep, 25.0);
    EXPECT_EQ(params.ccpleTarget, 225.0);
    EXPECT_EQ(params.scheduleDivisions, 5);
    EXPECT_EQ(params.scheduleDivisionLength, 1000);
    EXPECT_EQ(params.scheduleMode, 1);
    EXPECT_EQ(params.framesToCalculate, 6000);
    EXPECT_EQ(params.analysisFreq, 50);
    EXPECT_EQ(params.writeFreq, 6000);
}

TEST_F(CoolingSchedule, MaxMinMaxRunsTwiceTheDivisions) {
    params.numWrittenFrames = 123;
    test::ScriptedConsole console("200\n100\n5\n1000\n3\n2\n");
    promptCoolingSchedule();
    EXPECT_NE(console.output().find("\nError with choice\n\n"
                                    "Please enter 1 to only go from Max to Min and 2 for "
                                    "Max-Min-Max\n\n"),
              std::string::npos);
    EXPECT_EQ(params.scheduleMode, 2);
    EXPECT_EQ(params.framesToCalculate, 10000);
    EXPECT_EQ(params.writeFreq, 10000);
    EXPECT_EQ(params.numWrittenFrames, 123);  // the header keeps the count of the parameters
}

TEST_F(CoolingSchedule, TooFewDivisionsAndShortDivisionsAreRefused) {
    test::ScriptedConsole console("0\n200\n100\n1\n0\n3\n1\n10\n1\n");
    promptCoolingSchedule();
    const std::string out = console.output();
    EXPECT_NE(out.find("The ccple must be above 0.\nPlease enter maximum ccple\n"),
              std::string::npos);
    EXPECT_NE(out.find("The number of divisions must be 2 or more.\nPlease enter divisions\n"
                       "The number of divisions must be 2 or more.\nPlease enter divisions\n\n"),
              std::string::npos);
    EXPECT_NE(out.find("The length of a division must be 2 or more time steps.\n"
                       "Please enter length of division (in time steps)\n"),
              std::string::npos);
    EXPECT_EQ(params.scheduleDivisions, 3);
    EXPECT_EQ(params.scheduleStep, 50.0);
    // Ten steps per division would give 10 / 20 = 0 frames between analyses.
    EXPECT_EQ(params.analysisFreq, 1);
    EXPECT_EQ(params.framesToCalculate, 40);
}

}  // namespace
}  // namespace qv
