// The six direction keys set and clear the direction flags; the frame step reads them.
#include <cstdio>

#include "view/OpGlView.h"

namespace {
struct DirectionKey {
    std::string_view key;
    std::uint8_t OpGlView::*flag;
    std::uint8_t OpGlView::*opposite;  // the other direction on the same axis
};

// Tested in this order; the first match decides.
constexpr DirectionKey directionKeys[] = {
    {"w", &OpGlView::keyUpArrow, &OpGlView::keyDownArrow},
    {"a", &OpGlView::keyLeftArrow, &OpGlView::keyRightArrow},
    {"d", &OpGlView::keyRightArrow, &OpGlView::keyLeftArrow},
    {"s", &OpGlView::keyDownArrow, &OpGlView::keyUpArrow},
    {"q", &OpGlView::keyOutArrow, &OpGlView::keyInArrow},
    {"e", &OpGlView::keyInArrow, &OpGlView::keyOutArrow},
};

const DirectionKey* directionKeyFor(const Event& event) {
    for (const DirectionKey& d : directionKeys)
        if (event.charactersIgnoringModifiers() == d.key) return &d;
    return nullptr;
}
}  // namespace

void OpGlView::keyDown(const Event& event) {
    std::puts("keydown event.....");
    if (const DirectionKey* d = directionKeyFor(event)) {
        this->*(d->opposite) = 0;
        this->*(d->flag) = 1;
    }
}

void OpGlView::keyUp(const Event& event) {
    if (const DirectionKey* d = directionKeyFor(event)) this->*(d->flag) = 0;
}
