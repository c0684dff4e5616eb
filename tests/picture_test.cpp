#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

#include "GlTest.h"

namespace {
constexpr int side = 400;

class Picture : public GlTest {
  protected:
    Picture() : GlTest(side, side) {
        prepare();
        view.drawMe(buffer, false);  // the first frame lifts the head to distance 1
    }
    std::vector<FeedbackLine> frameFrom(float x, float y, float z) {
        view.xHead = x, view.yHead = y, view.zHead = z;
        drivenSeconds += 1.0 / 12.0;
        return feedbackLines([&] { view.drawMe(buffer, false); });
    }
    double buffer[16] = {};
};

// The segments of the square frame at `depth`, picked out by its green.
std::vector<FeedbackLine> frameAt(const std::vector<FeedbackLine>& lines, int depth) {
    std::vector<FeedbackLine> found;
    float green = static_cast<float>(0.1 * depth);
    for (const auto& l : lines)
        if (l.from.r == 1.0f && l.from.b == 1.0f && l.from.g == green) found.push_back(l);
    return found;
}

struct Extent {
    float left, right, bottom, top;
};
Extent extentOf(const std::vector<FeedbackLine>& lines, int width = side, int height = side) {
    Extent e{INFINITY, -INFINITY, INFINITY, -INFINITY};
    for (const auto& l : lines)
        for (const FeedbackVertex& v : {l.from, l.to}) {
            e.left = std::min(e.left, acrossViewport(v.x, width));
            e.right = std::max(e.right, acrossViewport(v.x, width));
            e.bottom = std::min(e.bottom, acrossViewport(v.y, height));
            e.top = std::max(e.top, acrossViewport(v.y, height));
        }
    return e;
}

TEST_F(Picture, FromDistanceOneTheNearestVisibleFrameSpansHalfTheView) {
    auto lines = frameFrom(0, 0, 1);
    EXPECT_TRUE(frameAt(lines, 0).empty());  // just in front of the near plane
    auto depth1 = frameAt(lines, 1);
    ASSERT_EQ(depth1.size(), 4u);
    Extent e = extentOf(depth1);
    EXPECT_NEAR(e.left, -0.50004f, 2e-5f);
    EXPECT_NEAR(e.right, 0.50004f, 2e-5f);
    EXPECT_NEAR(e.bottom, -0.50004f, 2e-5f);
    EXPECT_NEAR(e.top, 0.50004f, 2e-5f);
    Extent e9 = extentOf(frameAt(lines, 9));
    EXPECT_NEAR(e9.left, -0.10001f, 2e-5f);
    EXPECT_NEAR(e9.top, 0.10001f, 2e-5f);
    // 9 depth lines, cut at the near plane, and frames 1 to 9.
    EXPECT_EQ(lines.size(), 9u + 9u * 4u);
}

TEST_F(Picture, MovingTheHeadSideWaysShiftsTheFarEndTowardIt) {
    auto lines = frameFrom(0.5f, 0, 1);
    const FeedbackLine* centre = nullptr;
    for (const auto& l : lines)
        if (l.from.r == 0.5f && l.from.g == 0.5f) centre = &l;
    ASSERT_NE(centre, nullptr);
    EXPECT_NEAR(acrossViewport(centre->to.x, side), 0.5f - 0.5f / 11.0f, 1e-4f);
    Extent e9 = extentOf(frameAt(lines, 9));
    EXPECT_NEAR(e9.left, 0.35f, 1e-4f);
    EXPECT_NEAR(e9.right, 0.55f, 1e-4f);
    EXPECT_NEAR(e9.bottom, -0.1f, 1e-4f);
    EXPECT_NEAR(e9.top, 0.1f, 1e-4f);
}

TEST_F(Picture, FromDistanceTwoOnNothingIsDrawn) {
    EXPECT_FALSE(frameFrom(0, 0, 1.9f).empty());
    EXPECT_TRUE(frameFrom(0, 0, 2.0f).empty());
    EXPECT_TRUE(frameFrom(0, 0, 2.04f).empty());
    EXPECT_TRUE(frameFrom(0.3f, -0.2f, 50.0f).empty());
    EXPECT_FALSE(frameFrom(0, 0, 1.5f).empty());
}

class WidePicture : public GlTest {
  protected:
    WidePicture() : GlTest(400, 200) { prepare(); }
};

TEST_F(WidePicture, AWideViewStretchesTheSquareFrames) {
    auto lines = feedbackLines([&] { view.drawMe(nullptr, false); });
    auto depth1 = frameAt(lines, 1);
    ASSERT_EQ(depth1.size(), 4u);
    float minX = INFINITY, maxX = -INFINITY, minY = INFINITY, maxY = -INFINITY;
    for (const auto& l : depth1)
        for (const auto& v : {l.from, l.to}) {
            minX = std::min(minX, v.x), maxX = std::max(maxX, v.x);
            minY = std::min(minY, v.y), maxY = std::max(maxY, v.y);
        }
    EXPECT_NEAR(maxX - minX, 200.0f, 0.1f);  // half of 400 pixels
    EXPECT_NEAR(maxY - minY, 100.0f, 0.1f);  // half of 200 pixels
}

TEST_F(WidePicture, AViewNarrowerThanOnePixelGetsAnEmptyViewport) {
    view.setFrameSize({0.75f, 200.0f});
    view.drawMe(nullptr, false);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 0);
    EXPECT_EQ(viewport[3], 200);
    // Everything lands on the view's own left edge; only the half width of the 2-pixel lines
    // reaches the first pixel column, and nothing shows across the rest.
    glClear(GL_COLOR_BUFFER_BIT);
    auto lines = feedbackLines([&] { view.drawMe(nullptr, false); });
    for (const auto& l : lines) EXPECT_EQ(l.from.x, 0.0f);
    view.drawMe(nullptr, false);
    auto pixels = context.readBackBuffer();
    for (std::size_t i = 0; i < pixels.size(); ++i)
        if (pixels[i] && i / 3 % 400 >= 1) ADD_FAILURE() << "pixel " << i / 3 % 400 << " lit";
}

