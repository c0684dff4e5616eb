#include "platform/Window.h"

#include <GLFW/glfw3.h>

#include <stdexcept>

namespace {
GLFWwindow* createWindow(const std::string& title, int width, int height, bool depthBuffer) {
    glfwDefaultWindowHints();
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);  // shown by makeKeyAndOrderFront
    // Exactly what the view draws into: a double-buffered RGBA colour buffer, and a depth
    // buffer only for a view that asks. Nothing uses a stencil or samples, yet every tick
    // clears whatever the format holds, so none are asked for. These are preferences: a
    // display without such a format still gives the nearest one it has.
    glfwWindowHint(GLFW_DOUBLEBUFFER, GLFW_TRUE);
    glfwWindowHint(GLFW_DEPTH_BITS, depthBuffer ? 24 : 0);
    glfwWindowHint(GLFW_STENCIL_BITS, 0);
    glfwWindowHint(GLFW_SAMPLES, 0);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 1);  // a compatibility context
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 0);
    GLFWwindow* window = glfwCreateWindow(width, height, title.c_str(), nullptr, nullptr);
    if (!window) throw std::runtime_error("cannot create a window with an OpenGL context");
    return window;
}
}  // namespace

Window::Window(const std::string& title, int width, int height, bool depthBuffer)
    : handle(createWindow(title, width, height, depthBuffer)), context(handle) {
    glfwSetWindowUserPointer(handle, this);
    glfwSetKeyCallback(handle, onKey);
    glfwSetMouseButtonCallback(handle, onMouseButton);
    glfwSetCursorPosCallback(handle, onCursor);
    glfwSetScrollCallback(handle, onScroll);
    glfwSetWindowRefreshCallback(handle, onRefresh);
    glfwSetFramebufferSizeCallback(handle, onFramebufferSize);
    glfwSetWindowPosCallback(handle, onPosition);
    glfwSetWindowCloseCallback(handle, onClose);
    context.makeCurrentContext();
    glfwSwapInterval(0);  // the tick timer sets the pace, not the display
}

Window::~Window() {
    glfwDestroyWindow(handle);
}

void Window::setContentView(std::unique_ptr<OpenGLView> view) {
    content = std::move(view);
    content->setWindow(this);
    content->setOpenGLContext(&context);
    updateFrameSize();
}

bool Window::makeFirstResponder(OpenGLView* candidate) {
    if (candidate == responder) return true;
    if (responder && !responder->resignFirstResponder()) return false;
    if (candidate && !(candidate->acceptsFirstResponder() && candidate->becomeFirstResponder()))
        return false;
    responder = candidate;
    return true;
}

void Window::makeKeyAndOrderFront(const void* /*sender*/) {
    heldKeys.alreadyDown(keysDownNow());
    glfwShowWindow(handle);
    shown = true;
    if (fullScreen) {
        fullScreen = false;
        setFullScreen(true);
    }
    glfwFocusWindow(handle);
}

void Window::setFullScreen(bool wanted) {
    if (!shown || wanted == fullScreen) {
        fullScreen = wanted;  // a window not yet shown goes full screen as it is shown
        return;
    }
    GLFWmonitor* monitor = glfwGetPrimaryMonitor();
    const GLFWvidmode* mode = monitor ? glfwGetVideoMode(monitor) : nullptr;
    if (!mode) return;
    if (wanted) {
        glfwGetWindowPos(handle, &windowed[0], &windowed[1]);
        glfwGetWindowSize(handle, &windowed[2], &windowed[3]);
        glfwSetWindowMonitor(handle, monitor, 0, 0, mode->width, mode->height, mode->refreshRate);
    } else {
        glfwSetWindowMonitor(handle, nullptr, windowed[0], windowed[1], windowed[2], windowed[3],
                             0);
    }
    fullScreen = wanted;
}

void Window::Context::makeCurrentContext() {
    glfwMakeContextCurrent(handle);
}
void Window::Context::flushBuffer() {
    glfwSwapBuffers(handle);
}
void Window::Context::setSwapWaitsForDisplay(bool wait) {
    if (swapWaits == wait) return;
    swapWaits = wait;
    glfwSwapInterval(wait ? 1 : 0);
}

