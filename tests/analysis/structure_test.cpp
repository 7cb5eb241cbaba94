#include "analysis/structure.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "sim/particle.h"
#include "sim/state.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

Particle grain(double x, double y, double z, double mass = 0, double charge = 0) {
    return {{x, y, z}, {}, {}, mass, charge};
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
    StructureAnalysis() {
        params.baseName = "run7";
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

    struct Reset {
        Reset() { test::resetProgramState(); }
    } reset_;  // first, before the console is scripted
    test::TempDir dir_;
    test::ScriptedConsole console_{""};
};

// A 2D row of 31 zero cells at time 1, then `tail`.
std::string zeroRow2D(const std::string& tail) {
    std::string row = "1\t";
    for (int k = 0; k <= 30; ++k) row += "0\t";
    return row + tail;
}

using PairCorrelation = StructureAnalysis;
using ShellStructure = StructureAnalysis;
using FieldStructure = StructureAnalysis;

// 1.1 apart, both 1.05 from the centre.
const std::vector<Particle> kPair = {grain(0.55, 0.9, 0, 3), grain(-0.55, 0.9, 0, 5)};

TEST_F(StructureAnalysis, WorkedExamplesOfPairCorrelationAndShells) {
    params.pcfOutput2D = 1;
    params.shellOutput2D = 1;
    computePairCorrelation(kPair.data(), 2);
    computeShellStructure(kPair.data(), 2);
    // Pairs: w = 0.2, 31 bins; the pair is in bin 5: g(5) = 2 / (1 * 0.4 * 3 * 2/27).
    // Shells: w = 0.1, 31 shells; both grains in shell 10, where D_10 = 100 V = 2/45.
    std::string pcf = "\t\t\t\tPeaks:\t0.333333\tCCPLE:\t150\tTarget:170\n";
    std::string pcf2D = "Time/Radius\t";
    std::string pcfRow2D = "1\t";
    std::string shells;
    std::string shellRow2D = "1\t";
    for (int k = 0; k <= 30; ++k) {
        pcf += "1\t" + text(k / 15.0) + (k == 5 ? "\t22.5\t1\n" : "\t0\t0\n");
        pcf2D += text(k / 15.0) + "\t";
        pcfRow2D += k == 5 ? "1\t" : "0\t";
        shells += "1\t" + text(k / 30.0) +
                  (k == 10 ? "\t2\t45\t1\t8\t180\t2\t140\n" : "\t0\t0\t0\t0\t0\t0\t140\n");
        shellRow2D += k == 10 ? "1\t" : "0\t";
    }
    // gmax (nmax), live grains, Rapar and the unheaded ccpleTarget
    pcf2D += "Normalisation_Factor\tParticles\tRadius Apar\n" + pcfRow2D + "22.5\t2\t3\t170\n";
    EXPECT_EQ(test::readFile("run7PCF Data.xls"), pcf);
    EXPECT_EQ(test::readFile("2Drun7PCF Data.xls"), pcf2D);
    EXPECT_EQ(test::readFile("run7ShellStructure.xls"), shells);
    EXPECT_EQ(lines("2Drun7ShellStructure.xls").at(1), shellRow2D + "45\t2\t3\t170");
    EXPECT_EQ(console_.output(), "");
}

TEST_F(StructureAnalysis, InteractiveCallsAskForSampleCountsAboveZero) {
    params.automatedAnalysis = 0;
    params.shellOutput2D = 1;
    test::ScriptedConsole console("0\n-2\n10\n0\n-1\n10.5\n");
    computePairCorrelation(kPair.data(), 2);
    computeShellStructure(kPair.data(), 2);
    const std::string ask = "Enter number of samples along Rapar";
    // The prompt leaves the cursor behind it; the refusal starts a line of its own.
    const std::string noPcf = "\nThe number of samples must be a whole number from 1 to 100000.\n";
    const std::string noShells = "The number of samples must be above 0 and at most 100000.\n";
    const std::string askShells = ask + " : \n";
    EXPECT_EQ(console.output(),
              "PCF Function loaded\n\n" + ask + noPcf + ask + noPcf + ask +
                  "\nCalculating...\n\n0.2\n\n\x1b[2J\x1b[HAnalysing please wait...\n\n" +
                  askShells + noShells + askShells + noShells + askShells +
                  "\nFinished shell calculation\n\n");
    // Pairs: w = 0.6 puts the pair in bin 1, a peak at 0.2 Rapar.
    const auto pcf = lines("run7PCF Data.xls");
    ASSERT_EQ(pcf.size(), 12u);  // the peak line and B = 11 rows
    EXPECT_EQ(pcf[0], "\t\t\t\tPeaks:\t0.2\tCCPLE:\t150\tTarget:170");
    EXPECT_EQ(pcf[2], "1\t0.2\t20.8333\t1");
    // Shells: 10.5 gives w = 3 / 10.5 and 11 shells; both grains are in shell 3.
    const auto shells = lines("run7ShellStructure.xls");
    ASSERT_EQ(shells.size(), 11u);
    EXPECT_EQ(shells[3].substr(0, 13), "1\t0.285714\t2\t");
    EXPECT_EQ(field(shells[10], 1), "0.952381");
    const auto shells2D = lines("2Drun7ShellStructure.xls");  // 11 radii, 11 cells
    EXPECT_EQ(field(shells2D.at(0), 12), "Normalisation_Factor");
    EXPECT_EQ(field(shells2D.at(1), 15), "170");
}

// The block written for one pair at each of the given distances. The pairs lie 1000 apart, far
// beyond the binned range (w = 0.2, B w = 6.2), so no cross pair counts.
std::vector<std::string> pairBlock(const std::vector<double>& distances) {
    std::vector<Particle> grains;
    for (double d : distances) {
        const double y = 1000.0 * grains.size();
        grains.push_back(grain(0, y, 0));
        grains.push_back(grain(d, y, 0));
    }
    test::TempDir fresh;
    computePairCorrelation(grains.data(), static_cast<int>(grains.size()));
    return lines("run7PCF Data.xls");
}

// The peaks found for one pair in the middle of each listed bin.
std::string peaks(std::initializer_list<int> bins) {
    std::vector<double> distances;
    for (int k : bins) distances.push_back((k + 0.5) * 0.2);
    const std::string line = pairBlock(distances).at(0);
    return line.substr(10, line.find("\tCCPLE:") - 10);  // after the tabs and "Peaks:"
}

TEST_F(PairCorrelation, PeaksNeedARiseAFallAndFourLowerBinsAfterThem) {
    // The last candidate is bin B - 6 = 25; a maximum in the last five bins is never a peak.
    EXPECT_EQ(peaks({25}), "\t1.66667");
    EXPECT_EQ(peaks({26}), "");
    // g(5) is not above g(8) (1/25 against 3/64): bin 5 fails its window, bin 8 is the peak.
    EXPECT_EQ(peaks({5, 8, 8, 8}), "\t0.533333");
    // After the peak at 5 the scan resumes at bin 9: the rise into 8 is never seen, into 9 is.
    EXPECT_EQ(peaks({5, 5, 8}), "\t0.333333");
    EXPECT_EQ(peaks({5, 5, 9}), "\t0.333333\t0.6");
}

TEST_F(PairCorrelation, BinZeroReadsZeroAndPairsFromBTimesWOnAreDropped) {
    const auto rows = pairBlock({0.1, 6.19, 6.21});  // bin 0, bin 30 (the last), dropped
    ASSERT_EQ(rows.size(), 32u);
    EXPECT_EQ(rows[1], "1\t0\t0\t0");
    for (int k = 1; k < 30; ++k) EXPECT_EQ(field(rows[1 + k], 2), "0") << "bin " << k;
    // g(30) = 2 / (36 * 1.2 * 3 * 2/27) for the one pair; twice that if the dropped one counted.
    EXPECT_EQ(rows[31], "1\t2\t0.208333\t1");
}

// Expected g(k) for uniform clouds of n grains in a ball of radius R. Pair distances there have
// the density 3 d^2 / R^3 (1 - 3d/(4R) + d^3/(16 R^3)), so for narrow bins g = (n-1)/n (1 -
// 3r/(4R) + r^3/(16R^3)) at r = k w. The histogram is normalised by the shell 4 pi (k w)^2 w at
// the bin's inner edge, so the exact expectation is the law integrated over [k w, (k+1) w) and
// divided by that shell; bin 1 thus reads about 7/3 of the law.
double expectedPairCorrelation(int n, int k, double w, double radius) {
    auto fractionWithin = [radius](double d) {
        const double x = d / radius;
        return x * x * x - 9 * x * x * x * x / 16 + x * x * x * x * x * x / 32;
    };
    const double inBin = fractionWithin((k + 1) * w) - fractionWithin(k * w);
    return (n - 1.0) / n * inBin / (3 * k * k * w * w * w / (radius * radius * radius));
}

// Mean g(k) over `clouds` calls, each on a fresh uniform random cloud of n grains filling an
// apparatus of radius 10, all analysed, none dead, at the cloud's own density.
std::vector<double> meanPairCorrelation(int n, int clouds, unsigned seed) {
    params.apparatusRadius = 10;
    params.numberDensity = n / 1000.0;
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> u(-10, 10);
    test::TempDir fresh;
    for (int c = 0; c < clouds; ++c) {
        std::vector<Particle> cloud;
        while (static_cast<int>(cloud.size()) < n) {
            const Particle p = grain(u(rng), u(rng), u(rng));
            if (p.distanceFromCentre() < 10) cloud.push_back(p);
        }
        computePairCorrelation(cloud.data(), n);
    }
    const auto rows = lines("run7PCF Data.xls");  // blocks of a peak line and 31 rows
    EXPECT_EQ(rows.size(), 32u * clouds);
    std::vector<double> mean(31, 0.0);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i % 32 != 0) mean[i % 32 - 1] += std::stod(field(rows[i], 2)) / clouds;
    }
    return mean;
}

