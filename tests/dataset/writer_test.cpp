#include "dataset/writer.h"

#include <gtest/gtest.h>

#include <string>

#include "console/console.h"
#include "sim/state.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

// Two grains and one parked dead particle, with values exact in binary so that the master
// file's step back and forth restores them exactly.
void smallRun() {
    test::resetProgramState();
    params.numParticles = 3;
    params.numDeadParticles = 1;
    params.apparatusRadius = 29.9799;
    params.timeStep = 2.0;
    params.debyeSphereCount = 153919;
    params.dustPlasmaFrequency = 2.59698e-09;
    params.interparticleDistance = 33.5083;
    params.framesToCalculate = 8;
    params.writeFreq = 4;
    params.baseName = "small";
    // Position, velocity, colour, mass, charge, radius.
    arrays.particleArray = {
        {{1.5, -2.25, 0.125}, {0.25, 0, -0.5}, {0, 0, 0}, 1.07251e16, -10000, 0.00300792},
        {{-10, 20.5, 3}, {0, 0, 0}, {0, 0, 0}, 1.07251e16, -10000, 0.00300792},
        {{0, 44.9699, 0}, {0, 0, 0}, {1, 0, 0.5}, 0, 0, 0.00300792}};
}

const std::string kProperties =
    "1 0 0 0 1.07251e+16 -10000 0.00300792\n"
    "2 0 0 0 1.07251e+16 -10000 0.00300792\n"
    "3 1 0 0.5 0 0 0.00300792\n";

TEST(DataSetWriter, HeaderPropertiesAndFramesHaveTheirExactText) {
    smallRun();
    test::TempDir dir;
    test::ScriptedConsole console("");
    writeFrame();  // no stream open yet: the lines are lost, quietly
    dataSetStream = openForWrite("small");
    writeDataSetHeader(2, 4);
    params.currentFrame = 1;
    writeFrame();
    arrays.particleArray = {{{0.000123456789, 1234567.0, -98765.4321}}};  // six digits kept
    params.currentFrame = 8;
    writeFrame();
    // Every line is on disk before the stream is closed, as after an interrupted render.
    EXPECT_EQ(test::readFile("small"), "3 2 29.9799 2 153919 4 2.59698e-09 33.5083 1\n" +
                                           kProperties +
                                           "1 1 1.5 -2.25 0.125\n"
                                           "1 2 -10 20.5 3\n"
                                           "1 3 0 44.9699 0\n"
                                           "8 1 0.000123457 1.23457e+06 -98765.4\n");
    EXPECT_EQ(params.totalCharge, -20000.0);
    EXPECT_EQ(console.output(), "");  // the charge is reported only with the master file
}

TEST(DataSetWriter, MasterFileHoldsTheLastStepAsTwoFrames) {
    smallRun();
    params.currentFrame = 9;  // the call after the last frame
    test::TempDir dir;
    test::ScriptedConsole console("");
    writeMasterFile();
    const std::string master = "3 2 29.9799 2 153919 1 2.59698e-09 33.5083 1\n" + kProperties +
                               "1 1 1 -2.25 1.125\n"
                               "1 2 -10 20.5 3\n"
                               "1 3 0 44.9699 0\n"
                               "2 1 1.5 -2.25 0.125\n"
                               "2 2 -10 20.5 3\n"
                               "2 3 0 44.9699 0\n";
    EXPECT_EQ(test::readFile("smallMasterFile"), master);
    EXPECT_FALSE(dataSetStream.is_open());
    EXPECT_EQ(params.currentFrame, 2);
    EXPECT_EQ(arrays.particleArray[0].position(2), 0.125);
    EXPECT_EQ(console.output(), "\nTotal charge of all dust particles : -20000\n\n");

    // A second render under the same name adds a second master data set below the first.
    writeMasterFile();
    EXPECT_EQ(test::readFile("smallMasterFile"), master + master);
}

}  // namespace
}  // namespace qv
