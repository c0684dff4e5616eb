#include "platform/Monitor.h"

#include <GLFW/glfw3.h>

namespace {
// GLFW 3.3 gives a size at 96 dpi, from the monitor's pixels, where the monitor reports
// none (x11_monitor.c); such a size is recognised here and given as 0 instead.
bool isGlfwStandInSize(const Monitor& m) {
    auto at96dpi = [](int pixels) { return static_cast<int>(pixels * 25.4f / 96.f); };
    return m.widthMm == at96dpi(m.width) && m.heightMm == at96dpi(m.height);
}

Monitor describe(GLFWmonitor* handle) {
    Monitor m;
    if (const char* name = glfwGetMonitorName(handle)) m.name = name;
    glfwGetMonitorPos(handle, &m.x, &m.y);
    if (const GLFWvidmode* mode = glfwGetVideoMode(handle)) {
        m.width = mode->width;
        m.height = mode->height;
        m.refreshRate = mode->refreshRate;
    }
    glfwGetMonitorPhysicalSize(handle, &m.widthMm, &m.heightMm);
    if (isGlfwStandInSize(m)) m.widthMm = m.heightMm = 0;
    return m;
}
}  // namespace

std::optional<Monitor> primaryMonitor() {
    if (!glfwInit()) return std::nullopt;  // returns at once when already started
    GLFWmonitor* primary = glfwGetPrimaryMonitor();
    if (!primary) return std::nullopt;
    return describe(primary);
}

std::optional<Monitor> monitorAt(double x, double y) {
    int count = 0;
    GLFWmonitor** monitors = glfwGetMonitors(&count);
    for (int i = 0; i < count; ++i) {
        Monitor m = describe(monitors[i]);
        if (x >= m.x && x < m.x + m.width && y >= m.y && y < m.y + m.height) return m;
    }
    return primaryMonitor();
}
