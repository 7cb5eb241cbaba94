#include "view/menus.h"

#include <GL/freeglut.h>

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>

#include "console/console.h"
#include "sim/dead_particles.h"
#include "sim/simulation.h"
#include "view/view_state.h"

namespace qv {
namespace {

struct Entry {
    const char* label;
    int value;
};

template <std::size_t N>
int makeMenu(const Entry (&entries)[N]) {
    const int id = glutCreateMenu(menuHandler);
    for (const Entry& e : entries) glutAddMenuEntry(e.label, e.value);
    return id;
}

// A new render can be steered; a replay or a crystal view only looked at.
bool runIsRender() {
    return sim.run.runMode == RunMode::Render || sim.run.runMode == RunMode::RenderDefaults;
}

void switchFullScreen() {
    view.fullScreenOn = -view.fullScreenOn;
    if (view.fullScreenOn < 0) {
        view.windowWidth = 900;
        view.windowHeight = 900;
        if (view.windowOpen) {
            glutReshapeWindow(900, 900);
            glutPositionWindow(15, 15);
        }
    } else if (view.windowOpen) {
        // Without a window there is no screen to measure; the size stays as it was.
        view.windowWidth = glutGet(GLUT_SCREEN_WIDTH);
        view.windowHeight = glutGet(GLUT_SCREEN_HEIGHT);
        glutReshapeWindow(view.windowWidth, view.windowHeight);
        glutPositionWindow(0, 0);
    }
}

// The probe text rides on the Gamma text: 2 or -2 adds it, keeping the sign that says whether
// the Gamma text is shown.
void toggleProbeText() {
    if (sim.reserve.probeIndex <= 0) return;
    int& mode = view.screenTextMode;
    if (mode == 1 || mode == -1) {
        mode *= 2;
    } else if (mode > 0) {
        mode = 1;
    } else if (mode < 0) {
        mode = -1;
    }
}

// Entries that change the running simulation: only a new render acts on them.
void renderOnlyEntry(int value) {
    switch (value) {
        case 8:
            sim.model.timeStep *= 2;
            break;
        case 9:
            sim.model.timeStep /= 2;
            break;
        case 10:
            sim.model.timeStep *= 10;
            break;
        case 11:
            sim.model.timeStep /= 10;
            break;
        case 13:
        case 14:
        case 15:
        case 16:
            askDeadProperty(value);
            break;
        case 17:
            sim.switches.wallOn = -sim.switches.wallOn;
            break;
        case 18:
            sim.switches.compensateDeadAddition = -sim.switches.compensateDeadAddition;
            break;
        case 21:
            sim.reserve.phiScanOn = -sim.reserve.phiScanOn;
            if (sim.reserve.phiScanOn > 0 && !askPhiScanAngles()) sim.reserve.phiScanOn = -1;
            break;
        case 22:
            addProbe();
            break;
        case 23:
        case 24:
            displaceParticles(value, view.shellViewRadius, view.shellViewWidth);
            break;
        case 25:
            toggleProbeText();
            break;
        case 26:
            askCoolingTolerance();
            break;
        default:
            break;
    }
}

// Entries that only change what is shown and how: they act in every run mode.
void viewEntry(int value) {
    switch (value) {
        case 12:
            view.numberDisplayOn = -view.numberDisplayOn;
            break;
        case 19:
            view.screenTextMode = -view.screenTextMode;
            break;
        case 20:
            switchFullScreen();
            break;
        case 27:
            view.particleSizeScale *= 2;
            break;
        case 28:
            view.particleSizeScale /= 2;
            break;
        case 29:
            view.apparatusSizeScale *= 2;
            break;
        case 30:
            view.apparatusSizeScale /= 2;
            break;
        case 31:
            view.sphereResolution += 3;
            break;
        case 32:
            view.sphereResolution -= 3;
            break;
        default:
            break;
    }
}

}  // namespace

void buildMenus() {
    static const Entry apparatus[] = {{"Clear", 1}, {"Sphere Wire", 2}, {"Sphere Solid", 3}};
    static const Entry dust[] = {
        {"Clear", 6}, {"Sphere Wire", 4}, {"Sphere Solid", 5}, {"Radius View", 7}};
    static const Entry playBack[] = {{"Double Timestep", 8},
                                     {"Half Timestep", 9},
                                     {"10 fold Timestep", 10},
                                     {"10th Timestep", 11}};
    static const Entry magnification[] = {
        {"Double Particle Size", 27}, {"Half Particle Size", 28},  {"Double Aparatus Size", 29},
        {"Half Aparatus Size", 30},   {"Increase Resolution", 31}, {"Decrease Resolution", 32}};
    static const Entry extras[] = {{"Toggle Number Display", 12},
                                   {"Toggle Gamma and Time to Screen", 19},
                                   {"Toggle Probe charge output to Screen", 25},
                                   {"Change cooling accuracy condition", 26},
                                   {"Add/Remove Wall", 17},
                                   {"Full Screen", 20}};
    static const Entry deadParticles[] = {{"Dead Particle Mass", 13},
                                          {"Dead Particle Radius", 14},
                                          {"Dead Particle Charge", 15},
                                          {"Dead Particle Speed", 16},
                                          {"Switch compensate for Dead Particle Addition", 18},
                                          {"Switch Scanning phi when firing particles", 21},
                                          {"Add in Probe", 22},
                                          {"Displace highlighted particles", 23},
                                          {"Displace shell view particles", 24}};

    const int apparatusMenu = makeMenu(apparatus);
    const int dustMenu = makeMenu(dust);
    const int playBackMenu = makeMenu(playBack);
    const int magnificationMenu = makeMenu(magnification);
    const int extrasMenu = makeMenu(extras);
    const int deadMenu = makeMenu(deadParticles);

    // Created last, so it is the current menu that the right button gets.
    glutCreateMenu(menuHandler);
    glutAddSubMenu("Aparatus Draw", apparatusMenu);
    glutAddSubMenu("Dust Draw", dustMenu);
    glutAddSubMenu("Play Back Control", playBackMenu);
    glutAddSubMenu("Extra's Menu", extrasMenu);
    glutAddSubMenu("Magnifictaion and Resolution", magnificationMenu);
    glutAddSubMenu("Dead Particles", deadMenu);
    glutAddMenuEntry("Quit", 0);
    glutAttachMenu(GLUT_RIGHT_BUTTON);
}

void menuHandler(int value) {
    if (value == 0) {
        // The normal exit path, so that the at-exit outputs are written as at the end of a
        // render.
        if (view.windowOpen) glutDestroyWindow(view.windowId);
        console::exitProgram(0);
    }
    if (value >= 1 && value <= 3) view.apparatusDrawMode = value;
    if (value >= 4 && value <= 7) view.dustDrawMode = value;
    if (runIsRender()) renderOnlyEntry(value);
    viewEntry(value);
}

void askCoolingTolerance() {
    // A tolerance is a relative distance from the target; below 0 no coupling could meet it.
    static const char* const prompt = "Please enter cooling target tolerance as a fraction:";
    std::ostream& out = console::out();
    out << '\n' << prompt << '\n' << std::flush;
    const std::optional<double> tolerance =
        console::askRealWhere([](double t) { return t >= 0; }, "The tolerance cannot be below 0.",
                              std::string(prompt) + "\n");
    if (!tolerance) {
        console::reportCancelled();
        return;
    }
    sim.thermostat.coolingTolerance = *tolerance;
    out << '\n';
}

}  // namespace qv
