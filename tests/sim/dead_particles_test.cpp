// Every slot and the reserve after each operation, against a listing checked by hand: the park,
// shots along -y, the scan from pi/4 to 3 pi/4, compensation, the probe, resets filling gaps.
#include "sim/dead_particles.h"

#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <vector>

#include "sim/constants.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

// Rapar 10, step 0.5; `live` grains on a line along x, grain i of mass 100 + i, charge -100,
// radius 0.05 (the mean), then `waiting` dead particles parked at 1.5 Rapar.
Simulation makeCloud(int live, int waiting) {
    Simulation sim;
    PlasmaModel& m = sim.model;
    m.apparatusRadius = 10, m.timeStep = 0.5, m.grainMass = 2, m.grainCharge = -100;
    m.grainRadius = 0.05, m.interparticleDistance = 1.5, sim.reserve.deadParkY = 15;
    sim.numParticles = live + waiting;
    sim.reserve.numDeadParticles = waiting;
    for (int i = 0; i < live; ++i)
        sim.arrays.particleArray.push_back(
            {{0.1 * (i + 1)}, {0, 0, 0.01 * i}, {}, 100.0 + i, -100, 0.05});
    sim.arrays.particleArray.resize(live + waiting);
    for (int i = live; i < live + waiting; ++i) parkAsDead(sim, sim.arrays.particleArray[i]);
    return sim;
}

std::ostringstream listing;
void list(const Simulation& sim, const std::string& what) {
    const DeadReserve& r = sim.reserve;
    listing << "== " << what << ": waiting " << r.numDeadParticles << ", probe " << r.probeIndex
            << ", phi " << r.firingPhi << ", Rapar " << sim.model.apparatusRadius << ", Q "
            << sim.model.totalCharge << ", park " << r.deadParkY << "\n";
    for (const Particle& p : sim.arrays.particleArray) {
        const std::array<double, 3> c = displayColour(p);
        for (double v : {p.pos[0], p.pos[1], p.pos[2], p.vel[0], p.vel[1], p.vel[2], c[0], c[1],
                         c[2], p.m, p.q, p.rad})
            listing << v << ' ';
        listing << '\n';
    }
}

