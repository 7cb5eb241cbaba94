#include "sim/dead_particles.h"

#include <cmath>

#include "sim/apparatus.h"
#include "sim/constants.h"

namespace qv {
namespace {

// The counts describe the array: all slots exist and the reserve is part of them.
bool countsFitArray(const Simulation& sim) {
    return sim.numParticles >= 0 &&
           static_cast<std::size_t>(sim.numParticles) <= sim.arrays.particleArray.size() &&
           sim.reserve.numDeadParticles >= 0 && sim.reserve.numDeadParticles <= sim.numParticles;
}

// The next dead particle to fire is always the first waiting slot; null when the reserve is
// empty.
Particle* firstWaitingSlot(Simulation& sim) {
    if (sim.reserve.numDeadParticles <= 0 || !countsFitArray(sim)) return nullptr;
    return &sim.arrays.particleArray[static_cast<std::size_t>(sim.liveCount())];
}

}  // namespace

// Ready for the next shot.
void parkAsDead(const Simulation& sim, Particle& p) {
    p.reset();
    p.role = Role::WaitingDead;
    p.setColour(deadColourRed, deadColourGreen, deadColourBlue);
    p.setPosition(1, sim.reserve.deadParkY);
    p.setRadius(sim.model.grainRadius);
}

void fireDeadParticle(Simulation& sim, double speed) {
    Particle* slot = firstWaitingSlot(sim);
    if (slot == nullptr) return;
    Particle& p = *slot;

    p.role = Role::FiredDead;
    p.setVelocity(1, -speed);
    if (sim.reserve.phiScanOn) {
        p.setAzimuth(sim.reserve.firingPhi);
        sim.reserve.firingPhi += (sim.reserve.phiMax - sim.reserve.phiMin) / 50;
        if (sim.reserve.firingPhi > sim.reserve.phiMax) sim.reserve.firingPhi = sim.reserve.phiMin;
        // Aim at the centre. A slot sitting exactly at the centre has no such direction and
        // keeps the plain shot along -y.
        const double r = p.distanceFromCentre();
        if (r > 0) {
            for (int i : kAxes) p.setVelocity(i, p.position(i) * -speed / r);
        }
    }
    p.setMass(sim.reserve.deadMassFraction * sim.model.grainMass);
    p.setCharge(sim.reserve.deadChargeFraction * sim.model.grainCharge);
    p.setRadius(sim.reserve.deadRadiusFraction * sim.model.grainRadius);

    joinFiredParticle(sim);
    sim.reserve.numDeadParticles -= 1;
}

void joinFiredParticle(Simulation& sim) {
    Particle* slot = firstWaitingSlot(sim);
    if (slot == nullptr) return;
    Particle& p = *slot;

    if (sim.switches.compensateDeadAddition) {
        // Grow the apparatus with the cloud so that the number density stays at its set-up
        // value: n grains of spacing a fill a sphere of radius (3n / 4 pi)^(1/3) a.
        const int n = sim.liveCount() + 1;
        sim.model.apparatusRadius = apparatusRadiusFor(n, sim.model.interparticleDistance);
        sim.model.totalCharge += p.charge();
        // The new grain joins the cloud at once, near the centre, as an ordinary grain.
        p.setPosition(0, 0.1);
        p.setPosition(1, 0.1);
        p.setPosition(2, 0.1);
        p.setColour(0, 0, 0);
        p.role = Role::Grain;
    }
    sim.reserve.deadParkY = 1.5 * sim.model.apparatusRadius;
    // Keep the reserve outside the (possibly larger) apparatus.
    for (int i = 1; i <= sim.reserve.numDeadParticles - 1; ++i) {
        sim.arrays.particleArray[static_cast<std::size_t>(sim.numParticles - i)].setPosition(
            1, sim.reserve.deadParkY);
    }
}

void resetDeadParticles(Simulation& sim) {
    int live = countsFitArray(sim) ? sim.liveCount() : 0;
    int i = 0;
    while (i < live) {
        Particle& p = sim.arrays.particleArray[static_cast<std::size_t>(i)];
        if (!p.isDeadParticle()) {
            ++i;
            continue;
        }
        // The last live grain fills the gap; the freed end slot joins the reserve. Slot i is
        // looked at again, since it now holds that grain.
        Particle& last = sim.arrays.particleArray[static_cast<std::size_t>(live - 1)];
        p.assign(last);
        parkAsDead(sim, last);
        sim.reserve.numDeadParticles += 1;
        live -= 1;
    }
    if (Particle* next = firstWaitingSlot(sim);
        next != nullptr && next->position(1) != sim.reserve.deadParkY) {
        next->setPosition(0, 0);
        next->setPosition(1, sim.reserve.deadParkY);
        next->setPosition(2, 0);
    }
    sim.reserve.probeIndex = -1;
}

void addProbe(Simulation& sim) {
    Particle* slot = firstWaitingSlot(sim);
    if (slot == nullptr) return;
    Particle& p = *slot;
    sim.reserve.probeIndex = sim.liveCount();
    // So heavy that neither a collision nor the time step moves it; it carries no charge until
    // the probe keys give it one. A dead particle still, so the reset parks it again.
    p.role = Role::Probe;
    p.setMass(probeMass);
    p.setCharge(0);
    p.setRadius(sim.model.grainRadius);
    p.setPosition(0, 0.01);
    p.setPosition(1, 0.01);
    p.setPosition(2, 0.01);
    sim.reserve.numDeadParticles -= 1;
}

void displaceParticles(Simulation& sim, Displaced which, double fraction, double shellRadius,
                       double shellWidth) {
    const double shift = fraction * sim.model.apparatusRadius;
    const int live = countsFitArray(sim) ? sim.liveCount() : 0;
    for (int i = 0; i < live; ++i) {
        Particle& p = sim.arrays.particleArray[static_cast<std::size_t>(i)];
        const double r = p.distanceFromCentre();
        bool chosen = false;
        if (which == Displaced::Highlighted) {
            chosen = p.highlighted && !p.isDeadParticle();
        } else {
            chosen = shellRadius - shellWidth / 2 < r && r < shellRadius + shellWidth / 2;
        }
        if (chosen) p.setDistanceFromCentre(r + shift);
    }
}

void setPhiScanAngles(DeadReserve& reserve, double xMax, double xMin) {
    reserve.phiMax = pi / 2 + pi / xMax;
    reserve.phiMin = pi / 2 - pi / xMin;
    reserve.firingPhi = reserve.phiMin;
}

}  // namespace qv
