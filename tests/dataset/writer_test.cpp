#include "dataset/writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/console.h"
#include "sim/simulation.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

// The data set's header, property block and frames, and the master file written twice after the
// last frame, against tests/golden/data_set_writer.txt.
TEST(DataSetWriter, DataSetAndMasterFileHaveTheirExactText) {
    test::resetProgramState();
    test::TempDir dir;
    test::ScriptedConsole console("");
    sim.numParticles = 3;
    sim.reserve.numDeadParticles = 1;
    sim.model.apparatusRadius = 29.9799;
    sim.model.timeStep = 2.0;
    sim.model.debyeSphereCount = 153919;
    sim.model.dustPlasmaFrequency = 2.59698e-09;
    sim.model.interparticleDistance = 33.5083;
    sim.clock.framesToCalculate = 8;
    sim.clock.writeFreq = 4;
    sim.run.baseName = "small";
    // Two grains and a parked dead particle: position, velocity, colour, mass, charge, radius;
    // values exact in binary, so that the master file's step back and forth restores them.
    const std::vector<Particle> grains = {
        {{1.5, -2.25, 0.125}, {0.25, 0, -0.5}, {0, 0, 0}, 1.07251e16, -10000, 0.00300792},
        {{-10, 20.5, 3}, {0, 0, 0}, {0, 0, 0}, 1.07251e16, -10000, 0.00300792},
        {{0, 44.9699, 0}, {0, 0, 0}, {1, 0, 0.5}, 0, 0, 0.00300792}};
    sim.arrays.particleArray = grains;
    writeFrame();  // no stream open yet: the lines are lost, quietly
    dataSetStream = openForWrite("small");
    writeDataSetHeader(2, 4);
    sim.clock.currentFrame = 1;
    writeFrame();
    sim.arrays.particleArray = {{{0.000123456789, 1234567.0, -98765.4321}}};  // six digits kept
    sim.clock.currentFrame = 8;
    writeFrame();
    // Every line is on disk before the stream is closed, as after an interrupted render.
    const std::string dataSet = test::readFile("small");
    EXPECT_EQ(sim.model.totalCharge, -20000.0);
    EXPECT_EQ(console.output(), "");  // the charge is reported only with the master file

    sim.arrays.particleArray = grains;
    sim.clock.currentFrame = 9;  // the call after the last frame
    writeMasterFile();
    EXPECT_FALSE(dataSetStream.is_open());
    EXPECT_EQ(sim.clock.currentFrame, 2);
    EXPECT_EQ(sim.arrays.particleArray[0].position(2), 0.125);
    EXPECT_EQ(console.output(), "\nTotal charge of all dust particles : -20000\n\n");
    // A second render under the same name adds a second master data set below the first.
    writeMasterFile();
    test::expectGolden("data_set_writer.txt",
                       dataSet + "== master file\n" + test::readFile("smallMasterFile"));
}

}  // namespace
}  // namespace qv
