#pragma once

#include <functional>

#include "view/OpGlView.h"

// The view of the tracked program: the same view, whose head a tracker can take over.
// While it holds the head, the direction keys print their line as always but move
// nothing; the frame step still clamps the head to its box. Released, the head stays
// where the tracker left it and the keys move it again. Two keys of its own: f toggles
// full screen, c asks for recentring (the camera takes the face's place as neutral).
class HeadTrackedView : public OpGlView {
  public:
    // Puts the head at the tracked position and keeps the keys from moving it.
    void placeHead(float x, float y, float z);
    void releaseHead() { headTracked = false; }
    bool isHeadTracked() const { return headTracked; }

    void keyDown(const Event& event) override;

    // What the recentring key does; set by the interface description.
    std::function<void()> recentreAction;

  private:
    void clearDirectionFlags();

    bool headTracked = false;
};
