// The look-at against GLU's gluLookAt, both applied to a real GL matrix stack.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <random>

#include "GlTest.h"

namespace {
struct Vector {
    double x, y, z;
};
Vector cross(const Vector& p, const Vector& q) {
    return {p.y * q.z - p.z * q.y, p.z * q.x - p.x * q.z, p.x * q.y - p.y * q.x};
}
double length(const Vector& v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

class LookAt : public GlTest {
  protected:
    using Args = std::array<double, 9>;
    std::array<double, 16> ours(const Args& a) {
        return applied(
            [&] { view.gluLookAt(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]); });
    }
    std::array<double, 16> glus(const Args& a) {
        return applied([&] { ::gluLookAt(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]); });
    }
    template <typename Apply>
    std::array<double, 16> applied(Apply apply) {
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        apply();
        std::array<double, 16> m;
        glGetDoublev(GL_MODELVIEW_MATRIX, m.data());
        return m;
    }
    // The largest difference, in units of float epsilon scaled by the size of the eye point
    // (the translation column carries its magnitude).
    double difference(const Args& a) {
        auto p = ours(a), q = glus(a);
        double scale = 1.0 + std::fabs(a[0]) + std::fabs(a[1]) + std::fabs(a[2]);
        double worst = 0.0;
        for (int i = 0; i < 16; ++i) {
            if (std::isnan(p[i]) || std::isnan(q[i])) {
                EXPECT_EQ(std::isnan(p[i]), std::isnan(q[i])) << i;
                continue;
            }
            worst = std::max(worst, std::fabs(p[i] - q[i]) / (FLT_EPSILON * scale));
        }
        return worst;
    }
};

TEST_F(LookAt, AgreesWithGluOnRandomAndDegenerateInput) {
    std::mt19937 random(20261209);
    std::uniform_real_distribution<double> coordinate(-20.0, 20.0);
    std::vector<Args> inputs = {
        {0, 0, 5, 0, 0, 0, 0, 1, 0},   {1, 2, 3, 1, 2, -7, 0, 3, 0},
        {5, 0, 0, 0, 0, 0, 0, 1, 0},   {2, 2, 2, 2, 2, 2, 0, 1, 0},
        {0, 0, 5, 0, 0, 0, 0, 0, 3},   {0, 0, 5, 0, 0, 0, 0, 0, 0},
        {1, 1, 1, 0, 0, 0, 2, 2, 2},   {NAN, 0, 5, 0, 0, 0, 0, 1, 0},
        {0, 0, 5, 0, 0, 0, 0, NAN, 0}, {0, 0, 1e6, 0, 0, 0, 1e-6, 1, 0},
    };
    // Up vectors nearly along the line of sight are left out of the random cases: there the
    // side vector is rounding noise, different in every implementation.
    for (int i = 0; i < 4000; ++i) {
        Args a;
        for (double& v : a) v = coordinate(random);
        if (i % 10 == 0) a[3] = a[0], a[4] = a[1], a[5] = a[2];  // eye on centre
        if (i % 10 == 1) a[6] = a[7] = 0;                        // up along z, and so
        if (i % 10 == 1) a[0] = a[3], a[1] = a[4];               // the line of sight along z too
        Vector line{a[0] - a[3], a[1] - a[4], a[2] - a[5]}, up{a[6], a[7], a[8]};
        double sine = length(cross(line, up)) / (length(line) * length(up));
        if (i % 10 > 1 && !(sine > 1e-3)) continue;
        inputs.push_back(a);
    }
    double worst = 0.0;
    for (const Args& a : inputs) {
        double d = difference(a);
        EXPECT_LE(d, 8.0) << a[0] << "," << a[1] << "," << a[2] << " " << a[3] << "," << a[4] << ","
                          << a[5] << " " << a[6] << "," << a[7] << "," << a[8];
        worst = std::max(worst, d);
    }
    std::printf("largest look-at difference from GLU: %.3f float epsilons (scaled)\n", worst);
    RecordProperty("largest_difference_in_float_epsilons", std::to_string(worst));
}

TEST_F(LookAt, CarriesTheCentreOntoTheLineOfSight) {
    auto m = ours({5, 0, 0, 0, 0, 0, 0, 1, 0});
    // The centre (0, 0, 0) lands at (0, 0, -5).
    EXPECT_NEAR(m[12], 0.0, 1e-6);
    EXPECT_NEAR(m[13], 0.0, 1e-6);
    EXPECT_NEAR(m[14], -5.0, 1e-6);
}
}  // namespace
