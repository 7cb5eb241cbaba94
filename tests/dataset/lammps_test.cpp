// The LAMMPS hand-off: the exported script must give the program's forces and energies when
// Debian's lmp runs it, and dumps must be read strictly.
#include "dataset/lammps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/exchange.h"
#include "tests/support/cloud.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

// The thermo row LAMMPS prints under the heading line that starts with "Step".
std::vector<double> thermoRow(const std::string& log, const std::string& heading) {
    std::istringstream in(log);
    std::string line;
    while (std::getline(in, line) && line.rfind(heading, 0) != 0) {
    }
    std::vector<double> row;
    if (std::getline(in, line)) {
        std::istringstream fields(line);
        for (double v; fields >> v;) row.push_back(v);
    }
    return row;
}

double relative(double a, double b) {
    return std::abs(a - b) / std::max(std::abs(b), 1e-300);
}

// Bare Coulomb (pair_style coul/cut) and screened at kappa = 2 (coul/debye, the same cutoff).
TEST(LammpsExport, LammpsGivesTheProgramsForcesAndEnergiesToTenDigits) {
    for (const double kappa : {0.0, 2.0}) {
        SCOPED_TRACE(kappa);
        test::TempDir dir;
        test::RandomCloud cloud = test::makeRandomCloud(200, 11);
        // A fired dead particle of another mass outside the sphere: the 1/r^2 field, a second atom
        // type, and no apparatus energy of its own.
        Particle& dead = cloud.particles[199];
        dead.role = Role::FiredDead;
        dead.m *= 3;
        for (double& x : dead.pos)
            x *= 1.6 * cloud.model.apparatusRadius / dead.distanceFromCentre();

        dataset::LammpsState state;
        state.source = "cloud";
        state.frame = 7;
        state.debyeSphereCount = cloud.model.debyeSphereCount;
        state.apparatusRadius = cloud.model.apparatusRadius;
        state.totalCharge = cloud.model.totalCharge;
        state.timeStep = cloud.model.timeStep;
        state.atoms = cloud.particles;
        if (kappa > 0) {
            state.screeningLength = cloud.model.screeningLength = cloud.spacing / kappa;
            state.cutoff = cloud.model.cutoff =
                screenedCutoff(cloud.spacing / kappa, cloud.spacing, 1e-6);
        }
        std::ofstream("cloud.data") << dataset::lammpsData(state);
        std::ofstream("cloud.in") << dataset::lammpsInput(state, "cloud");
        std::ofstream("check.in") << "include cloud.in\n"
                                     "write_dump all custom forces id fx fy fz modify sort id "
                                     "format float %.17g\n";
        ASSERT_EQ(std::system("lmp -in check.in -var steps 0 -var wall 0 -log log -screen none"), 0)
            << "Debian's lmp must be installed (scripts/install-deps)";

        ForceModel model = cloud.model;
        model.samplingFrame = true;
        std::vector<double> force(3 * cloud.particles.size(), 0.0);
        const EnergySums sums =
            forcePassReference(cloud.particles.data(), 200, model, force.data());

        // step temp ke pe c_pair f_apparatus etotal; the program counts every pair twice.
        const std::vector<double> row = thermoRow(test::readFile("log"), "Step ");
        ASSERT_EQ(row.size(), 7u);
        EXPECT_LT(relative(row[4], sums.pairEnergy / 2), 1e-10);
        EXPECT_LT(relative(row[5], sums.apparatusEnergy), 1e-10);

        std::ifstream dump("forces");
        const dataset::DumpRead read = dataset::readLammpsDump(dump, 200, {"fx", "fy", "fz"}, {});
        ASSERT_FALSE(read.problem) << read.problem->what;
        ASSERT_EQ(read.frames.size(), 1u);
        double worst = 0;
        for (int i = 0; i < 200; ++i) {
            double difference = 0;
            double size = 0;
            for (int c : kAxes) {
                const double f = force[3 * i + c];
                difference += std::pow(read.frames[0].values[3 * i + c] - f, 2);
                size += f * f;
            }
            worst = std::max(worst, std::sqrt(difference / size));
        }
        EXPECT_LT(worst, 1e-10);
        std::cout << "pair energy " << relative(row[4], sums.pairEnergy / 2)
                  << ", apparatus energy " << relative(row[5], sums.apparatusEnergy)
                  << ", worst atom force " << worst << " relative\n";
    }
}

