#include "view/ScreenGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

ScreenRect wholeScreen(ScreenSize screen) {
    return {-screen.width / 2.0, -screen.height / 2.0, screen.width / 2.0, screen.height / 2.0};
}

ScreenRect windowOnScreen(ScreenSize screen, const Monitor& monitor, const Rect& content) {
    if (monitor.width <= 0 || monitor.height <= 0) return wholeScreen(screen);
    const double across = screen.width / monitor.width;  // centimetres per pixel
    const double down = screen.height / monitor.height;
    const double left = (content.origin.x - monitor.x - monitor.width / 2.0) * across;
    const double top = (monitor.y + monitor.height / 2.0 - content.origin.y) * down;
    return {left, top - content.size.height * down, left + content.size.width * across, top};
}

ScreenSize reportedSize(const Monitor& monitor) {
    return {monitor.widthMm / 10.0, monitor.heightMm / 10.0};
}

std::optional<std::string> implausibleScreen(ScreenSize size, int modeWidth, int modeHeight) {
    char why[160];
    const double longer = std::max(size.width, size.height);
    const double shorter = std::min(size.width, size.height);
    if (!(shorter > 0.0)) {
        std::snprintf(why, sizeof why, "a screen of %g x %g cm has no size", size.width,
                      size.height);
    } else if (!std::isfinite(longer)) {
        std::snprintf(why, sizeof why, "a screen that large has a side over 300 cm");
    } else if (shorter < 10.0 || longer > 300.0) {
        std::snprintf(why, sizeof why, "a screen of %g x %g cm has a side %s", size.width,
                      size.height, shorter < 10.0 ? "under 10 cm" : "over 300 cm");
    } else if (modeWidth <= 0 || modeHeight <= 0) {
        if (longer <= 4 * shorter) return std::nullopt;
        std::snprintf(why, sizeof why, "a screen of %g x %g cm has one side over 4 times the other",
                      size.width, size.height);
    } else {
        const double aspect = size.width / size.height;
        const double modeAspect = static_cast<double>(modeWidth) / modeHeight;
        if (std::fabs(aspect / modeAspect - 1.0) <= 0.1) return std::nullopt;
        std::snprintf(why, sizeof why,
                      "a screen of %g x %g cm (aspect %.2f) is more than 10 %% off the aspect of "
                      "its mode, %dx%d (%.2f)",
                      size.width, size.height, aspect, modeWidth, modeHeight, modeAspect);
    }
    return std::string(why);
}

ScreenSize screenOfDiagonal(double inches, int modeWidth, int modeHeight) {
    const double perPixel = inches * 2.54 / std::hypot(modeWidth, modeHeight);
    return {modeWidth * perPixel, modeHeight * perPixel};
}

ScreenSize sizeOf(const Monitor& monitor, ScreenSize otherwise) {
    const ScreenSize reported = reportedSize(monitor);
    return implausibleScreen(reported, monitor.width, monitor.height) ? otherwise : reported;
}
