#include "sim/dead_particles.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "sim/constants.h"
#include "tests/support/test_support.h"
#include "view/questions.h"

namespace qv {
namespace {

constexpr double kRapar = 10, kTimeStep = 0.5, kMass = 2, kCharge = -100, kRadius = 0.05;

// `live` grains on a line along x, grain i of mass 100 + i, then `waiting` dead particles parked.
Simulation makeCloud(int live, int waiting) {
    Simulation sim;
    sim.model.apparatusRadius = kRapar;
    sim.model.timeStep = kTimeStep;
    sim.model.grainMass = kMass;
    sim.model.grainCharge = kCharge;
    sim.model.grainRadius = kRadius;
    sim.model.interparticleDistance = 1.5;
    sim.reserve.deadParkY = 1.5 * kRapar;
    sim.numParticles = live + waiting;
    sim.reserve.numDeadParticles = waiting;
    sim.arrays.particleArray.resize(live + waiting);
    for (int i = 0; i < live + waiting; ++i) {
        Particle& p = sim.arrays.particleArray[i];
        if (i >= live) {
            parkAsDead(sim, p);
            continue;
        }
        p = Particle{{0.1 * (i + 1), 0, 0}, {0, 0, 0.01 * i}, {}, 100.0 + i, kCharge, kRadius};
    }
    return sim;
}

double defaultSpeed(const Simulation& sim) {
    return sim.model.apparatusRadius * sim.reserve.deadSpeedFraction / sim.model.timeStep;
}
using Vec = std::array<double, 3>;
Vec position(const Particle& p) {
    return {p.pos[0], p.pos[1], p.pos[2]};
}
Vec velocity(const Particle& p) {
    return {p.vel[0], p.vel[1], p.vel[2]};
}
bool hasDeadColour(const Particle& p) {
    return p.rgb[0] == 1.0 && p.rgb[1] == 0.0 && p.rgb[2] == 0.5;
}
void expectParked(const Simulation& sim, int i) {
    const Particle& p = sim.arrays.particleArray.at(i);
    EXPECT_TRUE(hasDeadColour(p)) << "slot " << i;
    EXPECT_EQ(position(p), (Vec{0, sim.reserve.deadParkY, 0})) << "slot " << i;
    EXPECT_EQ(p.speed() + p.m + std::abs(p.q), 0.0) << "slot " << i;
    EXPECT_EQ(p.rad, sim.model.grainRadius) << "slot " << i;
}

TEST(DeadParticles, ShotsLeaveTheParkWithTheFractionsAskedForAndEmptyReservesDoNothing) {
    Simulation sim = makeCloud(4, 3);
    fireDeadParticle(sim, defaultSpeed(sim));
    EXPECT_EQ(sim.reserve.numDeadParticles, 2);
    const Particle& p = sim.arrays.particleArray[4];
    EXPECT_EQ(position(p), (Vec{0, 1.5 * kRapar, 0}));
    EXPECT_EQ(velocity(p), (Vec{0, -defaultSpeed(sim), 0}));
    EXPECT_TRUE(p.m == kMass && p.q == kCharge && p.rad == kRadius && hasDeadColour(p));
    EXPECT_EQ(sim.model.apparatusRadius, kRapar);  // without compensation
    EXPECT_EQ(sim.model.totalCharge, 0.0);
    for (int i = 5; i < 7; ++i) expectParked(sim, i);

    // The dialogue: a mass of 0 or below and a phi divisor of 0 are asked again.
    test::Sandbox box;
    test::ScriptedConsole console("0\n-1\n2\n0.5\n-3\n0.1\n0\n4\n0\n0\n4\n");
    for (DeadProperty d : {DeadProperty::Mass, DeadProperty::Radius, DeadProperty::Charge,
                           DeadProperty::Speed})
        askDeadProperty(sim, d);
    fireDeadParticle(sim, defaultSpeed(sim));
    const Particle& q = sim.arrays.particleArray[5];
    EXPECT_TRUE(q.m == 2 * kMass && q.rad == 0.5 * kRadius && q.q == -3 * kCharge);
    EXPECT_DOUBLE_EQ(q.vel[1], -0.1 * kRapar / kTimeStep);
    askPhiScanAngles(sim);
    EXPECT_DOUBLE_EQ(sim.reserve.phiMax, 0.75 * pi);
    EXPECT_DOUBLE_EQ(sim.reserve.phiMin, 0.25 * pi);
    EXPECT_EQ(sim.reserve.firingPhi, sim.reserve.phiMin);
    test::expectGolden("dead_particle_dialogues.txt", console.output());

    for (Simulation empty : {makeCloud(3, 0), Simulation{}}) {  // Simulation{}: counts, no slots
        fireDeadParticle(empty, 1.0);
        addProbe(empty);
        resetDeadParticles(empty);
        EXPECT_EQ(empty.reserve.numDeadParticles + empty.reserve.probeIndex, empty.numParticles ? -1 : 99);
    }
}

TEST(DeadParticles, PhiScanSweepsFromQuarterToThreeQuartersPiAndWraps) {
    Simulation sim = makeCloud(1, 61);
    sim.reserve.phiScanOn = 1;
    setPhiScanAngles(sim.reserve, 4, 4);
    const double speed = defaultSpeed(sim);
    std::vector<double> phis;
    for (int shot = 0; shot < 55; ++shot) {
        fireDeadParticle(sim, speed);
        const Particle& p = sim.arrays.particleArray[1 + shot];
        phis.push_back(p.azimuth());
        // From the park circle of radius 1.5 Rapar in the x-y plane, straight at the centre.
        EXPECT_NEAR(p.distanceFromCentre(), 1.5 * kRapar, 1e-12);
        EXPECT_EQ(p.pos[2], 0.0);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(p.vel[i], -speed * p.pos[i] / (1.5 * kRapar), 1e-12 * speed);
    }
    for (int shot = 0; shot <= 49; ++shot) EXPECT_NEAR(phis[shot], pi / 4 + shot * pi / 100, 1e-12);
    const int wrap = phis[50] < phis[49] ? 50 : 51;  // after passing 3 pi/4, pi/4 again
    EXPECT_NEAR(phis[wrap - 1], 3 * pi / 4, 1e-12);
    EXPECT_NEAR(phis[wrap], pi / 4, 1e-12);
    EXPECT_NEAR(phis[wrap + 1], pi / 4 + pi / 100, 1e-12);
    // A slot at the centre has no direction to aim from: the plain shot, and the sweep moves on.
    sim.arrays.particleArray[56].pos[1] = 0;
    const double phi = sim.reserve.firingPhi;
    fireDeadParticle(sim, 3.0);
    EXPECT_EQ(velocity(sim.arrays.particleArray[56]), (Vec{0, -3, 0}));
    EXPECT_DOUBLE_EQ(sim.reserve.firingPhi, phi + pi / 100);
}

TEST(DeadParticles, CompensatedShotsGrowTheApparatusAndJoinTheCloud) {
    Simulation sim = makeCloud(10, 4);
    sim.switches.compensateDeadAddition = 1;
    sim.model.totalCharge = 10 * kCharge;
    for (int shot = 1; shot <= 2; ++shot) {
        fireDeadParticle(sim, defaultSpeed(sim));
        const double rapar = std::cbrt(3.0 * (10 + shot) / (4.0 * pi)) * 1.5;
        EXPECT_DOUBLE_EQ(sim.model.apparatusRadius, rapar) << shot;
        EXPECT_DOUBLE_EQ(sim.model.totalCharge, (10 + shot) * kCharge);
        EXPECT_DOUBLE_EQ(sim.reserve.deadParkY, 1.5 * rapar);
        const Particle& joined = sim.arrays.particleArray[9 + shot];
        EXPECT_EQ(position(joined), (Vec{0.1, 0.1, 0.1}));
        EXPECT_TRUE(!joined.isDeadParticle() && joined.m == kMass);
        for (int i = 10 + shot; i < 14; ++i) expectParked(sim, i);  // lifted to the new park
    }
    resetDeadParticles(sim);  // a joined grain stays in the cloud
    EXPECT_EQ(sim.reserve.numDeadParticles, 2);
}

TEST(DeadParticles, ResetReturnsShotsProbeAndStraysAndTheLastLiveGrainFillsEachGap) {
    Simulation sim = makeCloud(6, 5);
    Particle* p = sim.particles();
    p[6].pos[0] = 4, p[6].pos[1] = 7;  // the next to fire, off the park: put back
    resetDeadParticles(sim);
    EXPECT_EQ(position(p[6]), (Vec{0, sim.reserve.deadParkY, 0}));
    for (int shot = 0; shot < 3; ++shot) fireDeadParticle(sim, defaultSpeed(sim));
    for (int i = 6; i < 9; ++i) p[i].pos[1] = 2.0 - i;  // in flight
    addProbe(sim);
    EXPECT_EQ(sim.reserve.probeIndex, 9);
    EXPECT_EQ(sim.reserve.numDeadParticles, 1);
    EXPECT_TRUE(p[9].m == probeMass && p[9].q == 0 && p[9].rad == kRadius && hasDeadColour(p[9]));
    EXPECT_EQ(position(p[9]), (Vec{0.01, 0.01, 0.01}));
    EXPECT_EQ(p[9].speed(), 0.0);
    for (int i : {1, 4}) {  // dead particles among the grains, where a step may leave them
        p[i].setColour(deadColourRed, deadColourGreen, deadColourBlue);
        p[i].vel[0] = 5;
    }
    resetDeadParticles(sim);
    EXPECT_EQ(sim.reserve.probeIndex, -1);
    EXPECT_EQ(sim.reserve.numDeadParticles, 7);
    const double masses[] = {100, 105, 102, 103};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(p[i].m, masses[i]) << "slot " << i;
    for (int i = 4; i < 11; ++i) expectParked(sim, i);
}

TEST(DeadParticles, DisplacementMovesHighlightedGrainsOrAStrictShellRadially) {
    // Grains at distances 5, 10, ..., 30; the shell 10 < r < 20 has 10 and 20 on its bounds.
    const struct {
        Displaced which;
        double fraction, shift;
        std::vector<int> moved;
    } cases[] = {{Displaced::Highlighted, 0.1, 1.0, {1, 3}},
                 {Displaced::ShellView, -0.05, -0.5, {2}},
                 {Displaced::Highlighted, 0, 0, {}}};
    for (const auto& c : cases) {
        Simulation sim = makeCloud(6, 2);
        Particle* p = sim.particles();
        for (int i = 0; i < 6; ++i) p[i].pos[0] = 3.0 * (i + 1), p[i].pos[1] = 4.0 * (i + 1);
        p[1].setColour(0, 4, 0);  // the neighbour search's highlight
        p[3].setColour(0, 4, 0);
        p[2].setColour(0, 1, 0);  // the space-key selection is not a highlight
        p[4].setColour(1, 4, 0);
        p[7].setColour(0, 4, 0);  // waiting: never moved
        const std::vector<Particle> before = sim.arrays.particleArray;
        displaceParticles(sim, c.which, c.fraction, 15, 10);
        for (int i = 0; i < 8; ++i) {
            const bool moved = std::find(c.moved.begin(), c.moved.end(), i) != c.moved.end();
            const double r = moved ? 5.0 * (i + 1) + c.shift : before[i].distanceFromCentre();
            EXPECT_NEAR(p[i].distanceFromCentre(), r, 1e-12) << i;
            EXPECT_EQ(p[i].pos[2], before[i].pos[2]) << i;
            EXPECT_EQ(p[i].pos[0] * (i < 6 ? 4 : 0), p[i].pos[1] * (i < 6 ? 3 : 0)) << i;
        }
    }
}

}  // namespace
}  // namespace qv