// The outermost grains flying out at twice the rms speed of the cloud before them, and nothing
// else acting (a random cloud is far from equilibrium and heats up): the soft wall turns them
// back within its depth, and they do reach it.
TEST(LammpsExport, TheWallTurnsGrainsBackWithinItsDepth) {
    test::TempDir dir;
    test::RandomCloud cloud = test::makeRandomCloud(200, 5);
    std::vector<Particle>& grains = cloud.particles;
    double squares = 0;
    for (const Particle& p : grains) squares += p.speed() * p.speed();
    const double speed = 2 * std::sqrt(squares / 200);
    std::sort(grains.begin(), grains.end(), [](const Particle& a, const Particle& b) {
        return a.distanceFromCentre() > b.distanceFromCentre();
    });
    for (int i = 0; i < 20; ++i) {
        Particle& p = grains[i];
        for (int c : kAxes) p.vel[c] = speed * p.pos[c] / p.distanceFromCentre();
    }
    for (Particle& p : grains) p.q = 0;
    const double bigR = cloud.model.apparatusRadius;
    // At the run's step the depth is 1 % of R; at 20 times it a grain crosses that in one step.
    for (const double stretch : {1.0, 20.0}) {
        dataset::LammpsState state;
        state.debyeSphereCount = cloud.model.debyeSphereCount;
        state.apparatusRadius = bigR;
        state.timeStep = cloud.model.timeStep * stretch;
        state.atoms = cloud.particles;
        std::ofstream("w.data") << dataset::lammpsData(state);
        std::ofstream("w.in") << dataset::lammpsInput(state, "w");
        const std::string steps = std::to_string(static_cast<int>(400 / stretch));
        ASSERT_EQ(std::system(
                      ("lmp -in w.in -var steps " + steps + " -var every 1 -log none -screen none")
                          .c_str()),
                  0);
        std::ifstream dump("w.dump");
        const dataset::DumpRead read = dataset::readLammpsDump(dump, 200, {"x", "y", "z"}, {});
        double farthest = 0;
        for (const dataset::DumpFrame& f : read.frames)
            for (std::size_t i = 0; i < f.values.size(); i += 3)
                farthest =
                    std::max(farthest, std::hypot(f.values[i], f.values[i + 1], f.values[i + 2]));
        EXPECT_GT(farthest, bigR) << stretch;
        EXPECT_LT(farthest, bigR + dataset::lammpsWall(state).depth) << stretch;
    }
}

// A dump of two atoms with id and x y z in a column order of its own, and the frames read.
const std::string kFrame1 =
    "ITEM: TIMESTEP\n4\nITEM: NUMBER OF ATOMS\n2\nITEM: BOX BOUNDS ss ss ss\n0 1\n0 1\n0 1\n"
    "ITEM: ATOMS x id type z y\n0.5 1 1 0.7 0.6\n1.5 2 1 1.7 1.6\n";
const std::string kFrame2 =
    "ITEM: TIMESTEP\n8\nITEM: NUMBER OF ATOMS\n2\nITEM: BOX BOUNDS ss ss ss\n0 1\n0 1\n0 1\n"
    "ITEM: ATOMS x id type z y\n2.5 1 1 2.7 2.6\n3.5 2 1 3.7 3.6\n";

TEST(LammpsDump, ColumnsAreFoundByNameAndBrokenFramesNamedWithTheirLine) {
    std::istringstream good(kFrame1 + kFrame2);
    const dataset::DumpRead read = dataset::readLammpsDump(good, 2, {"x", "y", "z"}, {"vx"});
    ASSERT_FALSE(read.problem);
    ASSERT_EQ(read.frames.size(), 2u);
    EXPECT_EQ(read.frames[1].timestep, 8);
    EXPECT_EQ(read.frames[1].values, (std::vector<double>{2.5, 2.6, 2.7, 3.5, 3.6, 3.7}));

    const auto replace = [](std::string text, const std::string& from, const std::string& to) {
        return text.replace(text.find(from), from.size(), to);
    };
    struct Case {
        std::string text;
        std::size_t frames;  // complete frames kept
        long long line;
        std::string what;
    };
    const Case cases[] = {
        {replace(kFrame1, " z y", " y"), 0, 9, "lack the column(s) z"},
        {kFrame1 + replace(kFrame2, "2.5 1", "2.5 2"), 1, 21, "atom id 2 where 1 belongs"},
        {kFrame1 + replace(kFrame2, "ATOMS\n2", "ATOMS\n3"), 1, 15, "holds 3 atoms"},
        {kFrame1 + kFrame2.substr(0, kFrame2.size() - 16), 1, 21, "timestep 8, from line 12"},
        {kFrame1 + replace(kFrame2, "3.6", "nan"), 1, 22, "\"nan\" is not a finite number"},
        {kFrame1 + replace(kFrame2, "3.5 2 1 3.7", "3.5 2 3.7"), 1, 22, "this one 4"},
        {replace(kFrame1, " id", ""), 0, 9, "lack the column(s) id"},
        {replace(kFrame1, "ITEM: NUMBER OF ATOMS\n2\n", ""), 0, 7, "states no number"},
        {"garbage\n", 0, 1, "ITEM: TIMESTEP"},
        {kFrame1 + replace(kFrame2, "TIMESTEP\n8", "TIMESTEP\n8 9"), 1, 13, "not a whole number"},
    };
    for (const Case& c : cases) {
        std::istringstream in(c.text);
        const dataset::DumpRead r = dataset::readLammpsDump(in, 2, {"x", "y", "z"}, {});
        ASSERT_TRUE(r.problem) << c.what;
        EXPECT_EQ(r.frames.size(), c.frames) << c.what;
        EXPECT_EQ(r.problem->line, c.line) << c.what;
        EXPECT_NE(r.problem->what.find(c.what), std::string::npos) << r.problem->what;
    }
}

TEST(FrameRange, PartsMayBeLeftOutAndNothingBeyondTheStoredFramesIsTaken) {
    const std::pair<std::string, std::vector<int>> cases[] = {
        {"", {1, 2, 3, 4, 5}}, {"2:4", {2, 3, 4}}, {"::2", {1, 3, 5}},
        {"4:", {4, 5}},        {"3", {3}},         {":2", {1, 2}},
        {"0:2", {}},           {"2:6", {}},        {"4:2", {}},
        {"1:5:0", {}},         {"1:2:3:4", {}},    {"x", {}},
    };
    for (const auto& [text, frames] : cases) {
        std::string problem;
        EXPECT_EQ(frameRange(text, 5, problem), frames) << text;
        EXPECT_EQ(problem.empty(), !frames.empty()) << text;
    }
}

}  // namespace
}  // namespace qv
