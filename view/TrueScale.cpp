#include "view/TrueScale.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr double tunnelDepth = 10.0;  // where the depth lines end, in tunnel units
}

std::optional<TrueScaleProjection> trueScaleProjection(const ScreenRect& window, ScreenPoint eye,
                                                       double front, double back) {
    const double unit = (window.top - window.bottom) / 2.0;
    if (!(window.right > window.left && unit > 0.0)) return std::nullopt;
    eye.z = std::max(eye.z, nearestEyeDistance);
    // The near plane halfway to the screen, or to what stands in front of it, cuts the
    // frustum at that fraction of the window's offsets from the eye; the far plane lies
    // beyond the deepest point drawn.
    const double near = std::max(std::min(eye.z, eye.z - front) / 2.0, eye.z / 10.0);
    const double k = near / eye.z;
    TrueScaleProjection p{(window.left - eye.x) * k,
                          (window.right - eye.x) * k,
                          (window.bottom - eye.y) * k,
                          (window.top - eye.y) * k,
                          near,
                          2.0 * (eye.z + std::max(tunnelDepth * unit, back)),
                          {(window.left + window.right) / 2.0 - eye.x,
                           (window.bottom + window.top) / 2.0 - eye.y, -eye.z},
                          unit};
    for (double v : {p.left, p.right, p.bottom, p.top, p.near, p.far, p.mouthFromEye.x,
                     p.mouthFromEye.y, p.mouthFromEye.z, p.unit})
        if (!(std::fabs(v) <= std::numeric_limits<float>::max())) return std::nullopt;
    return p;
}