TEST_F(PairCorrelation, UniformCloudsFollowThePairDistanceLawOfABall) {
    const double w = 20.0 / 30;
    // 2000 grains test the shape bin by bin. The noise is well below a percent inside and about
    // 1.5 % at bin 25, where only grains near opposite walls pair up; the last bins hold too few
    // pairs to test.
    const auto large = meanPairCorrelation(2000, 6, 2024);
    EXPECT_EQ(large[0], 0);
    for (int k = 1; k <= 25; ++k) {
        const double expected = expectedPairCorrelation(2000, k, w, 10);
        EXPECT_NEAR(large[k], expected, 0.05 * expected) << "bin " << k;
    }
    // Ten grains see nine partners each: g sits 10 % below the law of a continuum.
    const auto small = meanPairCorrelation(10, 2000, 77);
    double measured = 0;
    double expected = 0;
    for (int k = 3; k <= 25; ++k) {
        measured += small[k];
        expected += expectedPairCorrelation(10, k, w, 10);
    }
    EXPECT_NEAR(measured / expected, 1.0, 0.03);
}

TEST_F(ShellStructure, InnermostShellShowsOnlyMassAndGrainsOutsideEnterOnlyN) {
    // Grains beyond the last shell (unfired dead particles) are not counted but enter N, which
    // doubles V against the worked example: D_10 = 4/45.
    const std::vector<Particle> grains = {grain(0.05, 0, 0, 7), grain(1.05, 0, 0, 3),
                                          grain(3.5, 0, 0, 3), grain(0, 0, -50, 5)};
    computeShellStructure(grains.data(), 4);
    const auto rows = lines("run7ShellStructure.xls");
    ASSERT_EQ(rows.size(), 31u);
    EXPECT_EQ(rows[0], "1\t0\t0\t0\t0\t7\t0\t1.75\t140");
    EXPECT_EQ(rows[10], "1\t0.333333\t1\t11.25\t1\t3\t33.75\t0.75\t140");
    EXPECT_EQ(rows[30], "1\t1\t0\t0\t0\t0\t0\t0\t140");
}

