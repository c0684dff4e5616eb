#pragma once

#include <cstdint>
#include <vector>

#include "platform/OpenGLView.h"

// An offscreen OpenGL context (compatibility profile, with a back buffer) on EGL's
// surfaceless platform: views draw into it without any window system.
class HeadlessContext : public OpenGLContext {
  public:
    // Throws std::runtime_error when no such context can be made. `depthBuffer` for views
    // that draw with the depth test.
    HeadlessContext(int width, int height, bool depthBuffer = false);
    ~HeadlessContext() override;
    HeadlessContext(const HeadlessContext&) = delete;
    HeadlessContext& operator=(const HeadlessContext&) = delete;

    void makeCurrentContext() override;
    void flushBuffer() override { ++presented; }

    // Hosts `view` here: its context, and bounds of this context's size.
    void attach(OpenGLView& view);
    int width() const { return pixelsWide; }
    int height() const { return pixelsHigh; }
    int presentedFrames() const { return presented; }
    // The back buffer as 8-bit RGB, top row first.
    std::vector<std::uint8_t> readBackBuffer() const;

  private:
    int pixelsWide, pixelsHigh;
    int presented = 0;
    void* display;
    void* surface;
    void* context;
};
