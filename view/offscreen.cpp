#include "view/offscreen.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

namespace qv {

OffscreenContext::OffscreenContext(int width, int height) {
    const auto platformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!platformDisplay) {
        problem_ = "EGL has no platform displays (Mesa's libegl-mesa0 is needed)";
        return;
    }
    EGLDisplay display =
        platformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
        problem_ = "Mesa's surfaceless EGL display does not start";
        return;
    }
    display_ = display;
    // The window's own kind of context: fixed-function OpenGL with a depth buffer.
    const EGLint wanted[] = {EGL_SURFACE_TYPE,
                             EGL_PBUFFER_BIT,
                             EGL_RED_SIZE,
                             8,
                             EGL_GREEN_SIZE,
                             8,
                             EGL_BLUE_SIZE,
                             8,
                             EGL_DEPTH_SIZE,
                             24,
                             EGL_RENDERABLE_TYPE,
                             EGL_OPENGL_BIT,
                             EGL_NONE};
    EGLConfig config = nullptr;
    EGLint found = 0;
    if (!eglChooseConfig(display, wanted, &config, 1, &found) || found < 1 ||
        !eglBindAPI(EGL_OPENGL_API)) {
        problem_ = "EGL offers no OpenGL configuration with a depth buffer";
        return;
    }
    const EGLint size[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    surface_ = eglCreatePbufferSurface(display, config, size);
    context_ = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    if (surface_ == EGL_NO_SURFACE || context_ == EGL_NO_CONTEXT ||
        !eglMakeCurrent(display, surface_, surface_, context_)) {
        problem_ = "EGL cannot make a " + std::to_string(width) + " x " + std::to_string(height) +
                   " OpenGL picture";
    }
}

OffscreenContext::~OffscreenContext() {
    if (!display_) return;
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context_ != EGL_NO_CONTEXT) eglDestroyContext(display_, context_);
    if (surface_ != EGL_NO_SURFACE) eglDestroySurface(display_, surface_);
    eglTerminate(display_);
}

}  // namespace qv