TEST(DeadParticles, ShotsScanCompensationProbeResetAndDisplacement) {
    listing.str("");
    listing.precision(12);
    Simulation sim = makeCloud(4, 3);
    const double speed = 10 * sim.reserve.deadSpeedFraction / 0.5;
    fireDeadParticle(sim, speed);
    list(sim, "a default shot");
    sim.reserve.deadMassFraction = 2, sim.reserve.deadRadiusFraction = 0.5;
    sim.reserve.deadChargeFraction = -3;
    fireDeadParticle(sim, 1);
    list(sim, "a shot of mass 2, radius 0.5, charge -3 times the mean");
    for (Simulation empty : {makeCloud(3, 0), Simulation{}}) {  // Simulation{}: counts, no slots
        fireDeadParticle(empty, 1.0);
        addProbe(empty);
        resetDeadParticles(empty);
        list(empty, "an empty reserve");
    }

    sim = makeCloud(1, 53);
    sim.reserve.phiScanOn = true, sim.arrays.particleArray[1].pos[2] = 5;  // one shot off the plane
    setPhiScanAngles(sim.reserve, 4, 4);
    for (int shot = 0; shot < 51; ++shot) fireDeadParticle(sim, speed);
    sim.arrays.particleArray[52].pos[1] = 0;  // at the centre: no direction to aim from
    fireDeadParticle(sim, speed);
    list(sim, "52 shots of a scan from pi/4 to 3 pi/4, one from the centre");
    sim = makeCloud(0, 52);  // whole steps reach the end exactly: it is fired at, then wraps
    sim.reserve.phiScanOn = true, sim.reserve.phiMin = sim.reserve.firingPhi = 0;
    sim.reserve.phiMax = 50;
    for (double expected : {50.0, 0.0}) {
        while (sim.reserve.numDeadParticles > 52 - 50 - (expected == 0)) fireDeadParticle(sim, 1);
        EXPECT_EQ(sim.reserve.firingPhi, expected);
    }

    sim = makeCloud(10, 4);
    sim.switches.compensateDeadAddition = true;
    sim.model.totalCharge = -1000;
    fireDeadParticle(sim, speed);
    fireDeadParticle(sim, speed);
    list(sim, "two compensated shots");
    resetDeadParticles(sim);  // a joined grain stays in the cloud
    list(sim, "reset");

    sim = makeCloud(6, 5);
    Particle* p = sim.particles();
    p[6].pos[0] = 4, p[6].pos[1] = 7;  // the next to fire, off the park: put back
    resetDeadParticles(sim);
    for (int shot = 0; shot < 3; ++shot) fireDeadParticle(sim, speed);
    for (int i = 6; i < 9; ++i) p[i].pos[1] = 2.0 - i;  // in flight
    addProbe(sim);
    list(sim, "three shots in flight and the probe");
    for (int i : {1, 4}) p[i].role = Role::FiredDead, p[i].vel[0] = 5;  // left among the grains
    resetDeadParticles(sim);
    list(sim, "reset");

    // Grains at 5, 10, ..., 30; the shell 10 < r < 20 has 10 and 20 on its bounds. Only the
    // neighbour search's highlight of a grain counts, never a dead particle's or a colour.
    for (const auto& [which, fraction] :
         {std::pair{Displaced::Highlighted, 0.1}, {Displaced::ShellView, -0.05}}) {
        sim = makeCloud(6, 2);
        p = sim.particles();
        for (int i = 0; i < 6; ++i) p[i].pos[0] = 3.0 * (i + 1), p[i].pos[1] = 4.0 * (i + 1);
        p[1].highlighted = p[3].highlighted = p[4].highlighted = p[7].highlighted = true;
        p[2].setColour(0, 1, 0), p[4].role = Role::FiredDead, p[5].setColour(0, 4, 0);
        displaceParticles(sim, which, fraction, 15, 10);
        list(sim, which == Displaced::Highlighted ? "highlighted out by 1" : "shell in by 0.5");
    }
    sim = makeCloud(2, 0);  // the reserve used up: a highlighted grain still moves
    sim.particles()[0].highlighted = true, sim.particles()[0].pos[0] = 1;
    displaceParticles(sim, Displaced::Highlighted, 0.1, 0, 0);
    EXPECT_GT(sim.particles()[0].distanceFromCentre(), 1.0);
    sim = makeCloud(2, 2);  // the next shot's slot moved off its place: a reset parks it again
    for (double& x : sim.particles()[2].pos) x = 7;
    resetDeadParticles(sim);
    EXPECT_EQ(std::vector<double>(sim.particles()[2].pos, sim.particles()[2].pos + 3),
              (std::vector<double>{0, sim.reserve.deadParkY, 0}));
    test::expectGolden("dead_particles.txt", listing.str());
}

// A file keeps roles in its colours: red 1 is a dead particle, (0, 4, 0) a highlighted grain.
TEST(Particle, StoredColoursGiveRoleAndHighlight) {
    const struct {
        double colour[3];
        bool inReserve;
        Role role;
        bool highlighted;
        std::array<double, 3> shown;
    } cases[] = {{{0, 4, 0}, false, Role::Grain, true, {0, 4, 0}},
                 {{0, 4, 0.5}, false, Role::Grain, false, {0, 4, 0.5}},
                 {{0.5, 4, 0}, false, Role::Grain, false, {0.5, 4, 0}},
                 {{0, 3, 0}, false, Role::Grain, false, {0, 3, 0}},
                 {{1, 0, 0.5}, false, Role::FiredDead, false, {1, 0, 0.5}},
                 {{1, 1, 1}, true, Role::WaitingDead, false, {1, 1, 1}},
                 {{0, 0, 1}, true, Role::WaitingDead, false, {0, 0, 1}}};
    for (const auto& c : cases) {
        Particle p;
        takeStoredColour(p, c.colour, c.inReserve);
        EXPECT_TRUE(p.role == c.role && p.highlighted == c.highlighted) << c.colour[1];
        EXPECT_EQ(displayColour(p), c.shown) << c.colour[0] << " " << c.colour[2];
    }
    Particle unit{{1, 0, 0}};  // 1 from the centre: moved out along its own direction
    unit.setDistanceFromCentre(2);
    EXPECT_TRUE(unit.pos[0] == 2 && unit.pos[1] == 0 && unit.pos[2] == 0);
    // Below the centre on the z axis sin(theta) rounds to 1e-16, not 0: a turn must not move it.
    Particle below{{0, 0, -5}};
    below.setAzimuth(0.3);
    EXPECT_TRUE(below.pos[0] == 0 && below.pos[1] == 0 && below.pos[2] == -5);
}

}  // namespace
}  // namespace qv
