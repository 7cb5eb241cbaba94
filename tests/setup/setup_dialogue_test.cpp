#include <gtest/gtest.h>

#include <algorithm>
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
const std::string kCoolingPrompts =
    "Please enter maximum ccple\n\n"
    "Please enter minimum ccple\n\n"
    "Please enter divisions\n\n"
    "Please enter length of division (in time steps)\n\n"
    "Please enter 1 to only go from Max to Min and 2 for Max-Min-Max\n\n";

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Slots, EndFrame, write frequency and dead count from the header of a data set just written.
std::string headerCounts(const std::string& file) {
    dataSetStream.close();
    std::istringstream in(test::readFile(file));
    std::string f[9];
    for (std::string& field : f) in >> field;
    return f[0] + " " + f[1] + " " + f[5] + " " + f[8];
}

// What a dialogue settled, in one line, so that a test states it all at once.
std::string settled() {
    std::ostringstream s;
    s << "slots " << params.numParticles << " dead " << params.numDeadParticles << " frames "
      << params.framesToCalculate << " written " << params.numWrittenFrames << " every "
      << params.writeFreq << " analysis " << params.analysisFreq << " seed " << params.randomSeed
      << " T " << params.dustTemperature << " ccple " << params.ccple << " to "
      << params.ccpleTarget << " charge " << params.grainCharge << " groups "
      << params.numMassGroups << " mult " << params.stepMultiplier;
    return s.str();
}

std::string schedule() {
    std::ostringstream s;
    s << "step " << params.scheduleStep << " divisions " << params.scheduleDivisions << " of "
      << params.scheduleDivisionLength << " mode " << params.scheduleMode;
    return s.str();
}

