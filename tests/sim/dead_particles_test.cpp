#include "sim/dead_particles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "sim/constants.h"
#include "sim/simulation.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

constexpr double kRapar = 10, kTimeStep = 0.5, kMass = 2, kCharge = -100, kRadius = 0.05;

// From fresh program state: `live` grains on a line along x, grain i of mass 100 + i so that it
// can be told apart, then `waiting` dead particles parked as the set-up leaves them.
void makeCloud(int live, int waiting) {
    test::resetProgramState();
    sim.model.apparatusRadius = kRapar;
    sim.model.timeStep = kTimeStep;
    sim.model.grainMass = kMass;
    sim.model.grainCharge = kCharge;
    sim.model.grainRadius = kRadius;
    sim.model.interparticleDistance = 1.5;
    sim.reserve.deadParkY = 1.5 * kRapar;
    sim.numParticles = live + waiting;
    sim.reserve.numDeadParticles = waiting;
    sim.arrays.particleArray.assign(live + waiting, Particle{});
    for (int i = 0; i < live + waiting; ++i) {
        Particle& p = sim.arrays.particleArray[i];
        p.setRadius(kRadius);
        if (i < live) {
            p.setPosition(0, 0.1 * (i + 1));
            p.setVelocity(2, 0.01 * i);
            p.setMass(100 + i);
            p.setCharge(kCharge);
        } else {
            p.setColour(deadColourRed, deadColourGreen, deadColourBlue);
            p.setPosition(1, sim.reserve.deadParkY);
        }
    }
}

double defaultSpeed() {
    return sim.model.apparatusRadius * sim.reserve.deadSpeedFraction / sim.model.timeStep;
}

Particle& slot(int i) {
    return sim.arrays.particleArray.at(i);
}

using Vec = std::array<double, 3>;
Vec position(const Particle& p) {
    return {p.pos[0], p.pos[1], p.pos[2]};
}
Vec velocity(const Particle& p) {
    return {p.vel[0], p.vel[1], p.vel[2]};
}

bool hasDeadColour(const Particle& p) {
    return p.colour(0) == 1.0 && p.colour(1) == 0.0 && p.colour(2) == 0.5;
}

void expectParked(int i) {
    const Particle& p = slot(i);
    EXPECT_TRUE(hasDeadColour(p)) << "slot " << i;
    EXPECT_EQ(position(p), (Vec{0, sim.reserve.deadParkY, 0})) << "slot " << i;
    EXPECT_EQ(p.speed() + p.mass() + std::abs(p.charge()), 0.0) << "slot " << i;
    EXPECT_EQ(p.radius(), sim.model.grainRadius) << "slot " << i;
}

TEST(FireDeadParticle, DefaultShotLeavesTheParkAlongMinusYWithMeanProperties) {
    makeCloud(4, 3);
    fireDeadParticle(defaultSpeed());
    EXPECT_EQ(sim.reserve.numDeadParticles, 2);
    const Particle& p = slot(4);
    EXPECT_EQ(position(p), (Vec{0, 1.5 * kRapar, 0}));
    EXPECT_EQ(velocity(p), (Vec{0, -defaultSpeed(), 0}));
    EXPECT_EQ(p.mass(), kMass);
    EXPECT_EQ(p.charge(), kCharge);
    EXPECT_EQ(p.radius(), kRadius);
    EXPECT_TRUE(hasDeadColour(p));
    // Without compensation the apparatus and the charge stay; the reserve stays parked.
    EXPECT_EQ(sim.model.apparatusRadius, kRapar);
    EXPECT_EQ(sim.model.totalCharge, 0.0);
    for (int i = 5; i < 7; ++i) expectParked(i);
}

TEST(FireDeadParticle, EmptyReserveOrCountsWithoutSlotsDoNothing) {
    for (const bool slots : {true, false}) {
        // Load-time counts (100 waiting, no slots at all) must not index an empty array.
        slots ? makeCloud(3, 0) : test::resetProgramState();
        test::ScriptedConsole console("");
        fireDeadParticle(1.0);
        addProbe();
        resetDeadParticles();
        EXPECT_EQ(sim.reserve.numDeadParticles, slots ? 0 : 100);
        EXPECT_EQ(sim.reserve.probeIndex, -1);
        EXPECT_EQ(console.output(), "");
        if (slots) {
            EXPECT_DOUBLE_EQ(slot(2).position(0), 0.3);
        }
    }
}

