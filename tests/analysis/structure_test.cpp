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

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t begin = 0;
    for (std::size_t tab; (tab = line.find('\t', begin)) != std::string::npos; begin = tab + 1) {
        fields.push_back(line.substr(begin, tab - begin));
    }
    fields.push_back(line.substr(begin));
    return fields;
}

std::string file(const std::string& name) {
    return test::readFile(name);
}

// k / 30 and k / 15 with six significant digits: the radius columns of 30 field shells and of
// the 31 pair-correlation bins spanning twice Rapar.
const char* const kThirtieths[] = {
    "0",   "0.0333333", "0.0666667", "0.1", "0.133333", "0.166667", "0.2", "0.233333", "0.266667",
    "0.3", "0.333333",  "0.366667",  "0.4", "0.433333", "0.466667", "0.5", "0.533333", "0.566667",
    "0.6", "0.633333",  "0.666667",  "0.7", "0.733333", "0.766667", "0.8", "0.833333", "0.866667",
    "0.9", "0.933333",  "0.966667",  "1"};
const char* const kFifteenths[] = {
    "0",        "0.0666667", "0.133333", "0.2",      "0.266667", "0.333333", "0.4",      "0.466667",
    "0.533333", "0.6",       "0.666667", "0.733333", "0.8",      "0.866667", "0.933333", "1",
    "1.06667",  "1.13333",   "1.2",      "1.26667",  "1.33333",  "1.4",      "1.46667",  "1.53333",
    "1.6",      "1.66667",   "1.73333",  "1.8",      "1.86667",  "1.93333",  "2"};

// A quiet analysis (as from the time step) of a cloud in an apparatus of radius 3, with the
// density of two live grains and one Debye-sphere electron, at time column 1.
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

    std::string consoleOutput() const { return console_->output(); }

    test::TempDir dir_;
    std::unique_ptr<test::ScriptedConsole> console_;
};

// ---------------------------------------------------------------------------------------------
// Pair correlation

using PairCorrelation = StructureAnalysis;

// Each bin k gets one pair of grains (k + 1/2) w apart (w = 0.2); the pairs are 1000 apart, far
// beyond the binned range, so no cross pair is counted.
std::vector<Particle> pairsInBins(std::initializer_list<int> bins) {
    std::vector<Particle> grains;
    double y = 0;
    for (int k : bins) {
        grains.push_back(grain(0, y, 0));
        grains.push_back(grain((k + 0.5) * 0.2, y, 0));
        y += 1000;
    }
    return grains;
}

std::string peakLine(const std::vector<Particle>& grains) {
    test::TempDir fresh;
    computePairCorrelation(grains.data(), static_cast<int>(grains.size()));
    return splitLines(file("run7PCF Data.xls")).at(0);
}

TEST_F(PairCorrelation, WorkedExampleWritesThePeakLineAndOneRowPerBin) {
    const std::vector<Particle> grains = {grain(0.2, 0, 0), grain(1.3, 0, 0)};
    computePairCorrelation(grains.data(), 2);

    // w = 0.2, 31 bins; the pair is 1.1 apart, in bin 5, g(5) = 2 / (1 * 0.4 * 3 * 2/27).
    std::string expected = "\t\t\t\tPeaks:\t0.333333\tCCPLE:\t150\tTarget:170\n";
    for (int k = 0; k <= 30; ++k) {
        expected += std::string("1\t") + kFifteenths[k] + (k == 5 ? "\t22.5\t1\n" : "\t0\t0\n");
    }
    EXPECT_EQ(file("run7PCF Data.xls"), expected);
    EXPECT_EQ(consoleOutput(), "");  // the quiet call says nothing
    EXPECT_FALSE(std::filesystem::exists("2Drun7PCF Data.xls"));
    EXPECT_EQ(params.simTime, 2);

    // A second call appends a second block below the first.
    computePairCorrelation(grains.data(), 2);
    EXPECT_EQ(file("run7PCF Data.xls"), expected + expected);
}

