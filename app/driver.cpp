#include "app/driver.h"

#include <cassert>
#include <cmath>
#include <cstddef>
#include <ostream>

#include "analysis/runlog.h"
#include "analysis/structure.h"
#include "analysis/tracker.h"
#include "analysis/velocity_outputs.h"
#include "console/console.h"
#include "dataset/writer.h"
#include "sim/dead_particles.h"

namespace qv {
namespace {

// The structure of the cloud at the end of a cooling division, or around a fired particle.
void runStructureAnalyses(Simulation& sim) {
    const Particle* p = sim.particles();
    const int n = sim.liveCount();
    writePairCorrelation(sim, pairCorrelation(sim, p, n, defaultSampleCount));
    writeShellStructure(sim, shellStructure(sim, p, n, defaultSampleCount));
    writeFieldStructure(sim, fieldStructure(sim, p, n));
}

void announceTarget(double target) {
    console::out() << '\n' << "Smart cooling is on (Target: " << target << " )" << '\n' << '\n';
}

}  // namespace

const char* invariantBreach(const Simulation& sim) {
    const int slots = sim.numParticles;
    const int waiting = sim.reserve.numDeadParticles;
    if (waiting < 0 || waiting > slots ||
        static_cast<std::size_t>(slots) > sim.arrays.particleArray.size())
        return "the counts do not fit the slots";
    int waitingRoles = 0;
    for (int s = 0; s < slots; ++s) {
        const Particle& p = sim.arrays.particleArray[static_cast<std::size_t>(s)];
        if (p.role == Role::WaitingDead) ++waitingRoles;
        if (s >= slots - waiting) continue;
        for (int c : kAxes) {
            if (!std::isfinite(p.pos[c]) || !std::isfinite(p.vel[c]))
                return "a live value is not finite";
        }
    }
    if (waitingRoles != waiting) return "live + waiting is not the number of slots";
    return nullptr;
}

void writeStepOutputs(Simulation& sim, const StepReport& report) {
    for (const Particle& escaped : report.escaped) writeDetectorRow(sim, escaped);
    if (report.frame == FrameKind::Sampling) {
        const Particle* sampled = report.sampled.data();
        const int live = report.live;
        writeDataRow(sim, report);
        // The periodic structure analyses run unless a schedule or the firing automation
        // drives them.
        if (!sim.switches.automatedAnalysis && !sim.switches.autoFiringOn) {
            writeFieldStructure(sim, fieldStructure(sim, sampled, live));
            writePairCorrelation(sim, pairCorrelation(sim, sampled, live, defaultSampleCount));
            writeShellStructure(sim, shellStructure(sim, sampled, live, defaultSampleCount));
        }
        completeSamplingFrame(sim, report);
        writeTrackerRow(sim, sampled);  // nothing while no grain is tracked
        if (sim.switches.velocityTrackingOn) {
            writeVelocityRows(sim, sampled, live);
            writeSpeedDensity(sim, sampled, live);
        }
    }
    printStatusLine(sim);
}

void renderStep(Simulation& sim, OutputFile& dataSet) {
    // Cheap enough for debug and sanitizer builds, not for every step of a release render.
    assert(!invariantBreach(sim));
    // The frame stored is the state before this call's step.
    if (sim.clock.currentFrame % sim.clock.writeFreq == 0 || sim.clock.currentFrame == 1)
        writeFrame(sim, dataSet);
    if (sim.switches.automatedAnalysis) {
        smartCoolingSchedule(sim);
    } else if (sim.switches.autoFiringOn) {
        autoFiring(sim);
    }
    writeStepOutputs(sim, timeStepOnce(sim));
    sim.clock.simTime += sim.model.timeStep;
}

void smartCoolingSchedule(Simulation& sim) {
    Thermostat& t = sim.thermostat;
    const int c = sim.clock.currentFrame;
    const int length = t.scheduleDivisionLength;
    const int end = length * t.scheduleDivisions + length;
    const int half = length / 2;
    // A division shorter than two frames has no middle; the set-up does not allow it, and then
    // only frame 1 acts rather than dividing by zero.
    const bool due =
        c == 1 || (half >= 1 && c <= sim.clock.framesToCalculate && c > length && c % half == 0);
    if (!due) return;
    const bool divisionEnd = length >= 1 && c % length == 0;

    if ((divisionEnd && c < end) || c == 1) {
        runStructureAnalyses(sim);
        t.coolingState = CoolingState::Steering;
        announceTarget(t.ccpleTarget - t.scheduleStep);
        t.ccpleTarget -= t.scheduleStep;
    } else if (divisionEnd) {
        // Past the minimum the schedule walks back up.
        runStructureAnalyses(sim);
        t.coolingState = CoolingState::Steering;
        announceTarget(t.ccpleTarget + t.scheduleStep);
        t.ccpleTarget += t.scheduleStep;
    } else {
        // Middle of a division: let the cloud settle without the thermostat.
        t.coolingState = CoolingState::Off;
        console::out() << '\n' << "Smart cooling is off" << '\n' << '\n';
    }
}

void autoFiring(Simulation& sim) {
    const int c = sim.clock.currentFrame;
    DeadReserve& reserve = sim.reserve;
    const bool targetHeld = sim.thermostat.coolingState == CoolingState::TargetReached;
    const bool noneInFlight = reserve.autoFiringStartDead == reserve.numDeadParticles;
    const bool compensate = sim.switches.compensateDeadAddition;
    if (targetHeld && (noneInFlight || compensate)) {
        if (reserve.lastFireFrame + 25 < c) {
            fireDeadParticle(
                sim, sim.model.apparatusRadius * reserve.deadSpeedFraction / sim.model.timeStep);
            reserve.lastFireFrame = c;
        }
        if (compensate) runStructureAnalyses(sim);
    }
    // A fired particle that has not left the cloud 300 frames later is called back.
    if (targetHeld && reserve.autoFiringStartDead != reserve.numDeadParticles &&
        reserve.lastFireFrame + 300 < c && !compensate) {
        resetDeadParticles(sim);
    }
}

}  // namespace qv
