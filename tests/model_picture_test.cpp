// The model in the true-scale picture on real OpenGL: each of its points drawn where the
// line from the eye to it crosses the screen, so that a point in the glass stays put as the
// eye moves, one in front moves against the eye and one behind moves with it.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "GlTest.h"
#include "view/HeadTrackedView.h"

namespace {
// A 14-inch screen, its picture 40 pixels a centimetre.
constexpr ScreenSize screen{31.0, 17.4};
constexpr double pixelsPerCm = 40.0;
constexpr int wide = 1240, high = 696;

class ModelPicture : public TrueScaleTest {
  protected:
    ModelPicture() : TrueScaleTest(wide, high, screen, true) {}
};

// Three triangles in a box centred on its origin, 6 x 4 x 8 cm: one 4 cm before its
// centre, one in it, one 4 cm behind.
Mesh threeTriangles() {
    Mesh mesh;
    mesh.positions = {-3, -2, 4, 3, -2, 4, 0, 2, 4,  -1, -1, 0, 1, -1, 0,
                      0,  1,  0, -3, 2, -4, 3, 2, -4, 0, -2, -4};
    mesh.normals.resize(mesh.positions.size());
    for (std::size_t i = 2; i < mesh.normals.size(); i += 3) mesh.normals[i] = 1.0f;
    mesh.indices = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    mesh.bounds = {{-3, -2, -4}, {3, 2, 4}};
    return mesh;
}

struct Pixel {
    double x, y;
};

// Where the line from `eye` to `p` crosses the screen, in pixels of the whole screen's
// picture (y up).
Pixel byTheRule(ScreenPoint eye, ScreenPoint p) {
    const double t = eye.z / (eye.z - p.z);
    return {(eye.x + t * (p.x - eye.x) + screen.width / 2.0) * pixelsPerCm,
            (eye.y + t * (p.y - eye.y) + screen.height / 2.0) * pixelsPerCm};
}

// The triangles' corners as drawn, in window coordinates, in the order drawn.
std::vector<Pixel> cornersDrawn(HeadTrackedView& view) {
    std::vector<GLfloat> buffer(4096);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    view.drawTrueScale(wholeScreen(screen));
    const GLint used = glRenderMode(GL_RENDER);
    std::vector<Pixel> corners;
    for (GLint i = 0; i < used;) {
        EXPECT_EQ(static_cast<GLenum>(buffer[i]), static_cast<GLenum>(GL_POLYGON_TOKEN));
        const int count = static_cast<int>(buffer[i + 1]);
        for (int k = 0; k < count; ++k) corners.push_back({buffer[i + 2 + 3 * k], buffer[i + 3 + 3 * k]});
        i += 2 + 3 * count;
    }
    return corners;
}
}  // namespace

TEST_F(ModelPicture, EveryPointWhereTheLineFromTheEyeCrossesTheScreen) {
    // At its real size in centimetres, its centre in the glass.
    view.showModel(std::make_unique<ModelDrawing>(threeTriangles(), false, ModelSizing{1.0, 0.0}),
                   false);
    const ScreenPoint eyes[] = {{-10, -6, 80}, {0, 0, 60}, {12, 4, 45}};
    const Mesh written = threeTriangles();
    double worst[3] = {};  // in front, in the glass, behind
    std::vector<std::vector<Pixel>> drawn;
    for (ScreenPoint eye : eyes) {
        view.placeEye(eye);
        drawn.push_back(cornersDrawn(view));
        ASSERT_EQ(drawn.back().size(), 9u);
        for (std::size_t k = 0; k < 9; ++k) {
            const float* p = &written.positions[3 * k];
            const Pixel rule = byTheRule(eye, {p[0], p[1], p[2]});
            const Pixel at = drawn.back()[k];
            const double error = std::max(std::fabs(at.x - rule.x), std::fabs(at.y - rule.y));
            worst[k / 3] = std::max(worst[k / 3], error);
        }
    }
    std::printf("worst pixel error: %.1e in front of the glass, %.1e in it, %.1e behind\n",
                worst[0], worst[1], worst[2]);
    for (double error : worst) EXPECT_LT(error, 0.01);
    // From the left eye to the right: in the glass the same pixel, in front to the left,
    // behind to the right.
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_NEAR(drawn[0][3 + k].x, drawn[2][3 + k].x, 0.01);
        EXPECT_NEAR(drawn[0][3 + k].y, drawn[2][3 + k].y, 0.01);
        EXPECT_LT(drawn[2][k].x, drawn[0][k].x - 50);
        EXPECT_GT(drawn[2][6 + k].x, drawn[0][6 + k].x + 50);
    }
}