TEST_F(StructureAnalysis, EmptyBinsOrMissingDensityWriteZerosNotNaN) {
    params.pcfOutput2D = 1;
    params.shellOutput2D = 1;
    params.numParticles = 3;
    params.numDeadParticles = 1;  // the 2D rows count the 2 live grains
    computePairCorrelation(nullptr, 0);
    computeShellStructure(nullptr, 0);
    // gmax and nmax stay 0: zero cells, and the normaliser as it is.
    EXPECT_EQ(lines("2Drun7PCF Data.xls").at(1), zeroRow2D("0\t2\t3\t170"));
    EXPECT_EQ(lines("2Drun7ShellStructure.xls").at(1), zeroRow2D("0\t2\t3\t170"));
    params.numberDensity = 0;
    computePairCorrelation(kPair.data(), 2);
    computeShellStructure(kPair.data(), 2);
    for (const char* name : {"run7PCF Data.xls", "run7ShellStructure.xls", "2Drun7PCF Data.xls",
                             "2Drun7ShellStructure.xls"}) {
        const std::string all = test::readFile(name);
        EXPECT_EQ(all.find("nan"), std::string::npos) << name;
        EXPECT_EQ(all.find("inf"), std::string::npos) << name;
    }
}

TEST_F(StructureAnalysis, ReplayRewritesTheClockForPairCorrelationAndShellsOnly) {
    params.runMode = 2;
    params.currentFrame = 7;
    params.timeStep = 0.5;
    params.writeFreq = 4;
    computeFieldStructure(kPair.data(), 2);
    EXPECT_EQ(params.simTime, 2);
    computePairCorrelation(kPair.data(), 2);
    EXPECT_EQ(params.simTime, 14);  // 7 frames of 4 steps of 0.5
    params.simTime = 2;
    computeShellStructure(kPair.data(), 2);
    EXPECT_EQ(params.simTime, 14);
    // The clock is rewritten before the first row.
    EXPECT_EQ(field(lines("run7PCF Data.xls").at(1), 0), "7");
    EXPECT_EQ(field(lines("run7ShellStructure.xls").at(0), 0), "7");
}