TEST_F(Picture, AFrameLeavesTheStateItDescribes) {
    frameFrom(0, 0, 1);
    GLint value;
    glGetIntegerv(GL_MATRIX_MODE, &value);
    EXPECT_EQ(value, GL_MODELVIEW);
    GLdouble m[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(m[i], i % 5 == 0 ? 1.0 : 0.0);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &value);
    EXPECT_EQ(value, 1);
    glGetDoublev(GL_PROJECTION_MATRIX, m);
    GLdouble expected[16];
    glPushMatrix();
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, 9.999999747378752e-05, 2);
    glGetDoublev(GL_MODELVIEW_MATRIX, expected);
    glPopMatrix();
    for (int i = 0; i < 16; ++i) EXPECT_EQ(m[i], expected[i]) << i;
    EXPECT_TRUE(glIsEnabled(GL_NORMALIZE));
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 0);
    EXPECT_EQ(viewport[2], side);
    EXPECT_EQ(viewport[3], side);
    GLfloat width;
    glGetFloatv(GL_LINE_WIDTH, &width);
    EXPECT_EQ(width, 2.0f);
    GLdouble colour[4];
    glGetDoublev(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0], 1.0);
    EXPECT_EQ(colour[1], 0.8999999761581421);
    EXPECT_EQ(colour[2], 1.0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(Picture, TheScratchMatrixKeepsTheLastMatrixOfTheChain) {
    frameFrom(0, 0, 1);
    for (int i = 0; i < 16; ++i) {
        double expected = (i == 0 || i == 5 || i == 10 || i == 15) ? 1.0 : 0.0;
        if (i == 14) expected = -5.000249802833423e-05;
        EXPECT_EQ(buffer[i], expected) << i;
    }
    ::testing::internal::CaptureStdout();
    view.drawMe(buffer, true);
    std::string log = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("\nOGLView: matrix-data 3: 0.000000, 0.000000, 1.000000, -0.000050. \n"),
              std::string::npos)
        << log;
}

TEST_F(Picture, TheDepthOneFrameIsDrawnInItsColourAtAQuarterAndThreeQuarters) {
    view.zHead = 1.0f;
    glClear(GL_COLOR_BUFFER_BIT);
    view.drawMe(buffer, false);
    auto pixels = context.readBackBuffer();
    auto isFrameColour = [&](int x, int y) {
        const auto* p = &pixels[(static_cast<std::size_t>(y) * side + x) * 3];
        return p[0] == 255 && (p[1] == 25 || p[1] == 26) && p[2] == 255;  // (1, 0.1, 1)
    };
    int row = side * 3 / 10;  // crosses the sides of the depth-1 frame, no other line near
    auto near = [&](int x) {
        for (int dx = -2; dx <= 2; ++dx)
            if (isFrameColour(x + dx, row)) return true;
        return false;
    };
    EXPECT_TRUE(near(side / 4));
    EXPECT_TRUE(near(3 * side / 4));
    EXPECT_FALSE(near(side / 8));
}
}  // namespace
