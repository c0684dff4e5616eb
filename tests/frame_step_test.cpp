#include <GL/gl.h>
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "GlTest.h"
#include "app/ArController.h"

namespace {
constexpr double tick = 1.0 / 12.0;

class FrameStep : public GlTest {
  protected:
    FrameStep() {
        drivenSeconds = 0.0;
        prepare();
    }
    // One frame at `seconds` on the driven clock.
    void frameAt(double seconds) {
        drivenSeconds = seconds;
        view.drawRect();
    }
    void ticks(int count) {
        for (int i = 0; i < count; ++i) frameAt(drivenSeconds + tick);
    }
};

TEST_F(FrameStep, FirstFrameLiftsTheStartDistanceToOne) {
    EXPECT_EQ(view.zHead, 0.5f);
    ticks(1);
    EXPECT_EQ(view.zHead, 1.0f);
    EXPECT_EQ(view.xHead, 0.0f);
    EXPECT_EQ(view.yHead, 0.0f);
    ticks(5);  // no key held: nothing moves
    EXPECT_EQ(view.zHead, 1.0f);
    EXPECT_EQ(view.yHead, 0.0f);
}

TEST_F(FrameStep, AHeldKeyMovesItsAxisByFourHundredthsPerTick) {
    view.keyUpArrow = 1;
    view.keyRightArrow = 1;
    ticks(1);
    EXPECT_EQ(view.yHead, static_cast<float>(0.0 + 12.0 / 300.0));
    EXPECT_EQ(view.xHead, static_cast<float>(0.0 + 12.0 / 300.0));
    ticks(11);
    EXPECT_NEAR(view.yHead, 0.48f, 1e-5f);
    view.keyUpArrow = 0;
    view.keyDownArrow = 1;
    view.keyRightArrow = 0;
    view.keyLeftArrow = 1;
    ticks(12);
    EXPECT_NEAR(view.yHead, 0.0f, 1e-5f);
    EXPECT_NEAR(view.xHead, 0.0f, 1e-5f);
}

TEST_F(FrameStep, TheFirstFlagOfAnAxisWins) {
    view.keyUpArrow = view.keyDownArrow = 1;     // down is tested first
    view.keyRightArrow = view.keyLeftArrow = 1;  // right is tested first
    view.keyInArrow = view.keyOutArrow = 1;      // in is tested first
    ticks(1);
    EXPECT_LT(view.yHead, 0.0f);
    EXPECT_GT(view.xHead, 0.0f);
    EXPECT_EQ(view.zHead, 1.0f);  // 0.54, then lifted by the clamp
}

TEST_F(FrameStep, HoldingEForTwentyFiveTicksStopsJustBelowTwo) {
    ticks(1);  // lifts zHead to 1
    view.keyInArrow = 1;
    ticks(25);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(view.zHead), 0x3ffffff8u);  // 1.9999990
    ticks(1);
    EXPECT_NEAR(view.zHead, 2.04f, 1e-6f);
    EXPECT_GT(view.zHead, 2.0f);
    view.keyInArrow = 0;
    view.keyOutArrow = 1;
    ticks(100);
    EXPECT_EQ(view.zHead, 1.0f);  // "q" brings it back down, to the bound
}

TEST_F(FrameStep, ClampsKeepTheHeadInItsBox) {
    ticks(1);
    view.xHead = 99.99f, view.yHead = 99.99f, view.zHead = 99.99f;
    view.keyRightArrow = view.keyUpArrow = view.keyInArrow = 1;
    ticks(1);
    EXPECT_EQ(view.xHead, 100.0f);
    EXPECT_EQ(view.yHead, 100.0f);
    EXPECT_EQ(view.zHead, 100.0f);
    view.xHead = -99.99f, view.yHead = -99.99f, view.zHead = 1.01f;
    view.keyRightArrow = view.keyUpArrow = view.keyInArrow = 0;
    view.keyLeftArrow = view.keyDownArrow = view.keyOutArrow = 1;
    ticks(1);
    EXPECT_EQ(view.xHead, -100.0f);
    EXPECT_EQ(view.yHead, -100.0f);
    EXPECT_EQ(view.zHead, 1.0f);
}

TEST_F(FrameStep, AZeroIntervalPutsAMovingAxisOnItsBound) {
    ticks(1);
    view.keyUpArrow = view.keyLeftArrow = view.keyInArrow = 1;
    frameAt(drivenSeconds);
    EXPECT_EQ(view.yHead, 100.0f);
    EXPECT_EQ(view.xHead, -100.0f);
    EXPECT_EQ(view.zHead, 100.0f);
    view.keyUpArrow = view.keyLeftArrow = view.keyInArrow = 0;
    view.keyDownArrow = view.keyRightArrow = view.keyOutArrow = 1;
    frameAt(drivenSeconds);
    EXPECT_EQ(view.yHead, -100.0f);
    EXPECT_EQ(view.xHead, 100.0f);
    EXPECT_EQ(view.zHead, 1.0f);
}

TEST_F(FrameStep, ARedrawBetweenTicksShortensTheNextInterval) {
    ticks(1);
    view.keyUpArrow = 1;
    frameAt(drivenSeconds + tick / 2);  // a platform redraw half-way
    float afterRedraw = view.yHead;
    EXPECT_EQ(afterRedraw, static_cast<float>(24.0 / 300.0));
    frameAt(drivenSeconds + tick / 2);  // the tick, half an interval after the redraw
    EXPECT_EQ(view.yHead, static_cast<float>(afterRedraw + 24.0 / 300.0));
}