// Properties asked for apply to later shots only; a mass of 0 or below is asked again (the time
// step divides by it), and so is a phi divisor of 0.
TEST(DeadParticleDialogues, PropertiesAndPhiScanAngles) {
    makeCloud(2, 3);
    fireDeadParticle(defaultSpeed());
    test::ScriptedConsole console("0\n-1\n2\n0.5\n-3\n0.1\n0\n4\n0\n0\n4\n");
    for (int entry = 13; entry <= 17; ++entry) askDeadProperty(entry);  // 17 asks nothing
    fireDeadParticle(defaultSpeed());
    EXPECT_EQ(slot(2).mass(), kMass);
    EXPECT_DOUBLE_EQ(slot(2).velocity(1), -0.06 * kRapar / kTimeStep);
    EXPECT_EQ(slot(3).mass(), 2 * kMass);
    EXPECT_EQ(slot(3).radius(), 0.5 * kRadius);
    EXPECT_EQ(slot(3).charge(), -3 * kCharge);
    EXPECT_DOUBLE_EQ(slot(3).velocity(1), -0.1 * kRapar / kTimeStep);

    askPhiScanAngles();
    EXPECT_DOUBLE_EQ(sim.reserve.phiMax, 0.75 * pi);
    EXPECT_DOUBLE_EQ(sim.reserve.phiMin, 0.25 * pi);
    EXPECT_EQ(sim.reserve.firingPhi, sim.reserve.phiMin);
    test::expectGolden("dead_particle_dialogues.txt", console.output());
}

TEST(PhiScan, ShotsSweepFromQuarterToThreeQuartersPiAndWrap) {
    makeCloud(1, 61);
    sim.reserve.phiScanOn = 1;
    sim.reserve.phiMin = sim.reserve.firingPhi = pi / 4;
    sim.reserve.phiMax = 3 * pi / 4;
    const double speed = defaultSpeed();
    std::vector<double> phis;
    for (int shot = 0; shot < 55; ++shot) {
        fireDeadParticle(speed);
        const Particle& p = slot(1 + shot);
        phis.push_back(std::atan2(p.position(1), p.position(0)));
        // From the park circle of radius 1.5 Rapar in the x-y plane, straight at the centre.
        EXPECT_NEAR(p.distanceFromCentre(), 1.5 * kRapar, 1e-12);
        EXPECT_EQ(p.position(2), 0.0);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(p.velocity(i), -speed * p.position(i) / (1.5 * kRapar), 1e-12 * speed);
    }
    for (int shot = 0; shot <= 49; ++shot)
        EXPECT_NEAR(phis[shot], pi / 4 + shot * pi / 100, 1e-12) << "shot " << shot;
    // The first shot after passing 3 pi/4 starts at pi/4 again.
    const int wrap = phis[50] < phis[49] ? 50 : 51;
    EXPECT_NEAR(phis[wrap - 1], 3 * pi / 4, 1e-12);
    EXPECT_NEAR(phis[wrap], pi / 4, 1e-12);
    EXPECT_NEAR(phis[wrap + 1], pi / 4 + pi / 100, 1e-12);
    // A slot at the centre has no direction to aim from: the plain shot, and the sweep moves on.
    slot(56).setPosition(1, 0.0);
    const double phi = sim.reserve.firingPhi;
    fireDeadParticle(3.0);
    EXPECT_EQ(velocity(slot(56)), (Vec{0, -3, 0}));
    EXPECT_DOUBLE_EQ(sim.reserve.firingPhi, phi + pi / 100);
}

TEST(Compensation, EachShotGrowsTheApparatusAndJoinsTheCloudNearTheCentre) {
    makeCloud(10, 4);
    sim.switches.compensateDeadAddition = 1;
    sim.model.totalCharge = 10 * kCharge;
    for (int shot = 1; shot <= 2; ++shot) {
        fireDeadParticle(defaultSpeed());
        const double rapar = std::cbrt(3.0 * (10 + shot) / (4.0 * pi)) * 1.5;
        EXPECT_DOUBLE_EQ(sim.model.apparatusRadius, rapar) << "shot " << shot;
        EXPECT_DOUBLE_EQ(sim.model.totalCharge, (10 + shot) * kCharge);
        EXPECT_DOUBLE_EQ(sim.reserve.deadParkY, 1.5 * rapar);
        const Particle& joined = slot(9 + shot);
        EXPECT_EQ(position(joined), (Vec{0.1, 0.1, 0.1}));
        EXPECT_FALSE(joined.isDeadParticle());
        EXPECT_EQ(joined.mass(), kMass);
        // Every particle still waiting is lifted to the new park height.
        for (int i = 10 + shot; i < 14; ++i) expectParked(i);
    }
    resetDeadParticles();  // a joined grain stays in the cloud
    EXPECT_EQ(sim.reserve.numDeadParticles, 2);
    EXPECT_EQ(slot(11).position(0), 0.1);
}

