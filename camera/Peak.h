#pragma once

#include <algorithm>

// The vertex of the parabola through (-1, a), (0, b), (1, c), when b is its peak: where a
// match peaks between samples.
inline double peakOffset(double a, double b, double c) {
    double curvature = a - 2 * b + c;
    return curvature < 0 ? std::clamp(0.5 * (a - c) / curvature, -0.5, 0.5) : 0.0;
}
