#pragma once
// What the window shows and from where: changed by keys, menus and prompts, read by drawing.
#include <chrono>

namespace qv {

// How the grains are drawn; the numbers are the pop-up menu's values.
enum class DustDraw { Wire = 4, SolidSlice = 5, Hidden = 6, ShellView = 7 };
// How the apparatus sphere is drawn; the numbers are the pop-up menu's values. Before the menu
// has been used the mode is Unset, which draws nothing, as Clear does.
enum class ApparatusDraw { Unset = 0, Clear = 1, Wire = 2, Solid = 3 };

struct ViewState {
    float cameraEye[3] = {0, 0, 200};
    float cameraTarget[3] = {0, 0, -50};
    float sceneRotX = 0;  // degrees
    float sceneRotY = 0;
    double targetPhi = 0;    // polar angle of the target around the eye, from -z
    double targetTheta = 0;  // azimuth of the target around the eye
    double particleSizeScale = 1.0;
    double apparatusSizeScale = 100.0;
    int equalMagnification = -1;
    int sphereResolution = 15;
    DustDraw dustDrawMode = DustDraw::SolidSlice;
    ApparatusDraw apparatusDrawMode = ApparatusDraw::Unset;
    double sliceMin = -9999999.0;
    double sliceMax = 9999999.0;
    double shellViewRadius = 0;
    double shellViewWidth = 0;
    int numberDisplayOn = -1;
    int screenTextMode = -1;
    int highlightedParticle = 0;
    int savedPlayStep = 1;
    int fullScreenOn = -1;

    // Replay: frames advanced per idle call (0 pauses) and the pause per replayed frame.
    int playStep = 1;
    int slowMotionDelay = 0;  // ms

    int windowId = 0;
    int windowWidth = 900;
    int windowHeight = 900;
    bool windowOpen = false;  // false when running without a display
    // False in an offscreen context, where GLUT has no window: spheres come from GLU then, and
    // the bitmap texts (GLUT's fonts) are left out.
    bool glutAvailable = true;
    bool pictureRequested = false;  // the next redraw is saved as a PNG

    // End and length of the last redraw; the render paces its redraws by them. The epoch start
    // makes the first redraw due at once.
    std::chrono::steady_clock::time_point lastRedrawEnd{};
    double lastRedrawLength = 0;  // seconds
};

}  // namespace qv
