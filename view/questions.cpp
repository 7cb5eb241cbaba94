#include "view/questions.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "analysis/structure.h"
#include "console/console.h"
#include "sim/constants.h"
#include "sim/cooling.h"
#include "sim/dead_particles.h"
#include "sim/simulation.h"

namespace qv {
namespace {

// Far finer shells or bins than any grain spacing; the bound keeps their count and memory sane.
constexpr int maxSampleCount = 100000;

// The prompt on its own line, an answer, an empty line: the layout of every console question.
// Answers that `accept` refuses are asked again after the `refusal` line. Nothing when input has
// ended: the command is cancelled.
std::optional<double> askReal(const std::string& prompt, bool (*accept)(double) = nullptr,
                              std::string_view refusal = {}) {
    console::out() << '\n';
    std::function<bool(double)> judge;
    if (accept != nullptr) judge = accept;
    return console::ask<double>(prompt + "\n", judge, refusal);
}

// A real number: a fractional count gives shells that do not fit Rapar a whole number of times.
std::optional<double> askShellSamples() {
    console::clearScreen();
    console::out() << "Analysing please wait..." << '\n' << '\n';
    return console::ask<double>(
        "Enter number of samples along Rapar : \n",
        [](double s) { return s > 0 && s <= maxSampleCount; },
        "The number of samples must be above 0 and at most 100000.");
}

std::optional<int> askPairSamples() {
    console::out() << "PCF Function loaded" << '\n' << '\n';
    const std::optional<int> samples = console::ask<int>(
        "Enter number of samples along Rapar", [](int s) { return s >= 1 && s <= maxSampleCount; },
        "The number of samples must be a whole number from 1 to 100000.");
    if (samples) console::out() << "Calculating..." << '\n' << '\n' << std::flush;
    return samples;
}

// A replayed frame stands for writeFreq steps; the replay keeps no clock of its own.
void setReplayTime(Simulation& sim) {
    if (sim.run.runMode == RunMode::Play) {
        sim.clock.simTime = sim.clock.currentFrame * sim.model.timeStep * sim.clock.writeFreq;
    }
}

}  // namespace

bool askCcpleTarget(Simulation& sim) {
    std::ostream& out = console::out();
    out << '\n' << "Please enter target ccple" << '\n' << std::flush;
    // The thermostat divides by the target, so only a positive coupling is a target.
    const std::optional<int> target =
        console::askIntWhere([](int g) { return g > 0; }, "The target ccple must be above 0.",
                             "Please enter target ccple\n");
    if (!target) {
        console::reportCancelled();
        return false;
    }
    out << '\n';
    setCcpleTarget(sim, *target);
    return true;
}

void askDeadProperty(Simulation& sim, DeadProperty property) {
    DeadReserve& dead = sim.reserve;
    // A question given up keeps the value as it was.
    switch (property) {
        case DeadProperty::Mass:
            // The time step divides by the mass, and no grain weighs nothing or less.
            dead.deadMassFraction =
                askReal(
                    "Please enter mass as a fraction of average particle mass: ",
                    [](double f) { return f > 0; }, "The mass must be above 0.")
                    .value_or(dead.deadMassFraction);
            break;
        case DeadProperty::Radius:
            dead.deadRadiusFraction =
                askReal("Please enter radius as a fraction of average particle radius: ")
                    .value_or(dead.deadRadiusFraction);
            break;
        case DeadProperty::Charge:
            dead.deadChargeFraction =
                askReal("Please enter charge as a fraction of average particle charge: ")
                    .value_or(dead.deadChargeFraction);
            break;
        case DeadProperty::Speed:
            dead.deadSpeedFraction =
                askReal("Please enter speed as a fraction of Rapar travelled in 1 time step: ")
                    .value_or(dead.deadSpeedFraction);
            break;
    }
}

bool askPhiScanAngles(Simulation& sim) {
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
    setPhiScanAngles(sim.reserve, *xMax, *xMin);
    return true;
}

void askDisplacement(Simulation& sim, Displaced which, double shellRadius, double shellWidth) {
    const std::optional<double> f =
        askReal("Please enter fraction of Rapar the particles should be displaced:");
    if (!f) return;
    displaceParticles(sim, which, *f, shellRadius, shellWidth);
}

void analyseStructureByHand(Simulation& sim) {
    std::ostream& out = console::out();
    // While the schedule drives the analyses, nobody is there to answer.
    const bool interactive = sim.switches.automatedAnalysis == 0;
    const Particle* particles = sim.particles();
    const int n = std::max(sim.numParticles, 0);

    const std::optional<double> shellSamples =
        interactive ? askShellSamples() : std::optional<double>(defaultSampleCount);
    if (shellSamples) {
        setReplayTime(sim);
        writeShellStructure(sim, shellStructure(sim, particles, n, *shellSamples));
        if (interactive) out << "Finished shell calculation" << '\n' << '\n' << std::flush;
    }
    // Without input the shell analysis was given up, and with it the whole command.
    if (console::inputEnded()) return;

    const std::optional<int> pairSamples =
        interactive ? askPairSamples() : std::optional<int>(defaultSampleCount);
    if (!pairSamples) return;
    setReplayTime(sim);
    const PairCorrelation pcf = pairCorrelation(sim, particles, n, *pairSamples);
    writePairCorrelation(sim, pcf);
    if (interactive) {
        for (const double position : pcf.peaks) out << position << '\n';
        out << '\n' << std::flush;
    }
}

}  // namespace qv