// Runs the whole set-up on a script of answers in a fresh directory, which stays current until
// the test ends so that the files can be inspected.
class SetUpDialogue : public ::testing::Test {
  protected:
    void SetUp() override { test::resetProgramState(); }
    std::string run(const std::string& answers) {
        test::ScriptedConsole console(answers);
        runSetUp();
        return console.output();
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
    EXPECT_EQ(settled(),
              "slots 376 dead 100 frames 10000 written 400 every 25 analysis 20 seed 13 T 300 "
              "ccple 500 to 500 charge -10000 groups 1 mult 1");
    EXPECT_EQ(params.baseName, "runA");
    EXPECT_EQ(arrays.particleArray.size(), 376u);
    dataSetStream.close();
    const std::string dataSet = test::readFile("runA");
    EXPECT_TRUE(
        startsWith(dataSet, "376 400 135.34 1.479e+07 153919 25 2.59698e-09 33.5083 100\n"));
    // The header and the property block, no frame yet; a radius for every slot.
    EXPECT_EQ(std::count(dataSet.begin(), dataSet.end(), '\n'), 1 + 376);
    const std::string radii = test::readFile("runARdistribution.xls");
    EXPECT_EQ(std::count(radii.begin(), radii.end(), '\n'), 376);
}

TEST_F(SetUpDialogue, RenderParametersAreRoundedToWholeWriteIntervalsAndDefaultsAreAdvice) {
    // The prompts between the seed and the speed distribution are checked with their refusals.
    const std::string out = run("1\n0\nrunB\n7\n2\n5\n1000\n20\n3\n-10000\n30\n7\n1\n0.5\n1\n");
    EXPECT_TRUE(startsWith(out, kMenu + kAutomated + kRendering + kFilePrompt + "\n\n" +
                                    "Please select the seed for random number generation "
                                    "(default 13) \n\n"))
        << out;
    EXPECT_NE(out.find("Multiply step length by(1.0)\n\nPlease select 1 to output speed "
                       "distribution\n\nTimestep is: "),
              std::string::npos);
    EXPECT_NE(out.find("Frames to be calculated: 990\n\n"), std::string::npos);
    // The charge is typed as a count of electrons: a negative count makes a positive charge.
    EXPECT_EQ(settled(),
              "slots 7 dead 2 frames 990 written 33 every 30 analysis 7 seed 7 T 20 ccple 3 to 3 "
              "charge 10000 groups 1 mult 0.5");
    EXPECT_EQ(arrays.particleArray[0].charge(), 10000.0);
    EXPECT_EQ(params.speedDistributionOn, 1);
    EXPECT_EQ(headerCounts("runB"), "7 33 30 2");
}

TEST_F(SetUpDialogue, MenuLoopsOnBadAnswersAndSurfacePlotsThenCoolsTheDefaultSet) {
    params.windowOpen = false;
    const std::string noWindow =
        " needs a window, and Quorvex runs without a display; please choose another option.\n\n";
    const std::string outputs =
        "\nPlease select which 2D outputs you would like\n\n"
        "Shell 1(yes) or 0(no)? \n"
        "PCF 1(yes) or 0(no)? \n"
        "Potential 1(yes) or 0(no)? \n"
        "E-Field 1(yes) or 0(no)? \n";
    const std::string out =
        run("0\n7\nx\n2\n6\n5\n1\n0\n1\n0\n5\n0\n1\n1\n0\n4\n2\n1\nrunF\n200\n100\n5\n1000\n1\n");
    EXPECT_TRUE(startsWith(
        out, kMenu + "Incorrect choice Please choose again\n" +
                 "Incorrect choice Please choose again\n" +
                 "That is not a number, please try again.\n" + "Option 2" + noWindow + kMenu +
                 "Option 6" + noWindow + kMenu + outputs + kMenu + outputs + kMenu + kAutomated +
                 "Please answer 1 (yes) or 0 (no).\n" + kAutomated.substr(1) + kRendering +
                 kFilePrompt + "\n\n" + kCoolingPrompts + "Timestep is: "))
        << out;
    // The last answers count: shell and E-field off, PCF and potential on.
    EXPECT_EQ(params.shellOutput2D, 0);
    EXPECT_EQ(params.pcfOutput2D, 1);
    EXPECT_EQ(params.potentialOutput2D, 1);
    EXPECT_EQ(params.efieldOutput2D, 0);
    EXPECT_EQ(params.runMode, 1);
    // The schedule runs one division more than it has steps; the header keeps the default set's
    // EndFrame.
    EXPECT_EQ(schedule(), "step 25 divisions 5 of 1000 mode 1");
    EXPECT_EQ(settled(),
              "slots 376 dead 100 frames 6000 written 400 every 6000 analysis 50 seed 13 T 300 "
              "ccple 500 to 225 charge -10000 groups 1 mult 1");
    EXPECT_EQ(headerCounts("runF"), "376 400 6000 100");
}

TEST_F(SetUpDialogue, CrystalViewingAsksNoQuestionsButTheName) {
    params.windowOpen = true;
    const std::string out = run("6\ncrystal\n");
    EXPECT_TRUE(startsWith(out, kMenu + kRendering + kFilePrompt + "\n\nTimestep is: ")) << out;
    EXPECT_EQ(params.runMode, 6);
    EXPECT_EQ(settled(),
              "slots 8001 dead 1 frames 10000 written 1 every 10000 analysis 10000 seed 13 T 300 "
              "ccple 300 to 300 charge -10000 groups 1 mult 1");
    EXPECT_EQ(headerCounts("crystal"), "8001 1 10000 1");
}

TEST_F(SetUpDialogue, PlayOpensTheLoaderAndStartsPaused) {
    // One slot stored once: the header, the property line and the frame.
    std::ofstream("play") << "1 1 10 0.5 2000 1 0.01 3.2 0\n1 0 0 0 1 -1 1\n1 1 0 0 0\n";
    params.windowOpen = true;
    // File name, "1" to play it, "0" to keep its EndFrame.
    const std::string out = run("2\nplay\n1\n0\n");
    EXPECT_TRUE(startsWith(out, kMenu + "Play an existing data set\n\n")) << out;
    EXPECT_NE(out.find("Please wait while the file is loaded, this may take several minutes... "
                       "\n\n"),
              std::string::npos);
    EXPECT_EQ(params.runMode, 2);
    EXPECT_EQ(params.playStep, 0);
    EXPECT_EQ(arrays.particleArray.size(), 1u);
}

TEST_F(SetUpDialogue, EndOfInputEndsTheProgramWithStatusOne) {
    // The last script ends inside the loading dialogue of load-and-continue.
    for (const std::string script : {"", "4\n", "1\n0\nrunG\n13\n2\n", "3\n0\n"}) {
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
        if (script == "3\n0\n") {
            EXPECT_TRUE(startsWith(out, kMenu + kAutomated +
                                            "Load then render an existing data "
                                            "set\n\n"))
                << out;
        }
    }
}

TEST(FileNameDialogue, ExistingNamesAskToAppendAndUncreatableNamesAreAskedAgain) {
    struct Case {
        const char* script;
        std::string output;
        const char* name;
        const char* oldAfter;  // "old" after the test writes "next" to the chosen file
    };
    const Case cases[] = {
        {"old\nx\ny\n",
         kFilePrompt + "\n" + kAppendPrompt + "Please answer y or n.\n" + kAppendPrompt + "\n",
         "old", "previous\nnext\n"},
        // After a "no", an existing name is only refused.
        {"old\nn\nold2\nfresh\n",
         kFilePrompt + "\n" + kAppendPrompt + "\n" + kFilePrompt + "File exists...\n\n" +
             kFilePrompt + "\n",
         "fresh", "previous\n"},
        // A missing directory, then a directory (it exists, but cannot take lines).
        {"missing/dir/run\nadir\ny\nok\n",
         kFilePrompt +
             "\nThe file missing/dir/run cannot be created (No such file or directory); please "
             "enter another name.\n\n" +
             kFilePrompt + "\n" + kAppendPrompt +
             "The file adir cannot be created (Is a directory); please enter another name.\n\n" +
             kFilePrompt + "\n\n",
         "ok", "previous\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        test::resetProgramState();
        test::TempDir dir;
        std::ofstream("old") << "previous\n";
        std::ofstream("old2") << "previous\n";
        std::filesystem::create_directory("adir");
        test::ScriptedConsole console(c.script);
        promptDataSetFile();
        EXPECT_EQ(console.output(), c.output);
        EXPECT_EQ(params.baseName, c.name);
        ASSERT_TRUE(dataSetStream.is_open());
        dataSetStream << "next" << std::endl;
        dataSetStream.close();
        EXPECT_EQ(test::readFile("old"), c.oldAfter);
        EXPECT_EQ(test::readFile("old2"), "previous\n");
    }
}

TEST(ParameterDialogue, EveryBadAnswerIsRefusedWithItsRangeAndAskedAgain) {
    test::resetProgramState();
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
        "0\n5\n2\n"      // masses, then their range at once
        "1.5\n0.5\n"     //
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
    refusedThenAsked("The number of dead particles must be from 0 to 2147483646.",
                     "Please select the number of Dead Particles (default 100) ", 1);
    refusedThenAsked(
        "The number of particles must be from 1 to 2147483645 (2147483647 with the "
        "dead particles).",
        "Please select the number of Particles ", 2);
    refusedThenAsked("The number of frames must be from 1 to 2147483646.",
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
    // The count is printed even when the groups already divide it.
    EXPECT_NE(out.find("Please enter how many different masses there should be\n\n"
                       "Please enter maximum mass as a fraction of am average mass particle\n\n"
                       "Please enter minimum mass\n\n"
                       "Updated Particle Number is: 4\n\n"
                       "Multiply step length by(1.0)\n"),
              std::string::npos)
        << out;

    // The slots count the live grains and the dead particles.
    EXPECT_EQ(settled(),
              "slots 6 dead 2 frames 90 written 3 every 30 analysis 10 seed 13 T 300 ccple 500 to "
              "500 charge -10000 groups 2 mult 1");
}

TEST(CoolingSchedule, EveryBadAnswerIsRefusedAndMaxMinMaxRunsTwiceTheDivisions) {
    test::resetProgramState();
    params.numWrittenFrames = 123;
    test::ScriptedConsole console("0\n200\n100\n1\n0\n3\n1\n10\n3\n2\n");
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
    EXPECT_NE(out.find("\nError with choice\n\n"
                       "Please enter 1 to only go from Max to Min and 2 for Max-Min-Max\n\n"),
              std::string::npos);
    EXPECT_EQ(schedule(), "step 50 divisions 3 of 10 mode 2");
    // Ten steps per division would give 10 / 20 = 0 frames between analyses; the header keeps
    // the written count of the parameters.
    EXPECT_NE(settled().find("frames 60 written 123 every 60 analysis 1 "), std::string::npos)
        << settled();
}

}  // namespace
}  // namespace qv
