#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "view/ModelDrawing.h"
#include "view/OpGlView.h"
#include "view/PoseToEye.h"
#include "view/TrueScale.h"

// The view of the tracked program: the same view, whose head a tracker can take over.
// While it holds the head, the direction keys print their line as always but move
// nothing; the frame step still clamps the head to its box. Released, the head stays
// where the tracker left it and the keys move it again. Two keys of its own: f toggles
// full screen, c asks for recentring (the camera takes the face's place as neutral).
//
// In true scale the picture is instead what the window shows as a hole of its physical
// size, at its place on the screen, seen from an eye in screen centimetres (view/TrueScale.h;
// drawn in TrueScalePicture.cpp). Untracked, the eye sits centred in front of the screen at
// the viewing distance, and the keys move it as they move the head: xHead, yHead and
// zHead - 1 are its offsets from there in tunnel units. Released, it goes back there.
//
// A model shown stands in the tunnel, or alone; a drag turns it, the wheel scales it and r
// puts it back. In the angle mapping the tunnel's mouth counts as a window 20 cm square,
// and the model stands wholly behind it.
class HeadTrackedView : public OpGlView {
  public:
    // Draws `model` with the tunnel, or without it; the view's context needs a depth buffer.
    void showModel(std::unique_ptr<ModelDrawing> model, bool withTunnel);

    // Puts the head at the tracked position and keeps the keys from moving it.
    void placeHead(float x, float y, float z);
    void releaseHead();

    // True scale on with its settings, or off (nothing): the angle-mapped picture as before.
    void setTrueScale(std::optional<TrueScale> settings) { trueScale = settings; }
    // Places the eye (in stereo, the midpoint between the eyes, ipd apart along x), or both
    // eyes, in screen centimetres, as given; and keeps the keys from moving it.
    void placeEye(ScreenPoint eye);
    void placeEyes(ScreenPoint left, ScreenPoint right);
    // The head, the eye or the eyes, as a tracker's pose places them.
    void place(const EyePlacement& placement);

    using OpGlView::drawRect;
    void drawRect(Rect dirtyRect) override;
    // The true-scale picture of a window at `window` on the screen, from the eye or eyes as
    // they are (nothing when true scale is off); drawRect draws it with the window's place as
    // the platform gives it.
    void drawTrueScale(const ScreenRect& window);
    void keyDown(const Event& event) override;
    void mouseDragged(const Event& event) override;
    void scrollWheel(const Event& event) override;
    // In true scale, shows the picture for the window's new place at once.
    void windowPlaceChanged() override;

    // What the recentring key does; set by the interface description.
    std::function<void()> recentreAction;

  private:
    struct EyePair {
        ScreenPoint left, right;
    };

    void clearDirectionFlags();
    void takeHead();
    ScreenRect windowPlace() const;
    ScreenPoint eye(double unit) const;
    EyePair eyePair(double unit) const;
    void drawFrom(const ScreenRect& window, ScreenPoint eye);
    void drawTunnel() override;

    bool headTracked = false;
    std::optional<TrueScale> trueScale;
    ScreenPoint trackedEye;  // the eye, or the midpoint of the tracked eyes
    std::optional<EyePair> trackedEyes;
    std::unique_ptr<ModelDrawing> model;
    bool tunnelShown = true;
    ScreenRect drawnWindow{-10.0, -10.0, 10.0, 10.0};  // the window drawn through, cm
};
