#pragma once
// What the window shows and from where: changed by keys, menus and prompts, read by drawing.

namespace qv {

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
    int dustDrawMode = 5;       // 4 wire, 5 solid with slice, 6 none, 7 shell view
    int apparatusDrawMode = 0;  // 2 wire, 3 solid, otherwise none
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
};

}  // namespace qv