TEST_F(FrameStep, DatesRotateOnEveryFrame) {
    frameAt(0.5);
    EXPECT_EQ(view.now.timeIntervalSinceDate(view.last), 0.5);
    frameAt(0.75);
    EXPECT_EQ(view.now.timeIntervalSinceDate(view.last), 0.25);
}

class FrameEntry : public FrameStep {};

TEST_F(FrameEntry, HandsOverTheCallersBufferAndDrawsThroughIt) {
    double buffer[16] = {};
    double* own = view.mat;
    ASSERT_NE(own, nullptr);
    view.drawMe(buffer, false);
    EXPECT_EQ(view.mat, buffer);
    EXPECT_NE(buffer[15], 0.0);  // the projection wrote into it
    view.drawMe(nullptr, false);
    EXPECT_EQ(view.mat, buffer);  // an empty pointer keeps the last one
}

TEST_F(FrameEntry, AnEmptyPointerResetsTheModelviewAndSaysSoOnlyWhenLogging) {
    glMatrixMode(GL_MODELVIEW);
    glTranslated(1, 2, 3);
    ::testing::internal::CaptureStdout();
    view.drawMe(nullptr, false);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    GLdouble m[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    EXPECT_EQ(m[12], 0.0);
    EXPECT_EQ(m[13], 0.0);
    ::testing::internal::CaptureStdout();
    view.drawMe(nullptr, true);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "OGLView: invalid matrix\n");
}

TEST_F(FrameEntry, AGivenPointerLeavesTheModelviewAlone) {
    double buffer[16] = {};
    glMatrixMode(GL_MODELVIEW);
    glTranslated(1, 2, 3);
    view.drawMe(buffer, false);
    GLdouble m[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    EXPECT_EQ(m[12], 1.0);
    EXPECT_EQ(m[14], 3.0);
}

TEST_F(FrameEntry, LogsTheBufferRowByRowBeforeDrawing) {
    double buffer[16];
    for (int i = 0; i < 16; ++i) buffer[i] = i + 0.25;
    buffer[3] = -1234.56789;
    ::testing::internal::CaptureStdout();
    view.drawMe(buffer, true);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Printing Polygon with Data from Matrix:\n"
              "OGLView: matrix-data 1: 0.250000, 4.250000, 8.250000, 12.250000. \n"
              "OGLView: matrix-data 2: 1.250000, 5.250000, 9.250000, 13.250000. \n"
              "OGLView: matrix-data 3: 2.250000, 6.250000, 10.250000, 14.250000. \n"
              "OGLView: matrix-data 4: -1234.567890, 7.250000, 11.250000, 15.250000. \n");
}

class Tick : public FrameStep {};

TEST_F(Tick, ClearsDrawsOneFrameAndPresentsOnce) {
    glClearColor(1, 0, 0, 1);  // leave something for the tick to clear away
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
    ArController controller;
    controller.oglView = &view;
    controller.matrix = static_cast<double*>(std::calloc(16, sizeof(double)));
    drivenSeconds += tick;
    ::testing::internal::CaptureStdout();
    controller.track(false);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");  // ticks never log
    EXPECT_EQ(context.presentedFrames(), 1);
    EXPECT_EQ(view.mat, controller.matrix);
    EXPECT_EQ(view.zHead, 1.0f);
    auto pixels = context.readBackBuffer();
    std::size_t offGeometry = (60 * 200 + 10) * 3;  // on no line of the tunnel
    EXPECT_EQ(pixels[offGeometry], 0);
    GLint drawBuffer;
    glGetIntegerv(GL_DRAW_BUFFER, &drawBuffer);
    EXPECT_EQ(drawBuffer, GL_BACK);
}

TEST_F(Tick, WithoutAViewOnlyClears) {
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
    ArController controller;
    controller.track(false);
    EXPECT_EQ(context.presentedFrames(), 0);
    EXPECT_EQ(context.readBackBuffer()[0], 0);
}

TEST_F(Tick, AControllerWithoutABufferDrawsThroughTheViewsOwnBlock) {
    ArController controller;
    controller.oglView = &view;
    double* own = view.mat;
    controller.track(false);
    EXPECT_EQ(view.mat, own);
    EXPECT_EQ(own[15], 1.0);
    EXPECT_EQ(context.presentedFrames(), 1);
}

class ViewSetUp : public GlTest {};

TEST_F(ViewSetUp, LeavesTheViewAndOpenGLAsTheFirstFrameExpects) {
    drivenSeconds = 42.0;
    prepare();
    EXPECT_EQ(setupOutput, "prepare OpenGL.\n");
    EXPECT_EQ(view.zHead, 0.5f);
    EXPECT_EQ(view.xHead, 0.0f);
    ASSERT_NE(view.mat, nullptr);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(view.mat[i], 0.0);
    EXPECT_EQ(view.now.timeIntervalSinceDate(Date::date()), 0.0);
    EXPECT_EQ(view.last.timeIntervalSinceDate(Date::date()), 0.0);

    GLint value;
    glGetIntegerv(GL_SHADE_MODEL, &value);
    EXPECT_EQ(value, GL_SMOOTH);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    glGetIntegerv(GL_MATRIX_MODE, &value);
    EXPECT_EQ(value, GL_MODELVIEW);
    glGetIntegerv(GL_DRAW_BUFFER, &value);
    EXPECT_EQ(value, GL_BACK);
    for (GLenum which : {GL_MODELVIEW_MATRIX, GL_PROJECTION_MATRIX}) {
        GLdouble m[16];
        glGetDoublev(which, m);
        for (int i = 0; i < 16; ++i) EXPECT_EQ(m[i], i % 5 == 0 ? 1.0 : 0.0);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
}  // namespace
