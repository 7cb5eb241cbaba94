#include "analysis/runlog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "console/console.h"
#include "console/output_file.h"
#include "sim/simulation.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

// A small render as the set-up leaves it writes its headers (no set-up header for the pair
// correlation and tracker files), a Data row (time in dust periods 0.4, total energy 10 + 2.5 - 4
// = 8.5), two Detector rows, and a second run with the same name appends below the first.
TEST(RunLog, HeadersRowsAndASecondRunWithTheSameName) {
    test::Sandbox box;
    sim.run.baseName = "run7";
    sim.model.timeStep = 0.5;
    sim.model.totalCharge = -2760000;
    sim.model.numberDensity = 0.001;
    sim.thermostat.temperatureRatio = 0.0125;
    sim.model.apparatusRadius = 20;
    sim.model.grainRadius = 0.003;
    sim.numParticles = 376;
    sim.reserve.numDeadParticles = 100;  // Settings count the 276 live grains
    sim.thermostat.ccple = 500;
    sim.model.grainMass = 1.23456789e9;
    sim.model.dustPlasmaFrequency = 0.002;
    sim.model.interparticleDistance = 1.5;
    writeRunLogHeaders();
    sim.clock.simTime = 200;
    sim.thermostat.ccple = 123.456789;
    sim.energies.kineticEnergy = 10;
    sim.energies.pairEnergy = 2.5;
    sim.energies.apparatusEnergy = -4;
    sim.thermostat.ccpleTarget = 150;
    sim.thermostat.state = 2;
    writeDataRow();
    Particle escaped;  // leaves towards -x; the next one straight down
    escaped.setPosition(0, -200);
    writeDetectorRow(escaped);
    escaped = Particle{};
    escaped.setPosition(2, -150);
    writeDetectorRow(escaped);
    sim.thermostat.ccple = 500;
    writeRunLogHeaders();
    test::expectGolden("runlog_two_runs.txt", test::filesHere());
}

TEST(RunLog, DataRowStoresEverySlotsSpeedInItsSampleWhileOnAndInRange) {
    test::Sandbox box;
    // GCC 12 misreads assigning a one-letter literal (-Wrestrict).
    sim.run.baseName = std::string(1, 's');
    sim.switches.speedDistributionOn = 1;
    sim.clock.analysisFreq = 100;
    sim.numParticles = 3;
    sim.reserve.numDeadParticles = 1;  // waiting dead particles are sampled too
    sim.arrays.particleArray = {{{}, {-1}}, {{}, {-2}}, {{}, {-3}}};
    sim.arrays.speedTable.assign(9, 0.0);  // frames up to 250: samples 0, 1 and 2
    sim.clock.currentFrame = 1;
    writeDataRow();
    sim.arrays.particleArray[2].vel[1] = 4.0;  // speed 5
    sim.clock.currentFrame = 200;
    writeDataRow();
    sim.clock.currentFrame = 300;  // sample 3 of a table holding 0 to 2: left out
    writeDataRow();
    sim.clock.analysisFreq = 0;  // no sampling period: nothing stored, and no division by zero
    writeDataRow();
    sim.switches.speedDistributionOn = 0;
    sim.clock.analysisFreq = 1;  // off: frame 1 would be sample 1
    sim.clock.currentFrame = 1;
    writeDataRow();
    EXPECT_EQ(sim.arrays.speedTable, (std::vector<double>{1, 2, 3, 0, 0, 0, 1, 2, 5}));
    sim.switches.speedDistributionOn = 1;
    writeDataRow();
    EXPECT_EQ(sim.arrays.speedTable, (std::vector<double>{1, 2, 3, 1, 2, 5, 1, 2, 5}));
    const std::string data = test::readFile("sData.xls");
    EXPECT_EQ(std::count(data.begin(), data.end(), '\n'), 6);  // a Data row every time
}

// A file that cannot be opened is reported once, with its name and the system's reason, however
// often the run tries it, and the run remembers the failure.
TEST(RunLog, UnopenableFilesAreReportedOnceEach) {
    test::Sandbox box;
    sim.run.baseName = "missing-dir/run";
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
    sim.thermostat.temperatureRatio = 0.0123456;
    sim.thermostat.ccple = 512.345;
    sim.clock.currentFrame = 1;
    sim.energies.kineticEnergy = 1234.5678;
    printStatusLine();
    console::out() << 3.14159265 << '|';
    sim.clock.currentFrame = 2;
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
