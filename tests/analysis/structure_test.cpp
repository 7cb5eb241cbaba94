#include "analysis/structure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "console/console.h"
#include "sim/particle.h"
#include "sim/state.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

Particle grain(double x, double y, double z, double mass = 0, double charge = 0) {
    Particle p;
    p.pos[0] = x;
    p.pos[1] = y;
    p.pos[2] = z;
    p.m = mass;
    p.q = charge;
    return p;
}

std::vector<std::string> lines(const std::string& fileName) {
    std::vector<std::string> result;
    std::istringstream in(test::readFile(fileName));
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

std::string field(const std::string& line, int index) {
    std::istringstream in(line);
    std::string value;
    for (int i = 0; i <= index; ++i) std::getline(in, value, '\t');
    return value;
}

// A number as the result files write it: six significant digits.
std::string text(double value) {
    std::ostringstream s;
    s << value;
    return s.str();
}

// Quiet analyses (as from the time step) in an apparatus of radius 3, at the density of two live
// grains with one electron per Debye sphere; the time column reads 1.
class StructureAnalysis : public ::testing::Test {
  protected:
    void SetUp() override {
        test::resetProgramState();
        console_ = std::make_unique<test::ScriptedConsole>("");
        params.baseName = "run7";
        params.runMode = 4;
        params.apparatusRadius = 3;
        params.debyeSphereCount = 1;
        params.numberDensity = 2.0 / 27;
        params.numParticles = 2;
        params.numDeadParticles = 0;
        params.automatedAnalysis = 1;
        params.simTime = 2;
        params.dustPlasmaFrequency = 0.5;
        params.ccple = 140;
        params.ccpleAverage = 150;
        params.ccpleTarget = 170;
        params.grainMass = 4;
        params.grainCharge = -1e4;
    }
    void TearDown() override { console_.reset(); }

    test::TempDir dir_;
    std::unique_ptr<test::ScriptedConsole> console_;
};

using PairCorrelation = StructureAnalysis;
using ShellStructure = StructureAnalysis;
using RadialProfile = StructureAnalysis;

const std::vector<Particle> kPairAtEleven = {grain(0.2, 0, 0), grain(1.3, 0, 0)};

TEST_F(PairCorrelation, WorkedExampleWritesThePeakLineAndOneRowPerBin) {
    params.pcfOutput2D = 1;
    computePairCorrelation(kPairAtEleven.data(), 2);

    // w = 0.2, 31 bins; the pair is 1.1 apart, in bin 5: g(5) = 2 / (1 * 0.4 * 3 * 2/27).
    std::string block = "\t\t\t\tPeaks:\t0.333333\tCCPLE:\t150\tTarget:170\n";
    std::string header2D = "Time/Radius\t";
    std::string row2D = "1\t";
    for (int k = 0; k <= 30; ++k) {
        block += "1\t" + text(k / 15.0) + (k == 5 ? "\t22.5\t1\n" : "\t0\t0\n");
        header2D += text(k / 15.0) + "\t";
        row2D += k == 5 ? "1\t" : "0\t";
    }
    header2D += "Normalisation_Factor\tParticles\tRadius Apar\n";
    row2D += "22.5\t2\t3\t170\n";  // gmax, live grains, Rapar and the unheaded ccpleTarget
    EXPECT_EQ(test::readFile("run7PCF Data.xls"), block);
    EXPECT_EQ(test::readFile("2Drun7PCF Data.xls"), header2D + row2D);
    EXPECT_EQ(console_->output(), "");

    // Every call appends a block and one 2D row.
    computePairCorrelation(kPairAtEleven.data(), 2);
    EXPECT_EQ(test::readFile("run7PCF Data.xls"), block + block);
    EXPECT_EQ(test::readFile("2Drun7PCF Data.xls"), header2D + row2D + row2D);
}

TEST_F(PairCorrelation, InteractiveCallAsksForSamplesAndPrintsThePeaks) {
    params.automatedAnalysis = 0;
    test::ScriptedConsole console("0\n-2\n10\n");
    computePairCorrelation(kPairAtEleven.data(), 2);

    const std::string ask = "Enter number of samples along Rapar";
    const std::string no = "The number of samples must be a whole number from 1 to 100000.\n";
    // w = 0.6: the pair lands in bin 1, a peak at 0.2 Rapar.
    EXPECT_EQ(console.output(), "PCF Function loaded\n\n" + ask + no + ask + no + ask +
                                    "\nCalculating...\n\n0.2\n\n");
    const auto rows = lines("run7PCF Data.xls");
    ASSERT_EQ(rows.size(), 12u);  // the peak line and B = 11 rows
    EXPECT_EQ(rows[0], "\t\t\t\tPeaks:\t0.2\tCCPLE:\t150\tTarget:170");
    EXPECT_EQ(rows[2], "1\t0.2\t20.8333\t1");
    EXPECT_EQ(rows[11], "1\t2\t0\t0");
}

// One pair (k + 1/2) w apart per listed bin k (w = 0.2); the pairs lie 1000 apart, far beyond
// the binned range, so no cross pair counts.
std::string peakLine(std::initializer_list<int> bins) {
    std::vector<Particle> grains;
    double y = 0;
    for (int k : bins) {
        grains.push_back(grain(0, y, 0));
        grains.push_back(grain((k + 0.5) * 0.2, y, 0));
        y += 1000;
    }
    test::TempDir fresh;
    computePairCorrelation(grains.data(), static_cast<int>(grains.size()));
    const std::string line = lines("run7PCF Data.xls").at(0);
    return line.substr(0, line.find("\tCCPLE:"));
}

TEST_F(PairCorrelation, PeaksNeedARiseAFallAndFourLowerBinsAfterThem) {
    // The last candidate is bin B - 6 = 25; a maximum in the last five bins is never a peak.
    EXPECT_EQ(peakLine({25}), "\t\t\t\tPeaks:\t1.66667");
    EXPECT_EQ(peakLine({26}), "\t\t\t\tPeaks:");
    // g(5) is not above g(8) (1/25 against 3/64): bin 5 fails its window, bin 8 is the peak.
    EXPECT_EQ(peakLine({5, 8, 8, 8}), "\t\t\t\tPeaks:\t0.533333");
    // After the peak at 5 the scan resumes at bin 9: the rise into 8 is never seen, into 9 is.
    EXPECT_EQ(peakLine({5, 5, 8}), "\t\t\t\tPeaks:\t0.333333");
    EXPECT_EQ(peakLine({5, 5, 9}), "\t\t\t\tPeaks:\t0.333333\t0.6");
}

TEST_F(PairCorrelation, PairsInBinZeroOrBeyondTheLastBinLeaveEveryValueZero) {
    // 0.1 apart (bin 0, always 0) and 6.21 apart (beyond B w = 6.2, dropped): gmax stays 0.
    const std::vector<Particle> grains = {grain(0, 0, 0), grain(0.1, 0, 0), grain(0, 1000, 0),
                                          grain(6.21, 1000, 0)};
    params.pcfOutput2D = 1;
    computePairCorrelation(grains.data(), 4);
    std::string expected = "\t\t\t\tPeaks:\tCCPLE:\t150\tTarget:170\n";
    std::string row2D = "1\t";
    for (int k = 0; k <= 30; ++k) {
        expected += "1\t" + text(k / 15.0) + "\t0\t0\n";
        row2D += "0\t";
    }
    EXPECT_EQ(test::readFile("run7PCF Data.xls"), expected);
    EXPECT_EQ(lines("2Drun7PCF Data.xls").at(1), row2D + "0\t2\t3\t170");

    // Just inside the last bin the pair counts.
    test::TempDir fresh;
    const std::vector<Particle> inside = {grain(0, 0, 0), grain(6.19, 0, 0)};
    computePairCorrelation(inside.data(), 2);
    EXPECT_EQ(field(lines("run7PCF Data.xls").at(31), 3), "1");
}

// The distance of two random points of a uniform ball of radius R has the density
// f(d) = 3 d^2 / R^3 (1 - 3d/(4R) + d^3/(16 R^3)); its integral from 0 to d:
double ballPairFraction(double d, double radius) {
    const double x = d / radius;
    return x * x * x - 9 * x * x * x * x / 16 + x * x * x * x * x * x / 32;
}

// g(k) of uniform clouds of n grains is (n-1)/n (1 - 3r/(4R) + r^3/(16R^3)) at r = k w for narrow
// bins. The histogram is normalised by the shell 4 pi (k w)^2 w at the bin's inner edge, so the
// exact expectation is the law integrated over [k w, (k+1) w) and divided by that shell.
double expectedPairCorrelation(int n, int k, double w, double radius) {
    const double r = k * w;
    const double inBin = ballPairFraction(r + w, radius) - ballPairFraction(r, radius);
    return (n - 1.0) / n * inBin / (3 * r * r * w / (radius * radius * radius));
}

// Mean g(k) over `clouds` calls, each on a fresh uniform random cloud of n grains filling the
// apparatus, all analysed, none dead, at the cloud's own density.
std::vector<double> meanPairCorrelation(int n, int clouds, double radius, unsigned seed) {
    params.apparatusRadius = radius;
    params.numberDensity = n / (radius * radius * radius * params.debyeSphereCount);
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(-radius, radius);
    test::TempDir fresh;
    for (int c = 0; c < clouds; ++c) {
        std::vector<Particle> cloud;
        while (static_cast<int>(cloud.size()) < n) {
            const Particle p = grain(u(rng), u(rng), u(rng));
            if (p.distanceFromCentre() < radius) cloud.push_back(p);
        }
        computePairCorrelation(cloud.data(), n);
    }
    const auto rows = lines("run7PCF Data.xls");
    EXPECT_EQ(rows.size(), 32u * clouds);
    std::vector<double> mean(31, 0.0);
    for (int c = 0; c < clouds; ++c) {
        for (int k = 0; k <= 30; ++k) mean[k] += std::stod(field(rows.at(32 * c + 1 + k), 2));
    }
    for (double& g : mean) g /= clouds;
    return mean;
}

TEST_F(PairCorrelation, LargeUniformCloudFollowsThePairDistanceLawOfABall) {
    const auto g = meanPairCorrelation(2000, 6, 10, 2024);
    EXPECT_EQ(g[0], 0);
    // The noise is well below a percent inside and about 1.5 % at the far end, where only grains
    // near opposite walls pair up; the last bins hold too few pairs to test.
    for (int k = 1; k <= 25; ++k) {
        const double expected = expectedPairCorrelation(2000, k, 20.0 / 30, 10);
        EXPECT_NEAR(g[k], expected, 0.05 * expected) << "bin " << k;
    }
    // The inner-edge shell makes the low bins read high: bin 1 holds 1 + 1 + 1/3 such shells.
    EXPECT_NEAR(g[1], 7.0 / 3, 0.2);
}

TEST_F(PairCorrelation, SmallCloudsCarryTheFactorOfPartnersOverGrains) {
    // Ten grains see nine partners each: g sits 10 % below the law of a continuum.
    const auto g = meanPairCorrelation(10, 2000, 10, 77);
    double measured = 0;
    double expected = 0;
    for (int k = 3; k <= 25; ++k) {
        measured += g[k];
        expected += expectedPairCorrelation(10, k, 20.0 / 30, 10);
    }
    EXPECT_NEAR(measured / expected, 1.0, 0.03);
}

TEST_F(ShellStructure, WorkedExampleWritesNineColumnsPerShell) {
    params.shellOutput2D = 1;
    const std::vector<Particle> grains = {grain(1.05, 0, 0, 3), grain(0, 1.07, 0, 5)};
    computeShellStructure(grains.data(), 2);

    // w = 0.1, 31 shells; both grains in shell 10, where D_10 = 100 V = 2/45.
    std::string expected;
    std::string row2D = "1\t";
    for (int k = 0; k <= 30; ++k) {
        expected += "1\t" + text(k / 30.0) +
                    (k == 10 ? "\t2\t45\t1\t8\t180\t2\t140\n" : "\t0\t0\t0\t0\t0\t0\t140\n");
        row2D += k == 10 ? "1\t" : "0\t";
    }
    EXPECT_EQ(test::readFile("run7ShellStructure.xls"), expected);
    EXPECT_EQ(lines("2Drun7ShellStructure.xls").at(1), row2D + "45\t2\t3\t170");
    EXPECT_EQ(console_->output(), "");
}

TEST_F(ShellStructure, InnermostShellShowsMassButNoCount) {
    const std::vector<Particle> grains = {grain(0.05, 0, 0, 7), grain(1.05, 0, 0, 3)};
    computeShellStructure(grains.data(), 2);
    const auto rows = lines("run7ShellStructure.xls");
    ASSERT_EQ(rows.size(), 31u);
    EXPECT_EQ(rows[0], "1\t0\t0\t0\t0\t7\t0\t1.75\t140");
    EXPECT_EQ(rows[10], "1\t0.333333\t1\t22.5\t1\t3\t67.5\t0.75\t140");
}

TEST_F(ShellStructure, FractionalSampleCountAtThePromptGivesElevenShells) {
    params.automatedAnalysis = 0;
    params.shellOutput2D = 1;
    test::ScriptedConsole console("0\n-1\n10.5\n");
    const std::vector<Particle> grains = {grain(1.05, 0, 0, 3), grain(0, 1.07, 0, 5)};
    computeShellStructure(grains.data(), 2);

    const std::string ask = "Enter number of samples along Rapar : \n";
    const std::string no = "The number of samples must be above 0 and at most 100000.\n";
    EXPECT_EQ(console.output(), "\x1b[2J\x1b[HAnalysing please wait...\n\n" + ask + no + ask + no +
                                    ask + "\nFinished shell calculation\n\n");
    // w = 3 / 10.5; both grains are in shell 3.
    const auto rows = lines("run7ShellStructure.xls");
    ASSERT_EQ(rows.size(), 11u);
    EXPECT_EQ(rows[3].substr(0, 13), "1\t0.285714\t2\t");
    EXPECT_EQ(field(rows[3], 4), "1");
    EXPECT_EQ(field(rows[10], 1), "0.952381");
    // 11 radii in the 2D header, which is one field shorter than its row.
    const auto rows2D = lines("2Drun7ShellStructure.xls");
    ASSERT_EQ(rows2D.size(), 2u);
    EXPECT_EQ(field(rows2D[0], 11), "0.952381");
    EXPECT_EQ(field(rows2D[0], 12), "Normalisation_Factor");
    EXPECT_EQ(field(rows2D[1], 4), "1");
    EXPECT_EQ(field(rows2D[1], 15), "170");
}

TEST_F(ShellStructure, GrainsOutsideTheApparatusAreNotCountedAndEmptyShellsGiveZero) {
    // Unfired dead particles parked outside enter N (and so V) but no shell.
    const std::vector<Particle> grains = {grain(3.5, 0, 0, 3), grain(0, 0, -50, 5)};
    params.shellOutput2D = 1;
    computeShellStructure(grains.data(), 2);
    std::string expected;
    std::string row2D = "1\t";
    for (int k = 0; k <= 30; ++k) {
        expected += "1\t" + text(k / 30.0) + "\t0\t0\t0\t0\t0\t0\t140\n";
        row2D += "0\t";
    }
    EXPECT_EQ(test::readFile("run7ShellStructure.xls"), expected);
    EXPECT_EQ(lines("2Drun7ShellStructure.xls").at(1), row2D + "0\t2\t3\t170");
}

TEST_F(StructureAnalysis, EmptyCloudOrMissingDensityWriteZerosNotNaN) {
    computePairCorrelation(nullptr, 0);
    computeShellStructure(nullptr, 0);
    params.numberDensity = 0;
    computePairCorrelation(kPairAtEleven.data(), 2);
    computeShellStructure(kPairAtEleven.data(), 2);
    for (const char* name : {"run7PCF Data.xls", "run7ShellStructure.xls"}) {
        const std::string all = test::readFile(name);
        EXPECT_EQ(all.find("nan"), std::string::npos) << name;
        EXPECT_EQ(all.find("inf"), std::string::npos) << name;
    }
    EXPECT_EQ(lines("run7PCF Data.xls").size(), 64u);
}

TEST_F(StructureAnalysis, ReplayRewritesTheClockForPairCorrelationAndShellsOnly) {
    params.runMode = 2;
    params.currentFrame = 7;
    params.timeStep = 0.5;
    params.writeFreq = 4;
    computeFieldStructure(kPairAtEleven.data(), 2);
    EXPECT_EQ(params.simTime, 2);
    computePairCorrelation(kPairAtEleven.data(), 2);
    EXPECT_EQ(params.simTime, 14);  // 7 frames of 4 steps of 0.5
    params.simTime = 2;
    computeShellStructure(kPairAtEleven.data(), 2);
    EXPECT_EQ(params.simTime, 14);
    for (const auto& row : lines("run7EFieldStruct.xls")) EXPECT_EQ(row.substr(0, 2), "1\t");
    for (const auto& row : lines("run7ShellStructure.xls")) EXPECT_EQ(row.substr(0, 2), "7\t");
    const auto pcf = lines("run7PCF Data.xls");
    for (std::size_t i = 1; i < pcf.size(); ++i) EXPECT_EQ(pcf[i].substr(0, 2), "7\t");
}

class FieldStructure : public StructureAnalysis {
  protected:
    void SetUp() override {
        StructureAnalysis::SetUp();
        params.totalCharge = -2e4;
        params.debyeSphereCount = 1.0 / 3;  // Coulomb divisor 3 ND = 1
    }
};

TEST_F(FieldStructure, WorkedExampleRows) {
    const std::vector<Particle> grains = {grain(1.55, 0, 0, 1, -1e4), grain(0, 0, 1.55, 1, -1e4)};
    computeFieldStructure(grains.data(), 2);
    const auto rows = lines("run7EFieldStruct.xls");
    ASSERT_EQ(rows.size(), 31u);
    // Row 0: no charge, no field, the whole integral from the wall as potential.
    EXPECT_EQ(rows[0], "1\t0\t0\t0\t-2897.52\t140");
    // Inside the grains only the background: +2500, a quarter of a grain charge.
    EXPECT_EQ(rows[15], "1\t0.5\t0.25\t1111.11\t-3730.86\t140");
    EXPECT_EQ(rows[16], "1\t0.533333\t-1.69659\t-6627.31\t-3455.05\t140");
    EXPECT_EQ(rows[29], "1\t0.966667\t-0.193407\t-229.973\t-11.4987\t140");
    EXPECT_EQ(rows[30], "1\t1\t0\t0\t0\t140");
    EXPECT_EQ(console_->output(), "");
}

TEST_F(FieldStructure, NetChargeVanishesAtTheWallWhenEveryChargeIsInside) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> u(-3, 3);
    std::uniform_int_distribution<int> charge(-12000, -8000);
    std::vector<Particle> grains;
    params.totalCharge = 0;
    while (grains.size() < 300) {
        const Particle p = grain(u(rng), u(rng), u(rng), 1, charge(rng));
        if (p.distanceFromCentre() >= 3) continue;
        params.totalCharge += p.q;
        grains.push_back(p);
    }
    // A dead particle in flight outside the apparatus adds nothing.
    grains.push_back(grain(0, 0, 15, 1, -1e4));
    computeFieldStructure(grains.data(), static_cast<int>(grains.size()));
    EXPECT_EQ(lines("run7EFieldStruct.xls").at(30), "1\t1\t0\t0\t0\t140");
}

