#include "analysis/structure.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "sim/particle.h"
#include "sim/simulation.h"
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

// Quiet analyses (as from the time step) in an apparatus of radius 3, at the density of two live
// grains with one electron per Debye sphere; the time column reads 1.
class StructureAnalysis : public ::testing::Test {
  protected:
    StructureAnalysis() {
        sim.run.baseName = "run7";
        sim.model.apparatusRadius = 3;
        sim.model.debyeSphereCount = 1;
        sim.model.numberDensity = 2.0 / 27;
        sim.numParticles = 2;
        sim.reserve.numDeadParticles = 0;
        sim.switches.automatedAnalysis = 1;
        sim.clock.simTime = 2;
        sim.model.dustPlasmaFrequency = 0.5;
        sim.thermostat.ccple = 140;
        sim.thermostat.ccpleAverage = 150;
        sim.thermostat.ccpleTarget = 170;
        sim.model.grainMass = 4;
        sim.model.grainCharge = -1e4;
        // No 2D files: the set-up's "0(no)" answers.
        sim.switches.pcfOutput2D = sim.switches.shellOutput2D = 0;
        sim.switches.potentialOutput2D = sim.switches.efieldOutput2D = 0;
    }

    test::Sandbox box_;
};

// 1.1 apart, both 1.05 from the centre.
const std::vector<Particle> kPair = {grain(0.55, 0.9, 0, 3), grain(-0.55, 0.9, 0, 5)};

// Pairs: w = 0.2, 31 bins; the pair is in bin 5: g(5) = 2 / (1 * 0.4 * 3 * 2/27) = 22.5, a peak
// at 1/3. Shells: w = 0.1, 31 shells; both grains in shell 10, where D_10 = 100 V = 2/45. The 2D
// rows end in gmax (nmax), the live grains, Rapar and the unheaded ccpleTarget.
TEST_F(StructureAnalysis, WorkedExamplesOfPairCorrelationAndShells) {
    sim.switches.pcfOutput2D = 1;
    sim.switches.shellOutput2D = 1;
    computePairCorrelation(kPair.data(), 2);
    computeShellStructure(kPair.data(), 2);
    EXPECT_EQ(box_.console.output(), "");
    test::expectGolden("structure_worked_example.txt", test::filesHere());
}

// Sample counts of 0 or below are refused. Pairs: 10 samples give w = 0.6, the pair in bin 1 and
// a peak at 0.2 Rapar. Shells: 10.5 gives w = 3 / 10.5 and 11 shells; both grains in shell 3.
TEST_F(StructureAnalysis, InteractiveCallsAskForSampleCountsAboveZero) {
    sim.switches.automatedAnalysis = 0;
    sim.switches.shellOutput2D = 1;
    test::ScriptedConsole console("0\n-2\n10\n0\n-1\n10.5\n");
    computePairCorrelation(kPair.data(), 2);
    computeShellStructure(kPair.data(), 2);
    test::expectGolden("structure_interactive.txt", console.output() + test::filesHere());
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

TEST_F(StructureAnalysis, PeaksNeedARiseAFallAndFourLowerBinsAfterThem) {
    // The last candidate is bin B - 6 = 25; a maximum in the last five bins is never a peak.
    EXPECT_EQ(peaks({25}), "\t1.66667");
    EXPECT_EQ(peaks({26}), "");
    // g(5) is not above g(8) (1/25 against 3/64): bin 5 fails its window, bin 8 is the peak.
    EXPECT_EQ(peaks({5, 8, 8, 8}), "\t0.533333");
    // After the peak at 5 the scan resumes at bin 9: the rise into 8 is never seen, into 9 is.
    EXPECT_EQ(peaks({5, 5, 8}), "\t0.333333");
    EXPECT_EQ(peaks({5, 5, 9}), "\t0.333333\t0.6");
}

TEST_F(StructureAnalysis, InnermostShellShowsOnlyMassAndGrainsOutsideEnterOnlyN) {
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

// Without grains gmax and nmax stay 0: zero cells and the normaliser as it is; the 2D rows count
// the 2 live grains. Without a density yet every divided cell is 0, never nan or inf.
TEST_F(StructureAnalysis, EmptyBinsOrMissingDensityWriteZerosNotNaN) {
    sim.switches.pcfOutput2D = 1;
    sim.switches.shellOutput2D = 1;
    sim.numParticles = 3;
    sim.reserve.numDeadParticles = 1;
    computePairCorrelation(nullptr, 0);
    computeShellStructure(nullptr, 0);
    sim.model.numberDensity = 0;
    computePairCorrelation(kPair.data(), 2);
    computeShellStructure(kPair.data(), 2);
    test::expectGolden("structure_empty.txt", test::filesHere());
}

// A replayed frame stands for writeFreq steps: 7 frames of 4 steps of 0.5 set the clock to 14
// before the first pair correlation or shell row (time column 7); the field keeps the clock (1).
TEST_F(StructureAnalysis, ReplayRewritesTheClockForPairCorrelationAndShellsOnly) {
    sim.run.runMode = 2;
    sim.clock.currentFrame = 7;
    sim.model.timeStep = 0.5;
    sim.clock.writeFreq = 4;
    computeFieldStructure(kPair.data(), 2);
    computePairCorrelation(kPair.data(), 2);
    sim.clock.simTime = 2;
    computeShellStructure(kPair.data(), 2);
    EXPECT_EQ(sim.clock.simTime, 14);
    test::expectGolden("structure_replay.txt", test::filesHere());
}

// Three calls, appended. Two grains carry all of totalCharge; a dead particle in flight outside
// adds nothing. Row 0 has no charge and no field, the whole integral from the wall as potential;
// inside the grains (r = R/2) only the background: +2500, a quarter of a grain charge; Qnet is
// exactly 0 at the wall. Then the background alone, a uniform sphere carrying +2e4: Qnet = 2e4
// (r/R)^3, E = 2e4 r / 27, linear, so the trapezoidal potential is exact: P = 2e4 (R^2 - r^2) / 54;
// its 2D rows scale to the field at the wall and the potential at the centre. Last no background
// either: a field zero everywhere has a normaliser of 1, in a row below the first. Then one grain
// in the last shell: Qnet -1 and E = -1e4 / 9 at the wall, zero inside.
TEST_F(StructureAnalysis, FieldWorkedExampleAndTheBackgroundAlone) {
    sim.model.totalCharge = -2e4;
    sim.model.debyeSphereCount = 1.0 / 3;  // Coulomb divisor 3 ND = 1
    const std::vector<Particle> grains = {grain(1.55, 0, 0, 1, -1e4), grain(0, 0, 1.55, 1, -1e4),
                                          grain(0, 0, 15, 1, -1e4)};
    computeFieldStructure(grains.data(), 3);
    sim.switches.potentialOutput2D = 1;
    sim.switches.efieldOutput2D = 1;
    computeFieldStructure(nullptr, 0);
    sim.model.totalCharge = 0;
    computeFieldStructure(nullptr, 0);
    const Particle lastShell = grain(2.95, 0, 0, 1, -1e4);  // seen at the wall only
    computeFieldStructure(&lastShell, 1);
    test::expectGolden("structure_field.txt", test::filesHere());
}

}  // namespace
}  // namespace qv
