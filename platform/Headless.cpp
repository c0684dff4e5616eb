#include "platform/Headless.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cstring>
#include <stdexcept>

HeadlessContext::HeadlessContext(int width, int height) : pixelsWide(width), pixelsHigh(height) {
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    EGLDisplay dpy = getPlatformDisplay ? getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA,
                                                             EGL_DEFAULT_DISPLAY, nullptr)
                                        : EGL_NO_DISPLAY;
    if (dpy == EGL_NO_DISPLAY || !eglInitialize(dpy, nullptr, nullptr))
        throw std::runtime_error("no EGL surfaceless display (is Mesa's EGL installed?)");
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE,
                                       EGL_PBUFFER_BIT,
                                       EGL_RENDERABLE_TYPE,
                                       EGL_OPENGL_BIT,
                                       EGL_RED_SIZE,
                                       8,
                                       EGL_GREEN_SIZE,
                                       8,
                                       EGL_BLUE_SIZE,
                                       8,
                                       EGL_NONE};
    EGLConfig config;
    EGLint configs = 0;
    const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    if (!eglChooseConfig(dpy, configAttributes, &config, 1, &configs) || configs < 1 ||
        !eglBindAPI(EGL_OPENGL_API)) {
        eglTerminate(dpy);
        throw std::runtime_error("no EGL configuration for desktop OpenGL");
    }
    EGLContext ctx = eglCreateContext(dpy, config, EGL_NO_CONTEXT, nullptr);
    EGLSurface surf = eglCreatePbufferSurface(dpy, config, surfaceAttributes);
    if (ctx == EGL_NO_CONTEXT || surf == EGL_NO_SURFACE) {
        eglTerminate(dpy);
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
    eglTerminate(display);
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
