#pragma once
// An OpenGL context without a window or display: Mesa's EGL on its surfaceless platform, with a
// pixel buffer to draw into. The drawing code's GL calls reach it through the same library as
// the window's.
#include <string>

namespace qv {

class OffscreenContext {
  public:
    OffscreenContext(int width, int height);
    ~OffscreenContext();
    OffscreenContext(const OffscreenContext&) = delete;
    OffscreenContext& operator=(const OffscreenContext&) = delete;

    // Empty when the context is current, else why there is none.
    const std::string& problem() const { return problem_; }

  private:
    void* display_ = nullptr;
    void* context_ = nullptr;
    void* surface_ = nullptr;
    std::string problem_;
};

}  // namespace qv
