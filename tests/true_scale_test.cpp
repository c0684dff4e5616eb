// The true-scale picture on real OpenGL: every point drawn where the line from the eye to it
// crosses the screen, the window's rectangle being the hole it is seen through.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <vector>

#include "GlTest.h"
#include "view/HeadTrackedView.h"

// Names an eye in a failure's message.
std::ostream& operator<<(std::ostream& out, ScreenPoint eye) {
    return out << "eye " << eye.x << "," << eye.y << "," << eye.z;
}

namespace {
// A 14-inch screen, its picture 40 pixels a centimetre.
constexpr ScreenSize screen{31.0, 17.4};
constexpr double pixelsPerCm = 40.0;
constexpr int wide = 1240, high = 696;

class TrueScalePicture : public TrueScaleTest {
  protected:
    TrueScalePicture() : TrueScaleTest(wide, high, screen) {}

    // The picture of `window`, in a viewport of its size at 40 pixels a centimetre.
    std::vector<FeedbackLine> linesThrough(const ScreenRect& window) {
        fitViewTo(window);
        return feedbackLines([&] { view.drawTrueScale(window); });
    }
    std::vector<std::uint8_t> pixelsThrough(const ScreenRect& window) {
        fitViewTo(window);
        glClear(GL_COLOR_BUFFER_BIT);
        view.drawTrueScale(window);
        return context.readBackBuffer();
    }
    void fitViewTo(const ScreenRect& window) {
        view.setFrameSize({static_cast<float>((window.right - window.left) * pixelsPerCm),
                           static_cast<float>((window.top - window.bottom) * pixelsPerCm)});
    }
};

struct Pixel {
    double x, y;  // window coordinates, as feedback gives them (y up)
};

// Where the line from `eye` to the tunnel's point (x, y) at `depth`, in tunnel units, crosses
// the screen, in pixels of the picture of `window`.
Pixel byTheRule(const ScreenRect& window, ScreenPoint eye, double x, double y, double depth) {
    const double unit = (window.top - window.bottom) / 2.0;
    const ScreenPoint p{(window.left + window.right) / 2.0 + x * unit,
                        (window.bottom + window.top) / 2.0 + y * unit, -depth * unit};
    const double t = eye.z / (eye.z - p.z);
    return {(eye.x + t * (p.x - eye.x) - window.left) * pixelsPerCm,
            (eye.y + t * (p.y - eye.y) - window.bottom) * pixelsPerCm};
}

std::vector<FeedbackVertex> verticesOfFrame(const std::vector<FeedbackLine>& lines, int depth) {
    std::vector<FeedbackVertex> found;
    const float green = static_cast<float>(0.1 * depth);
    for (const FeedbackLine& l : lines)
        if (l.from.r == 1.0f && l.from.b == 1.0f && l.from.g == green) {
            found.push_back(l.from);
            found.push_back(l.to);
        }
    return found;
}

// The largest distance in pixels between the corners of the frame at depth 9 as drawn and
// where the rule puts them; infinite when the frame was not drawn whole.
double farFrameError(const std::vector<FeedbackLine>& lines, const ScreenRect& window,
                     ScreenPoint eye) {
    // Its corners in the order the tunnel draws them.
    constexpr double corners[8][2] = {{-1, -1}, {1, -1}, {-1, 1}, {1, 1},
                                      {1, 1},   {1, -1}, {-1, 1}, {-1, -1}};
    const std::vector<FeedbackVertex> drawn = verticesOfFrame(lines, 9);
    if (drawn.size() != 8) return INFINITY;
    double worst = 0.0;
    for (std::size_t i = 0; i < 8; ++i) {
        const Pixel want = byTheRule(window, eye, corners[i][0], corners[i][1], 9.0);
        worst = std::max(worst, std::hypot(drawn[i].x - want.x, drawn[i].y - want.y));
    }
    return worst;
}

TEST_F(TrueScalePicture, TheMouthsPixelsAreTheSameFromEveryEye) {
    auto mouthFrom = [&](ScreenPoint eye) {
        view.placeEye(eye);
        const std::vector<std::uint8_t> rgb = pixelsThrough(wholeScreen(screen));
        std::vector<bool> mouth(rgb.size() / 3);
        for (std::size_t i = 0; i < mouth.size(); ++i)
            mouth[i] = rgb[3 * i] == 255 && rgb[3 * i + 1] == 0 && rgb[3 * i + 2] == 255;
        return mouth;
    };
    const std::vector<bool> centred = mouthFrom({0, 0, 60});
    // Its left side, the window's height across from the right one, from top to bottom.
    for (int row : {2, high / 2 - 50, high - 3})
        EXPECT_TRUE(centred[row * wide + wide / 2 - high / 2]) << row;
    // Eyes whose far tunnel stays inside the mouth, so that no deeper frame covers it.
    for (ScreenPoint eye : {ScreenPoint{6, -5, 45}, ScreenPoint{-7, 6, 25}, ScreenPoint{3, 2, 150},
                            ScreenPoint{2, -1, 0.5}})
        EXPECT_TRUE(mouthFrom(eye) == centred) << eye;
}

TEST_F(TrueScalePicture, TheFarFramesCornersLieWhereTheLineFromTheEyeCrossesTheScreen) {
    const ScreenRect window = wholeScreen(screen);
    double worst = 0.0;
    // Centred, off-centre, near, far, and nearer than the floor (drawn from 3 cm).
    for (ScreenPoint eye : {ScreenPoint{0, 0, 60}, ScreenPoint{10, -4, 60}, ScreenPoint{-6, 5, 20},
                            ScreenPoint{3, 2, 200}, ScreenPoint{1, 1, 5}, ScreenPoint{-1, 2, 1}}) {
        view.placeEye(eye);
        const std::vector<FeedbackLine> lines = linesThrough(window);
        const double error =
            farFrameError(lines, window, {eye.x, eye.y, std::max(eye.z, nearestEyeDistance)});
        EXPECT_LT(error, 1.0) << eye;
        worst = std::max(worst, error);
        if (eye.x == 0) {
            EXPECT_EQ(lines.size(), 9u + 10u * 4u);  // one pass, every line
        }
    }
    std::printf("worst far-frame corner error: %.2g pixels\n", worst);
}

TEST_F(TrueScalePicture, AWindowMovedOnTheScreenShowsTheTunnelAsTheRuleSays) {
    // 12 by 9 cm: in the middle, at the right edge, low on the left; the far frame inside.
    const ScreenPoint eye{4, 0, 80};
    view.placeEye(eye);
    for (ScreenRect window : {ScreenRect{-6, -4.5, 6, 4.5}, ScreenRect{3.5, -4.5, 15.5, 4.5},
                              ScreenRect{-10, -8.7, 2, 0.3}}) {
        const std::vector<FeedbackLine> lines = linesThrough(window);
        EXPECT_LT(farFrameError(lines, window, eye), 1.0) << window.left;
        // The mouth stays attached to the window: its sides a window's height apart.
        for (const FeedbackVertex& v : verticesOfFrame(lines, 0))
            EXPECT_NEAR(std::min(std::fabs(v.x - 60.0f), std::fabs(v.x - 420.0f)), 0.0, 1e-3)
                << window.left;
    }
    // Seen from the side, the tunnel runs off toward the eye: from in front of the screen's
    // centre, a window at the right edge shows its far end left of the window's centre.
    view.placeEye({0, 0, 60});
    const std::vector<FeedbackVertex> far =
        verticesOfFrame(linesThrough({3.5, -4.5, 15.5, 4.5}), 9);
    ASSERT_FALSE(far.empty());
    for (const FeedbackVertex& v : far) EXPECT_LT(v.x, 240.0f);
}

TEST_F(TrueScalePicture, TheAnaglyphShowsEachEyesFarFrameInItsColour) {
    view.setTrueScale(TrueScale{screen, 60.0, Stereo::anaglyph, 6.3});
    view.placeEye({0, 0, 60});  // the eyes 6.3 cm apart around it
    const ScreenRect window = wholeScreen(screen);
    const std::vector<std::uint8_t> rgb = pixelsThrough(window);
    // Points on the far frame's left and right sides, a quarter of its height above and
    // below its middle, where no other line of the same eye passes: the left eye's in red
    // alone, the right eye's in green and blue alone, each at full strength.
    using Colour = std::array<std::uint8_t, 3>;
    auto colourAt = [&](Pixel p) {
        const std::size_t row = high - 1 - static_cast<std::size_t>(p.y);
        const std::uint8_t* c = &rgb[(row * wide + static_cast<std::size_t>(p.x)) * 3];
        return Colour{c[0], c[1], c[2]};
    };
    for (double side : {-1.0, 1.0})
        for (double y : {-0.5, 0.5}) {
            EXPECT_EQ(colourAt(byTheRule(window, {-3.15, 0, 60}, side, y, 9.0)),
                      (Colour{255, 0, 0}));
            EXPECT_EQ(colourAt(byTheRule(window, {3.15, 0, 60}, side, y, 9.0)),
                      (Colour{0, 255, 255}));
        }
    // The controller's next clear reaches every channel, and a mono picture is in colour.
    GLboolean mask[4];
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    EXPECT_TRUE(mask[0] && mask[1] && mask[2] && mask[3]);
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TrueScalePicture, UntrackedTheKeysMoveTheEyeAndReleasedItGoesBackToTheCentre) {
    const ScreenRect window = wholeScreen(screen);
    const double unit = 8.7;  // half the window's height
    double buffer[16] = {};
    auto frame = [&] {
        drivenSeconds += 1.0 / 12.0;
        return feedbackLines([&] { view.drawMe(buffer, false); });
    };
    frame();  // the first frame lifts the head to distance 1
    view.xHead = 0.5f, view.yHead = -0.25f, view.zHead = 1.5f;
    EXPECT_LT(farFrameError(frame(), window, {0.5 * unit, -0.25 * unit, 60 + 0.5 * unit}), 1.0);
    // A tracked eye is taken as it is, nearer than the keys' head can come.
    view.placeEye({4, 2, 20});
    EXPECT_LT(farFrameError(frame(), window, {4, 2, 20}), 1.0);
    view.placeEyes({-3, 1, 30}, {3, 1, 34});  // mono: from their midpoint
    EXPECT_LT(farFrameError(frame(), window, {0, 1, 32}), 1.0);
    view.releaseHead();
    EXPECT_LT(farFrameError(frame(), window, {0, 0, 60}), 1.0);
}

TEST_F(TrueScalePicture, NoFrustumFromAnEyeOrWindowThatGivesNone) {
    const ScreenRect window = wholeScreen(screen);
    view.placeEye({NAN, 0, 60});
    EXPECT_TRUE(linesThrough(window).empty());
    view.placeEye({0, 0, 60});
    EXPECT_TRUE(linesThrough({1, 1, 1, 5}).empty());  // no width: a window made an icon
    EXPECT_TRUE(linesThrough({0, 0, 0, 0}).empty());
    // At or behind the screen's plane, the eye is held at the nearest distance.
    view.placeEye({1, -1, -20});
    EXPECT_LT(farFrameError(linesThrough(window), window, {1, -1, nearestEyeDistance}), 1.0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
}  // namespace
