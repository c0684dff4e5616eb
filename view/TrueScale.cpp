#include "view/TrueScale.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr double tunnelDepth = 10.0;  // where the depth lines end, in tunnel units
}

std::optional<TrueScaleProjection> trueScaleProjection(const ScreenRect& window, ScreenPoint eye) {
    const double unit = (window.top - window.bottom) / 2.0;
    if (!(window.right > window.left && unit > 0.0)) return std::nullopt;
    eye.z = std::max(eye.z, nearestEyeDistance);
    // The near plane halfway to the screen, where nothing is drawn, cuts the frustum at half
    // the window's offsets from the eye; the far plane lies beyond the tunnel's deepest point.
    TrueScaleProjection p{(window.left - eye.x) / 2.0,
                          (window.right - eye.x) / 2.0,
                          (window.bottom - eye.y) / 2.0,
                          (window.top - eye.y) / 2.0,
                          eye.z / 2.0,
                          2.0 * (eye.z + tunnelDepth * unit),
                          {(window.left + window.right) / 2.0 - eye.x,
                           (window.bottom + window.top) / 2.0 - eye.y, -eye.z},
                          unit};
    for (double v : {p.left, p.right, p.bottom, p.top, p.near, p.far, p.mouthFromEye.x,
                     p.mouthFromEye.y, p.mouthFromEye.z, p.unit})
        if (!(std::fabs(v) <= std::numeric_limits<float>::max())) return std::nullopt;
    return p;
}