TEST_F(PairCorrelation, InteractiveCallAsksForSamplesAndPrintsThePeaks) {
    params.automatedAnalysis = 0;
    test::ScriptedConsole console("0\n-2\n10\n");
    const std::vector<Particle> grains = {grain(0.2, 0, 0), grain(1.3, 0, 0)};
    computePairCorrelation(grains.data(), 2);

    const std::string ask = "Enter number of samples along Rapar";
    const std::string refusal = "The number of samples must be a whole number from 1 to 100000.\n";
    // w = 0.6: the pair lands in bin 1, a peak at 0.2 Rapar.
    EXPECT_EQ(console.output(), "PCF Function loaded\n\n" + ask + refusal + ask + refusal + ask +
                                    "\nCalculating...\n\n0.2\n\n");
    const auto lines = splitLines(file("run7PCF Data.xls"));
    ASSERT_EQ(lines.size(), 12u);  // the peak line and B = 11 rows
    EXPECT_EQ(lines[0], "\t\t\t\tPeaks:\t0.2\tCCPLE:\t150\tTarget:170");
    EXPECT_EQ(lines[2], "1\t0.2\t20.8333\t1");
    EXPECT_EQ(lines[11], "1\t2\t0\t0");
}

TEST_F(PairCorrelation, PeaksNeedARiseAFallAndFourLowerBinsAfterThem) {
    const std::string tail = "\tCCPLE:\t150\tTarget:170";
    // The last candidate is bin B - 6 = 25; a maximum in the last five bins is never a peak.
    EXPECT_EQ(peakLine(pairsInBins({25})), "\t\t\t\tPeaks:\t1.66667" + tail);
    EXPECT_EQ(peakLine(pairsInBins({26})), "\t\t\t\tPeaks:" + tail);
    // g(5) is not above g(8) (1/25 against 3/64): bin 5 fails its window, bin 8 is the peak.
    EXPECT_EQ(peakLine(pairsInBins({5, 8, 8, 8})), "\t\t\t\tPeaks:\t0.533333" + tail);
    // After the peak at 5 the scan resumes at bin 9: the rise into 8 is never seen, the rise
    // into 9 is.
    EXPECT_EQ(peakLine(pairsInBins({5, 5, 8})), "\t\t\t\tPeaks:\t0.333333" + tail);
    EXPECT_EQ(peakLine(pairsInBins({5, 5, 9})), "\t\t\t\tPeaks:\t0.333333\t0.6" + tail);
}

TEST_F(PairCorrelation, PairsInBinZeroOrBeyondTheLastBinLeaveEveryValueZero) {
    // 0.1 apart (bin 0, never reported) and 6.21 apart (beyond B w = 6.2, dropped).
    const std::vector<Particle> grains = {grain(0, 0, 0), grain(0.1, 0, 0), grain(0, 1000, 0),
                                          grain(6.21, 1000, 0)};
    computePairCorrelation(grains.data(), 4);
    std::string expected = "\t\t\t\tPeaks:\tCCPLE:\t150\tTarget:170\n";
    for (int k = 0; k <= 30; ++k) expected += std::string("1\t") + kFifteenths[k] + "\t0\t0\n";
    EXPECT_EQ(file("run7PCF Data.xls"), expected);

    // Just inside the last bin the pair is counted.
    test::TempDir fresh;
    const std::vector<Particle> inside = {grain(0, 0, 0), grain(6.19, 0, 0)};
    computePairCorrelation(inside.data(), 2);
    const auto lines = splitLines(file("run7PCF Data.xls"));
    EXPECT_EQ(splitFields(lines[31]).at(3), "1");
}

TEST_F(PairCorrelation, EmptyCloudAndMissingDensityGiveZeroNotNaN) {
    computePairCorrelation(nullptr, 0);
    params.numberDensity = 0;
    const std::vector<Particle> grains = {grain(0.2, 0, 0), grain(1.3, 0, 0)};
    computePairCorrelation(grains.data(), 2);
    const std::string text = file("run7PCF Data.xls");
    EXPECT_EQ(text.find("nan"), std::string::npos);
    EXPECT_EQ(text.find("inf"), std::string::npos);
    EXPECT_EQ(splitLines(text).size(), 64u);
}

TEST_F(PairCorrelation, ReplayTakesItsTimeFromTheFrameNumber) {
    params.runMode = 2;
    params.currentFrame = 7;
    params.timeStep = 0.5;
    params.writeFreq = 4;
    const std::vector<Particle> grains = {grain(0.2, 0, 0), grain(1.3, 0, 0)};
    computePairCorrelation(grains.data(), 2);
    EXPECT_EQ(params.simTime, 14);  // 7 frames of 4 steps of 0.5
    const auto lines = splitLines(file("run7PCF Data.xls"));
    for (std::size_t i = 1; i < lines.size(); ++i) EXPECT_EQ(lines[i].substr(0, 2), "7\t");
}

