#include "sim/velocity_outputs.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "console/console.h"
#include "console/output_file.h"
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

TEST(SpeedDensity, EdgeCellsColumnSumsHeaderOnceAndABlockPerCall) {
    test::resetProgramState();
    test::TempDir dir;
    // GCC 12 misreads assigning a one-letter literal (-Wrestrict).
    params.baseName = std::string(1, 'd');
    params.apparatusRadius = 30;  // cells of width 1
    Particle dead = grain(0.5, 0.5, 0.5, 9, 0, 0);
    dead.setColour(1.0, 0.0, 0.5);
    const std::vector<Particle> ps = {
        grain(-30, 0, 0, 1, 0, 0),           // x cell 0
        grain(29.5, 0, 0, 2, 0, 0),          // x cell 59
        grain(30, 0, 0, 4, 0, 0),            // x cell 60, the layer outside
        grain(31.01, 0, 0, 8, 0, 0),         // beyond the grid
        grain(-30.01, 0, 0, 16, 0, 0),       // below the grid
        grain(0.5, -9.5, -20.5, 0.1, 0, 0),  // x cell 30, y cell 20, z cell 9
        grain(0.5, -9.5, 12.5, 0, 0.3, 0),   // z cell 42: same x-y column
        dead};                               // left out
    for (const int frame : {7, 100}) {
        params.currentFrame = frame;
        writeSpeedDensity(ps.data(), static_cast<int>(ps.size()));
    }
    const std::string text = readFile("d2dveldensity.xls");
    ASSERT_EQ(text.back(), '\n');
    std::vector<std::vector<std::string>> lines;
    for (const std::string& line : split(text, '\n')) lines.push_back(split(line, '\t'));
    ASSERT_EQ(lines.size(), 1u + 2 * 61);

    // Planes X/Y, X/Z and Y/Z side by side: a label, 61 cells, Count, and a blank column.
    const std::vector<std::string>& header = lines[0];
    ASSERT_EQ(header.size(), 3u * 63 + 2);
    const std::pair<int, const char*> labels[] = {
        {0, "X/Y"},    {1, "-1"}, {2, "-0.966667"}, {31, "0"},    {61, "1"},
        {62, "Count"}, {63, " "}, {64, "X/Z"},      {128, "Y/Z"}, {190, "Count"}};
    for (const auto& [at, label] : labels) EXPECT_EQ(header[at], label) << "header column " << at;

    struct Cell {
        int plane, row, column;
        const char* value;
    };
    const Cell cells[] = {{0, 30, 0, "1"},    {0, 30, 59, "2"},   {0, 30, 60, "4"},
                          {1, 30, 60, "4"},   {2, 30, 30, "7"},   {0, 20, 30, "0.4"},
                          {1, 9, 30, "0.1"},  {1, 42, 30, "0.3"}, {2, 9, 20, "0.1"},
                          {2, 42, 20, "0.3"}, {0, 30, 30, "0"}};
    for (int block = 0; block < 2; ++block) {
        double total = 0;
        for (int row = 0; row < 61; ++row) {
            const std::vector<std::string>& line = lines[1 + 61 * block + row];
            ASSERT_EQ(line.size(), 3u * 63 + 2);
            for (int plane = 0; plane < 3; ++plane) {
                EXPECT_EQ(line[64 * plane], header[1 + row]) << "row label";
                EXPECT_EQ(line[64 * plane + 62], block == 0 ? "7" : "100") << "frame under Count";
            }
            EXPECT_EQ(line[63] + line[127], "  ");
            for (int col = 0; col < 61; ++col) total += std::stod(line[1 + col]);
        }
        EXPECT_NEAR(total, 7.4, 1e-12) << "block " << block;
        for (const Cell& c : cells)
            EXPECT_EQ(lines[1 + 61 * block + c.row][64 * c.plane + 1 + c.column], c.value)
                << "block " << block << " plane " << c.plane << " row " << c.row << " column "
                << c.column;
    }
}

TEST(Maxboltz, OneLinePerParticleOneColumnPerPlannedSampleAndTheFarewell) {
    std::string elevenColumns;
    for (int i = 0; i < 11; ++i) elevenColumns += "0.5\t";
    elevenColumns += "\n";
    struct Case {
        int particles, frames, speedDistribution;
        std::vector<double> table;
        std::string file;
    };
    const Case cases[] = {
        {2, 250, 1, {1, 2, 3, 4, 5, 6.25}, "1\t3\t5\t\n2\t4\t6.25\t\n"},
        {3, 1000, 1, std::vector<double>(33, 0.5), elevenColumns + elevenColumns + elevenColumns},
        // A run ended early filled fewer samples than it planned: the rest are 0.
        {2, 300, 1, {1, 2, 3, 4}, "1\t3\t0\t0\t\n2\t4\t0\t0\t\n"},
        {2, 250, 0, {1, 2, 3, 4}, "an older table\n"},
    };
    for (const Case& c : cases) {
        test::resetProgramState();
        test::TempDir dir;
        test::ScriptedConsole console("");
        // GCC 12 misreads assigning a one-letter literal (-Wrestrict).
        params.baseName = std::string(1, 'm');
        params.speedDistributionOn = c.speedDistribution;
        params.numParticles = c.particles;
        params.framesToCalculate = c.frames;
        params.analysisFreq = 100;
        arrays.particleArray.assign(c.particles, Particle{});
        arrays.speedTable = c.table;
        { openForWrite("mMaxboltz.xls") << "an older table\n"; }
        writeMaxboltzAndFarewell();
        EXPECT_EQ(readFile("mMaxboltz.xls"), c.file) << c.frames;
        EXPECT_EQ(console.output(),
                  "\nThank you for using Quorvex 3-D Simulation v.2 - Have a nice day :-)\n");
        EXPECT_EQ(arrays.particleArray.capacity() + arrays.speedTable.capacity(), 0u);
    }
}

}  // namespace
}  // namespace qv
