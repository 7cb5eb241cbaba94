#include "view/render.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iomanip>
#include <limits>
#include <locale>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "console/console.h"
#include "sim/simulation.h"
#include "view/image.h"
#include "view/view_state.h"

namespace qv {
namespace {

using Clock = std::chrono::steady_clock;

// Scales of one scene: grain radii, and positions (equal to the radius scale when equal
// magnification is on, so distances and radii share one scale).
struct SceneScales {
    double radius;
    double position;
};

SceneScales sceneScales(const Simulation& sim, const ViewState& view) {
    SceneScales s{};
    s.radius = view.particleSizeScale / sim.model.grainRadius;
    s.position = view.equalMagnification == -1 ? view.apparatusSizeScale / sim.model.apparatusRadius
                                               : s.radius;
    return s;
}

// Slots that may be drawn: the live ones, never beyond the array that actually exists.
int drawableCount(const Simulation& sim) {
    const int live = sim.liveCount();
    const int stored = static_cast<int>(sim.arrays.particleArray.size());
    return std::max(0, std::min(live, stored));
}

void translateTo(const Particle& p, double positionScale) {
    glTranslatef(static_cast<float>(p.pos[0] * positionScale),
                 static_cast<float>(p.pos[1] * positionScale),
                 static_cast<float>(p.pos[2] * positionScale));
}

// The window's sphere meshes as display lists. GLUT builds a sphere's mesh anew on every call and
// Mesa copies it anew; a list compiled from the same call is replayed as the same triangles, and
// costs far less with thousands of grains. Lists live in the window's one GL context.
class SphereLists {
  public:
    // A few radii (mass groups, the apparatus) are expected; beyond that the plain call serves.
    static constexpr std::size_t kMaxLists = 8;

    // Lists are kept while the resolution and the scales stay, which they do between frames.
    void keepFor(int resolution, const SceneScales& scales) {
        const Generation now{resolution, scales.radius, scales.position};
        if (generation_ == now) return;
        for (const Entry& e : entries_) glDeleteLists(e.list, 1);
        entries_.clear();
        generation_ = now;
    }

    // Draws the sphere from its list, compiled on first use; false when no list can hold it.
    bool draw(double radius, int slices, int stacks, bool wire) {
        const Shape shape{radius, slices, stacks, wire};
        for (const Entry& e : entries_) {
            if (e.shape == shape) {
                glCallList(e.list);
                return true;
            }
        }
        // 0 names no list: the cache is full, or GL has no list to give.
        const GLuint list = entries_.size() < kMaxLists ? glGenLists(1) : 0;
        if (list == 0) return false;
        glNewList(list, GL_COMPILE);
        if (wire) {
            glutWireSphere(radius, slices, stacks);
        } else {
            glutSolidSphere(radius, slices, stacks);
        }
        glEndList();
        entries_.push_back({shape, list});
        glCallList(list);
        return true;
    }

