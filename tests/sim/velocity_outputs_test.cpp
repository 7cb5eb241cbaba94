#include "sim/velocity_outputs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "console/console.h"
#include "sim/state.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

using test::readFile;

Particle grain(double x, double y, double z, double vx, double vy, double vz) {
    Particle p;
    p.pos[0] = x;
    p.pos[1] = y;
    p.pos[2] = z;
    p.vel[0] = vx;
    p.vel[1] = vy;
    p.vel[2] = vz;
    p.setMass(1e9);
    return p;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream s(text);
    while (std::getline(s, part, separator)) parts.push_back(part);
    return parts;
}

TEST(VelocityRows, OneRowPerFileWithSpeedAndComponents) {
    test::resetProgramState();
    test::TempDir dir;
    params.baseName = "run1";
    params.currentFrame = 100;
    Particle dead = grain(0, 0, 50, 0, 0, -2);
    dead.setColour(1.0, 0.0, 0.5);  // in flight: listed like every live record
    const std::vector<Particle> ps = {grain(1, 2, 3, 3, 4, 0), grain(0, 0, 0, 0, 0, -1.5), dead};
    writeVelocityRows(3, ps.data());
    params.currentFrame = 200;
    writeVelocityRows(1, ps.data());
    EXPECT_EQ(readFile("velrun1"), "100\t5\t1.5\t2\t\n200\t5\t\n");
    EXPECT_EQ(readFile("velxrun1"), "100\t3\t0\t0\t\n200\t3\t\n");
    EXPECT_EQ(readFile("velyrun1"), "100\t4\t0\t0\t\n200\t4\t\n");
    EXPECT_EQ(readFile("velzrun1"), "100\t0\t-1.5\t-2\t\n200\t0\t\n");
}

// Field of the speed density file for plane p (0 XY, 1 XZ, 2 YZ), grid row and column.
struct DensityFile {
    std::vector<std::vector<std::string>> lines;
    explicit DensityFile(const std::string& text) {
        for (const std::string& line : split(text, '\n')) lines.push_back(split(line, '\t'));
    }
    const std::string& cell(int block, int plane, int row, int column) const {
        return lines.at(1 + 61 * block + row).at(64 * plane + 1 + column);
    }
};

TEST(SpeedDensity, EdgeCellsAndGrainsOutsideTheGrid) {
    test::resetProgramState();
    test::TempDir dir;
    params.baseName = std::string(1, 'e');
    params.apparatusRadius = 10;
    params.currentFrame = 7;
    const double r = 10;
    const double w = 2 * r / 60;
    const std::vector<Particle> ps = {
        grain(-r, 0, 0, 1, 0, 0),             // x cell 0
        grain(r - w / 2, 0, 0, 2, 0, 0),      // x cell 59
        grain(r, 0, 0, 4, 0, 0),              // x cell 60, the layer outside
        grain(r + 1.01 * w, 0, 0, 8, 0, 0),   // beyond the grid
        grain(-r - 0.01 * w, 0, 0, 16, 0, 0)  // below the grid
    };
    writeSpeedDensity(ps.data(), static_cast<int>(ps.size()));
    const DensityFile f(readFile("e2dveldensity.xls"));
    ASSERT_EQ(f.lines.size(), 62u);
    // y = 0 and z = 0 fall into cell 30.
    EXPECT_EQ(f.cell(0, 0, 30, 0), "1");
    EXPECT_EQ(f.cell(0, 0, 30, 59), "2");
    EXPECT_EQ(f.cell(0, 0, 30, 60), "4");
    EXPECT_EQ(f.cell(0, 1, 30, 60), "4");
    EXPECT_EQ(f.cell(0, 2, 30, 30), "7");  // the three grains inside, seen along x
    double total = 0;
    for (int row = 0; row < 61; ++row) {
        for (int col = 0; col < 61; ++col) total += std::stod(f.cell(0, 0, row, col));
    }
    EXPECT_EQ(total, 7.0);
}

TEST(SpeedDensity, ColumnSumsSpeedsAndDeadParticlesAreLeftOut) {
    test::resetProgramState();
    test::TempDir dir;
    params.baseName = std::string(1, 'c');
    params.apparatusRadius = 30;  // cells of width 1
    params.currentFrame = 300;
    Particle dead = grain(0.5, 0.5, 0.5, 9, 0, 0);
    dead.setColour(1.0, 0.0, 0.5);
    const std::vector<Particle> ps = {grain(0.5, -9.5, -20.5, 0.1, 0, 0),
                                      grain(0.5, -9.5, 12.5, 0, 0.3, 0), dead};
    writeSpeedDensity(ps.data(), 3);
    const DensityFile f(readFile("c2dveldensity.xls"));
    // x cell 30, y cell 20, z cells 9 and 42.
    EXPECT_EQ(f.cell(0, 0, 20, 30), "0.4");
    EXPECT_EQ(f.cell(0, 1, 9, 30), "0.1");
    EXPECT_EQ(f.cell(0, 1, 42, 30), "0.3");
    EXPECT_EQ(f.cell(0, 2, 9, 20), "0.1");
    EXPECT_EQ(f.cell(0, 2, 42, 20), "0.3");
    EXPECT_EQ(f.cell(0, 0, 30, 30), "0") << "dead particle counted";
}

