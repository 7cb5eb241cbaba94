// Quorvex: charged dust grains in a plasma, simulated, shown and analysed.
#include <GL/freeglut.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <locale>
#include <string>
#include <thread>

#include "app/cli.h"
#include "app/loop.h"
#include "console/console.h"
#include "console/output_file.h"
#include "setup/setup.h"
#include "sim/parallel.h"
#include "view/keys.h"
#include "view/menus.h"
#include "view/render.h"

namespace {

// The program's one run. GLUT's callbacks carry no user data, so they reach it here.
qv::Session session;

void keyboardCallback(unsigned char key, int x, int y) {
    qv::keyboardHandler(session.sim, session.view, key, x, y);
}
void specialKeyCallback(int key, int x, int y) {
    qv::specialKeyHandler(session.sim, session.view, key, x, y);
}
void displayCallback() {
    // Keys take effect from the first redraw on.
    glutSpecialFunc(specialKeyCallback);
    glutKeyboardFunc(keyboardCallback);
    qv::display(session.sim, session.view);
}
void reshapeCallback(int width, int height) {
    qv::reshape(session.view, width, height);
}
void menuCallback(int value) {
    qv::menuHandler(session.sim, session.view, value);
}

// freeglut exits when it cannot open the display, so find out before initialising it. The probe's
// connection stays open until freeglut has its own: an X server left without clients resets
// itself and refuses connections meanwhile.
Display* probeDisplay() {
    const char* headless = std::getenv("QUORVEX_HEADLESS");
    if (headless != nullptr && std::strcmp(headless, "1") == 0) return nullptr;
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') return nullptr;
    // A busy X server can refuse a connection now and then; try a few times before going on
    // without a window.
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (Display* d = XOpenDisplay(name)) return d;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return nullptr;
}

// A render steps on every idle call but redraws at most about 20 times a second: software
// rendering of a few hundred spheres costs far more than a step, and would otherwise set the
// pace of the simulation. The pause after a redraw is also never shorter than twice the redraw
// itself, so a slow or busy machine still leaves the simulation two thirds of the wall time.
// Replay and crystal viewing redraw every frame they show.
constexpr double kMinSecondsBetweenRedraws = 1.0 / 20.0;

bool redrawDue() {
    if (session.sim.run.runMode != qv::RunMode::Render) return true;
    const double pause =
        std::max(kMinSecondsBetweenRedraws, 2 * qv::lastRedrawSeconds(session.view));
    return qv::secondsSinceRedrawEnded(session.view) >= pause;
}

// Ends the program once a render has finished or stopped.
void endRenderIfDone(qv::FrameOutcome outcome) {
    if (outcome == qv::FrameOutcome::RenderComplete) qv::console::exitProgram(0);
    if (outcome == qv::FrameOutcome::RenderFailed) qv::console::exitProgram(1);
}

void idleStep() {
    endRenderIfDone(qv::idleFrame(session));
    // Lights first, then the redisplay request that setUpLights ends with.
    if (redrawDue()) qv::setUpLights(session.view);
}

void atExit() {
    qv::writeMaxboltzAndFarewell(session.sim);
    // Quit from the menu and closing the window exit with 0, and the Maxboltz table is written
    // only now: a file that could not be written still makes the status a failure.
    if (qv::writesFailed()) {
        qv::console::out().flush();
        std::_Exit(1);
    }
}

void openWindow(int* argc, char** argv) {
    qv::ViewState& view = session.view;
    glutInit(argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(view.windowWidth, view.windowHeight);
    glutInitWindowPosition(0, 0);
    view.windowId = glutCreateWindow("Quorvex v1.0");
    view.windowOpen = true;
    qv::buildMenus(menuCallback);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_LIGHTING);
    glutDisplayFunc(displayCallback);
    glutReshapeFunc(reshapeCallback);
    glutIdleFunc(idleStep);
    // Depth testing belongs to the start-up menu's first step; the window exists by then.
    glEnable(GL_DEPTH_TEST);
}

// The thread count is the user's: QUORVEX_THREADS, else OMP_NUM_THREADS, else every core.
void chooseThreads() {
    std::string problem;
    qv::setParallelThreads(qv::threadsFromEnvironment(std::getenv("QUORVEX_THREADS"),
                                                      std::getenv("OMP_NUM_THREADS"),
                                                      qv::availableCores(), problem));
    if (!problem.empty()) qv::console::out() << problem << std::endl;
}

}  // namespace

int main(int argc, char** argv) {
    std::cout.imbue(std::locale::classic());
    if (qv::isCommandLine(argc, argv)) return qv::runCommandLine(argc, argv);
    chooseThreads();
    Display* probe = probeDisplay();
    const bool window = probe != nullptr;
    if (window) {
        openWindow(&argc, argv);
        XCloseDisplay(probe);
    } else {
        std::cout << "No display available: Quorvex runs without a window." << std::endl;
    }
    qv::runSetUp(session.sim, session.dataSet, window);
    if (session.sim.run.runMode == qv::RunMode::Play) session.view.playStep = 0;  // starts paused
    // From here on the console only serves commands from the window: when its input has ended,
    // a command that needs an answer is given up and the render goes on.
    qv::console::setInputEndCancels(true);
    std::atexit(atExit);
    if (window) {
        glutMainLoop();
        return 0;
    }
    for (;;) endRenderIfDone(qv::idleFrame(session));
}
