#include "platform/RunLoop.h"

#include <GLFW/glfw3.h>
#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3native.h>
#include <poll.h>

#include <cmath>
#include <ctime>

#include "platform/Date.h"
#include "platform/Timer.h"

namespace {
timespec durationOf(double seconds) {
    timespec t{};
    t.tv_sec = static_cast<time_t>(seconds);
    t.tv_nsec = static_cast<long>((seconds - static_cast<double>(t.tv_sec)) * 1e9);
    return t;
}
}  // namespace

bool hasX11Display() {
    return glfwGetX11Display() != nullptr;
}

// The display connection and the descriptors are watched together in one ppoll(), the way
// the window system's own wait watches the display alone; ppoll() takes nanoseconds, so
// the timers keep their pace.
void waitForEvents(std::initializer_list<int> descriptors, double seconds) {
    Display* display = glfwGetX11Display();  // null while the window system is not started
    pollfd watched[8];
    nfds_t count = 0;
    if (display) watched[count++] = {ConnectionNumber(display), POLLIN, 0};
    for (int descriptor : descriptors)
        if (descriptor >= 0 && count < 8) watched[count++] = {descriptor, POLLIN, 0};
    // Events that Xlib has already read wait in its queue, where ppoll() cannot see them:
    // then only look, without sleeping.
    if (display && XPending(display)) seconds = 0.0;
    timespec timeout{};
    if (std::isfinite(seconds)) timeout = durationOf(std::fmax(seconds, 0.0));
    ::ppoll(watched, count, std::isfinite(seconds) ? &timeout : nullptr, nullptr);
    if (display) glfwPollEvents();
}

void runMainLoop() {
    for (;;) {
        Timer::fireDueTimers(monotonicSeconds());
        waitForEvents({}, Timer::nextDeadline() - monotonicSeconds());
    }
}
