#include "sim/dead_particles.h"

#include <cmath>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "console/console.h"
#include "sim/constants.h"
#include "sim/simulation.h"

namespace qv {
namespace {

// The counts describe the array: all slots exist and the reserve is part of them.
bool countsFitArray() {
    return sim.numParticles >= 0 &&
           static_cast<std::size_t>(sim.numParticles) <= sim.arrays.particleArray.size() &&
           sim.reserve.numDeadParticles >= 0 && sim.reserve.numDeadParticles <= sim.numParticles;
}

// The next dead particle to fire is always the first waiting slot; null when the reserve is
// empty.
Particle* firstWaitingSlot() {
    if (sim.reserve.numDeadParticles <= 0 || !countsFitArray()) return nullptr;
    return &sim.arrays.particleArray[static_cast<std::size_t>(sim.liveCount())];
}

// A waiting dead particle: everything 0 but the dead colour, the park height and the mean
// radius, so that it is ready for the next shot.
void parkAsDead(Particle& p) {
    p.reset();
    p.setColour(deadColourRed, deadColourGreen, deadColourBlue);
    p.setPosition(1, sim.reserve.deadParkY);
    p.setRadius(sim.model.grainRadius);
}

// The prompt on its own line, an answer, an empty line: the layout of every console question.
// Answers that `accept` refuses are asked again after the `refusal` line. Nothing when input has
// ended: the command is cancelled.
std::optional<double> askReal(const std::string& prompt, bool (*accept)(double) = nullptr,
                              std::string_view refusal = {}) {
    std::ostream& out = console::out();
    out << '\n' << prompt << '\n' << std::flush;
    const std::optional<double> v = accept != nullptr
                                        ? console::askRealWhere(accept, refusal, prompt + "\n")
                                        : console::askReal(prompt + "\n");
    if (!v) {
        console::reportCancelled();
        return std::nullopt;
    }
    out << '\n';
    return v;
}

}  // namespace

void fireDeadParticle(double speed) {
    Particle* slot = firstWaitingSlot();
    if (slot == nullptr) return;
    Particle& p = *slot;

    p.setVelocity(1, -speed);
    if (sim.reserve.phiScanOn > 0) {
        p.setAzimuth(sim.reserve.firingPhi);
        sim.reserve.firingPhi += (sim.reserve.phiMax - sim.reserve.phiMin) / 50;
        if (sim.reserve.firingPhi > sim.reserve.phiMax) sim.reserve.firingPhi = sim.reserve.phiMin;
        // Aim at the centre. A slot sitting exactly at the centre has no such direction and
        // keeps the plain shot along -y.
        const double r = p.distanceFromCentre();
        if (r > 0) {
            for (int i = 0; i < 3; ++i) p.setVelocity(i, p.position(i) * -speed / r);
        }
    }
    p.setMass(sim.reserve.deadMassFraction * sim.model.grainMass);
    p.setCharge(sim.reserve.deadChargeFraction * sim.model.grainCharge);
    p.setRadius(sim.reserve.deadRadiusFraction * sim.model.grainRadius);

    joinFiredParticle();
    sim.reserve.numDeadParticles -= 1;
}

void joinFiredParticle() {
    Particle* slot = firstWaitingSlot();
    if (slot == nullptr) return;
    Particle& p = *slot;

    if (sim.switches.compensateDeadAddition > 0) {
        // Grow the apparatus with the cloud so that the number density stays at its set-up
        // value: n grains of spacing a fill a sphere of radius (3n / 4 pi)^(1/3) a.
        const int n = sim.liveCount() + 1;
        sim.model.apparatusRadius = std::cbrt(3.0 * n / (4.0 * pi)) * sim.model.interparticleDistance;
        sim.model.totalCharge += p.charge();
        // The new grain joins the cloud at once, near the centre, as an ordinary grain.
        p.setPosition(0, 0.1);
        p.setPosition(1, 0.1);
        p.setPosition(2, 0.1);
        p.setColour(0, 0, 0);
    }
    sim.reserve.deadParkY = 1.5 * sim.model.apparatusRadius;
    // Keep the reserve outside the (possibly larger) apparatus.
    for (int i = 1; i <= sim.reserve.numDeadParticles - 1; ++i) {
        sim.arrays.particleArray[static_cast<std::size_t>(sim.numParticles - i)].setPosition(
            1, sim.reserve.deadParkY);
    }
}

void resetDeadParticles() {
    int live = countsFitArray() ? sim.liveCount() : 0;
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
        parkAsDead(last);
        sim.reserve.numDeadParticles += 1;
        live -= 1;
    }
    if (Particle* next = firstWaitingSlot();
        next != nullptr && next->position(1) != sim.reserve.deadParkY) {
        next->setPosition(0, 0);
        next->setPosition(1, sim.reserve.deadParkY);
        next->setPosition(2, 0);
    }
    sim.reserve.probeIndex = -1;
}

