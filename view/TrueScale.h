#pragma once

#include <optional>

#include "view/ScreenGeometry.h"

// An eye nearer the screen's plane than this many centimetres is held at it. No one looks
// from closer (the eye's near point is 7 cm or more even in children), so a real eye is
// never moved; nearer, the picture would shrink toward a point and then turn inside out.
constexpr double nearestEyeDistance = 3.0;

// How the true-scale picture is shown.
enum class Stereo { off, anaglyph };

// The true-scale picture's settings, lengths in centimetres: the physical screen, the
// untracked eye's distance from it, and the eyes' distance apart where a tracker gives only
// their midpoint.
struct TrueScale {
    ScreenSize screen;
    double distance = 60.0;
    Stereo stereo = Stereo::off;
    double ipd = 6.3;
    // The size is the monitor's, not given: a window on another monitor takes that one's.
    bool monitorsSize = false;
};

// The true-scale picture of the tunnel through a window on the screen, seen from one eye:
// the frustum (glFrustum's arguments) from the eye through the window's rectangle, and the
// tunnel's place in eye coordinates, all in centimetres. One tunnel unit is half the
// window's height, so that the mouth spans the window's height in the screen's plane.
struct TrueScaleProjection {
    double left, right, bottom, top, near, far;
    ScreenPoint mouthFromEye;  // the centre of the frame at depth 0, from the eye
    double unit;
};

// The projection for `window` seen from `eye`, the eye held at nearestEyeDistance at least;
// nothing for an empty window, or values that are not finite (or not as floats, which GL
// keeps). Something drawn up to `front` cm in front of the glass, or `back` cm behind it,
// stays between the near and far planes (the near plane no nearer than a tenth of the way
// from the eye).
std::optional<TrueScaleProjection> trueScaleProjection(const ScreenRect& window, ScreenPoint eye,
                                                       double front = 0.0, double back = 0.0);
