// Function, arrow and paging keys: like the command keys they change state and never draw.
#include "view/keys.h"

// Only the key codes come from GLUT; nothing here calls into it.
#include <GL/freeglut_std.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <string>

#include "console/console.h"
#include "setup/setup.h"
#include "sim/dead_particles.h"
#include "sim/simulation.h"
#include "view/highlight.h"
#include "view/questions.h"
#include "view/screens.h"
#include "view/view_state.h"

namespace qv {
namespace {

constexpr float kCameraStep = 10;

void switchMessage(bool& on, const char* offText, const char* onText) {
    on = !on;
    console::out() << '\n' << (on ? onText : offText) << '\n' << '\n' << std::flush;
}

void switchMessage(int& value, const char* offText, const char* onText) {
    value = -value;
    console::out() << '\n' << (value < 0 ? offText : onText) << '\n' << '\n' << std::flush;
}

// The eye and the target move together, so the viewing direction stays.
void moveCamera(ViewState& view, int axis, float delta) {
    view.cameraEye[axis] += delta;
    view.cameraTarget[axis] += delta;
}

void fireByHand(Simulation& sim) {
    // At most one shot per frame; the automatic firing shares the same frame mark.
    if (sim.reserve.lastFireFrame == sim.clock.currentFrame) return;
    // The grain covers the fraction deadSpeedFraction of Rapar in one time step.
    fireDeadParticle(
        sim, sim.model.apparatusRadius * sim.reserve.deadSpeedFraction / sim.model.timeStep);
    sim.reserve.lastFireFrame = sim.clock.currentFrame;
}

}  // namespace

void specialKeyHandler(Simulation& sim, ViewState& view, int key, int /*x*/, int /*y*/) {
    switch (key) {
        case GLUT_KEY_F1:
            showHelp();
            break;
        case GLUT_KEY_F2:
            for (float& c : view.cameraTarget) c = 0;
            break;
        case GLUT_KEY_F3:
            view.slowMotionDelay += 10;
            break;
        case GLUT_KEY_F4:
            view.slowMotionDelay = std::max(view.slowMotionDelay - 10, 0);
            break;
        case GLUT_KEY_F5:
            analyseStructureByHand(sim);
            break;
        case GLUT_KEY_F6:
            changeTemperature(sim);
            break;
        case GLUT_KEY_F7:
            askSlice(sim, view);
            break;
        case GLUT_KEY_F8:
            highlightNeighbours(sim, view);
            break;
        case GLUT_KEY_F9:
            switchMessage(sim.switches.apparatusFieldOn, "E-Field is off", "E-Field is on");
            break;
        case GLUT_KEY_F10:
            switchMessage(sim.switches.pairInteractionOn, "Particle-Particle is off",
                          "Particle-Particle is on");
            break;
        case GLUT_KEY_F11:
            switchMessage(view.equalMagnification, "Equal magnification is off",
                          "Equal magnification is on");
            break;
        case GLUT_KEY_F12:
            showParameters(sim, view);
            break;
        case GLUT_KEY_LEFT:
            moveCamera(view, 0, -kCameraStep);
            break;
        case GLUT_KEY_UP:
            moveCamera(view, 1, kCameraStep);
            break;
        case GLUT_KEY_RIGHT:
            moveCamera(view, 0, kCameraStep);
            break;
        case GLUT_KEY_DOWN:
            moveCamera(view, 1, -kCameraStep);
            break;
        case GLUT_KEY_PAGE_UP:
            moveCamera(view, 2, -kCameraStep);
            break;
        case GLUT_KEY_PAGE_DOWN:
            moveCamera(view, 2, kCameraStep);
            break;
        case GLUT_KEY_HOME:
            view.playStep += 1;
            break;
        case GLUT_KEY_END:
            view.playStep -= 1;
            break;
        case GLUT_KEY_INSERT:
            fireByHand(sim);
            break;
        default:
            break;
    }
}

void jumpToFrame(Simulation& sim, ViewState& /*view*/) {
    const int last = sim.clock.framesToCalculate;
    // No stored frame to go to: a prompt that no answer can satisfy would never end.
    if (last < 1) return;
    std::ostream& out = console::out();
    const std::string tail = "(Max:" + std::to_string(last) + ") : ";
    console::clearScreen();
    out << "Please enter the frame you wish to jump to " << tail << std::flush;
    // A refused answer gets its line end, then the "Sorry" form of the prompt.
    const std::optional<int> frame = console::askIntWhere(
        [last](int f) { return f >= 1 && f <= last; }, "",
        "Sorry Invalid Choice : Please enter the frame you wish to jump to " + tail);
    if (!frame) {
        console::reportCancelled();
        return;
    }
    sim.clock.currentFrame = *frame;
    out << '\n' << "Thank you" << '\n' << '\n' << std::flush;
}

}  // namespace qv