void addProbe() {
    Particle* slot = firstWaitingSlot();
    if (slot == nullptr) return;
    Particle& p = *slot;
    sim.reserve.probeIndex = sim.liveCount();
    // So heavy that neither a collision nor the time step moves it; it carries no charge until
    // the probe keys give it one. It keeps the dead colour, which is how the reset finds it.
    p.setMass(probeMass);
    p.setCharge(0);
    p.setRadius(sim.model.grainRadius);
    p.setPosition(0, 0.01);
    p.setPosition(1, 0.01);
    p.setPosition(2, 0.01);
    sim.reserve.numDeadParticles -= 1;
}

void displaceParticles(int which, double shellRadius, double shellWidth) {
    const std::optional<double> f =
        askReal("Please enter fraction of Rapar the particles should be displaced:");
    if (!f) return;
    const double shift = *f * sim.model.apparatusRadius;
    const int live = countsFitArray() ? sim.liveCount() : 0;
    for (int i = 0; i < live; ++i) {
        Particle& p = sim.arrays.particleArray[static_cast<std::size_t>(i)];
        const double r = p.distanceFromCentre();
        bool chosen = false;
        if (which == 23) {
            // The neighbour search marks its grains with a green of 4, out of display range.
            chosen = p.colour(0) == 0.0 && p.colour(1) == 4.0 && p.colour(2) == 0.0;
        } else if (which == 24) {
            chosen = shellRadius - shellWidth / 2 < r && r < shellRadius + shellWidth / 2;
        }
        if (chosen) p.setDistanceFromCentre(r + shift);
    }
}

void askDeadProperty(int entry) {
    // A question given up keeps the value as it was.
    switch (entry) {
        case 13:
            // The time step divides by the mass, and no grain weighs nothing or less.
            sim.reserve.deadMassFraction =
                askReal(
                    "Please enter mass as a fraction of average particle mass: ",
                    [](double f) { return f > 0; }, "The mass must be above 0.")
                    .value_or(sim.reserve.deadMassFraction);
            break;
        case 14:
            sim.reserve.deadRadiusFraction =
                askReal("Please enter radius as a fraction of average particle radius: ")
                    .value_or(sim.reserve.deadRadiusFraction);
            break;
        case 15:
            sim.reserve.deadChargeFraction =
                askReal("Please enter charge as a fraction of average particle charge: ")
                    .value_or(sim.reserve.deadChargeFraction);
            break;
        case 16:
            sim.reserve.deadSpeedFraction =
                askReal("Please enter speed as a fraction of Rapar travelled in 1 time step: ")
                    .value_or(sim.reserve.deadSpeedFraction);
            break;
        default:
            break;
    }
}

bool askPhiScanAngles() {
    // The scan limits are pi/2 +- pi/x around the +y axis, where the reserve waits; x = 0 has
    // no angle, so it is asked again.
    std::ostream& out = console::out();
    const auto readDivisor = [](const std::string& prompt) {
        const std::optional<double> x =
            console::askRealWhere([](double v) { return v != 0; },
                                  "The angle is PI/x, so x must not be 0.", prompt + "\n");
        if (!x) console::reportCancelled();
        return x;
    };
    const std::string maxPrompt =
        "Please enter (x) where Max Phi Angle will be set to (PI/2)+(PI/x): ";
    out << '\n' << maxPrompt << '\n' << std::flush;
    const std::optional<double> xMax = readDivisor(maxPrompt);
    if (!xMax) return false;

    const std::string minPrompt =
        "Please enter (x) where Min Phi Angle will be set to (PI/2)-(PI/x): ";
    out << '\n' << minPrompt << '\n' << std::flush;
    const std::optional<double> xMin = readDivisor(minPrompt);
    if (!xMin) return false;
    out << '\n';
    sim.reserve.phiMax = pi / 2 + pi / *xMax;
    sim.reserve.phiMin = pi / 2 - pi / *xMin;
    sim.reserve.firingPhi = sim.reserve.phiMin;
    return true;
}

}  // namespace qv
