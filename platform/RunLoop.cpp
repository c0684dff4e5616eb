#include "platform/RunLoop.h"

#include <GLFW/glfw3.h>
#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3native.h>
#include <poll.h>

#include <cmath>
#include <ctime>
#include <vector>

#include "platform/Date.h"
#include "platform/Timer.h"

namespace {
struct DescriptorSource {
    int descriptor;
    std::function<void()> onReadable;
};
std::vector<DescriptorSource>& descriptorSources() {
    static std::vector<DescriptorSource> sources;
    return sources;
}

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

void addDescriptorSource(int descriptor, std::function<void()> onReadable) {
    descriptorSources().push_back({descriptor, std::move(onReadable)});
}

// The display connection and the descriptors are watched together in one ppoll(), the way the
// window system's own wait watches the display alone; ppoll() takes nanoseconds, so the
// timers keep their pace.
void runMainLoop() {
    Display* display = glfwGetX11Display();
    auto& sources = descriptorSources();
    std::vector<pollfd> watched;
    for (;;) {
        Timer::fireDueTimers(monotonicSeconds());
        watched.assign(1, {ConnectionNumber(display), POLLIN, 0});
        for (const DescriptorSource& s : sources) watched.push_back({s.descriptor, POLLIN, 0});
        // Events that Xlib has already read wait in its queue, where ppoll() cannot see
        // them: then only look, without sleeping.
        double wait = XPending(display) ? 0.0 : Timer::nextDeadline() - monotonicSeconds();
        timespec timeout{};
        if (std::isfinite(wait)) timeout = durationOf(std::fmax(wait, 0.0));
        ::ppoll(watched.data(), watched.size(), std::isfinite(wait) ? &timeout : nullptr, nullptr);
        glfwPollEvents();
        for (std::size_t i = 0; i < sources.size(); ++i)
            if (watched[i + 1].revents) sources[i].onReadable();
    }
}
