#include "view/ModelPlace.h"

#include <algorithm>
#include <limits>

namespace {
// Whether the box's front, `front` cm before the glass, `halfWidth` x `halfHeight` cm each way
// from the window's centre, is seen inside the window from every extreme eye. Where the
// projection from an eye onto the glass is linear in the eye's sideways place and monotonic
// in its distance, the extremes of the eyes are the extremes of the picture; and the front's
// corners hold the extremes of the part in front (its section in the glass lies inside).
bool frontInside(double front, double halfWidth, double halfHeight, double width, double height) {
    if (front <= 0.0) return true;
    if (front >= nearestEye) return false;
    for (double eyeZ : {nearestEye, farthestEye})
        for (double eyeX : {-eyeReachSideways, eyeReachSideways})
            for (double eyeY : {-eyeReachSideways, eyeReachSideways})
                for (double x : {-halfWidth, halfWidth})
                    for (double y : {-halfHeight, halfHeight}) {
                        const double t = eyeZ / (eyeZ - front);
                        if (std::abs(eyeX + t * (x - eyeX)) > width / 2.0 ||
                            std::abs(eyeY + t * (y - eyeY)) > height / 2.0)
                            return false;
                    }
    return true;
}
}  // namespace

ModelPlace placeModel(const Mesh::Box& upright, double width, double height,
                      const ModelSizing& sizing) {
    double extent[3];
    for (int i = 0; i < 3; ++i) extent[i] = static_cast<double>(upright.max[i]) - upright.min[i];
    double scale = sizing.centimetresPerUnit.value_or(0.0);
    if (!sizing.centimetresPerUnit) {
        // The box's depth counts against the height, as it shows when the model is turned.
        double fit = std::numeric_limits<double>::max();
        const double room[3] = {width, height, height};
        for (int i = 0; i < 3; ++i)
            if (extent[i] > 0.0) fit = std::min(fit, room[i] / extent[i]);
        scale = 2.0 / 3.0 * fit;
    }
    if (sizing.depth) return {scale, *sizing.depth};
    const double halfDepth = scale * extent[2] / 2.0;
    const double halfWidth = scale * extent[0] / 2.0, halfHeight = scale * extent[1] / 2.0;
    auto fits = [&](double depth) {
        return frontInside(halfDepth - depth, halfWidth, halfHeight, width, height);
    };
    // Deeper only helps; at the whole half depth nothing stands in front.
    double shallow = halfDepth / 3.0, deep = halfDepth;
    if (fits(shallow)) return {scale, shallow};
    for (int step = 0; step < 50; ++step) {
        const double middle = (shallow + deep) / 2.0;
        (fits(middle) ? deep : shallow) = middle;
    }
    return {scale, deep};
}
