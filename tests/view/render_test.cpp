// What the drawing asks of OpenGL, without a window: the calls are recorded by stand-ins defined
// in this test program and compared with a golden transcript.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "sim/dead_particles.h"
#include "tests/support/test_support.h"
#include "view/render.h"

namespace {
std::ostringstream gl;
template <class... A>
void record(const char* call, A... arguments) {
    gl << call;
    ((gl << ' ' << arguments), ...);
    gl << '\n';
}
void record4(const char* call, GLenum a, GLenum b, const GLfloat* v) {
    record(call, a, b, v[0], v[1], v[2], v[3]);
}
}  // namespace

// clang-format off
extern "C" {
void glPushMatrix() { record("push"); }
void glPopMatrix() { record("pop"); }
void glLoadIdentity() { record("identity"); }
void glLightfv(GLenum l, GLenum p, const GLfloat* v) { record4("light", l, p, v); }
void glMaterialfv(GLenum f, GLenum p, const GLfloat* v) { record4("material", f, p, v); }
void glLightModelfv(GLenum p, const GLfloat* v) { record4("lightmodel", p, 0, v); }
void glLightModeli(GLenum p, GLint v) { record("lightmodel", p, v); }
void glutWireSphere(double r, GLint slices, GLint stacks) { record("wire", r, slices, stacks); }
void glutSolidSphere(double r, GLint slices, GLint stacks) { record("solid", r, slices, stacks); }
void glutBitmapCharacter(void*, int c) { gl.seekp(-1, std::ios::cur), gl << char(c) << '\n'; }
void glRasterPos3f(GLfloat x, GLfloat y, GLfloat z) { record("raster", x, y, z, ""); }
void glRotatef(GLfloat a, GLfloat x, GLfloat y, GLfloat z) { record("rotate", a, x, y, z); }
void glTranslatef(GLfloat x, GLfloat y, GLfloat z) { record("translate", x, y, z); }
void glMatrixMode(GLenum m) { record("matrix", m); }
void glDisableClientState(GLenum a) { record("disable", a); }
void glEnable(GLenum c) { record("enable", c); }
void glClear(GLbitfield m) { record("clear", m); }
void glViewport(GLint x, GLint y, GLsizei w, GLsizei h) { record("viewport", x, y, w, h); }
void gluPerspective(GLdouble f, GLdouble a, GLdouble n, GLdouble z) {
    record("perspective", f, a, n, z);
}
void gluLookAt(GLdouble a, GLdouble b, GLdouble c, GLdouble d, GLdouble e, GLdouble f, GLdouble g,
               GLdouble h, GLdouble i) { record("look", a, b, c, d, e, f, g, h, i); }
GLuint glGenLists(GLsizei n) { static GLuint next = 0; record("genlists", n); return ++next; }
void glNewList(GLuint list, GLenum mode) { record("newlist", list, mode); }
void glEndList() { record("endlist"); }
void glCallList(GLuint list) { record("call", list); }
void glDeleteLists(GLuint list, GLsizei n) { record("deletelists", list, n); }
void glutSwapBuffers() { record("swap"); }
void glutPostRedisplay() { record("redisplay"); }
}  // extern "C"
// clang-format on

namespace qv {
namespace {

// Six live grains (z = 1, 2 and 0 on the axes, one at r = 0.5 highlighted, one fired dead, one
// at r = 1.2), one waiting dead particle; Rapar 4, mean radius 0.5; each row sets the view.
TEST(Render, TheSceneAsDrawn) {
    const struct {
        DustDraw dust;
        ApparatusDraw apparatus;
        int resolution, magnification, numbers, text;
    } cases[] = {{DustDraw::Wire, ApparatusDraw::Wire, 3, -1, 1, 2},
                 {DustDraw::SolidSlice, ApparatusDraw::Solid, 2, 1, -1, 1},
                 {DustDraw::ShellView, ApparatusDraw::Clear, 4, -1, 0, -2},
                 {DustDraw::Hidden, ApparatusDraw::Wire, 1, -1, -1, 0},
                 {DustDraw::Wire, ApparatusDraw::Unset, 1, 1, -1, 0},
                 {DustDraw::Wire, ApparatusDraw::Solid, 0, -1, -1, 2}};
    gl.str("");
    gl.precision(9);
    for (const auto& c : cases) {
        Simulation sim;
        sim.model.apparatusRadius = 4, sim.model.grainRadius = 0.5, sim.model.grainCharge = -10;
        sim.model.dustPlasmaFrequency = 0.25, sim.clock.simTime = 9, sim.thermostat.ccple = 172.9;
        sim.numParticles = 7, sim.reserve.numDeadParticles = 1, sim.reserve.deadParkY = 6;
        for (const auto& at : {std::array{0.0, 0.0, 1.0}, {0.0, 0.0, 2.0}, {0.0, 3.0, 0.0},
                               {0.0, 0.3, -0.4}, {-1.0, -1.0, 1.0}, {0.0, 1.2, 0.0}})
            sim.arrays.particleArray.push_back(
                Particle{{at[0], at[1], at[2]}, {}, {}, 1, -10, 0.4});
        sim.arrays.particleArray.resize(7);
        parkAsDead(sim, sim.arrays.particleArray[6]);
        sim.arrays.particleArray[3].highlighted = true;
        sim.arrays.particleArray[4].role = Role::FiredDead;
        addProbe(sim);  // the waiting slot becomes the probe, of 2.5 mean charges
        sim.arrays.particleArray[6].q = -25;
        if (c.resolution == 0) sim.reserve.probeIndex = 7;  // beyond the slots: no probe text
        ViewState view;
        view.dustDrawMode = c.dust, view.apparatusDrawMode = c.apparatus;
        view.sphereResolution = c.resolution, view.equalMagnification = c.magnification;
        view.numberDisplayOn = c.numbers, view.screenTextMode = c.text;
        view.sliceMin = 0, view.sliceMax = 2, view.shellViewRadius = 2, view.shellViewWidth = 2;
        view.sceneRotX = 30, view.sceneRotY = -45, view.cameraEye[2] = 150;
        gl << "== dust " << int(c.dust) << ", apparatus " << int(c.apparatus) << ", resolution "
           << c.resolution << ", magnification " << c.magnification << ", numbers " << c.numbers
           << ", text " << c.text << '\n';
        display(sim, view);
    }
    // Ten radii in one frame: the first eight get lists, the others the plain call.
    gl << "== ten radii\n";
    Simulation many;
    many.model.apparatusRadius = 4, many.model.grainRadius = 0.5, many.numParticles = 10;
    many.reserve.numDeadParticles = 0;
    for (int i = 1; i <= 10; ++i)
        many.arrays.particleArray.push_back(Particle{{}, {}, {}, 1, -10, 0.1 * i});
    ViewState plain;
    plain.dustDrawMode = DustDraw::Wire;
    display(many, plain);
    gl << "== reshape 800 600, 300 0, and the lights\n";
    ViewState view;
    reshape(view, 800, 600);
    reshape(view, 300, 0);
    setUpLights(view);
    qv::test::expectGolden("render_calls.txt", gl.str());
}

}  // namespace
}  // namespace qv
