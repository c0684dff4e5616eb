#include "view/HeadTrackedView.h"

void HeadTrackedView::placeHead(float x, float y, float z) {
    if (!headTracked) clearDirectionFlags();  // keys held from before move nothing now
    headTracked = true;
    xHead = x;
    yHead = y;
    zHead = z;
}

void HeadTrackedView::keyDown(const Event& event) {
    OpGlView::keyDown(event);
    if (headTracked) clearDirectionFlags();
}

void HeadTrackedView::clearDirectionFlags() {
    keyUpArrow = keyDownArrow = keyRightArrow = keyLeftArrow = keyInArrow = keyOutArrow = 0;
}
