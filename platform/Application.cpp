#include "platform/Application.h"

#include <GLFW/glfw3.h>

#include <cstdio>
#include <exception>
#include <limits>
#include <string>

#include "platform/Date.h"
#include "platform/Timer.h"

namespace {
std::string lastGlfwError = "unknown error";

void rememberGlfwError(int /*code*/, const char* description) {
    lastGlfwError = description;
}

// The main run loop: fire the timers that are due, then sleep in the window system's
// blocking wait until the next deadline or the next event, whichever comes first.
[[noreturn]] void runMainLoop() {
    for (;;) {
        Timer::fireDueTimers(monotonicSeconds());
        double wait = Timer::nextDeadline() - monotonicSeconds();
        if (wait == std::numeric_limits<double>::infinity())
            glfwWaitEvents();
        else if (wait > 0.0)
            glfwWaitEventsTimeout(wait);
        else
            glfwPollEvents();
    }
}
}  // namespace

int applicationMain(int /*argc*/, char** /*argv*/, Interface (*loadInterface)()) {
    // One line per event, also when standard output is a pipe or a file.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    glfwSetErrorCallback(rememberGlfwError);
    if (!glfwInit()) {
        std::fprintf(stderr, "fishtank: no display available: %s\n", lastGlfwError.c_str());
        return 1;
    }
    Interface interface;
    try {
        interface = loadInterface();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fishtank: %s: %s\n", e.what(), lastGlfwError.c_str());
        glfwTerminate();
        return 1;
    }
    interface.controller->awakeFromNib();
    OpenGLView* view = interface.window->contentView();
    view->openGLContext()->makeCurrentContext();
    view->prepareOpenGL();
    runMainLoop();
}
