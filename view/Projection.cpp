// The off-axis projection: an orthographic box, and on the modelview stack a chain of six
// matrices built from the head position that turns it into the perspective seen from there.
#include <GL/gl.h>

#include <algorithm>

#include "view/OpGlView.h"

void OpGlView::multiplyScratchMatrix(const double (&matrix)[16]) {
    std::copy(std::begin(matrix), std::end(matrix), mat);
    glMultMatrixd(mat);
}

void OpGlView::drawCube(float /*unused*/) {
    Rect rect = bounds();
    GLsizei width = static_cast<GLsizei>(rect.size.width);
    GLsizei height = static_cast<GLsizei>(rect.size.height);

    glEnable(GL_NORMALIZE);
    glMatrixMode(GL_PROJECTION);
    glViewport(0, 0, width, height);
    glLoadIdentity();

    const float left = -1.0f, right = 1.0f, top = 1.0f, bottom = -1.0f;
    const float near = 0.0001f, far = 2.0f;
    glOrtho(left, right, bottom, top, near, far);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();

    // Every entry is computed in single precision; only the depth scale s takes one step
    // through double.
    const float X = xHead, Y = yHead, Z = zHead;
    const float a = (-X) / Z;
    const float b = (-Y) / Z;
    const float sx = 2.0f / (right - left);
    const float sy = 2.0f / (top - bottom);
    const float depthProduct = (near - Z) * (far - Z);
    const float s = static_cast<float>(2.0 * static_cast<double>(depthProduct) /
                                       static_cast<double>(far - near));
    const float c = ((Z + Z - far) - near) / (far - near);

    // Column-major: index = column * 4 + row.
    const double headShear[16] = {1, 0, 0, 0, 0, 1, 0, 0, a, b, 1, 0, 0, 0, 0, 1};
    const double headDistance[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -Z, 1};
    const double windowScale[16] = {sx, 0, 0, 0, 0, sy, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const double headPerspective[16] = {Z, 0, 0, 0, 0, Z, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0};
    const double depthScale[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, s, 0, 0, 0, 0, 1};
    const double depthOffset[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, c, 1};
    multiplyScratchMatrix(headShear);
    multiplyScratchMatrix(headDistance);
    multiplyScratchMatrix(windowScale);
    multiplyScratchMatrix(headPerspective);
    multiplyScratchMatrix(depthScale);
    multiplyScratchMatrix(depthOffset);
    glTranslated(0.0, 0.0, 1.0);

    drawTunnel();
}
