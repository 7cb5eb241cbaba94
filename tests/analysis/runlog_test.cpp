#include "analysis/runlog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "console/console.h"
#include "console/output_file.h"
#include "sim/state.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

// A small render as the set-up leaves it writes its headers (no set-up header for the pair
// correlation and tracker files), a Data row (time in dust periods 0.4, total energy 10 + 2.5 - 4
// = 8.5), two Detector rows, and a second run with the same name appends below the first.
TEST(RunLog, HeadersRowsAndASecondRunWithTheSameName) {
    test::Sandbox box;
    params.baseName = "run7";
    params.timeStep = 0.5;
    params.totalCharge = -2760000;
    params.numberDensity = 0.001;
    params.temperatureRatio = 0.0125;
    params.apparatusRadius = 20;
    params.grainRadius = 0.003;
    params.numParticles = 376;
    params.numDeadParticles = 100;  // Settings count the 276 live grains
    params.ccple = 500;
    params.grainMass = 1.23456789e9;
    params.dustPlasmaFrequency = 0.002;
    params.interparticleDistance = 1.5;
    writeRunLogHeaders();
    params.simTime = 200;
    params.ccple = 123.456789;
    params.kineticEnergy = 10;
    params.pairEnergy = 2.5;
    params.apparatusEnergy = -4;
    params.ccpleTarget = 150;
    params.coolingState = 2;
    writeDataRow();
    Particle escaped;  // leaves towards -x; the next one straight down
    escaped.setPosition(0, -200);
    writeDetectorRow(escaped);
    escaped = Particle{};
    escaped.setPosition(2, -150);
    writeDetectorRow(escaped);
    params.ccple = 500;
    writeRunLogHeaders();
    test::expectGolden("runlog_two_runs.txt", test::filesHere());
}

TEST(RunLog, DataRowStoresEverySlotsSpeedInItsSampleWhileOnAndInRange) {
    test::Sandbox box;
    // GCC 12 misreads assigning a one-letter literal (-Wrestrict).
    params.baseName = std::string(1, 's');
    params.speedDistributionOn = 1;
    params.analysisFreq = 100;
    params.numParticles = 3;
    params.numDeadParticles = 1;  // waiting dead particles are sampled too
    arrays.particleArray = {{{}, {-1}}, {{}, {-2}}, {{}, {-3}}};
    arrays.speedTable.assign(9, 0.0);  // frames up to 250: samples 0, 1 and 2
    params.currentFrame = 1;
    writeDataRow();
    arrays.particleArray[2].vel[1] = 4.0;  // speed 5
    params.currentFrame = 200;
    writeDataRow();
    params.currentFrame = 300;  // sample 3 of a table holding 0 to 2: left out
    writeDataRow();
    params.analysisFreq = 0;  // no sampling period: nothing stored, and no division by zero
    writeDataRow();
    params.speedDistributionOn = 0;
    params.analysisFreq = 1;  // off: frame 1 would be sample 1
    params.currentFrame = 1;
    writeDataRow();
    EXPECT_EQ(arrays.speedTable, (std::vector<double>{1, 2, 3, 0, 0, 0, 1, 2, 5}));
    params.speedDistributionOn = 1;
    writeDataRow();
    EXPECT_EQ(arrays.speedTable, (std::vector<double>{1, 2, 3, 1, 2, 5, 1, 2, 5}));
    const std::string data = test::readFile("sData.xls");
    EXPECT_EQ(std::count(data.begin(), data.end(), '\n'), 6);  // a Data row every time
}

// A file that cannot be opened is reported once, with its name and the system's reason, however
// often the run tries it, and the run remembers the failure.
TEST(RunLog, UnopenableFilesAreReportedOnceEach) {
    test::Sandbox box;
    params.baseName = "missing-dir/run";
    writeRunLogHeaders();
    writeDataRow();
    writeDetectorRow(Particle{});
    EXPECT_TRUE(writesFailed());
    std::string reports;
    for (const char* file :
         {"Data.xls", "Detector.xls", "Settings.txt", "EFieldStruct.xls", "ShellStructure.xls"}) {
        reports += std::string("\nThe file missing-dir/run") + file +
                   " cannot be opened: No such file or directory\n\n";
    }
    EXPECT_EQ(box.console.output(), reports);
}

TEST(RunLog, StatusLineOverwritesItselfAndSwitchesConsoleToThreeDigits) {
    test::Sandbox box;
    console::out() << 3.14159265 << '|';
    params.temperatureRatio = 0.0123456;
    params.ccple = 512.345;
    params.currentFrame = 1;
    params.kineticEnergy = 1234.5678;
    printStatusLine();
    console::out() << 3.14159265 << '|';
    params.currentFrame = 2;
    printStatusLine();
    // Every later console number keeps three digits; each status line follows on the same line,
    // behind 199 backspaces.
    const std::string back(199, '\b');
    EXPECT_EQ(box.console.output(), "3.14159|" + back +
                                        "T: 0.0123 : CCP: 512 : Count: 1 : KE: 1.23e+03" + "3.14|" +
                                        back + "T: 0.0123 : CCP: 512 : Count: 2 : KE: 1.23e+03");
}

}  // namespace
}  // namespace qv