TEST_F(FieldStructure, EmptyCloudGivesTheBackgroundAlone) {
    params.potentialOutput2D = 1;
    params.efieldOutput2D = 1;
    computeFieldStructure(nullptr, 0);
    // A uniform sphere carrying +2e4: Qnet = 2e4 (r/R)^3 and E = Qnet / r^2 = 2e4 r / 27 (3 ND is
    // 1). E is linear, so the trapezoidal potential is exact: P = 2e4 (R^2 - r^2) / 54.
    const auto rows = lines("run7EFieldStruct.xls");
    ASSERT_EQ(rows.size(), 31u);
    std::string header2D = "Time/Radius\t";
    std::string field2D = "1\t";
    std::string potential2D = "1\t";
    for (int k = 0; k <= 30; ++k) {
        const double r = 0.1 * k;
        const double e = 2e4 * r / 27;
        const double p = 2e4 * (9 - r * r) / 54;
        EXPECT_NEAR(std::stod(field(rows[k], 2)), 2 * std::pow(r / 3, 3), 1e-5) << k;
        EXPECT_NEAR(std::stod(field(rows[k], 3)), e, 1e-5 * std::max(e, 1.0)) << k;
        EXPECT_NEAR(std::stod(field(rows[k], 4)), p, 1e-5 * std::max(p, 1.0)) << k;
        header2D += text(k / 30.0) + "\t";
        field2D += text(k / 30.0) + "\t";                   // E / Emax, Emax at the wall
        potential2D += text((900.0 - k * k) / 900) + "\t";  // P / Pmax, Pmax at the centre
    }
    EXPECT_EQ(rows[30], "1\t1\t2\t2222.22\t0\t140");
    header2D += "Normalisation_Factor\tParticles\tRadius Apar\n";
    EXPECT_EQ(test::readFile("2Drun7EField.xls"), header2D + field2D + "2222.22\t2\t3\t170\n");
    EXPECT_EQ(test::readFile("2Drun7Potential.xls"),
              header2D + potential2D + "3333.33\t2\t3\t170\n");
    EXPECT_FALSE(std::filesystem::exists("run7Potential.xls"));
    EXPECT_FALSE(std::filesystem::exists("run7EField.xls"));
}

