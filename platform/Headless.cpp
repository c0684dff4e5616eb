#include "platform/Headless.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cstring>
#include <stdexcept>

namespace {
// One surfaceless display serves every context of the process and stays initialised:
// terminating it would unload and reload the driver for each context.
EGLDisplay surfacelessDisplay() {
    static EGLDisplay display = [] {
        auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
            eglGetProcAddress("eglGetPlatformDisplayEXT"));
        EGLDisplay d = getPlatformDisplay ? getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA,
                                                               EGL_DEFAULT_DISPLAY, nullptr)
                                          : EGL_NO_DISPLAY;
        return d != EGL_NO_DISPLAY && eglInitialize(d, nullptr, nullptr) ? d : EGL_NO_DISPLAY;
    }();
    return display;
}
}  // namespace

HeadlessContext::HeadlessContext(int width, int height, bool depthBuffer)
    : pixelsWide(width), pixelsHigh(height) {
    EGLDisplay dpy = surfacelessDisplay();
    if (dpy == EGL_NO_DISPLAY)
        throw std::runtime_error("no EGL surfaceless display (is Mesa's EGL installed?)");
    // The same format as the window's: colour, and depth only when asked for. EGL sorts
    // configurations with the smallest depth, stencil and sample counts first, so the first
    // match has no more than that.
    // clang-format off
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT,
                                       EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                       EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8,
                                       EGL_DEPTH_SIZE, depthBuffer ? 24 : 0, EGL_STENCIL_SIZE, 0,
                                       EGL_SAMPLE_BUFFERS, 0, EGL_NONE};
    // clang-format on
    EGLConfig config;
    EGLint configs = 0;
    if (!eglChooseConfig(dpy, configAttributes, &config, 1, &configs) || configs < 1 ||
        !eglBindAPI(EGL_OPENGL_API))
        throw std::runtime_error("no EGL configuration for desktop OpenGL");
    const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    EGLContext ctx = eglCreateContext(dpy, config, EGL_NO_CONTEXT, nullptr);
    EGLSurface surf = eglCreatePbufferSurface(dpy, config, surfaceAttributes);
    if (ctx == EGL_NO_CONTEXT || surf == EGL_NO_SURFACE) {
        if (ctx != EGL_NO_CONTEXT) eglDestroyContext(dpy, ctx);
        if (surf != EGL_NO_SURFACE) eglDestroySurface(dpy, surf);
        throw std::runtime_error("cannot create an offscreen OpenGL context");
    }
    display = dpy;
    surface = surf;
    context = ctx;
    makeCurrentContext();
}

HeadlessContext::~HeadlessContext() {
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroySurface(display, surface);
    eglDestroyContext(display, context);
}

void HeadlessContext::makeCurrentContext() {
    eglMakeCurrent(display, surface, surface, context);
}

void HeadlessContext::attach(OpenGLView& view) {
    view.setOpenGLContext(this);
    view.setFrameSize({static_cast<float>(pixelsWide), static_cast<float>(pixelsHigh)});
}

std::vector<std::uint8_t> HeadlessContext::readBackBuffer() const {
    const std::size_t row = static_cast<std::size_t>(pixelsWide) * 3;
    std::vector<std::uint8_t> bottomUp(row * static_cast<std::size_t>(pixelsHigh));
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, pixelsWide, pixelsHigh, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    std::vector<std::uint8_t> topDown(bottomUp.size());
    for (int y = 0; y < pixelsHigh; ++y)
        std::memcpy(&topDown[static_cast<std::size_t>(y) * row],
                    &bottomUp[static_cast<std::size_t>(pixelsHigh - 1 - y) * row], row);
    return topDown;
}