TEST_F(PairCorrelation, FeedsTheTwoDimensionalFileOneRowPerCall) {
    params.pcfOutput2D = 1;
    const std::vector<Particle> grains = {grain(0.2, 0, 0), grain(1.3, 0, 0)};
    computePairCorrelation(grains.data(), 2);
    computePairCorrelation(grains.data(), 2);

    std::string header = "Time/Radius\t";
    std::string row = "1\t";
    for (int k = 0; k <= 30; ++k) {
        header += std::string(kFifteenths[k]) + "\t";
        row += k == 5 ? "1\t" : "0\t";
    }
    header += "Normalisation_Factor\tParticles\tRadius Apar\n";
    row += "22.5\t2\t3\t170\n";  // gmax, live grains, Rapar, and the unheaded ccpleTarget
    EXPECT_EQ(file("2Drun7PCF Data.xls"), header + row + row);
}

// The pair-distance law of a uniform ball of radius R: the distance of two random points has the
// probability density f(d) = 3 d^2 / R^3 (1 - 3d/(4R) + d^3/(16 R^3)), whose integral is
double ballPairFraction(double d, double radius) {
    const double x = d / radius;
    return x * x * x - 9 * x * x * x * x / 16 + x * x * x * x * x * x / 32;
}

// g(k) of uniform clouds of n grains: (n-1)/n (1 - 3r/(4R) + r^3/(16R^3)) at r = k w for narrow
// bins. The histogram is normalised by the shell 4 pi (k w)^2 w at the bin's inner edge, so the
// exact expectation is the law averaged over [k w, (k+1) w) and divided by that shell.
double expectedPairCorrelation(int n, int k, double w, double radius) {
    const double r = k * w;
    const double inBin = ballPairFraction(r + w, radius) - ballPairFraction(r, radius);
    return (n - 1.0) / n * inBin / (3 * r * r * w / (radius * radius * radius));
}

// Mean g(k) of `clouds` calls, each on a fresh uniform random cloud of n grains filling the
// apparatus of radius R, all analysed, none dead, at the density of the cloud.
std::vector<double> meanPairCorrelation(int n, int clouds, double radius, unsigned seed) {
    params.apparatusRadius = radius;
    params.debyeSphereCount = 1;
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
    const auto lines = splitLines(file("run7PCF Data.xls"));
    EXPECT_EQ(lines.size(), 32u * clouds);
    std::vector<double> mean(31, 0.0);
    for (int c = 0; c < clouds; ++c) {
        for (int k = 0; k <= 30; ++k) {
            mean[k] += std::stod(splitFields(lines.at(32 * c + 1 + k)).at(2)) / clouds;
        }
    }
    return mean;
}

TEST_F(PairCorrelation, LargeUniformCloudFollowsThePairDistanceLawOfABall) {
    constexpr int n = 2000;
    constexpr double radius = 10;
    const auto g = meanPairCorrelation(n, 6, radius, 2024);
    const double w = 2 * radius / 30;
    EXPECT_EQ(g[0], 0);
    // The noise is a fraction of a percent inside and about 1.5 % at the far end, where only
    // grains near opposite walls pair up; the last bins hold too few pairs to test.
    for (int k = 1; k <= 25; ++k) {
        const double expected = expectedPairCorrelation(n, k, w, radius);
        EXPECT_NEAR(g[k], expected, 0.05 * expected) << "bin " << k;
    }
    // The inner-edge shell makes the low bins read high: bin 1 holds (1 + 1 + 1/3) shells.
    EXPECT_NEAR(g[1], 7.0 / 3, 0.2);
}

TEST_F(PairCorrelation, SmallCloudsCarryTheFactorOfPartnersOverGrains) {
    // Ten grains see nine partners each: g sits 10 % below the law of a continuum.
    constexpr int n = 10;
    constexpr double radius = 10;
    const auto g = meanPairCorrelation(n, 2000, radius, 77);
    const double w = 2 * radius / 30;
    double measured = 0;
    double expected = 0;
    for (int k = 3; k <= 25; ++k) {
        measured += g[k];
        expected += expectedPairCorrelation(n, k, w, radius);
    }
    EXPECT_NEAR(measured / expected, 1.0, 0.03);
}

