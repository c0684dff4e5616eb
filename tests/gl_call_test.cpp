// The exact GL calls of set-up, a tick and the look-at, recorded on the way to real GL.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "GlRecorder.h"
#include "GlTest.h"
#include "app/ArController.h"
#include "bench/flat_tick.h"

namespace {
using Calls = std::vector<GlCall>;

class GlCalls : public GlTest {
  protected:
    GlCalls() : GlTest(300, 200) {}
    template <typename Action>
    Calls record(Action action) {
        recordedGlCalls().clear();
        action();
        Calls calls = recordedGlCalls();
        recordedGlCalls().clear();
        return calls;
    }
};

Calls slice(const Calls& calls, std::size_t from, std::size_t count) {
    return Calls(calls.begin() + static_cast<long>(from),
                 calls.begin() + static_cast<long>(std::min(from + count, calls.size())));
}

TEST_F(GlCalls, SetUpCompilesTheCubeThenSetsTheState) {
    Calls calls = record([&] { prepare(); });
    ASSERT_GE(calls.size(), 9u);
    EXPECT_EQ(calls.front(), (GlCall{"glNewList", {1, GL_COMPILE}}));
    EXPECT_EQ(slice(calls, calls.size() - 10, 10), (Calls{{"glEndList", {}},
                                                          {"glShadeModel", {GL_SMOOTH}},
                                                          {"glDisable", {GL_LIGHTING}},
                                                          {"glEnable", {GL_TEXTURE_2D}},
                                                          {"glMatrixMode", {GL_PROJECTION}},
                                                          {"glLoadIdentity", {}},
                                                          {"glMatrixMode", {GL_MODELVIEW}},
                                                          {"glLoadIdentity", {}},
                                                          {"glDrawBuffer", {GL_BACK}},
                                                          {"glClear", {0x4100}}}));
}

// Every call of one tick from head (0, 0, 1), in order: exactly those of the flat tick that
// the benchmarks and the reference programs issue, written out there once with the chain's
// matrices precomputed. (So the reference programs do the program's GL work, too.)
TEST_F(GlCalls, ATickIsOneClearOneProjectedTunnelAndOnePresent) {
    prepare();
    ArController controller;
    controller.oglView = &view;
    controller.matrix = static_cast<double*>(std::calloc(16, sizeof(double)));
    drivenSeconds += 1.0 / 12.0;
    Calls calls = record([&] { controller.track(false); });
    Calls flat = record([&] { flatTick(300, 200); });

    ASSERT_EQ(calls.size(), flat.size());
    for (std::size_t i = 0; i < calls.size(); ++i) EXPECT_EQ(calls[i], flat[i]) << "call " << i;
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                            [](const GlCall& c) { return c.name == "glVertex3d"; }),
              98);
    // Signs matter too: the shear holds -0 at this head position.
    ASSERT_EQ(calls[12].name, "glMultMatrixd");
    EXPECT_TRUE(std::signbit(calls[12].args[8]));
    EXPECT_EQ(context.presentedFrames(), 1);
}

TEST_F(GlCalls, EveryEntryOfTheChainKeepsSinglePrecision) {
    prepare();
    view.drawMe(nullptr, false);
    view.xHead = 0.5f, view.yHead = -0.25f, view.zHead = 1.5f;
    Calls calls = record([&] { view.drawCube(0.0f); });
    std::vector<const GlCall*> chain;
    for (const auto& call : calls)
        if (call.name == "glMultMatrixd") chain.push_back(&call);
    ASSERT_EQ(chain.size(), 6u);
    const float X = 0.5f, Y = -0.25f, Z = 1.5f, near = 0.0001f, far = 2.0f;
    EXPECT_EQ(chain[0]->args[8], static_cast<float>(-X / Z));
    EXPECT_EQ(chain[0]->args[9], static_cast<float>(-Y / Z));
    EXPECT_NE(chain[0]->args[8], -0.5 / 1.5);  // a double quotient would differ
    EXPECT_EQ(chain[1]->args[14], -1.5);
    EXPECT_EQ(chain[3]->args[0], 1.5);
    EXPECT_EQ(chain[3]->args[5], 1.5);
    float product = (near - Z) * (far - Z);
    EXPECT_EQ(chain[4]->args[10], static_cast<float>(2.0 * double(product) / double(far - near)));
    EXPECT_EQ(chain[5]->args[14], ((Z + Z - far) - near) / (far - near));
    // Nothing carries over between the matrices: each fills all sixteen elements.
    for (int i : {0, 1, 2, 3, 4, 6, 7, 12, 13, 15}) EXPECT_EQ(chain[4]->args[i], i % 5 ? 0 : 1);
    EXPECT_EQ(view.mat[14], chain[5]->args[14]);
}

