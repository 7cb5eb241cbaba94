#include "analysis/runlog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "console/console.h"
#include "sim/state.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

using test::readFile;

// A small render's parameters as the set-up leaves them.
void smallRender() {
    params.baseName = "run7";
    params.timeStep = 0.5;
    params.totalCharge = -2760000;
    params.numberDensity = 0.001;
    params.temperatureRatio = 0.0125;
    params.apparatusRadius = 20;
    params.grainRadius = 0.003;
    params.numParticles = 376;
    params.numDeadParticles = 100;
    params.ccple = 500;
    params.grainMass = 1.23456789e9;
    params.dustPlasmaFrequency = 0.002;
    params.interparticleDistance = 1.5;
}

const char* const kSettings =
    "Timestep: \t0.5\n"
    "Total Charge: \t-2.76e+06\n"
    "Number Density: \t0.001\n"
    "Tempratio: \t0.0125\n"
    "Radius Aparatus: \t20\n"
    "Radius of Particle: \t0.003\n"
    "Particles: \t276\n"
    "CCP: \t500\n"
    "Mass of Particles: \t1.23457e+09\n"
    "Plasma Freq: \t1.78491e+09\n"
    "Plasma Period: \t5.60254e-10\n"
    "Normalised Dust Plasma frequency: \t0.002\n"
    "Interparticle distance: \t1.5\n";

const char* const kDataHeader =
    "Time in Dust Periods\tTempratio\tccple\tTotalKE\tTotalPEduetoprtcles\tTotalPEduetoplasma\t"
    "Total E\tCCpletarget\tCool\n";
const char* const kDetectorHeader = "Phi\tTheta\tX\tY\tZ\n";
const char* const kFieldHeader =
    "Time in Dust Periods\tNormalised R\tOverall Charge\tOverall E-Field\tPotential\tCCPLE\n";
const char* const kShellHeader =
    "Time in Dust Periods\tNormalised R\tNumber of Particles\tNormalised Number of Particles\t"
    "Unit Normalised\tUnormalised Mass Distribution\tMass Distribution\tNo. Av. Mass "
    "Particles\tCCPLE\n";

TEST(RunLog, HeadersAndSettingsOfASmallRender) {
    test::resetProgramState();
    test::TempDir dir;
    smallRender();
    writeRunLogHeaders();
    EXPECT_EQ(readFile("run7Data.xls"), kDataHeader);
    EXPECT_EQ(readFile("run7Detector.xls"), kDetectorHeader);
    EXPECT_EQ(readFile("run7Settings.txt"), kSettings);
    EXPECT_EQ(readFile("run7EFieldStruct.xls"), kFieldHeader);
    EXPECT_EQ(readFile("run7ShellStructure.xls"), kShellHeader);
    // Nothing else: the pair correlation and tracker files get no set-up header.
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 5);
}

TEST(RunLog, DataRowHasNineColumnsWithTotalEnergy) {
    test::resetProgramState();
    test::TempDir dir;
    smallRender();
    params.simTime = 200;
    params.temperatureRatio = 0.0125;
    params.ccple = 123.456789;
    params.kineticEnergy = 10;
    params.pairEnergy = 2.5;
    params.apparatusEnergy = -4;
    params.ccpleTarget = 150;
    params.coolingState = 2;
    writeDataRow();
    EXPECT_EQ(readFile("run7Data.xls"), "0.4\t0.0125\t123.457\t10\t2.5\t-4\t8.5\t150\t2\n");
}

TEST(RunLog, SecondRunWithTheSameNameAppendsBelowTheFirst) {
    test::resetProgramState();
    test::TempDir dir;
    smallRender();
    writeRunLogHeaders();
    params.coolingState = -1;
    writeDataRow();
    writeDetectorRow(Particle{});
    writeRunLogHeaders();
    const std::string row = "0\t0.0125\t500\t0\t0\t0\t0\t0\t-1\n";
    EXPECT_EQ(readFile("run7Data.xls"), std::string(kDataHeader) + row + kDataHeader);
    EXPECT_EQ(readFile("run7Detector.xls"),
              std::string(kDetectorHeader) + "0\t0\t0\t0\t0\n" + kDetectorHeader);
    EXPECT_EQ(readFile("run7Settings.txt"), std::string(kSettings) + kSettings);
    EXPECT_EQ(readFile("run7ShellStructure.xls"), std::string(kShellHeader) + kShellHeader);
}

