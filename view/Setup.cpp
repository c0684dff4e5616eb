// One-time OpenGL set-up of the view, and its responder and mouse behaviour.
#include <GL/gl.h>

#include <algorithm>
#include <cstdio>

#include "platform/Window.h"
#include "view/OpGlView.h"

void OpGlView::prepareOpenGL() {
    std::fill(std::begin(ownScratch), std::end(ownScratch), 0.0);
    mat = ownScratch;
    zHead = 0.5f;
    now = Date::date();
    last = Date::date();
    if (Window* w = window()) {
        w->makeFirstResponder(this);
        w->makeKeyAndOrderFront(this);
    }
    loadSTLText();
    drawFromSTL();
    std::puts("prepare OpenGL.");

    glShadeModel(GL_SMOOTH);
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDrawBuffer(GL_BACK);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

bool OpGlView::acceptsFirstResponder() {
    return true;
}
bool OpGlView::becomeFirstResponder() {
    return true;
}
bool OpGlView::resignFirstResponder() {
    return true;
}

void OpGlView::mouseDown(const Event& /*event*/) {
    std::puts("mousedown event...");
}