TEST_F(GlCalls, TheWireCubeListHoldsTwentyFourVerticesInTwoColours) {
    Calls calls = record([&] { view.drawFromSTL(); });
    ASSERT_EQ(calls.size(), 1u + 1 + 1 + 1 + 8 + 1 + 16 + 1 + 1);
    EXPECT_EQ(calls[0], (GlCall{"glNewList", {1, GL_COMPILE}}));
    EXPECT_EQ(calls[1], (GlCall{"glLineWidth", {1}}));
    EXPECT_EQ(calls[2], (GlCall{"glBegin", {GL_LINES}}));
    EXPECT_EQ(calls[3], (GlCall{"glColor3d", {1, 1, 1}}));
    EXPECT_EQ(calls[12], (GlCall{"glColor3d", {0.5, 0.5, 0.5}}));
    EXPECT_EQ(calls[4], (GlCall{"glVertex3d", {-0.25, 0.25, -0.25}}));
    EXPECT_EQ(calls[13], (GlCall{"glVertex3d", {-0.25, 0.25, -0.75}}));
    EXPECT_EQ(calls[29], (GlCall{"glEnd", {}}));
    EXPECT_EQ(calls[30], (GlCall{"glEndList", {}}));
}

TEST_F(GlCalls, TheLookAtMakesExactlyTwoCallsAndLeavesTheMatrixModeAlone) {
    glMatrixMode(GL_PROJECTION);
    Calls calls = record([&] { view.gluLookAt(5, 0, 0, 0, 0, 0, 0, 1, 0); });
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0],
              (GlCall{"glMultMatrixd", {0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 0, 1}}));
    EXPECT_EQ(calls[1], (GlCall{"glTranslated", {-5, -0.0, -0.0}}));
    GLint mode;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_PROJECTION);
    glMatrixMode(GL_MODELVIEW);
}

TEST_F(GlCalls, LookAtCasesWithKnownMatrices) {
    struct Case {
        double args[9];
        std::vector<double> matrix;
        std::vector<double> translation;
    } cases[] = {
        {{0, 0, 5, 0, 0, 0, 0, 1, 0},
         {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
         {-0.0, -0.0, -5}},
        {{1, 2, 3, 1, 2, -7, 0, 3, 0},
         {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
         {-1, -2, -3}},
        {{2, 2, 2, 2, 2, 2, 0, 1, 0},
         {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1},
         {-2, -2, -2}},
        {{0, 0, 5, 0, 0, 0, 0, 0, 3},
         {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
         {-0.0, -0.0, -5}},
    };
    for (const Case& c : cases) {
        const double* a = c.args;
        Calls calls =
            record([&] { view.gluLookAt(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]); });
        ASSERT_EQ(calls.size(), 2u);
        EXPECT_EQ(calls[0].args, c.matrix) << a[0] << "," << a[1] << "," << a[2];
        EXPECT_EQ(calls[1].args, c.translation);
    }
    Calls nan = record([&] { view.gluLookAt(NAN, 0, 5, 0, 0, 0, 0, 1, 0); });
    ASSERT_EQ(nan.size(), 2u);
    EXPECT_TRUE(std::isnan(nan[0].args[2]));  // spreads, nothing stops it
}
}  // namespace