TEST(SpeedDensity, HeaderOnceThenOneBlockPerCall) {
    test::resetProgramState();
    test::TempDir dir;
    params.baseName = std::string(1, 'h');
    params.apparatusRadius = 30;
    const std::vector<Particle> ps = {grain(0, 0, 0, 1, 0, 0)};
    params.currentFrame = 1;
    writeSpeedDensity(ps.data(), 1);
    params.currentFrame = 100;
    writeSpeedDensity(ps.data(), 1);
    const std::string text = readFile("h2dveldensity.xls");
    ASSERT_EQ(text.back(), '\n');
    const DensityFile f(text);
    ASSERT_EQ(f.lines.size(), 1u + 2 * 61);

    const std::vector<std::string>& header = f.lines[0];
    ASSERT_EQ(header.size(), 3u * 63 + 2);
    EXPECT_EQ(header[0], "X/Y");
    EXPECT_EQ(header[1], "-1");
    EXPECT_EQ(header[2], "-0.966667");
    EXPECT_EQ(header[31], "0");
    EXPECT_EQ(header[61], "1");
    EXPECT_EQ(header[62], "Count");
    EXPECT_EQ(header[63], " ");
    EXPECT_EQ(header[64], "X/Z");
    EXPECT_EQ(header[128], "Y/Z");
    EXPECT_EQ(header[190], "Count");

    for (int block = 0; block < 2; ++block) {
        const std::string frame = block == 0 ? "1" : "100";
        for (int row = 0; row < 61; ++row) {
            const std::vector<std::string>& line = f.lines[1 + 61 * block + row];
            ASSERT_EQ(line.size(), 3u * 63 + 2);
            for (int plane = 0; plane < 3; ++plane) {
                EXPECT_EQ(line[64 * plane], header[1 + row]) << "row label";
                EXPECT_EQ(line[64 * plane + 62], frame) << "Count column";
            }
            EXPECT_EQ(line[63], " ");
            EXPECT_EQ(line[127], " ");
        }
    }
    EXPECT_EQ(f.cell(1, 0, 30, 30), "1");
}

void speedTableRun(int particles, int frames, int analysisFreq) {
    params.baseName = std::string(1, 'm');
    params.speedDistributionOn = 1;
    params.numParticles = particles;
    params.framesToCalculate = frames;
    params.analysisFreq = analysisFreq;
    arrays.particleArray.assign(static_cast<std::size_t>(particles), Particle{});
    arrays.forceArray.assign(static_cast<std::size_t>(3 * particles), 0.0);
    arrays.frameStore.assign(30, 1.0);
}

TEST(Maxboltz, OneLinePerParticleOneColumnPerSampleAndFarewell) {
    test::resetProgramState();
    test::TempDir dir;
    test::ScriptedConsole console("");
    speedTableRun(2, 250, 100);
    arrays.speedTable = {1, 2, 3, 4, 5, 6.25};
    { openForWrite("mMaxboltz.xls") << "an older table\n"; }
    writeMaxboltzAndFarewell();
    EXPECT_EQ(readFile("mMaxboltz.xls"), "1\t3\t5\t\n2\t4\t6.25\t\n");
    EXPECT_EQ(console.output(),
              "\nThank you for using Quorvex 3-D Simulation v.2 - Have a nice day :-)\n");
    EXPECT_EQ(arrays.particleArray.capacity(), 0u);
    EXPECT_EQ(arrays.forceArray.capacity(), 0u);
    EXPECT_EQ(arrays.speedTable.capacity(), 0u);
    EXPECT_EQ(arrays.frameStore.capacity(), 0u);
}

TEST(Maxboltz, ElevenColumnsFor1000FramesAtAnalysisFrequency100) {
    test::resetProgramState();
    test::TempDir dir;
    test::ScriptedConsole console("");
    speedTableRun(3, 1000, 100);
    arrays.speedTable.assign(33, 0.5);
    writeMaxboltzAndFarewell();
    const std::vector<std::string> lines = split(readFile("mMaxboltz.xls"), '\n');
    ASSERT_EQ(lines.size(), 3u);
    for (const std::string& line : lines) EXPECT_EQ(split(line, '\t').size(), 11u);
}

TEST(Maxboltz, SamplesOutsideTheTableAreWrittenAsZero) {
    test::resetProgramState();
    test::TempDir dir;
    test::ScriptedConsole console("");
    speedTableRun(2, 300, 100);
    arrays.speedTable = {1, 2, 3, 4};  // smaller than the four samples the run plans
    writeMaxboltzAndFarewell();
    EXPECT_EQ(readFile("mMaxboltz.xls"), "1\t3\t0\t0\t\n2\t4\t0\t0\t\n");
}

TEST(Maxboltz, WithoutSpeedDistributionOnlyTheFarewell) {
    test::resetProgramState();
    test::TempDir dir;
    test::ScriptedConsole console("");
    speedTableRun(2, 250, 100);
    params.speedDistributionOn = 0;
    writeMaxboltzAndFarewell();
    EXPECT_FALSE(std::filesystem::exists("mMaxboltz.xls"));
    EXPECT_EQ(console.output(),
              "\nThank you for using Quorvex 3-D Simulation v.2 - Have a nice day :-)\n");
    EXPECT_TRUE(arrays.particleArray.empty());
}

}  // namespace
}  // namespace qv