// ---------------------------------------------------------------------------------------------
// Shell structure

using ShellStructure = StructureAnalysis;

TEST_F(ShellStructure, WorkedExampleWritesNineColumnsPerShell) {
    const std::vector<Particle> grains = {grain(1.05, 0, 0, 3), grain(0, 1.07, 0, 5)};
    computeShellStructure(grains.data(), 2);

    // w = 0.1, 31 shells; both grains in shell 10, D_10 = 100 V = 2/45.
    std::string expected;
    for (int k = 0; k <= 30; ++k) {
        expected += std::string("1\t") + kThirtieths[k] +
                    (k == 10 ? "\t2\t45\t1\t8\t180\t2\t140\n" : "\t0\t0\t0\t0\t0\t0\t140\n");
    }
    EXPECT_EQ(file("run7ShellStructure.xls"), expected);
    EXPECT_EQ(consoleOutput(), "");
    EXPECT_FALSE(std::filesystem::exists("2Drun7ShellStructure.xls"));
}

TEST_F(ShellStructure, InnermostShellShowsMassButNoCount) {
    const std::vector<Particle> grains = {grain(0.05, 0, 0, 7), grain(1.05, 0, 0, 3)};
    computeShellStructure(grains.data(), 2);
    const auto lines = splitLines(file("run7ShellStructure.xls"));
    ASSERT_EQ(lines.size(), 31u);
    EXPECT_EQ(lines[0], "1\t0\t0\t0\t0\t7\t0\t1.75\t140");
    EXPECT_EQ(lines[10], "1\t0.333333\t1\t22.5\t1\t3\t67.5\t0.75\t140");
}

TEST_F(ShellStructure, FractionalSampleCountAtThePromptGivesElevenShells) {
    params.automatedAnalysis = 0;
    params.shellOutput2D = 1;
    test::ScriptedConsole console("0\n-1\n10.5\n");
    const std::vector<Particle> grains = {grain(1.05, 0, 0, 3), grain(0, 1.07, 0, 5)};
    computeShellStructure(grains.data(), 2);

    const std::string ask = "Enter number of samples along Rapar : \n";
    const std::string refusal = "The number of samples must be above 0 and at most 100000.\n";
    EXPECT_EQ(console.output(), "\x1b[2J\x1b[HAnalysing please wait...\n\n" + ask + refusal + ask +
                                    refusal + ask + "\nFinished shell calculation\n\n");
    // w = 3 / 10.5; both grains are in shell 3.
    const auto lines = splitLines(file("run7ShellStructure.xls"));
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(splitFields(lines[3]).at(1), "0.285714");
    EXPECT_EQ(splitFields(lines[3]).at(2), "2");
    EXPECT_EQ(splitFields(lines[3]).at(4), "1");
    EXPECT_EQ(splitFields(lines[10]).at(1), "0.952381");
    // The 2D header has 1 + 11 radii + 3 headings; its row one field more.
    const auto twoD = splitLines(file("2Drun7ShellStructure.xls"));
    ASSERT_EQ(twoD.size(), 2u);
    EXPECT_EQ(splitFields(twoD[0]).size(), 15u);
    EXPECT_EQ(splitFields(twoD[1]).size(), 16u);
}

TEST_F(ShellStructure, GrainsOutsideTheApparatusAreNotCountedAndEmptyShellsGiveZero) {
    // Unfired dead particles parked outside: they enter N (and V) but no shell.
    const std::vector<Particle> grains = {grain(3.5, 0, 0, 3), grain(0, 0, -50, 5)};
    params.shellOutput2D = 1;
    computeShellStructure(grains.data(), 2);
    std::string expected;
    for (int k = 0; k <= 30; ++k) {
        expected += std::string("1\t") + kThirtieths[k] + "\t0\t0\t0\t0\t0\t0\t140\n";
    }
    EXPECT_EQ(file("run7ShellStructure.xls"), expected);
    // nmax is 0: the 2D cells are 0 too.
    const auto twoD = splitLines(file("2Drun7ShellStructure.xls"));
    ASSERT_EQ(twoD.size(), 2u);
    std::string row = "1\t";
    for (int k = 0; k <= 30; ++k) row += "0\t";
    EXPECT_EQ(twoD[1], row + "0\t2\t3\t170");
}