Window& Window::of(GLFWwindow* handle) {
    return *static_cast<Window*>(glfwGetWindowUserPointer(handle));
}

void Window::onKey(GLFWwindow* handle, int key, int scancode, int action, int mods) {
    Window& window = of(handle);
    if (isModifierKey(key)) return;
    std::string now = charactersForKey(key, scancode, mods);
    std::optional<std::string> characters = action == GLFW_RELEASE
                                                ? window.heldKeys.release(scancode, now)
                                                : window.heldKeys.press(scancode, now);
    if (!characters) return;
    // Ctrl+Q is the quit shortcut; like a menu shortcut it never reaches the view. Where
    // the layout's Q key gives no Latin letter, the physical Q key serves.
    bool quitKey = *characters == "q" || (!isLatinLetter(*characters) && key == GLFW_KEY_Q);
    if ((mods & GLFW_MOD_CONTROL) && quitKey) {
        if (action == GLFW_PRESS) window.quit();
        return;
    }
    if (!window.responder) return;
    if (action == GLFW_RELEASE)
        window.responder->keyUp(Event(*characters));
    else  // a press or an auto-repeat
        window.responder->keyDown(Event(*characters, action == GLFW_REPEAT));
}

void Window::onMouseButton(GLFWwindow* handle, int button, int action, int /*mods*/) {
    Window& window = of(handle);
    if (button == GLFW_MOUSE_BUTTON_LEFT) {
        window.dragging = action == GLFW_PRESS;
        // Asked only before any move came: asked now, the cursor may already be where
        // the moves still queued will take it.
        if (!window.cursorKnown) glfwGetCursorPos(handle, &window.cursor[0], &window.cursor[1]);
        window.cursorKnown = true;
    }
    if (action == GLFW_PRESS && window.content) window.content->mouseDown(Event());
}

void Window::onCursor(GLFWwindow* handle, double x, double y) {
    Window& window = of(handle);
    const double right = x - window.cursor[0], down = y - window.cursor[1];
    window.cursor[0] = x;
    window.cursor[1] = y;
    window.cursorKnown = true;
    if (window.dragging && window.content)
        window.content->mouseDragged(Event::movement(right, down));
}

void Window::onScroll(GLFWwindow* handle, double x, double y) {
    Window& window = of(handle);
    if (window.content) window.content->scrollWheel(Event::movement(x, y));
}

void Window::onRefresh(GLFWwindow* handle) {
    Window& window = of(handle);
    if (!window.content) return;
    window.context.makeCurrentContext();
    window.content->drawRect(window.content->bounds());
}

void Window::onFramebufferSize(GLFWwindow* handle, int, int) {
    Window& window = of(handle);
    window.updateFrameSize();
    window.placeChanged();
}

void Window::onPosition(GLFWwindow* handle, int, int) {
    of(handle).placeChanged();
}

void Window::onClose(GLFWwindow* handle) {
    of(handle).quit();
}

void Window::quit() {
    if (quitAction) quitAction();
}

void Window::updateFrameSize() {
    int width = 0, height = 0;
    glfwGetFramebufferSize(handle, &width, &height);
    if (content) content->setFrameSize({static_cast<float>(width), static_cast<float>(height)});
}

void Window::placeChanged() {
    placeKnown = false;
    if (content) content->windowPlaceChanged();
}

Rect Window::contentRect() const {
    lookUpPlace();
    return place;
}

const std::optional<Monitor>& Window::monitor() const {
    lookUpPlace();
    return onMonitor;
}

void Window::lookUpPlace() const {
    if (placeKnown) return;
    int x = 0, y = 0, width = 0, height = 0;
    glfwGetWindowPos(handle, &x, &y);
    glfwGetWindowSize(handle, &width, &height);
    place = {{static_cast<float>(x), static_cast<float>(y)},
             {static_cast<float>(width), static_cast<float>(height)}};
    onMonitor = monitorOfWindow(monitors(), x, y, width, height);
    if (!onMonitor) onMonitor = primaryMonitor();
    placeKnown = true;
}
