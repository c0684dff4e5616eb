#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/Monitor.h"
#include "platform/OpenGLView.h"

struct GLFWwindow;

// A top-level window with an OpenGL context (double-buffered, compatibility profile) and
// one content view. Key events go to the first responder, clicks, redraws, resizes and moves
// to the content view. The quit action runs on the close button and on Ctrl+Q.
class Window {
  public:
    // Throws std::runtime_error when no window or context can be made. `depthBuffer` for a
    // view that draws with the depth test.
    Window(const std::string& title, int width, int height, bool depthBuffer = false);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    void setContentView(std::unique_ptr<OpenGLView> view);
    OpenGLView* contentView() const { return content.get(); }
    bool makeFirstResponder(OpenGLView* responder);
    void makeKeyAndOrderFront(const void* sender);
    void setQuitAction(std::function<void()> action) { quitAction = std::move(action); }
    // Covers the primary monitor, or goes back to the window's place and size.
    void setFullScreen(bool fullScreen);
    bool isFullScreen() const { return fullScreen; }

    // The content area's place in the virtual screen, in the window system's screen
    // coordinates (origin its top-left corner, y down), as the monitors' places and modes
    // are. On X11 these are the framebuffer's pixels; where a scale factor parts the two,
    // the view still fills its whole framebuffer, so only the number of pixels drawn changes.
    Rect contentRect() const;
    // The monitor the content area is on (monitorOfWindow()), or the primary one when it is
    // on none.
    const std::optional<Monitor>& monitor() const;

  private:
    class Context : public OpenGLContext {
      public:
        explicit Context(GLFWwindow* handle) : handle(handle) {}
        void makeCurrentContext() override;
        void flushBuffer() override;
        void setSwapWaitsForDisplay(bool wait) override;

      private:
        GLFWwindow* handle;
        std::optional<bool> swapWaits;  // as last set; the driver's default until then
    };

    static Window& of(GLFWwindow* handle);
    static void onKey(GLFWwindow* handle, int key, int scancode, int action, int mods);
    static void onMouseButton(GLFWwindow* handle, int button, int action, int mods);
    static void onCursor(GLFWwindow* handle, double x, double y);
    static void onScroll(GLFWwindow* handle, double x, double y);
    static void onRefresh(GLFWwindow* handle);
    static void onFramebufferSize(GLFWwindow* handle, int width, int height);
    static void onPosition(GLFWwindow* handle, int x, int y);
    static void onClose(GLFWwindow* handle);
    void quit();
    void updateFrameSize();
    void placeChanged();
    void lookUpPlace() const;

    GLFWwindow* handle;
    Context context;
    std::unique_ptr<OpenGLView> content;
    OpenGLView* responder = nullptr;
    std::function<void()> quitAction;
    HeldKeys heldKeys;
    bool shown = false;
    bool dragging = false;  // the left button is down
    double cursor[2] = {};  // where the last move left the cursor, in the window's pixels
    bool cursorKnown = false;
    bool fullScreen = false;
    int windowed[4] = {};  // x, y, width, height before going full screen
    // Looked up when first asked for after the window moved or changed size, not for every
    // frame: each look-up of the monitors asks the X server several times. A window whose
    // view never asks (fishtank's) never looks.
    mutable bool placeKnown = false;
    mutable Rect place;
    mutable std::optional<Monitor> onMonitor;
};
