// Worked examples of the analyses and the rows of their files.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/pair_histogram.h"
#include "analysis/runlog.h"
#include "analysis/structure.h"
#include "analysis/tracker.h"
#include "analysis/velocity_outputs.h"
#include "sim/parallel.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

Particle grain(double x, double y, double z, double mass = 0, double charge = 0) {
    return {{x, y, z}, {}, {}, mass, charge};
}

// One column per speed sample the run plans: the start and every analysis period after it.
TEST(VelocityOutputs, MaxboltzHasAColumnPerPlannedSample) {
    const struct {
        int frames, period;
        long columns;
    } cases[] = {{100, 30, 4}, {90, 30, 4}, {29, 30, 1}, {100, 0, 1},
                 {-5, 30, 1},  {0, 1, 1},   {1, 1, 2}};
    for (const auto& c : cases) {
        test::Sandbox box;
        Simulation sim;
        sim.run.baseName = "m", sim.switches.speedDistributionOn = true, sim.numParticles = 1;
        sim.clock.framesToCalculate = c.frames, sim.clock.analysisFreq = c.period;
        writeMaxboltzTable(sim);
        const std::string table = test::readFile("mMaxboltz.xls");
        EXPECT_EQ(std::count(table.begin(), table.end(), '\t'), c.columns)
            << c.frames << " " << c.period;
    }
}

// Rapar 30, cells 1 wide from -30: the centre is cell 30, the layer just outside cell 60, and
// beyond it nothing is counted. Row y = cell 30 of the X/Y plane, after the label column.
TEST(VelocityOutputs, SpeedDensityCountsTheCentreAndTheLayerOutsideButNothingBeyond) {
    test::Sandbox box;
    Simulation sim;
    sim.run.baseName = "v", sim.model.apparatusRadius = 30;
    std::vector<Particle> p = {grain(0.5, 0.5, 0.5), grain(30.5, 0.5, 0.5), grain(31.5, 0.5, 0),
                               grain(-29.5, -29.5, 0.5)};  // the last in x and y cell 0
    for (int i = 0; i < 4; ++i) p[i].setVelocity(0, 1 << i);
    writeSpeedDensity(sim, p.data(), 4);
    std::istringstream file(test::readFile("v2dveldensity.xls"));
    std::string row;
    for (int line = 0; line <= 31; ++line) std::getline(file, row);
    std::vector<std::string> cells;
    std::istringstream fields(row);
    for (std::string f; std::getline(fields, f, '\t');) cells.push_back(f);
    ASSERT_GT(cells.size(), 62u);
    EXPECT_EQ(cells[1 + 30], "1");
    EXPECT_EQ(cells[1 + 60], "2");
    EXPECT_EQ(std::count(cells.begin() + 1, cells.begin() + 62, "0"), 59);
    EXPECT_EQ(cells[64 + 1 + 30], "1");   // X/Z plane, x and z cell 30: grain 1
    EXPECT_EQ(cells[64 + 1], "8");        // x cell 0: grain 4
    EXPECT_EQ(cells[128 + 1], "8");       // Y/Z plane, y cell 0: grain 4
    EXPECT_EQ(cells[128 + 1 + 30], "3");  // y and z cell 30: grains 1 and 2, not 3 (beyond in x)
}

