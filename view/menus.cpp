#include "view/menus.h"

#include <GL/freeglut.h>

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>

#include "console/console.h"
#include "sim/dead_particles.h"
#include "sim/simulation.h"
#include "view/questions.h"
#include "view/view_state.h"

namespace qv {
namespace {

using E = MenuEntry;

struct Entry {
    const char* label;
    MenuEntry value;
};

template <std::size_t N>
int makeMenu(void (*handler)(int), const Entry (&entries)[N]) {
    const int id = glutCreateMenu(handler);
    for (const Entry& e : entries) glutAddMenuEntry(e.label, static_cast<int>(e.value));
    return id;
}

// A new render can be steered; a replay or a crystal view only looked at.
bool runIsRender(const Simulation& sim) {
    return sim.run.runMode == RunMode::Render || sim.run.runMode == RunMode::RenderDefaults;
}

void switchFullScreen(ViewState& view) {
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
void toggleProbeText(const Simulation& sim, ViewState& view) {
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
void renderOnlyEntry(Simulation& sim, ViewState& view, MenuEntry entry) {
    switch (entry) {
        case E::DoubleTimeStep:
            sim.model.timeStep *= 2;
            break;
        case E::HalveTimeStep:
            sim.model.timeStep /= 2;
            break;
        case E::TenfoldTimeStep:
            sim.model.timeStep *= 10;
            break;
        case E::TenthTimeStep:
            sim.model.timeStep /= 10;
            break;
        case E::DeadMass:
            askDeadProperty(sim, DeadProperty::Mass);
            break;
        case E::DeadRadius:
            askDeadProperty(sim, DeadProperty::Radius);
            break;
        case E::DeadCharge:
            askDeadProperty(sim, DeadProperty::Charge);
            break;
        case E::DeadSpeed:
            askDeadProperty(sim, DeadProperty::Speed);
            break;
        case E::Wall:
            sim.switches.wallOn = !sim.switches.wallOn;
            break;
        case E::CompensateDead:
            sim.switches.compensateDeadAddition = !sim.switches.compensateDeadAddition;
            break;
        case E::PhiScan:
            sim.reserve.phiScanOn = !sim.reserve.phiScanOn;
            if (sim.reserve.phiScanOn && !askPhiScanAngles(sim)) sim.reserve.phiScanOn = false;
            break;
        case E::AddProbe:
            addProbe(sim);
            break;
        case E::DisplaceHighlighted:
            askDisplacement(sim, Displaced::Highlighted, view.shellViewRadius, view.shellViewWidth);
            break;
        case E::DisplaceShellView:
            askDisplacement(sim, Displaced::ShellView, view.shellViewRadius, view.shellViewWidth);
            break;
        case E::ProbeText:
            toggleProbeText(sim, view);
            break;
        case E::CoolingTolerance:
            askCoolingTolerance(sim);
            break;
        default:
            break;
    }
}

// Entries that only change what is shown and how: they act in every run mode.
void viewEntry(ViewState& view, MenuEntry entry) {
    switch (entry) {
        case E::NumberDisplay:
            view.numberDisplayOn = -view.numberDisplayOn;
            break;
        case E::ScreenText:
            view.screenTextMode = -view.screenTextMode;
            break;
        case E::FullScreen:
            switchFullScreen(view);
            break;
        case E::DoubleGrainSize:
            view.particleSizeScale *= 2;
            break;
        case E::HalveGrainSize:
            view.particleSizeScale /= 2;
            break;
        case E::DoubleApparatusSize:
            view.apparatusSizeScale *= 2;
            break;
        case E::HalveApparatusSize:
            view.apparatusSizeScale /= 2;
            break;
        case E::MoreResolution:
            view.sphereResolution += 3;
            break;
        case E::LessResolution:
            view.sphereResolution -= 3;
            break;
        default:
            break;
    }
}

}  // namespace

void buildMenus(void (*handler)(int)) {
    static const Entry apparatus[] = {{"Clear", E::ApparatusClear},
                                      {"Sphere Wire", E::ApparatusWire},
                                      {"Sphere Solid", E::ApparatusSolid}};
    static const Entry dust[] = {{"Clear", E::DustClear},
                                 {"Sphere Wire", E::DustWire},
                                 {"Sphere Solid", E::DustSolid},
                                 {"Radius View", E::DustShellView}};
    static const Entry playBack[] = {{"Double Timestep", E::DoubleTimeStep},
                                     {"Half Timestep", E::HalveTimeStep},
                                     {"10 fold Timestep", E::TenfoldTimeStep},
                                     {"10th Timestep", E::TenthTimeStep}};
    static const Entry magnification[] = {{"Double Particle Size", E::DoubleGrainSize},
                                          {"Half Particle Size", E::HalveGrainSize},
                                          {"Double Aparatus Size", E::DoubleApparatusSize},
                                          {"Half Aparatus Size", E::HalveApparatusSize},
                                          {"Increase Resolution", E::MoreResolution},
                                          {"Decrease Resolution", E::LessResolution}};
    static const Entry extras[] = {{"Toggle Number Display", E::NumberDisplay},
                                   {"Toggle Gamma and Time to Screen", E::ScreenText},
                                   {"Toggle Probe charge output to Screen", E::ProbeText},
                                   {"Change cooling accuracy condition", E::CoolingTolerance},
                                   {"Add/Remove Wall", E::Wall},
                                   {"Full Screen", E::FullScreen}};
    static const Entry deadParticles[] = {
        {"Dead Particle Mass", E::DeadMass},
        {"Dead Particle Radius", E::DeadRadius},
        {"Dead Particle Charge", E::DeadCharge},
        {"Dead Particle Speed", E::DeadSpeed},
        {"Switch compensate for Dead Particle Addition", E::CompensateDead},
        {"Switch Scanning phi when firing particles", E::PhiScan},
        {"Add in Probe", E::AddProbe},
        {"Displace highlighted particles", E::DisplaceHighlighted},
        {"Displace shell view particles", E::DisplaceShellView}};

    const int apparatusMenu = makeMenu(handler, apparatus);
    const int dustMenu = makeMenu(handler, dust);
    const int playBackMenu = makeMenu(handler, playBack);
    const int magnificationMenu = makeMenu(handler, magnification);
    const int extrasMenu = makeMenu(handler, extras);
    const int deadMenu = makeMenu(handler, deadParticles);

    // Created last, so it is the current menu that the right button gets.
    glutCreateMenu(handler);
    glutAddSubMenu("Aparatus Draw", apparatusMenu);
    glutAddSubMenu("Dust Draw", dustMenu);
    glutAddSubMenu("Play Back Control", playBackMenu);
    glutAddSubMenu("Extra's Menu", extrasMenu);
    glutAddSubMenu("Magnifictaion and Resolution", magnificationMenu);
    glutAddSubMenu("Dead Particles", deadMenu);
    glutAddMenuEntry("Quit", static_cast<int>(E::Quit));
    glutAttachMenu(GLUT_RIGHT_BUTTON);
}

void menuHandler(Simulation& sim, ViewState& view, int value) {
    if (value == static_cast<int>(E::Quit)) {
        // The normal exit path, so that the at-exit outputs are written as at the end of a
        // render.
        if (view.windowOpen) glutDestroyWindow(view.windowId);
        console::exitProgram(0);
    }
    // The draw entries carry the draw mode's own number.
    if (value >= static_cast<int>(ApparatusDraw::Clear) &&
        value <= static_cast<int>(ApparatusDraw::Solid))
        view.apparatusDrawMode = static_cast<ApparatusDraw>(value);
    if (value >= static_cast<int>(DustDraw::Wire) && value <= static_cast<int>(DustDraw::ShellView))
        view.dustDrawMode = static_cast<DustDraw>(value);
    // Values no entry has fall through both switches.
    const auto entry = static_cast<MenuEntry>(value);
    if (runIsRender(sim)) renderOnlyEntry(sim, view, entry);
    viewEntry(view, entry);
}

void askCoolingTolerance(Simulation& sim) {
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
