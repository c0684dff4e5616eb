#include "view/HeadTrackedView.h"

#include "platform/Window.h"

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
    if (event.isARepeat()) return;  // held down, a key acts once
    const std::string& key = event.charactersIgnoringModifiers();
    if (key == "f" && window()) window()->setFullScreen(!window()->isFullScreen());
    if (key == "c" && recentreAction) recentreAction();
}

void HeadTrackedView::clearDirectionFlags() {
    keyUpArrow = keyDownArrow = keyRightArrow = keyLeftArrow = keyInArrow = keyOutArrow = 0;
}