TEST(ResetDeadParticles, ShotsTheProbeAndStraysReturnAndTheLastLiveGrainFillsEachGap) {
    makeCloud(6, 5);
    slot(6).setPosition(0, 4.0);  // the next to fire, off the park: put back
    slot(6).setPosition(1, 7.0);
    resetDeadParticles();
    EXPECT_EQ(position(slot(6)), (Vec{0, sim.reserve.deadParkY, 0}));
    for (int shot = 0; shot < 3; ++shot) fireDeadParticle(defaultSpeed());
    for (int i = 6; i < 9; ++i) slot(i).setPosition(1, 2.0 - i);  // in flight
    addProbe();
    EXPECT_EQ(sim.reserve.probeIndex, 9);
    EXPECT_EQ(sim.reserve.numDeadParticles, 1);
    const Particle& probe = slot(9);  // heavy, uncharged, at rest near the centre
    EXPECT_EQ(probe.mass(), probeMass);
    EXPECT_EQ(probe.charge(), 0.0);
    EXPECT_EQ(probe.radius(), kRadius);
    EXPECT_EQ(position(probe), (Vec{0.01, 0.01, 0.01}));
    EXPECT_EQ(probe.speed(), 0.0);
    EXPECT_TRUE(hasDeadColour(probe));
    // Two more dead particles among the grains, where the time step may leave them.
    for (int i : {1, 4}) {
        slot(i).setColour(deadColourRed, deadColourGreen, deadColourBlue);
        slot(i).setVelocity(0, 5.0);
    }
    resetDeadParticles();
    EXPECT_EQ(sim.reserve.probeIndex, -1);
    EXPECT_EQ(sim.reserve.numDeadParticles, 7);
    const double masses[] = {100, 105, 102, 103};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(slot(i).mass(), masses[i]) << "slot " << i;
    for (int i = 4; i < 11; ++i) expectParked(i);
}

TEST(DisplaceParticles, HighlightedGrainsOrAStrictShellMoveRadially) {
    struct Case {
        int which;
        double shellRadius, shellWidth;
        const char* answer;
        double shift;
        std::vector<int> moved;
    };
    // Grains at distances 5, 10, ..., 30; the shell 10 < r < 20 has 10 and 20 on its bounds.
    const Case cases[] = {{23, 0, 0, "0.1\n", 1.0, {1, 3}},
                          {24, 15, 10, "-0.05\n", -0.5, {2}},
                          {23, 0, 0, "0\n", 0, {}},
                          {24, 15, 10, "0\n", 0, {}}};
    for (const Case& c : cases) {
        makeCloud(6, 2);
        for (int i = 0; i < 6; ++i) {
            slot(i).setPosition(0, 3.0 * (i + 1));
            slot(i).setPosition(1, 4.0 * (i + 1));
        }
        slot(1).setColour(0, 4, 0);  // the neighbour search's highlight
        slot(3).setColour(0, 4, 0);
        slot(2).setColour(0, 1, 0);  // the space-key selection is not a highlight
        slot(4).setColour(1, 4, 0);
        slot(7).setColour(0, 4, 0);  // waiting: never moved
        const std::vector<Particle> before = sim.arrays.particleArray;
        test::ScriptedConsole console(c.answer);
        displaceParticles(c.which, c.shellRadius, c.shellWidth);
        EXPECT_EQ(console.output(),
                  "\nPlease enter fraction of Rapar the particles should be displaced:\n\n");
        for (int i = 0; i < 8; ++i) {
            const Particle& p = slot(i);
            if (std::count(c.moved.begin(), c.moved.end(), i) > 0) {
                EXPECT_NEAR(p.distanceFromCentre(), 5.0 * (i + 1) + c.shift, 1e-12) << i;
                EXPECT_NEAR(p.position(1) / p.position(0), 4.0 / 3.0, 1e-12) << i;
            } else {
                for (int k = 0; k < 3; ++k)
                    EXPECT_EQ(p.position(k), before[i].position(k)) << c.answer << " slot " << i;
            }
        }
    }
}

}  // namespace
}  // namespace qv