TEST_F(FieldStructure, ProfileZeroEverywhereIsWrittenWithANormaliserOfOne) {
    params.totalCharge = 0;
    params.efieldOutput2D = 1;
    computeFieldStructure(nullptr, 0);
    std::string row = "1\t";
    for (int k = 0; k <= 30; ++k) row += "0\t";
    EXPECT_EQ(lines("2Drun7EField.xls").at(1), row + "1\t2\t3\t170");
}

TEST_F(RadialProfile, HeaderOnceThenOneRowPerCallWithTheExtraTargetColumn) {
    const double values[] = {9, 1, 2, -4, 8};
    writeRadialProfile(0.5, 3, "run7Test.xls", values, 1, 4, 0.25);
    writeRadialProfile(1.5, 2, "run7Test.xls", values, 3, 8, 0.5);
    EXPECT_EQ(test::readFile("2Drun7Test.xls"),
              "Time/Radius\t0\t0.25\t0.5\tNormalisation_Factor\tParticles\tRadius Apar\n"
              "0.5\t0.25\t0.5\t-1\t4\t2\t3\t170\n"
              "1.5\t-0.5\t1\t8\t2\t3\t170\n");
    EXPECT_FALSE(std::filesystem::exists("run7Test.xls"));
}

TEST_F(RadialProfile, ExistingFileGetsNoSecondHeaderAndANormaliserOfZeroGivesZeroCells) {
    openForAppend("2Drun7Test.xls") << "earlier run\n";
    params.numParticles = 5;
    params.numDeadParticles = 1;
    const double values[] = {1, 2};
    writeRadialProfile(2, 2, "run7Test.xls", values, 0, 0, 0.5);
    EXPECT_EQ(test::readFile("2Drun7Test.xls"), "earlier run\n2\t0\t0\t0\t4\t3\t170\n");
}

}  // namespace
}  // namespace qv
