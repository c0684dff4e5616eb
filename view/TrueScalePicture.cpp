// The true-scale picture: the tunnel of OpGlView, placed in screen centimetres behind the
// window and seen through the frustum from the eye to the window's rectangle; in anaglyph,
// once from each eye, through a colour mask each. A model stands in the tunnel, in either
// mapping.
#include <GL/gl.h>

#include "view/HeadTrackedView.h"

void HeadTrackedView::drawTrueScale(const ScreenRect& window) {
    if (!trueScale) return;
    drawnWindow = window;
    Rect rect = bounds();
    glViewport(0, 0, static_cast<GLsizei>(rect.size.width), static_cast<GLsizei>(rect.size.height));
    const double unit = (window.top - window.bottom) / 2.0;
    if (trueScale->stereo == Stereo::off) {
        drawFrom(window, eye(unit));
        return;
    }
    // Every line white, so that each eye sees all of them at full strength through its
    // filter: the tunnel's blue depth lines would vanish behind the red one. Fog forced to
    // full (linear, ending before the eye) gives each fragment the fog's colour.
    const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogf(GL_FOG_START, -1.0f);
    glFogf(GL_FOG_END, 0.0f);
    glFogfv(GL_FOG_COLOR, white);
    glEnable(GL_FOG);
    const EyePair eyes = eyePair(unit);
    glColorMask(GL_TRUE, GL_FALSE, GL_FALSE, GL_TRUE);
    drawFrom(window, eyes.left);
    glColorMask(GL_FALSE, GL_TRUE, GL_TRUE, GL_TRUE);
    if (model) glClear(GL_DEPTH_BUFFER_BIT);
    drawFrom(window, eyes.right);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDisable(GL_FOG);
}

void HeadTrackedView::drawFrom(const ScreenRect& window, ScreenPoint eye) {
    const ModelDrawing::Reach reach =
        model ? model->reach(window.right - window.left, window.top - window.bottom)
              : ModelDrawing::Reach{0.0, 0.0};
    const std::optional<TrueScaleProjection> p =
        trueScaleProjection(window, eye, reach.front, reach.back);
    if (!p) return;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(p->left, p->right, p->bottom, p->top, p->near, p->far);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();  // popped at the end of the tunnel
    // Tunnel units, depth into the screen, to centimetres from the eye.
    glTranslated(p->mouthFromEye.x, p->mouthFromEye.y, p->mouthFromEye.z);
    glScaled(p->unit, p->unit, -p->unit);
    drawTunnel();
}

void HeadTrackedView::drawTunnel() {
    if (!model) {
        OpGlView::drawTunnel();
        return;
    }
    const double width = drawnWindow.right - drawnWindow.left;
    const double height = drawnWindow.top - drawnWindow.bottom;
    const double unit = height / 2.0;
    glEnable(GL_DEPTH_TEST);
    // Lighting takes the modelview for the eye's frame, but the angle mapping keeps its
    // perspective there: for the model the whole chain moves to the projection, and the
    // tunnel's frame becomes the eye's in either mapping.
    GLdouble chain[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, chain);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glMultMatrixd(chain);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glScaled(1.0 / unit, 1.0 / unit, -1.0 / unit);  // tunnel units to centimetres
    // The angle mapping's near plane lies in the glass: nothing stands in front of it there.
    model->draw(width, height, trueScale && trueScale->stereo == Stereo::anaglyph, !trueScale);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    if (tunnelShown)
        OpGlView::drawTunnel();
    else
        glPopMatrix();  // what the tunnel would have popped
    glDisable(GL_DEPTH_TEST);
}
