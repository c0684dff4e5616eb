#include "platform/Monitor.h"

#include <GLFW/glfw3.h>

#include <algorithm>

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

std::optional<Monitor> monitorOfWindow(const std::vector<Monitor>& monitors, double x, double y,
                                       double width, double height) {
    const double centreX = x + width / 2.0, centreY = y + height / 2.0;
    const Monitor* most = nullptr;
    double mostOverlap = 0.0;
    for (const Monitor& m : monitors) {
        if (centreX >= m.x && centreX < m.x + m.width && centreY >= m.y &&
            centreY < m.y + m.height)
            return m;
        const double across = std::min(x + width, double(m.x + m.width)) - std::max(x, double(m.x));
        const double down = std::min(y + height, double(m.y + m.height)) - std::max(y, double(m.y));
        if (across > 0 && down > 0 && across * down > mostOverlap) {
            mostOverlap = across * down;
            most = &m;
        }
    }
    if (most) return *most;
    return std::nullopt;
}

std::vector<Monitor> monitors() {
    int count = 0;
    GLFWmonitor** handles = glfwGetMonitors(&count);
    std::vector<Monitor> described;
    for (int i = 0; i < count; ++i) described.push_back(describe(handles[i]));
    return described;
}
