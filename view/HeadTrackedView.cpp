#include "view/HeadTrackedView.h"

#include <GL/gl.h>

#include "platform/Window.h"

void HeadTrackedView::placeHead(float x, float y, float z) {
    takeHead();
    xHead = x;
    yHead = y;
    zHead = z;
}

void HeadTrackedView::placeEye(ScreenPoint eye) {
    takeHead();
    trackedEye = eye;
    trackedEyes.reset();
}

void HeadTrackedView::placeEyes(ScreenPoint left, ScreenPoint right) {
    takeHead();
    trackedEye = {(left.x + right.x) / 2.0, (left.y + right.y) / 2.0, (left.z + right.z) / 2.0};
    trackedEyes = EyePair{left, right};
}

void HeadTrackedView::place(const EyePlacement& placement) {
    switch (placement.kind) {
        case EyePlacement::Kind::angle:
            return placeHead(placement.head[0], placement.head[1], placement.head[2]);
        case EyePlacement::Kind::eye:
            return placeEye(placement.eye);
        case EyePlacement::Kind::eyes:
            return placeEyes(placement.left, placement.right);
    }
}

void HeadTrackedView::takeHead() {
    if (!headTracked) clearDirectionFlags();  // keys held from before move nothing now
    headTracked = true;
}

void HeadTrackedView::releaseHead() {
    headTracked = false;
    if (!trueScale) return;
    xHead = yHead = 0.0f;  // the untracked eye: centred, at the viewing distance
    zHead = 1.0f;
}

void HeadTrackedView::showModel(std::unique_ptr<ModelDrawing> shown, bool withTunnel) {
    model = std::move(shown);
    tunnelShown = withTunnel;
}

void HeadTrackedView::keyDown(const Event& event) {
    OpGlView::keyDown(event);
    if (headTracked) clearDirectionFlags();
    if (event.isARepeat()) return;  // held down, a key acts once
    const std::string& key = event.charactersIgnoringModifiers();
    if (key == "f" && window()) window()->setFullScreen(!window()->isFullScreen());
    if (key == "c" && recentreAction) recentreAction();
    if (key == "r" && model) model->reset();
}

void HeadTrackedView::mouseDragged(const Event& event) {
    // A drag across a 720-pixel window turns the model by about 260 degrees.
    if (model) model->turn(event.deltaX() * 0.36, event.deltaY() * 0.36);
}

void HeadTrackedView::scrollWheel(const Event& event) {
    if (model) model->zoom(event.deltaY());
}

void HeadTrackedView::clearDirectionFlags() {
    keyUpArrow = keyDownArrow = keyRightArrow = keyLeftArrow = keyInArrow = keyOutArrow = 0;
}

void HeadTrackedView::drawRect(Rect dirtyRect) {
    if (!trueScale) {
        OpGlView::drawRect(dirtyRect);
        return;
    }
    glMatrixMode(GL_MODELVIEW);
    stepHead();
    drawTrueScale(windowPlace());
    glFlush();
}

void HeadTrackedView::windowPlaceChanged() {
    if (!trueScale || !openGLContext()) return;
    // A frame cleared and presented as a tick's, but without its frame step: the keys move
    // the eye by the time between ticks, which a move in between would distort.
    openGLContext()->makeCurrentContext();
    glDrawBuffer(GL_BACK);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    drawTrueScale(windowPlace());
    openGLContext()->flushBuffer();
}

ScreenRect HeadTrackedView::windowPlace() const {
    // Without a window (the renderer), the picture is that of a full-screen one.
    const Window* w = window();
    if (!w || !w->monitor()) return wholeScreen(trueScale->screen);
    const Monitor& monitor = *w->monitor();
    const ScreenSize screen =
        trueScale->monitorsSize ? sizeOf(monitor, trueScale->screen) : trueScale->screen;
    return windowOnScreen(screen, monitor, w->contentRect());
}

ScreenPoint HeadTrackedView::eye(double unit) const {
    if (headTracked) return trackedEye;
    return {xHead * unit, yHead * unit, trueScale->distance + (zHead - 1.0) * unit};
}

HeadTrackedView::EyePair HeadTrackedView::eyePair(double unit) const {
    if (headTracked && trackedEyes) return *trackedEyes;
    const ScreenPoint centre = eye(unit);
    const double half = trueScale->ipd / 2.0;
    return {{centre.x - half, centre.y, centre.z}, {centre.x + half, centre.y, centre.z}};
}
