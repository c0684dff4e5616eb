// A wire cube recorded into display list 1 at set-up. Nothing executes the list.
#include <GL/gl.h>

#include "view/OpGlView.h"

void OpGlView::drawFromSTL() {
    const float h = 0.25f;
    const double front = -h, back = -3.0f * h;
    // Each square from top left through top right, bottom right and bottom left; each depth
    // edge from its front corner to its back corner, in the same corner order.
    const double corners[4][2] = {{-h, h}, {h, h}, {h, -h}, {-h, -h}};

    glNewList(1, GL_COMPILE);
    glLineWidth(1.0f);
    glBegin(GL_LINES);
    glColor3d(1.0, 1.0, 1.0);
    for (int i = 0; i < 4; ++i) {
        glVertex3d(corners[i][0], corners[i][1], front);
        glVertex3d(corners[(i + 1) % 4][0], corners[(i + 1) % 4][1], front);
    }
    glColor3d(0.5, 0.5, 0.5);
    for (int i = 0; i < 4; ++i) {
        glVertex3d(corners[i][0], corners[i][1], back);
        glVertex3d(corners[(i + 1) % 4][0], corners[(i + 1) % 4][1], back);
    }
    for (const auto& corner : corners) {
        glVertex3d(corner[0], corner[1], front);
        glVertex3d(corner[0], corner[1], back);
    }
    glEnd();
    glEndList();
}
