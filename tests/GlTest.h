#pragma once

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/Date.h"
#include "platform/Headless.h"
#include "platform/Timer.h"
#include "view/HeadTrackedView.h"
#include "view/OpGlView.h"

// The clock behind Date::date() in tests: seconds that a test sets.
inline double drivenSeconds = 0.0;
inline double drivenClock() {
    return drivenSeconds;
}

// A view on a real offscreen OpenGL context, with frame dates on the driven clock.
class GlTest : public ::testing::Test {
  protected:
    explicit GlTest(int width = 200, int height = 200) : context(width, height) {
        context.attach(view);
        drivenSeconds = 1000.0;
        Date::useClock(drivenClock);
    }
    ~GlTest() override {
        Date::useClock(nullptr);
        // A scheduled timer outlives the controller that made it; any later run of the
        // timers would fire it into a destroyed controller. Tests stop what they start.
        EXPECT_TRUE(std::isinf(Timer::nextDeadline())) << "a test left a timer scheduled";
    }

    // Set-up with its log line kept out of the test output.
    void prepare() {
        ::testing::internal::CaptureStdout();
        view.prepareOpenGL();
        setupOutput = ::testing::internal::GetCapturedStdout();
    }

    HeadlessContext context;
    OpGlView view;
    std::string setupOutput;
};

// A head-tracked view on a real offscreen context, prepared, showing the true-scale picture
// for `screen`, with frame dates on the driven clock.
class TrueScaleTest : public ::testing::Test {
  protected:
    TrueScaleTest(int width, int height, ScreenSize screen, bool depthBuffer = false)
        : context(width, height, depthBuffer) {
        context.attach(view);
        drivenSeconds = 1000.0;
        Date::useClock(drivenClock);
        ::testing::internal::CaptureStdout();
        view.prepareOpenGL();
        ::testing::internal::GetCapturedStdout();
        view.setTrueScale(TrueScale{screen});
    }
    ~TrueScaleTest() override { Date::useClock(nullptr); }

    HeadlessContext context;
    HeadTrackedView view;
};

// One vertex as GL's feedback mode reports it: window coordinates and colour.
struct FeedbackVertex {
    float x, y, z, r, g, b, a;
};
struct FeedbackLine {
    FeedbackVertex from, to;
};

// The line segments that `draw` sends through the pipeline, after clipping.
template <typename Draw>
std::vector<FeedbackLine> feedbackLines(Draw draw) {
    std::vector<GLfloat> buffer(1 << 16);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    GLint used = glRenderMode(GL_RENDER);
    std::vector<FeedbackLine> lines;
    auto vertexAt = [&](GLint i) {
        return FeedbackVertex{buffer[i],     buffer[i + 1], buffer[i + 2], buffer[i + 3],
                              buffer[i + 4], buffer[i + 5], buffer[i + 6]};
    };
    for (GLint i = 0; i < used;) {
        auto token = static_cast<GLenum>(buffer[i++]);
        if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            lines.push_back({vertexAt(i), vertexAt(i + 7)});
            i += 14;
        } else {
            ADD_FAILURE() << "unexpected feedback token " << token;
            break;
        }
    }
    return lines;
}

// A window coordinate as a fraction of the viewport from -1 to 1.
inline float acrossViewport(float windowCoordinate, int pixels) {
    return 2.0f * windowCoordinate / static_cast<float>(pixels) - 1.0f;
}