TEST_F(ShellStructure, EmptyCloudWritesZeroRows) {
    computeShellStructure(nullptr, 0);
    const std::string text = file("run7ShellStructure.xls");
    EXPECT_EQ(text.find("nan"), std::string::npos);
    EXPECT_EQ(splitLines(text).size(), 31u);
}

TEST_F(ShellStructure, ReplayTakesItsTimeFromTheFrameNumber) {
    params.runMode = 2;
    params.currentFrame = 7;
    params.timeStep = 0.5;
    params.writeFreq = 4;
    const std::vector<Particle> grains = {grain(1.05, 0, 0, 3)};
    computeShellStructure(grains.data(), 1);
    EXPECT_EQ(params.simTime, 14);
    for (const auto& line : splitLines(file("run7ShellStructure.xls"))) {
        EXPECT_EQ(line.substr(0, 2), "7\t");
    }
}

TEST_F(ShellStructure, FeedsTheTwoDimensionalFileWithNormalisedCounts) {
    params.shellOutput2D = 1;
    const std::vector<Particle> grains = {grain(1.05, 0, 0, 3), grain(0, 1.07, 0, 5)};
    computeShellStructure(grains.data(), 2);
    std::string header = "Time/Radius\t";
    std::string row = "1\t";
    for (int k = 0; k <= 30; ++k) {
        header += std::string(kThirtieths[k]) + "\t";
        row += k == 10 ? "1\t" : "0\t";
    }
    EXPECT_EQ(file("2Drun7ShellStructure.xls"),
              header + "Normalisation_Factor\tParticles\tRadius Apar\n" + row + "45\t2\t3\t170\n");
}

// ---------------------------------------------------------------------------------------------
// Field and potential profile

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
    const auto lines = splitLines(file("run7EFieldStruct.xls"));
    ASSERT_EQ(lines.size(), 31u);
    // Row 0: no charge, no field, the whole integral from the wall as potential.
    EXPECT_EQ(lines[0], "1\t0\t0\t0\t-2897.52\t140");
    // Inside the grains only the background: +2500, a quarter of a grain charge.
    EXPECT_EQ(lines[15], "1\t0.5\t0.25\t1111.11\t-3730.86\t140");
    EXPECT_EQ(lines[16], "1\t0.533333\t-1.69659\t-6627.31\t-3455.05\t140");
    EXPECT_EQ(lines[29], "1\t0.966667\t-0.193407\t-229.973\t-11.4987\t140");
    EXPECT_EQ(lines[30], "1\t1\t0\t0\t0\t140");
    EXPECT_EQ(consoleOutput(), "");
}

TEST_F(FieldStructure, NetChargeVanishesAtTheWallWhenEveryChargeIsInside) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> u(-3, 3);
    std::uniform_int_distribution<int> charge(-12000, -8000);
    std::vector<Particle> grains;
    double total = 0;
    while (grains.size() < 300) {
        Particle p = grain(u(rng), u(rng), u(rng), 1, charge(rng));
        if (p.distanceFromCentre() >= 3) continue;
        total += p.q;
        grains.push_back(p);
    }
    params.totalCharge = total;
    // A dead particle in flight outside the apparatus adds nothing.
    grains.push_back(grain(0, 0, 15, 1, -1e4));
    computeFieldStructure(grains.data(), static_cast<int>(grains.size()));
    const auto lines = splitLines(file("run7EFieldStruct.xls"));
    ASSERT_EQ(lines.size(), 31u);
    EXPECT_EQ(lines[30], "1\t1\t0\t0\t0\t140");
}

TEST_F(FieldStructure, EmptyCloudGivesTheBackgroundAlone) {
    computeFieldStructure(nullptr, 0);
    const auto lines = splitLines(file("run7EFieldStruct.xls"));
    ASSERT_EQ(lines.size(), 31u);
    // A uniform sphere carrying +2e4: Qnet = 2e4 (r/R)^3, E = Qnet / r^2 (3 ND = 1) is linear in
    // r, so the trapezoidal potential is exact: P = 2e4 (R^2 - r^2) / (2 R^3).
    for (int k = 0; k <= 30; ++k) {
        const auto f = splitFields(lines[k]);
        ASSERT_EQ(f.size(), 6u);
        const double r = 0.1 * k;
        const double q = 2e4 * std::pow(r / 3, 3);
        const double e = 2e4 * r / 27;
        const double p = 2e4 * (9 - r * r) / 54;
        EXPECT_NEAR(std::stod(f[2]), q / 1e4, 1e-5 * std::max(q / 1e4, 1.0)) << k;
        EXPECT_NEAR(std::stod(f[3]), e, 1e-5 * std::max(e, 1.0)) << k;
        EXPECT_NEAR(std::stod(f[4]), p, 1e-5 * std::max(p, 1.0)) << k;
    }
    EXPECT_EQ(lines[30], "1\t1\t2\t2222.22\t0\t140");
}

