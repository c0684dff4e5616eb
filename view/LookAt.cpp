// A viewing transformation onto the current matrix: the eye to the origin, the line of
// sight onto -z, the up direction onto +y. Nothing in the program draws with it.
#include <GL/gl.h>

#include <cmath>

#include "view/OpGlView.h"

namespace {
struct Vector {
    double x, y, z;
};

Vector cross(const Vector& p, const Vector& q) {
    return {p.y * q.z - p.z * q.y, p.z * q.x - p.x * q.z, p.x * q.y - p.y * q.x};
}

// A zero vector stays zero; a NaN length divides all the same and stays NaN.
void normalize(Vector& v) {
    double length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (length == 0.0) return;
    v.x /= length;
    v.y /= length;
    v.z /= length;
}
}  // namespace

void OpGlView::gluLookAt(double ex, double ey, double ez, double cx, double cy, double cz,
                         double ux, double uy, double uz) {
    Vector back{ex - cx, ey - cy, ez - cz};
    normalize(back);
    Vector side = cross({ux, uy, uz}, back);
    // The true up comes from the side vector before it is made unit length.
    Vector up = cross(back, side);
    normalize(side);
    normalize(up);

    // Rows side, up, back, in column-major storage.
    const double m[16] = {side.x, up.x, back.x, 0, side.y, up.y, back.y, 0,
                          side.z, up.z, back.z, 0, 0,      0,    0,      1};
    glMultMatrixd(m);
    glTranslated(-ex, -ey, -ez);
}
