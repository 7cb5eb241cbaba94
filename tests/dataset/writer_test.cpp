#include "dataset/writer.h"

#include <gtest/gtest.h>

#include <string>

#include "console/console.h"
#include "sim/state.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

Particle grain(double x, double y, double z, double vx, double vy, double vz) {
    Particle p;
    p.pos[0] = x;
    p.pos[1] = y;
    p.pos[2] = z;
    p.vel[0] = vx;
    p.vel[1] = vy;
    p.vel[2] = vz;
    p.setMass(1.07251e16);
    p.setCharge(-10000);
    p.setRadius(0.00300792);
    return p;
}

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
    arrays.particleArray = {grain(1.5, -2.25, 0.125, 0.25, 0, -0.5), grain(-10, 20.5, 3, 0, 0, 0),
                            Particle{}};
    Particle& parked = arrays.particleArray[2];
    parked.setColour(1.0, 0.0, 0.5);
    parked.pos[1] = 44.9699;
    parked.setRadius(0.00300792);
}

const std::string kHeader = "3 2 29.9799 2 153919 4 2.59698e-09 33.5083 1\n";
const std::string kProperties =
    "1 0 0 0 1.07251e+16 -10000 0.00300792\n"
    "2 0 0 0 1.07251e+16 -10000 0.00300792\n"
    "3 1 0 0.5 0 0 0.00300792\n";

TEST(DataSetWriter, HeaderPropertiesAndFramesHaveTheirExactText) {
    smallRun();
    test::TempDir dir;
    test::ScriptedConsole console("");
    dataSetStream = openForWrite("small");
    writeDataSetHeader(2, 4);
    params.currentFrame = 1;
    writeFrame();
    params.currentFrame = 4;
    writeFrame();
    // Every line is on disk before the stream is closed, as after an interrupted render.
    EXPECT_EQ(test::readFile("small"), kHeader + kProperties +
                                           "1 1 1.5 -2.25 0.125\n"
                                           "1 2 -10 20.5 3\n"
                                           "1 3 0 44.9699 0\n"
                                           "4 1 1.5 -2.25 0.125\n"
                                           "4 2 -10 20.5 3\n"
                                           "4 3 0 44.9699 0\n");
    EXPECT_EQ(params.totalCharge, -20000.0);
    EXPECT_EQ(console.output(), "");  // the charge is reported only with the master file
}

TEST(DataSetWriter, RealsKeepSixSignificantDigits) {
    smallRun();
    arrays.particleArray.resize(1);
    arrays.particleArray[0] = grain(0.000123456789, 1234567.0, -98765.4321, 0, 0, 0);
    test::TempDir dir;
    dataSetStream = openForWrite("digits");
    params.currentFrame = 12;
    writeFrame();
    EXPECT_EQ(test::readFile("digits"), "12 1 0.000123457 1.23457e+06 -98765.4\n");
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

TEST(DataSetWriter, TotalChargeOfTheDefaultCloud) {
    test::resetProgramState();
    params.numParticles = 376;
    params.numDeadParticles = 100;
    params.framesToCalculate = 10000;
    params.currentFrame = 10001;
    arrays.particleArray.assign(376, Particle{});
    for (int i = 0; i < 276; ++i) arrays.particleArray[i].setCharge(-10000);
    test::TempDir dir;
    test::ScriptedConsole console("");
    dataSetStream = openForWrite("charge");
    writeDataSetHeader(2, 1);
    EXPECT_EQ(params.totalCharge, -2.76e6);
    EXPECT_EQ(console.output(), "\nTotal charge of all dust particles : -2.76e+06\n\n");
}

TEST(DataSetWriter, UnopenedStreamLosesTheLinesQuietly) {
    smallRun();
    test::TempDir dir;
    test::ScriptedConsole console("");
    writeDataSetHeader(2, 4);
    writeFrame();
    EXPECT_EQ(params.totalCharge, -20000.0);
    EXPECT_EQ(console.output(), "");
}

}  // namespace
}  // namespace qv
