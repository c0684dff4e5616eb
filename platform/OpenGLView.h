#pragma once

#include "platform/Event.h"

class Window;

struct Point {
    float x = 0.0f, y = 0.0f;
};
struct Size {
    float width = 0.0f, height = 0.0f;
};
struct Rect {
    Point origin;
    Size size;
};

// The OpenGL context a view draws into.
class OpenGLContext {
  public:
    virtual ~OpenGLContext() = default;
    virtual void makeCurrentContext() = 0;
    // Presents the back buffer.
    virtual void flushBuffer() = 0;
    // Whether presenting waits for the display's next refresh, where the driver can.
    virtual void setSwapWaitsForDisplay(bool /*wait*/) {}
};

// Base class of a view that draws with OpenGL. The platform calls the virtual operations;
// a subclass overrides those it needs.
class OpenGLView {
  public:
    virtual ~OpenGLView() = default;

    virtual void prepareOpenGL() {}
    virtual void drawRect(Rect /*dirtyRect*/) {}
    virtual void keyDown(const Event& /*event*/) {}
    virtual void keyUp(const Event& /*event*/) {}
    virtual void mouseDown(const Event& /*event*/) {}
    // The mouse moved with its left button held, or its wheel turned: Event::movement.
    virtual void mouseDragged(const Event& /*event*/) {}
    virtual void scrollWheel(const Event& /*event*/) {}
    // The window moved on the screen or changed size.
    virtual void windowPlaceChanged() {}
    virtual bool acceptsFirstResponder() { return false; }
    virtual bool becomeFirstResponder() { return true; }
    virtual bool resignFirstResponder() { return true; }

    // The drawable's rectangle in framebuffer pixels, origin (0, 0).
    Rect bounds() const { return {{0.0f, 0.0f}, frameSize}; }
    Window* window() const { return hostWindow; }
    OpenGLContext* openGLContext() const { return context; }

    // Set by whatever hosts the view: a window, or a headless context.
    void setFrameSize(Size size) { frameSize = size; }
    void setWindow(Window* window) { hostWindow = window; }
    void setOpenGLContext(OpenGLContext* glContext) { context = glContext; }

  private:
    Size frameSize;
    Window* hostWindow = nullptr;
    OpenGLContext* context = nullptr;
};
