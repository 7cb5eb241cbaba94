#include "sim/velocity_outputs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/output_file.h"
#include "sim/simulation.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

Particle grain(double x, double y, double z, double vx, double vy, double vz, bool dead = false) {
    Particle p;
    p.pos[0] = x;
    p.pos[1] = y;
    p.pos[2] = z;
    p.vel[0] = vx;
    p.vel[1] = vy;
    p.vel[2] = vz;
    p.setMass(1e9);
    if (dead) p.setColour(1.0, 0.0, 0.5);
    return p;
}

// Velocity rows (a dead particle in flight is listed like a grain) and the speed density grid:
// cells at both edges, the layer outside, grains beyond the grid, two in one column.
TEST(VelocityOutputs, RowsAndSpeedDensityBlocks) {
    test::Sandbox sandbox;
    sim.run.baseName = "run1";
    sim.model.apparatusRadius = 30;  // cells of width 1
    const std::vector<Particle> ps = {grain(-30, 0, 0, 1, 0, 0),
                                      grain(29.5, 0, 0, 2, 0, 0),
                                      grain(30, 0, 0, 4, 0, 0),
                                      grain(31.01, 0, 0, 8, 0, 0),
                                      grain(-30.01, 0, 0, 16, 0, 0),
                                      grain(0.5, -9.5, -20.5, 0.1, 0, 0),
                                      grain(0.5, -9.5, 12.5, 0, 0.3, 0),
                                      grain(1, 2, 3, 3, 4, 0),
                                      grain(0.5, 0.5, 0.5, 0, 0, -9, true)};  // dead: no density
    for (const int frame : {7, 100}) {
        sim.clock.currentFrame = frame;
        writeVelocityRows(frame == 7 ? 9 : 1, ps.data());
        writeSpeedDensity(ps.data(), static_cast<int>(ps.size()));
    }
    test::expectGolden("velocity_outputs.txt", test::filesHere());
}

// One line per particle, one column per planned sample (those a short run never filled are 0),
// the table left alone when the distribution is off, the farewell and the arrays freed.
TEST(VelocityOutputs, MaxboltzAndFarewell) {
    struct Case {
        int particles, frames, speedDistribution;
        std::vector<double> table;
    };
    const Case cases[] = {{2, 250, 1, {1, 2, 3, 4, 5, 6.25}},
                          {3, 1000, 1, std::vector<double>(33, 0.5)},
                          {2, 300, 1, {1, 2, 3, 4}},
                          {2, 250, 0, {1, 2, 3, 4}}};
    std::string transcript;
    for (const Case& c : cases) {
        test::Sandbox sandbox;
        sim.run.baseName = std::string(1, 'm');  // GCC 12 misreads a one-letter literal
        sim.switches.speedDistributionOn = c.speedDistribution;
        sim.numParticles = c.particles;
        sim.clock.framesToCalculate = c.frames;
        sim.clock.analysisFreq = 100;
        sim.arrays.particleArray.assign(c.particles, Particle{});
        sim.arrays.speedTable = c.table;
        { openForWrite("mMaxboltz.xls") << "an older table\n"; }
        writeMaxboltzAndFarewell();
        transcript += test::filesHere() + sandbox.console.output();
        EXPECT_EQ(sim.arrays.particleArray.capacity() + sim.arrays.speedTable.capacity(), 0u);
    }
    test::expectGolden("maxboltz.txt", transcript);
}

}  // namespace
}  // namespace qv