TEST(PairHistogram, ParallelEqualsReferenceAndEachPairCountsTwiceInItsBin) {
    // A cube wider than the binned range; 276 grains stay on one block, 800 make several, on one
    // thread or two. Half the grains sit on a grid of quarters, so that many pairs lie exactly on
    // a bin edge; 259 partners of a row fill a chunk and leave a tail of three.
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-6, 6);
    std::uniform_int_distribution<int> q(-24, 24);
    std::vector<Particle> cloud(800);
    for (std::size_t i = 0; i < cloud.size(); ++i)
        cloud[i] = i % 2 ? grain(u(rng), u(rng), u(rng)) : grain(q(rng) / 4.0, q(rng) / 4.0, 0);
    const int threads = parallelThreads();
    for (int team : {1, 2}) {
        setParallelThreads(team);
        for (int n : {260, 276, 800})
            for (int samples : {1, 7, 30, 40, 1000})
                EXPECT_EQ(pairHistogramReference(cloud.data(), n, 10.0 / samples, samples + 1),
                          pairHistogramParallel(cloud.data(), n, 10.0 / samples, samples + 1))
                    << n << " " << samples << " " << team;
    }
    setParallelThreads(threads);
    // w = 0.25: from the first grain 0.5 (bin 2, its lower edge), 7.74 (bin 30, the last) and
    // 7.75 (dropped); grains without a finite position are never binned.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<Particle> g = {grain(0, 0, 0),    grain(0.5, 0, 0), grain(0, 7.74, 0),
                                     grain(0, 0, 7.75), grain(nan, 0, 0), grain(HUGE_VAL, 0, 0)};
    std::vector<std::int64_t> none(31, 0), expected = none;
    expected[2] = expected[30] = 2;
    for (auto kernel : {pairHistogramReference, pairHistogramParallel}) {
        EXPECT_EQ(kernel(g.data(), 6, 0.25, 31), expected);
        EXPECT_EQ(kernel(g.data(), 1, 0.2, 31), none);
        EXPECT_EQ(kernel(g.data(), 4, 0.0, 31), none);
        EXPECT_EQ(kernel(g.data(), 4, -0.2, 31), none);
        EXPECT_TRUE(kernel(g.data(), 4, 0.2, 0).empty() && kernel(g.data(), 4, 0.2, -1).empty());
    }
}

// Apparatus radius 3 at the density of two live grains with one electron per Debye sphere;
// the time column reads 2 * 0.5 = 1.
class Structure : public ::testing::Test {
  protected:
    Structure() {
        sim.run.baseName = "run7";
        sim.model.apparatusRadius = 3;
        sim.model.debyeSphereCount = 1;
        sim.model.numberDensity = 2.0 / 27;
        sim.numParticles = 2;
        sim.reserve.numDeadParticles = 0;
        sim.clock.simTime = 2;
        sim.model.dustPlasmaFrequency = 0.5;
        sim.thermostat.ccple = 140;
        sim.thermostat.ccpleAverage = 150;
        sim.thermostat.ccpleTarget = 170;
        sim.model.grainMass = 4;
        sim.model.grainCharge = -1e4;
    }
    void both(const Particle* p, int n, int samples = defaultSampleCount) {
        writePairCorrelation(sim, pairCorrelation(sim, p, n, samples));
        writeShellStructure(sim, shellStructure(sim, p, n, samples));
    }
    test::Sandbox box;
    Simulation sim;
};

const std::vector<Particle> kPair  // 1.1 apart, both 1.05 from the centre
    = {grain(0.55, 0.9, 0, 3), grain(-0.55, 0.9, 0, 5)};