TEST_F(FieldStructure, FeedsThePotentialAndFieldFiles) {
    params.potentialOutput2D = 1;
    params.efieldOutput2D = 1;
    computeFieldStructure(nullptr, 0);
    EXPECT_FALSE(std::filesystem::exists("run7Potential.xls"));
    EXPECT_FALSE(std::filesystem::exists("run7EField.xls"));

    std::string header = "Time/Radius\t";
    for (int k = 0; k <= 30; ++k) header += std::string(kThirtieths[k]) + "\t";
    header += "Normalisation_Factor\tParticles\tRadius Apar\n";
    // The background-only field rises linearly to the wall, the potential falls to 0 there.
    std::string fieldRow = "1\t";
    std::string potentialRow = "1\t";
    for (int k = 0; k <= 30; ++k) {
        std::ostringstream e;
        std::ostringstream p;
        e << k / 30.0 << '\t';
        p << (900.0 - k * k) / 900 << '\t';
        fieldRow += e.str();
        potentialRow += p.str();
    }
    EXPECT_EQ(file("2Drun7EField.xls"), header + fieldRow + "2222.22\t2\t3\t170\n");
    EXPECT_EQ(file("2Drun7Potential.xls"), header + potentialRow + "3333.33\t2\t3\t170\n");
}

TEST_F(FieldStructure, ProfileZeroEverywhereIsWrittenWithANormaliserOfOne) {
    params.totalCharge = 0;
    params.efieldOutput2D = 1;
    computeFieldStructure(nullptr, 0);
    std::string row = "1\t";
    for (int k = 0; k <= 30; ++k) row += "0\t";
    EXPECT_EQ(splitLines(file("2Drun7EField.xls")).at(1), row + "1\t2\t3\t170");
}

TEST_F(FieldStructure, ReplayKeepsTheSimulationTime) {
    params.runMode = 2;
    params.currentFrame = 7;
    params.timeStep = 0.5;
    params.writeFreq = 4;
    computeFieldStructure(nullptr, 0);
    EXPECT_EQ(params.simTime, 2);
    EXPECT_EQ(splitLines(file("run7EFieldStruct.xls")).at(0).substr(0, 2), "1\t");
}

// ---------------------------------------------------------------------------------------------
// Radial profile

using RadialProfile = StructureAnalysis;

TEST_F(RadialProfile, HeaderOnceThenOneRowPerCallWithTheExtraTargetColumn) {
    const double values[] = {9, 1, 2, -4, 8};
    writeRadialProfile(0.5, 3, "run7Test.xls", values, 1, 4, 0.25);
    writeRadialProfile(1.5, 2, "run7Test.xls", values, 3, 8, 0.5);
    EXPECT_EQ(file("2Drun7Test.xls"),
              "Time/Radius\t0\t0.25\t0.5\tNormalisation_Factor\tParticles\tRadius Apar\n"
              "0.5\t0.25\t0.5\t-1\t4\t2\t3\t170\n"
              "1.5\t-0.5\t1\t8\t2\t3\t170\n");
    EXPECT_FALSE(std::filesystem::exists("run7Test.xls"));
}

TEST_F(RadialProfile, ExistingFileGetsNoSecondHeaderAndANormaliserOfZeroGivesZeroCells) {
    {
        auto earlier = openForAppend("2Drun7Test.xls");
        earlier << "earlier run\n";
    }
    params.numDeadParticles = 1;
    params.numParticles = 5;
    const double values[] = {1, 2};
    writeRadialProfile(2, 2, "run7Test.xls", values, 0, 0, 0.5);
    EXPECT_EQ(file("2Drun7Test.xls"), "earlier run\n2\t0\t0\t0\t4\t3\t170\n");
}

}  // namespace
}  // namespace qv
