// Frame entry and the frame step: the head moves from the direction flags by an amount
// derived from the time between frames, is clamped to its box, and the scene is drawn.
#include <GL/gl.h>

#include <cstdio>

#include "view/OpGlView.h"

void OpGlView::drawMe(double* matrix, bool log) {
    glMatrixMode(GL_MODELVIEW);
    if (!matrix) {
        glLoadIdentity();
        if (log) std::puts("OGLView: invalid matrix");
    } else {
        mat = matrix;  // the projection now writes into the caller's buffer
        if (log) {
            std::puts("Printing Polygon with Data from Matrix:");
            for (int row = 0; row < 4; ++row)
                std::printf("OGLView: matrix-data %d: %f, %f, %f, %f. \n", row + 1, matrix[row],
                            matrix[4 + row], matrix[8 + row], matrix[12 + row]);
        }
    }
    drawRect();
}

void OpGlView::drawRect() {
    drawRect(bounds());
}

void OpGlView::drawRect(Rect /*dirtyRect*/) {
    glMatrixMode(GL_MODELVIEW);
    stepHead();
    glPushMatrix();
    drawCube(0.0f);
    glPopMatrix();
    glFlush();
}

void OpGlView::stepHead() {
    last = now;
    now = Date::date();
    double dt = now.timeIntervalSinceDate(last);
    // The change per frame is the reciprocal of the interval over 300 (0.04 at 12 ticks a
    // second); each step is taken in double and stored back as float.
    double rate = 1.0 / dt;

    if (keyDownArrow)
        yHead = static_cast<float>(yHead + rate / -300.0);
    else if (keyUpArrow)
        yHead = static_cast<float>(yHead + rate / 300.0);
    if (yHead > 100.0f) yHead = 100.0f;
    if (yHead < -100.0f) yHead = -100.0f;

    if (keyRightArrow)
        xHead = static_cast<float>(xHead + rate / 300.0);
    else if (keyLeftArrow)
        xHead = static_cast<float>(xHead + rate / -300.0);
    if (xHead < -100.0f) xHead = -100.0f;
    if (xHead > 100.0f) xHead = 100.0f;

    if (keyInArrow)
        zHead = static_cast<float>(zHead + rate / 300.0);
    else if (keyOutArrow)
        zHead = static_cast<float>(zHead + rate / -300.0);
    if (zHead < 1.0f) zHead = 1.0f;
    if (zHead > 100.0f) zHead = 100.0f;
}
