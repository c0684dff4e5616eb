#pragma once

// The GL calls of one Fishtank tick from head position (0, 0, 1), issued flat: no view, no
// controller, the chain's matrices precomputed. What the program costs beyond this is its
// own overhead.
#include <GL/gl.h>

inline void flatTick(int width, int height) {
    static const double chain[6][16] = {
        {1, 0, 0, 0, 0, 1, 0, 0, -0.0, -0.0, 1, 0, 0, 0, 0, 1},
        {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -1, 1},
        {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
        {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0},
        {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -0.9999499917030334, 0, 0, 0, 0, 1},
        {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -5.000249802833423e-05, 1},
    };
    static const double depthLines[9][2] = {{0, 0},  {-1, -1}, {1, 1}, {1, -1}, {-1, 1},
                                            {-1, 0}, {0, -1},  {1, 0}, {0, 1}};
    static const double corners[8][2] = {{-1, -1}, {1, -1}, {-1, 1}, {1, 1},
                                         {1, 1},   {1, -1}, {-1, 1}, {-1, -1}};
    glDrawBuffer(GL_BACK);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glEnable(GL_NORMALIZE);
    glMatrixMode(GL_PROJECTION);
    glViewport(0, 0, width, height);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, 9.999999747378752e-05, 2);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    for (const auto& m : chain) glMultMatrixd(m);
    glTranslated(0, 0, 1);
    glLineWidth(2.0f);
    glBegin(GL_LINES);
    for (int i = 0; i < 9; ++i) {
        if (i == 0) glColor3f(0.5f, 0.5f, 1.0f);
        if (i == 1) glColor3f(0.0f, 0.0f, 1.0f);
        glVertex3d(depthLines[i][0], depthLines[i][1], 0);
        glVertex3d(depthLines[i][0], depthLines[i][1], 10);
    }
    for (int d = 0; d <= 9; ++d) {
        glColor3f(1.0f, static_cast<float>(0.1 * d), 1.0f);
        for (const auto& c : corners) glVertex3d(c[0], c[1], d);
    }
    glEnd();
    glPopMatrix();
    glPopMatrix();
    glFlush();
}