TEST_F(FieldStructure, WorkedExampleAndTheBackgroundAlone) {
    params.totalCharge = -2e4;
    params.debyeSphereCount = 1.0 / 3;  // Coulomb divisor 3 ND = 1
    // Two grains carry all of totalCharge; a dead particle in flight outside adds nothing.
    const std::vector<Particle> grains = {grain(1.55, 0, 0, 1, -1e4), grain(0, 0, 1.55, 1, -1e4),
                                          grain(0, 0, 15, 1, -1e4)};
    computeFieldStructure(grains.data(), 3);
    auto rows = lines("run7EFieldStruct.xls");
    ASSERT_EQ(rows.size(), 31u);
    // Row 0: no charge, no field, the whole integral from the wall as potential.
    EXPECT_EQ(rows[0], "1\t0\t0\t0\t-2897.52\t140");
    // Inside the grains only the background: +2500, a quarter of a grain charge.
    EXPECT_EQ(rows[15], "1\t0.5\t0.25\t1111.11\t-3730.86\t140");
    EXPECT_EQ(rows[16], "1\t0.533333\t-1.69659\t-6627.31\t-3455.05\t140");
    EXPECT_EQ(rows[29], "1\t0.966667\t-0.193407\t-229.973\t-11.4987\t140");
    EXPECT_EQ(rows[30], "1\t1\t0\t0\t0\t140");  // Qnet is exactly 0 at the wall

    // The background alone, a uniform sphere carrying +2e4: Qnet = 2e4 (r/R)^3, E = 2e4 r / 27.
    // E is linear, so the trapezoidal potential is exact: P = 2e4 (R^2 - r^2) / 54.
    params.potentialOutput2D = 1;
    params.efieldOutput2D = 1;
    computeFieldStructure(nullptr, 0);
    rows = lines("run7EFieldStruct.xls");
    ASSERT_EQ(rows.size(), 62u);
    EXPECT_EQ(rows[31], "1\t0\t0\t0\t3333.33\t140");
    EXPECT_EQ(rows[46], "1\t0.5\t0.25\t1111.11\t2500\t140");
    EXPECT_EQ(rows[61], "1\t1\t2\t2222.22\t0\t140");
    // The 2D rows scale to the field at the wall and the potential at the centre; r = R/2 is
    // cell 16 of 31 in steps of 1/30.
    EXPECT_EQ(field(lines("2Drun7EField.xls").at(0), 16), "0.5");
    const std::string field2D = lines("2Drun7EField.xls").at(1);
    const std::string potential2D = lines("2Drun7Potential.xls").at(1);
    EXPECT_EQ(field(field2D, 16) + " " + field(field2D, 32), "0.5 2222.22");
    EXPECT_EQ(field(potential2D, 16) + " " + field(potential2D, 32), "0.75 3333.33");
    EXPECT_FALSE(std::filesystem::exists("run7EField.xls"));

    // No background either: a field zero everywhere is written with a normaliser of 1, in a row
    // below the first (the header comes once).
    params.totalCharge = 0;
    computeFieldStructure(nullptr, 0);
    EXPECT_EQ(lines("2Drun7EField.xls").at(2), zeroRow2D("1\t2\t3\t170"));
}

}  // namespace
}  // namespace qv