// Pairs: w = 0.2, the pair in bin 5: g(5) = 2 / (1 * 0.4 * 3 * 2/27) = 22.5, a peak at 1/3.
// Shells: w = 0.1, both grains in shell 10, where D_10 = 100 V = 2/45. The 2D rows end in gmax
// (nmax), the live grains, Rapar and the unheaded ccpleTarget.
TEST_F(Structure, WorkedExamplesOfPairCorrelationAndShells) {
    sim.switches.pcfOutput2D = sim.switches.shellOutput2D = true;
    both(kPair.data(), 2);
    test::expectGolden("structure_worked_example.txt", test::filesHere());
    {  // Without grains, or without a density yet, every divided cell is 0, never nan or inf.
        test::TempDir empty;
        sim.numParticles = 3;
        sim.reserve.numDeadParticles = 1;
        both(nullptr, 0);
        sim.model.numberDensity = 0;
        both(kPair.data(), 2);
        test::expectGolden("structure_empty.txt", test::filesHere());
    }
    // No sample at all, or more bins than an int counts: no result, no file.
    test::TempDir none;
    for (int samples : {0, -2, std::numeric_limits<int>::max()}) both(kPair.data(), 2, samples);
    EXPECT_EQ(pairCorrelation(sim, kPair.data(), 2, 1).g.size(), 2u);  // one sample is enough
    EXPECT_TRUE(shellStructure(sim, kPair.data(), 2, std::nan("")).count.empty());
    EXPECT_EQ(test::filesHere(), "");
    // 10 samples give w = 0.6 and the pair in bin 1; 10.5 shells give 11 of width 3 / 10.5.
    sim.model.numberDensity = 2.0 / 27;
    const std::vector<double> ten = pairCorrelation(sim, kPair.data(), 2, 10).peaks;
    ASSERT_EQ(ten.size(), 1u);
    EXPECT_DOUBLE_EQ(ten[0], 0.2);
    const ShellStructure s = shellStructure(sim, kPair.data(), 2, 10.5);
    EXPECT_EQ(s.count, (std::vector<double>{0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_DOUBLE_EQ(s.binWidth, 3 / 10.5);
}

TEST_F(Structure, PeaksNeedARiseAFallAndFourLowerBinsAfterThem) {
    // Pairs of grains in the middle of the listed bins, 1000 apart so that no cross pair counts.
    const auto peaks = [this](std::vector<int> bins) {
        std::vector<Particle> g;
        for (int k : bins) {
            const double y = 1000.0 * g.size();
            g.push_back(grain(0, y, 0));
            g.push_back(grain((k + 0.5) * 0.2, y, 0));
        }
        std::vector<double> found = pairCorrelation(sim, g.data(), int(g.size()), 30).peaks;
        for (double& f : found) f = std::round(f * 15);  // as bins
        return found;
    };
    using V = std::vector<double>;
    // The last candidate is bin 25; a maximum in the last five bins is never a peak.
    EXPECT_EQ(peaks({25}), V{25});
    EXPECT_EQ(peaks({26}), V{});
    // g(5) is not above g(8) (1/25 against 3/64): bin 5 fails its window, bin 8 is the peak.
    EXPECT_EQ(peaks({5, 8, 8, 8}), V{8});
    // After the peak at 5 the scan resumes at bin 9: the rise into 8 is never seen, into 9 is.
    EXPECT_EQ(peaks({5, 5, 8}), V{5});
    EXPECT_EQ(peaks({5, 5, 9}), (V{5, 9}));
    EXPECT_EQ(peaks({1, 2, 2, 2, 2}), V{});  // g(1) = g(2): a plateau is no peak
}

TEST_F(Structure, InnermostShellShowsOnlyMassAndGrainsOutsideEnterOnlyN) {
    // Grains beyond the last shell are not counted but enter N, doubling V: D_10 = 4/45.
    const std::vector<Particle> g = {grain(0.05, 0, 0, 7), grain(1.05, 0, 0, 3),
                                     grain(3.5, 0, 0, 3), grain(0, 0, -50, 5)};
    writeShellStructure(sim, shellStructure(sim, g.data(), 4, defaultSampleCount));
    std::istringstream in(test::readFile("run7ShellStructure.xls"));
    std::vector<std::string> rows;
    for (std::string line; std::getline(in, line);) rows.push_back(line);
    ASSERT_EQ(rows.size(), 31u);
    EXPECT_EQ(rows[0], "1\t0\t0\t0\t0\t7\t0\t1.75\t140");
    EXPECT_EQ(rows[10], "1\t0.333333\t1\t11.25\t1\t3\t33.75\t0.75\t140");
    EXPECT_EQ(rows[30], "1\t1\t0\t0\t0\t0\t0\t0\t140");
}

// Three calls, appended. Two grains carry all of totalCharge; one outside adds nothing: inside
// the grains only the background, Qnet exactly 0 at the wall. Then the background alone, a
// uniform sphere of +2e4: E = 2e4 r / 27 is linear, so the trapezoidal potential is exact; its 2D
// rows scale to the field at the wall and the potential at the centre. Then no charge at all
// (normaliser 1), then one grain in the last shell, seen at the wall only.
TEST_F(Structure, FieldWorkedExampleAndTheBackgroundAlone) {
    sim.model.totalCharge = -2e4;
    sim.model.debyeSphereCount = 1.0 / 3;  // Coulomb divisor 3 ND = 1
    const std::vector<Particle> g = {grain(1.55, 0, 0, 1, -1e4), grain(0, 0, 1.55, 1, -1e4),
                                     grain(0, 0, 15, 1, -1e4)};
    writeFieldStructure(sim, fieldStructure(sim, g.data(), 3));
    sim.switches.potentialOutput2D = sim.switches.efieldOutput2D = true;
    writeFieldStructure(sim, fieldStructure(sim, nullptr, 0));
    sim.model.totalCharge = 0;
    writeFieldStructure(sim, fieldStructure(sim, nullptr, 0));
    const Particle lastShell = grain(2.95, 0, 0, 1, -1e4);
    writeFieldStructure(sim, fieldStructure(sim, &lastShell, 1));
    test::expectGolden("structure_field.txt", test::filesHere());
}

// Every slot's speed goes into its frame's sample; one beyond the table is dropped.
TEST(RunLog, DataRowsKeepSpeedsOnlyInsideTheTable) {
    test::Sandbox box;
    Simulation sim;
    sim.run.baseName = "s";
    sim.switches.speedDistributionOn = true;
    sim.numParticles = 3;
    StepReport report;
    report.sampled = {{{}, {-1}}, {{}, {-2}}, {{}, {-3}}};
    sim.arrays.speedTable.assign(6, 0.0);  // samples 0 and 1
    for (int frame : {100, 200}) {
        sim.clock.currentFrame = frame;
        writeDataRow(sim, report);
    }
    EXPECT_EQ(sim.arrays.speedTable, (std::vector<double>{0, 0, 0, 1, 2, 3}));
}

// Three slots: grain 1 on the z axis at speed 5, grain 2 at the centre, grain 3 in the x-y plane.
TEST(Tracker, ChoicesFillSlotsInOrderAndEveryRowHasEightFieldsPerSlot) {
    test::Sandbox box;
    Simulation sim;
    sim.run.baseName = "run7";
    sim.numParticles = 3;
    sim.reserve.numDeadParticles = 1;
    sim.clock.simTime = 4;
    sim.model.dustPlasmaFrequency = 0.25;
    sim.thermostat.temperatureRatio = 0.5;
    sim.arrays.particleArray = {{{0, 0, 2}, {3, 4, 0}}, {}, {{1, 1, 0}, {0, 0, 1}}};
    const auto pressQ = [&sim](const std::string& answers) {
        test::ScriptedConsole console(answers);
        if (askTrackedParticle(sim)) ++sim.tracker.trackedCount;
        return console.output();
    };
    writeTrackerRow(sim, sim.particles());  // nothing tracked yet: no file
    EXPECT_EQ(test::filesHere(), "");
    sim.numParticles = 0;
    EXPECT_EQ(pressQ(""), "\nThere are no particles to track.\n\n");
    EXPECT_EQ(sim.tracker.trackedCount, 0);
    sim.numParticles = 3;
    sim.tracker.trackedParticles.fill(7);
    // Dead particles in reserve count: 3 is valid, 0, negatives and 4 are not; the same grain
    // twice gives two identical groups; the earlier 7s are cleared at the first choice.
    const std::string again = "Sorry Invalid Choice : Please enter a particle number (Max:3) : \n";
    EXPECT_EQ(pressQ("0\n-5\n4\n3\n"),
              "\nPlease enter particle number: \n\n" + again + '\n' + again + '\n' + again + '\n');
    pressQ("1\n");
    pressQ("3\n");
    std::array<int, 100> expected;
    expected.fill(-1);
    expected[0] = expected[2] = 2;
    expected[1] = 0;
    EXPECT_EQ(sim.tracker.trackedParticles, expected);
    writeTrackerRow(sim, sim.particles());
    writeTrackerRow(sim, sim.particles());
    test::expectGolden("tracker_two_rows.txt", test::filesHere());
    // All 100 slots in use: nothing is asked (the script is empty) and nothing changes.
    sim.tracker.trackedCount = 100;
    EXPECT_EQ(pressQ("").substr(0, 8), "\nNo more");
    EXPECT_EQ(sim.tracker.trackedParticles, expected);
    EXPECT_EQ(sim.tracker.trackedCount, 100);
}

}  // namespace
}  // namespace qv