TEST(RunLog, DetectorRowGivesAnglesThenPosition) {
    test::resetProgramState();
    test::TempDir dir;
    params.baseName = std::string(1, 'd');
    Particle escaped;
    escaped.setPosition(0, -200);
    escaped.setColour(1.0, 0.0, 0.5);
    writeDetectorRow(escaped);
    Particle below;
    below.setPosition(2, -150);
    writeDetectorRow(below);
    EXPECT_EQ(readFile("dDetector.xls"), "3.14159\t1.5708\t-200\t0\t0\n0\t3.14159\t0\t0\t-150\n");
}

// Particles with speeds 1 + i in x, for the Maxboltz samples.
void particlesWithSpeeds(int n) {
    params.numParticles = n;
    arrays.particleArray.assign(static_cast<std::size_t>(n), Particle{});
    for (int i = 0; i < n; ++i) arrays.particleArray[static_cast<std::size_t>(i)].vel[0] = -1.0 - i;
}

TEST(RunLog, DataRowStoresEverySlotsSpeedInItsSample) {
    test::resetProgramState();
    test::TempDir dir;
    params.baseName = std::string(1, 's');
    params.speedDistributionOn = 1;
    params.analysisFreq = 100;
    particlesWithSpeeds(3);
    params.numDeadParticles = 1;       // waiting dead particles are sampled too
    arrays.speedTable.assign(9, 0.0);  // frames up to 250: samples 0, 1 and 2
    params.currentFrame = 1;
    writeDataRow();
    params.currentFrame = 200;
    particlesWithSpeeds(3);
    arrays.particleArray[2].vel[1] = 4.0;  // speed 5 with vx = -3
    writeDataRow();
    EXPECT_EQ(arrays.speedTable, (std::vector<double>{1, 2, 3, 0, 0, 0, 1, 2, 5}));
}

TEST(RunLog, SpeedTableLeftAloneBeyondItsEndOrWhenOff) {
    test::resetProgramState();
    test::TempDir dir;
    params.baseName = std::string(1, 's');
    params.speedDistributionOn = 1;
    params.analysisFreq = 100;
    particlesWithSpeeds(3);
    arrays.speedTable.assign(9, 0.0);
    params.currentFrame = 300;  // sample 3 of a table holding 0 to 2
    writeDataRow();
    EXPECT_EQ(arrays.speedTable, std::vector<double>(9, 0.0));
    EXPECT_FALSE(readFile("sData.xls").empty()) << "the Data row is still written";
    // Without the speed distribution the table is not touched at all.
    params.speedDistributionOn = 0;
    params.currentFrame = 100;
    writeDataRow();
    EXPECT_EQ(arrays.speedTable, std::vector<double>(9, 0.0));
}

TEST(RunLog, UnopenableFilesLoseTheirLinesSilently) {
    test::resetProgramState();
    test::TempDir dir;
    test::ScriptedConsole console("");
    params.baseName = "missing-dir/run";
    writeRunLogHeaders();
    writeDataRow();
    writeDetectorRow(Particle{});
    EXPECT_FALSE(std::filesystem::exists("missing-dir"));
    EXPECT_EQ(console.output(), "");
}

TEST(RunLog, StatusLineOverwritesItselfAndSwitchesConsoleToThreeDigits) {
    test::resetProgramState();
    test::ScriptedConsole console("");
    console::out() << 3.14159265 << '|';
    params.temperatureRatio = 0.0123456;
    params.ccple = 512.345;
    params.currentFrame = 1;
    params.kineticEnergy = 1234.5678;
    printStatusLine();
    const std::string back(199, '\b');
    EXPECT_EQ(console.output(),
              "3.14159|" + back + "T: 0.0123 : CCP: 512 : Count: 1 : KE: 1.23e+03");
    console.clearOutput();
    // Every later console number keeps three digits; the next status line follows on the same
    // line, behind its backspaces.
    console::out() << 3.14159265 << '|';
    params.currentFrame = 2;
    printStatusLine();
    EXPECT_EQ(console.output(), "3.14|" + back + "T: 0.0123 : CCP: 512 : Count: 2 : KE: 1.23e+03");
}

}  // namespace
}  // namespace qv
