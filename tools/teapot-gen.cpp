// Writes the classic public-domain teapot as ASCII STL: each of its Bezier patches,
// mirrored into place, tessellated at 10 subdivisions per patch side, with outward facet
// normals. Degenerate triangles where a patch side collapses to a point are dropped.
//   teapot-gen [FILE]   (standard output without FILE)
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {
// Control-point indices of the ten distinct patches: rim, body (2), lid (2), bottom,
// handle (2), spout (2).
const int patches[10][16] = {
    {102, 103, 104, 105, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
    {12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27},
    {24, 25, 26, 27, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40},
    {96, 96, 96, 96, 97, 98, 99, 100, 101, 101, 101, 101, 0, 1, 2, 3},
    {0, 1, 2, 3, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115, 116, 117},
    {118, 118, 118, 118, 124, 122, 119, 121, 123, 126, 125, 120, 40, 39, 38, 37},
    {41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56},
    {53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63, 64, 28, 65, 66, 67},
    {68, 69, 70, 71, 72, 73, 74, 75, 76, 77, 78, 79, 80, 81, 82, 83},
    {80, 81, 82, 83, 84, 85, 86, 87, 88, 89, 90, 91, 92, 93, 94, 95},
};
// The first six patches are a quarter of a surface of revolution and appear four times;
// handle and spout are halves and appear twice.
constexpr int quarterPatches = 6;

using Vec = std::array<double, 3>;
// clang-format off
const Vec points[127] = {
    {0.2, 0, 2.7}, {0.2, -0.112, 2.7}, {0.112, -0.2, 2.7}, {0, -0.2, 2.7},
    {1.3375, 0, 2.53125}, {1.3375, -0.749, 2.53125}, {0.749, -1.3375, 2.53125}, {0, -1.3375, 2.53125},
    {1.4375, 0, 2.53125}, {1.4375, -0.805, 2.53125}, {0.805, -1.4375, 2.53125}, {0, -1.4375, 2.53125},
    {1.5, 0, 2.4}, {1.5, -0.84, 2.4}, {0.84, -1.5, 2.4}, {0, -1.5, 2.4},
    {1.75, 0, 1.875}, {1.75, -0.98, 1.875}, {0.98, -1.75, 1.875}, {0, -1.75, 1.875},
    {2, 0, 1.35}, {2, -1.12, 1.35}, {1.12, -2, 1.35}, {0, -2, 1.35},
    {2, 0, 0.9}, {2, -1.12, 0.9}, {1.12, -2, 0.9}, {0, -2, 0.9},
    {-2, 0, 0.9}, {2, 0, 0.45}, {2, -1.12, 0.45}, {1.12, -2, 0.45},
    {0, -2, 0.45}, {1.5, 0, 0.225}, {1.5, -0.84, 0.225}, {0.84, -1.5, 0.225},
    {0, -1.5, 0.225}, {1.5, 0, 0.15}, {1.5, -0.84, 0.15}, {0.84, -1.5, 0.15},
    {0, -1.5, 0.15}, {-1.6, 0, 2.025}, {-1.6, -0.3, 2.025}, {-1.5, -0.3, 2.25},
    {-1.5, 0, 2.25}, {-2.3, 0, 2.025}, {-2.3, -0.3, 2.025}, {-2.5, -0.3, 2.25},
    {-2.5, 0, 2.25}, {-2.7, 0, 2.025}, {-2.7, -0.3, 2.025}, {-3, -0.3, 2.25},
    {-3, 0, 2.25}, {-2.7, 0, 1.8}, {-2.7, -0.3, 1.8}, {-3, -0.3, 1.8},
    {-3, 0, 1.8}, {-2.7, 0, 1.575}, {-2.7, -0.3, 1.575}, {-3, -0.3, 1.35},
    {-3, 0, 1.35}, {-2.5, 0, 1.125}, {-2.5, -0.3, 1.125}, {-2.65, -0.3, 0.9375},
    {-2.65, 0, 0.9375}, {-2, -0.3, 0.9}, {-1.9, -0.3, 0.6}, {-1.9, 0, 0.6},
    {1.7, 0, 1.425}, {1.7, -0.66, 1.425}, {1.7, -0.66, 0.6}, {1.7, 0, 0.6},
    {2.6, 0, 1.425}, {2.6, -0.66, 1.425}, {3.1, -0.66, 0.825}, {3.1, 0, 0.825},
    {2.3, 0, 2.1}, {2.3, -0.25, 2.1}, {2.4, -0.25, 2.025}, {2.4, 0, 2.025},
    {2.7, 0, 2.4}, {2.7, -0.25, 2.4}, {3.3, -0.25, 2.4}, {3.3, 0, 2.4},
    {2.8, 0, 2.475}, {2.8, -0.25, 2.475}, {3.525, -0.25, 2.49375}, {3.525, 0, 2.49375},
    {2.9, 0, 2.475}, {2.9, -0.15, 2.475}, {3.45, -0.15, 2.5125}, {3.45, 0, 2.5125},
    {2.8, 0, 2.4}, {2.8, -0.15, 2.4}, {3.2, -0.15, 2.4}, {3.2, 0, 2.4},
    {0, 0, 3.15}, {0.8, 0, 3.15}, {0.8, -0.45, 3.15}, {0.45, -0.8, 3.15},
    {0, -0.8, 3.15}, {0, 0, 2.85}, {1.4, 0, 2.4}, {1.4, -0.784, 2.4},
    {0.784, -1.4, 2.4}, {0, -1.4, 2.4}, {0.4, 0, 2.55}, {0.4, -0.224, 2.55},
    {0.224, -0.4, 2.55}, {0, -0.4, 2.55}, {1.3, 0, 2.55}, {1.3, -0.728, 2.55},
    {0.728, -1.3, 2.55}, {0, -1.3, 2.55}, {1.3, 0, 2.4}, {1.3, -0.728, 2.4},
    {0.728, -1.3, 2.4}, {0, -1.3, 2.4}, {0, 0, 0}, {1.425, -0.798, 0},
    {1.5, 0, 0.075}, {1.425, 0, 0}, {0.798, -1.425, 0}, {0, -1.5, 0.075},
    {0, -1.425, 0}, {1.5, -0.84, 0.075}, {0.84, -1.5, 0.075},
};
// clang-format on

constexpr int subdivisions = 10;

Vec sub(const Vec& a, const Vec& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
Vec cross(const Vec& a, const Vec& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double dot(const Vec& a, const Vec& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

void bernstein(double t, double (&b)[4]) {
    double s = 1.0 - t;
    b[0] = s * s * s, b[1] = 3 * t * s * s, b[2] = 3 * t * t * s, b[3] = t * t * t;
}

struct Triangle {
    Vec a, b, c;
};

// Tessellates one patch, scaled by (sx, sy) in x and y; a mirror image is wound the other
// way round so that its facets face the same side as the original's.
void tessellate(const int (&patch)[16], double sx, double sy, std::vector<Triangle>& out) {
    Vec grid[subdivisions + 1][subdivisions + 1];
    for (int i = 0; i <= subdivisions; ++i)
        for (int j = 0; j <= subdivisions; ++j) {
            double bu[4], bv[4];
            bernstein(static_cast<double>(i) / subdivisions, bu);
            bernstein(static_cast<double>(j) / subdivisions, bv);
            Vec p{0, 0, 0};
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 4; ++c)
                    for (int k = 0; k < 3; ++k) p[k] += bu[r] * bv[c] * points[patch[r * 4 + c]][k];
            grid[i][j] = {p[0] * sx, p[1] * sy, p[2]};
        }
    bool mirrored = sx * sy < 0;
    auto add = [&](const Vec& a, const Vec& b, const Vec& c) {
        Vec n = cross(sub(b, a), sub(c, a));
        if (dot(n, n) < 1e-18) return;  // collapsed patch side
        out.push_back(mirrored ? Triangle{a, c, b} : Triangle{a, b, c});
    };
    for (int i = 0; i < subdivisions; ++i)
        for (int j = 0; j < subdivisions; ++j) {
            add(grid[i][j], grid[i + 1][j], grid[i + 1][j + 1]);
            add(grid[i][j], grid[i + 1][j + 1], grid[i][j + 1]);
        }
}

std::vector<Triangle> teapot() {
    std::vector<Triangle> triangles;
    for (int p = 0; p < 10; ++p) {
        tessellate(patches[p], 1, 1, triangles);
        tessellate(patches[p], 1, -1, triangles);
        if (p < quarterPatches) {
            tessellate(patches[p], -1, 1, triangles);
            tessellate(patches[p], -1, -1, triangles);
        }
    }
    // The patches are wound alike; turn them all if that makes the enclosed volume negative.
    double volume = 0.0;
    for (const Triangle& t : triangles) volume += dot(t.a, cross(t.b, t.c));
    if (volume < 0)
        for (Triangle& t : triangles) std::swap(t.b, t.c);
    return triangles;
}

void writeStl(std::FILE* out, const std::vector<Triangle>& triangles) {
    std::fprintf(out, "solid teapot10\n");
    for (const Triangle& t : triangles) {
        Vec n = cross(sub(t.b, t.a), sub(t.c, t.a));
        double length = std::sqrt(dot(n, n));
        std::fprintf(out, "  facet normal %e %e %e\n    outer loop\n", n[0] / length, n[1] / length,
                     n[2] / length);
        for (const Vec* v : {&t.a, &t.b, &t.c})
            std::fprintf(out, "      vertex %e %e %e\n", (*v)[0], (*v)[1], (*v)[2]);
        std::fprintf(out, "    endloop\n  endfacet\n");
    }
    std::fprintf(out, "endsolid teapot10\n");
}
}  // namespace

int main(int argc, char** argv) {
    if (argc > 2) {
        std::fprintf(stderr, "usage: teapot-gen [FILE]\n");
        return 2;
    }
    std::FILE* out = argc == 2 ? std::fopen(argv[1], "w") : stdout;
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    writeStl(out, teapot());
    if (std::fclose(out) != 0) {
        std::perror(argc == 2 ? argv[1] : "stdout");
        return 1;
    }
    return 0;
}
