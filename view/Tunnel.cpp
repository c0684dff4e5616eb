// The tunnel: nine depth lines from depth 0 to 10 and ten square frames at depths 0 to 9,
// one batch of lines under the projection that drawCube has just set up.
#include <GL/gl.h>

#include "view/OpGlView.h"

namespace {
struct DepthLine {
    double x, y;
};
// After the centre line: the four corners, then the midpoints of the four sides.
constexpr DepthLine outerDepthLines[] = {{-1, -1}, {1, 1},  {1, -1}, {-1, 1},
                                         {-1, 0},  {0, -1}, {1, 0},  {0, 1}};
}  // namespace

void OpGlView::drawTunnel() {
    glLineWidth(2.0f);
    glBegin(GL_LINES);
    glColor3f(0.5f, 0.5f, 1.0f);
    glVertex3d(0, 0, 0);
    glVertex3d(0, 0, 10);
    glColor3f(0.0f, 0.0f, 1.0f);
    for (const DepthLine& line : outerDepthLines) {
        glVertex3d(line.x, line.y, 0);
        glVertex3d(line.x, line.y, 10);
    }
    for (int i = 0; i <= 9; ++i) drawFrameAtDistance(static_cast<float>(i));
    glEnd();
    glPopMatrix();  // pushed by drawCube before the projection chain
}

void OpGlView::drawFrameAtDistance(float depth) {
    // Green is formed in double and rounded once: at depth 9 exactly the float nearest 0.9.
    glColor3f(1.0f, static_cast<float>(0.1 * static_cast<double>(depth)), 1.0f);
    const double z = depth;
    // Bottom, top, right and left side, as four separate segments.
    glVertex3d(-1, -1, z);
    glVertex3d(1, -1, z);
    glVertex3d(-1, 1, z);
    glVertex3d(1, 1, z);
    glVertex3d(1, 1, z);
    glVertex3d(1, -1, z);
    glVertex3d(-1, 1, z);
    glVertex3d(-1, -1, z);
}