  private:
    struct Shape {
        double radius;
        int slices, stacks;
        bool wire;
        bool operator==(const Shape&) const = default;
    };
    struct Entry {
        Shape shape;
        GLuint list;
    };
    struct Generation {
        int resolution;
        double radiusScale, positionScale;
        bool operator==(const Generation&) const = default;
    };
    std::vector<Entry> entries_;
    std::optional<Generation> generation_;
};

SphereLists sphereLists;

// GLUT's spheres need GLUT's window; without one GLU builds the same latitude-longitude sphere.
void drawSphere(const ViewState& view, double radius, int slices, int stacks, bool wire) {
    if (view.glutAvailable) {
        if (sphereLists.draw(radius, slices, stacks, wire)) return;
        if (wire) {
            glutWireSphere(radius, slices, stacks);
        } else {
            glutSolidSphere(radius, slices, stacks);
        }
        return;
    }
    static GLUquadric* const quadric = gluNewQuadric();
    gluQuadricDrawStyle(quadric, wire ? GLU_LINE : GLU_FILL);
    gluSphere(quadric, radius, slices, stacks);
}

void drawGrains(const Simulation& sim, const ViewState& view, const SceneScales& scales,
                int count) {
    const DustDraw mode = view.dustDrawMode;
    const int res = view.sphereResolution;
    // The menu lowers the resolution without a bound; GLUT cannot build a sphere of no slices.
    if (res < 1) return;
    if (mode != DustDraw::Wire && mode != DustDraw::SolidSlice && mode != DustDraw::ShellView)
        return;
    const double shellInner = view.shellViewRadius - view.shellViewWidth / 2;
    const double shellOuter = view.shellViewRadius + view.shellViewWidth / 2;
    // Setting the emission again to the same colour changes nothing but costs Mesa a flush.
    std::array<GLfloat, 4> lastEmission;
    lastEmission.fill(std::numeric_limits<GLfloat>::quiet_NaN());  // equal to no colour
    for (int i = 0; i < count; ++i) {
        const Particle& p = sim.arrays.particleArray[i];
        if (mode == DustDraw::SolidSlice && !(view.sliceMin < p.pos[2] && p.pos[2] < view.sliceMax))
            continue;
        if (mode == DustDraw::ShellView) {
            const double r = p.distanceFromCentre();
            if (!(shellInner < r && r < shellOuter)) continue;
        }
        glPushMatrix();
        translateTo(p, scales.position);
        // The colour is emitted, so marked grains (dead, selected, highlighted) stand out.
        const std::array<double, 3> colour = displayColour(p);
        const std::array<GLfloat, 4> emission{static_cast<GLfloat>(colour[0]),
                                              static_cast<GLfloat>(colour[1]),
                                              static_cast<GLfloat>(colour[2]), 1.0f};
        if (emission != lastEmission) {
            glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, emission.data());
            lastEmission = emission;
        }
        drawSphere(view, p.rad * scales.radius, res, res, mode == DustDraw::Wire);
        glPopMatrix();
    }
}

void drawApparatus(const ViewState& view, double drawnRadius) {
    const int res = view.sphereResolution;
    if (res < 1) return;
    if (view.apparatusDrawMode == ApparatusDraw::Wire) {
        drawSphere(view, drawnRadius, 3 * res, 3 * res, true);
    } else if (view.apparatusDrawMode == ApparatusDraw::Solid) {
        drawSphere(view, drawnRadius, 5 * res, 5 * res, false);
    }
}

void drawNumbers(const Simulation& sim, const SceneScales& scales, int count) {
    for (int i = 0; i < count; ++i) {
        const Particle& p = sim.arrays.particleArray[i];
        glPushMatrix();
        translateTo(p, scales.position);
        // At the upper right of the sphere.
        const auto rr = static_cast<float>(p.rad * scales.radius);
        drawBitmapLabel(rr, rr, 0, GLUT_BITMAP_TIMES_ROMAN_10, std::to_string(i + 1));
        glPopMatrix();
    }
}

void drawScreenTexts(const Simulation& sim, const ViewState& view, double d) {
    const auto at = static_cast<float>(1.1 * d);
    if (view.screenTextMode > 0) {
        drawLabelledValue(at, at, 0, "Gamma ", sim.thermostat.ccple);
        drawLabelledValue(at, -at, 0, "Periods ",
                          sim.clock.simTime * sim.model.dustPlasmaFrequency);
    }
    const int probe = sim.reserve.probeIndex;
    if ((view.screenTextMode == 2 || view.screenTextMode == -2) && probe >= 0 &&
        probe < static_cast<int>(sim.arrays.particleArray.size())) {
        drawLabelledValue(-at, at, 0, "Probe Charge ",
                          sim.arrays.particleArray[probe].charge() / sim.model.grainCharge);
    }
}

}  // namespace

std::string truncatedValueText(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    // Adding 0 turns the -0 of a small negative value into 0. Beyond an int the whole number is
    // still written out, digit for digit.
    const double whole = std::trunc(value) + 0.0;
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << std::fixed << std::setprecision(0) << whole;
    return text.str();
}

