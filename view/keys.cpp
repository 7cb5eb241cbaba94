// Key commands: they change program state and call the subsystems, and never draw, so they run
// the same without a window. The function and arrow keys are in function_keys.cpp.
#include "view/keys.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <thread>

#include "analysis/tracker.h"
#include "app/exchange.h"
#include "console/console.h"
#include "sim/dead_particles.h"
#include "sim/simulation.h"
#include "view/questions.h"
#include "view/view_state.h"

namespace qv {
namespace {

constexpr double kAngleStep = pi / 180;  // one degree
constexpr double kTargetDistance = 50;

// Gives the replay a moment before the next frame, so a held key does not flicker.
void shortPause() {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

// Puts the camera target on the sphere of radius 50 around the eye, at polar angle phi (from the
// -z direction) and azimuth theta; phi is first wrapped once past +-2 pi.
void placeCameraTarget(ViewState& view) {
    double& phi = view.targetPhi;
    if (phi > 2 * pi) {
        phi -= 2 * pi;
    } else if (phi < -2 * pi) {
        phi += 2 * pi;
    }
    const double theta = view.targetTheta;
    const double direction[] = {std::sin(phi) * std::cos(theta), std::sin(phi) * std::sin(theta),
                                -std::cos(phi)};
    for (int i : kAxes) {
        view.cameraTarget[i] =
            static_cast<float>(view.cameraEye[i] + kTargetDistance * direction[i]);
    }
}

void turnTarget(ViewState& view, double dPhi, double dTheta) {
    view.targetPhi += dPhi;
    view.targetTheta += dTheta;
    placeCameraTarget(view);
}

void resetView(ViewState& view) {
    const ViewState initial{};
    view.targetPhi = 0;
    view.targetTheta = 0;
    std::copy(std::begin(initial.cameraTarget), std::end(initial.cameraTarget),
              std::begin(view.cameraTarget));
    std::copy(std::begin(initial.cameraEye), std::end(initial.cameraEye),
              std::begin(view.cameraEye));
    view.sceneRotX = 0;
    view.sceneRotY = 0;
    view.playStep = 1;
    view.savedPlayStep = 1;
}

void togglePause(ViewState& view) {
    if (view.playStep == 0) {
        view.playStep = view.savedPlayStep;
    } else {
        view.savedPlayStep = std::abs(view.playStep);
        view.playStep = 0;
    }
    shortPause();
}

void rewind(ViewState& view) {
    if (view.playStep != 0) view.savedPlayStep = std::abs(view.playStep);
    view.playStep = -view.savedPlayStep;
    shortPause();
}

bool slotExists(const Simulation& sim, int slot) {
    return slot >= 0 && slot < static_cast<int>(sim.arrays.particleArray.size());
}

// A new own colour, which also ends a highlight. A dead particle stays one: it is drawn in the
// dead colour whatever its own.
void paint(Particle& p, double r, double g, double b) {
    p.setColour(r, g, b);
    p.highlighted = false;
}

// Space and backspace walk the selection over every slot, dead particles included; the grain
// left behind is painted black whatever colour it had.
void moveSelection(Simulation& sim, ViewState& view, int step) {
    const int n = sim.numParticles;
    // No slots, or fewer than the count says: nothing to walk over.
    if (!slotExists(sim, n - 1)) return;
    int& selected = view.highlightedParticle;
    if (slotExists(sim, selected)) paint(sim.arrays.particleArray[selected], 0, 0, 0);
    selected += step;
    if (selected >= n || selected < 0) selected = step > 0 ? 0 : n - 1;
    paint(sim.arrays.particleArray[selected], 0, 1, 0);
}

// Off starts steering; steering or holding the target switches it off.
void toggleSmartCooling(Simulation& sim) {
    std::ostream& out = console::out();
    CoolingState& state = sim.thermostat.coolingState;
    if (state != CoolingState::Off) {
        out << '\n' << "Smart cooling is off" << '\n' << '\n' << std::flush;
        state = CoolingState::Off;
    } else {
        state = CoolingState::Steering;
        const std::string prompt = "Please enter target ccple: \n";
        out << '\n' << prompt << std::flush;
        // The thermostat divides by the target, so only a positive one can be steered to.
        const std::optional<double> target =
            console::askRealWhere([](double v) { return std::isfinite(v) && v > 0; },
                                  "The target ccple must be a number above 0.", prompt);
        if (!target) {
            state = CoolingState::Off;
            console::reportCancelled();
            return;
        }
        sim.thermostat.ccpleTarget = *target;
        out << '\n' << '\n' << "Smart cooling is on" << '\n' << '\n' << std::flush;
    }
}

void resetDead(Simulation& sim) {
    resetDeadParticles(sim);
    console::out() << '\n'
                   << "Dead particles reset, total number of deadparticles is: "
                   << sim.reserve.numDeadParticles << '\n'
                   << '\n'
                   << std::flush;
}

void toggleVelocityTracking(Simulation& sim) {
    sim.switches.velocityTrackingOn = !sim.switches.velocityTrackingOn;
    console::out() << '\n'
                   << "Tracking velocity (1 is on): " << (sim.switches.velocityTrackingOn ? 1 : -1)
                   << '\n'
                   << '\n'
                   << std::flush;
}

// A render's cloud relaxed to the nearest minimum of its energy; the render goes on from there at
// rest. A replay's frames are stored: `quorvex minimise` relaxes one of them into a new data set.
void minimiseNow(Simulation& sim) {
    std::ostream& out = console::out();
    if (sim.run.runMode == RunMode::Play) {
        out << '\n'
            << "Minimising acts on a render; quorvex minimise relaxes a stored frame" << '\n'
            << '\n'
            << std::flush;
        return;
    }
    const MinimiseResult r = minimiseLive(sim);
    out << '\n'
        << "Energy minimised (FIRE): " << describeMinimisation(r, sim.liveCount()) << '\n'
        << '\n'
        << std::flush;
}

void commandKey(Simulation& sim, ViewState& view, unsigned char key) {
    const double rapar = sim.model.apparatusRadius;
    switch (key) {
        case 'p':
            if (sim.run.runMode == RunMode::Play) togglePause(view);
            break;
        case 'r':
            if (sim.run.runMode == RunMode::Play) rewind(view);
            break;
        case 'g':
            if (sim.run.runMode == RunMode::Play) jumpToFrame(sim, view);
            break;
        case 'w':
            turnTarget(view, kAngleStep, 0);
            break;
        case 's':
            turnTarget(view, -kAngleStep, 0);
            break;
        case 'a':
            turnTarget(view, 0, kAngleStep);
            break;
        case 'd':
            turnTarget(view, 0, -kAngleStep);
            break;
        case 'R':
            resetView(view);
            break;
        case 'P':
            view.pictureRequested = true;  // saved by the next redraw, which draws it
            break;
        case 'M':
            minimiseNow(sim);
            break;
        case 'i':
            view.sceneRotX += 1;
            break;
        case 'k':
            view.sceneRotX -= 1;
            break;
        case 'l':
            view.sceneRotY += 1;
            break;
        case 'j':
            view.sceneRotY -= 1;
            break;
        case ' ':
            moveSelection(sim, view, 1);
            break;
        case 8:
            moveSelection(sim, view, -1);
            break;
        case '+':
            view.shellViewRadius += rapar / 40;
            break;
        case '-':
            view.shellViewRadius = std::max(view.shellViewRadius - rapar / 40, 0.0);
            break;
        case '>':
            view.shellViewWidth += rapar / 400;
            break;
        case '<':
            view.shellViewWidth = std::max(view.shellViewWidth - rapar / 400, 0.0);
            break;
        case 'C':
            toggleSmartCooling(sim);
            break;
        case 'f':
            sim.switches.autoFiringOn = !sim.switches.autoFiringOn;
            if (sim.switches.autoFiringOn && !askCcpleTarget(sim))
                sim.switches.autoFiringOn = false;
            break;
        case 'F':
            resetDead(sim);
            break;
        case 'q':
            if (askTrackedParticle(sim)) sim.tracker.trackedCount += 1;
            break;
        case 'Q':
            toggleVelocityTracking(sim);
            break;
        default:
            break;
    }
}

// The probe is immovable, so the digit keys place it and set its charge by hand.
void probeKey(Simulation& sim, unsigned char key) {
    if (!slotExists(sim, sim.reserve.probeIndex)) return;  // no probe, or none in the array
    Particle& probe = sim.arrays.particleArray[sim.reserve.probeIndex];
    const double move = 0.01 * sim.model.apparatusRadius;
    // The mean grain charge is negative: subtracting it raises the probe's charge.
    const double unitCharge = sim.model.grainCharge;
    switch (key) {
        case '0':
            probe.setCharge(0);
            break;
        case '1':
            probe.setCharge(probe.charge() - unitCharge);
            break;
        case '7':
            probe.setCharge(probe.charge() + unitCharge);
            break;
        case '5':
            for (int i : kAxes) probe.setPosition(i, 0.01);
            break;
        case '4':
            probe.pos[0] -= move;
            break;
        case '6':
            probe.pos[0] += move;
            break;
        case '3':
            probe.pos[1] -= move;
            break;
        case '9':
            probe.pos[1] += move;
            break;
        case '2':
            probe.pos[2] -= move;
            break;
        case '8':
            probe.pos[2] += move;
            break;
        default:
            break;
    }
}

}  // namespace

void keyboardHandler(Simulation& sim, ViewState& view, unsigned char key, int /*x*/, int /*y*/) {
    commandKey(sim, view, key);
    // Every key also reaches the probe controls, whatever the command table did with it.
    probeKey(sim, key);
}

}  // namespace qv