double secondsSinceRedrawEnded(const ViewState& view) {
    return std::chrono::duration<double>(Clock::now() - view.lastRedrawEnd).count();
}

double lastRedrawSeconds(const ViewState& view) {
    return view.lastRedrawLength;
}

void drawFrame(const Simulation& sim, const ViewState& view) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    gluLookAt(view.cameraEye[0], view.cameraEye[1], view.cameraEye[2], view.cameraTarget[0],
              view.cameraTarget[1], view.cameraTarget[2], 0.0, 1.0, 0.0);
    glRotatef(view.sceneRotX, 1, 0, 0);
    glRotatef(view.sceneRotY, 0, 1, 0);
    drawScene(sim, view);
}

std::string saveViewPicture(const std::string& baseName, int width, int height) {
    // The first free name, so that no earlier picture is overwritten.
    std::string name;
    for (int n = 1;; ++n) {
        name = baseName + "View" + std::to_string(n) + ".png";
        if (std::FILE* taken = std::fopen(name.c_str(), "rb")) {
            std::fclose(taken);
            continue;
        }
        break;
    }
    std::string problem;
    if (writePng(name, readPicture(width, height), problem))
        console::out() << '\n' << "The view is saved as " << name << '\n' << std::flush;
    else
        console::err() << '\n'
                       << "The view cannot be saved as " << name << ": " << problem << '\n'
                       << std::flush;
    return name;
}

void display(const Simulation& sim, ViewState& view) {
    const Clock::time_point start = Clock::now();
    drawFrame(sim, view);
    if (view.pictureRequested) {
        view.pictureRequested = false;
        saveViewPicture(sim.run.baseName, glutGet(GLUT_WINDOW_WIDTH), glutGet(GLUT_WINDOW_HEIGHT));
    }
    glutSwapBuffers();
    view.lastRedrawEnd = Clock::now();
    view.lastRedrawLength = std::chrono::duration<double>(view.lastRedrawEnd - start).count();
}

void reshape(ViewState& /*view*/, int width, int height) {
    if (height == 0) height = 1;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glViewport(0, 0, width, height);
    gluPerspective(60, static_cast<float>(width) / static_cast<float>(height), 0.1, 8192);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void setUpLights(ViewState& /*view*/) {
    applyLights();
    glutPostRedisplay();
}

void applyLights() {
    const GLfloat ambient[] = {0, 0, 0, 1};
    const GLfloat diffuse[] = {1, 1, 1, 1};
    // w = 0: a directional light, turned with the camera and rotations of the last redraw.
    const GLfloat position[] = {200, 200, 200, 0};
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    const GLfloat modelAmbient[] = {0.3f, 0.3f, 0.3f, 1.0f};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, modelAmbient);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 0);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
    glEnable(GL_LIGHT0);
}

void drawScene(const Simulation& sim, const ViewState& view) {
    const SceneScales scales = sceneScales(sim, view);
    const double apparatusOnScreen = scales.position * sim.model.apparatusRadius;
    const int count = drawableCount(sim);

    if (view.glutAvailable) sphereLists.keepFor(view.sphereResolution, scales);
    drawGrains(sim, view, scales, count);
    const GLfloat noEmission[] = {0, 0, 0, 1};
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, noEmission);
    drawApparatus(view, apparatusOnScreen);
    if (view.glutAvailable) {
        if (view.numberDisplayOn > 0) drawNumbers(sim, scales, count);
        drawScreenTexts(sim, view, apparatusOnScreen);
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
}

void drawBitmapLabel(float x, float y, float z, void* font, const std::string& text) {
    glRasterPos3f(x, y, z);
    for (const char c : text) glutBitmapCharacter(font, static_cast<unsigned char>(c));
}

void drawLabelledValue(float x, float y, float z, std::string label, double value) {
    glPushMatrix();
    glRasterPos3f(x, y, z);
    const std::string text = label + truncatedValueText(value);
    for (const char c : text) {
        glutBitmapCharacter(GLUT_BITMAP_TIMES_ROMAN_24, static_cast<unsigned char>(c));
    }
    glPopMatrix();
}

}  // namespace qv
