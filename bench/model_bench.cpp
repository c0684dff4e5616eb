// The model's costs on this machine: writes a sphere of N triangles as a binary STL, or
// loads a model and draws it in a 640x480 true-scale picture from an eye that moves as a
// followed face does, on the offscreen context (Mesa's llvmpipe here), for SECONDS.
//   model-bench write TRIANGLES FILE
//   model-bench draw FILE|none SECONDS
// draw prints one line: load seconds, pictures a second, and the resident memory (MB)
// after loading and drawing, and at its highest.
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numbers>
#include <string>

#include "app/ModelChoice.h"
#include "platform/Date.h"
#include "platform/Headless.h"
#include "view/HeadTrackedView.h"

namespace {
double seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The process's resident memory now, or at its highest (VmRSS, VmHWM), in MB.
double residentMegabytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field + ":", 0) == 0) return std::atof(line.c_str() + field.size() + 1) / 1000.0;
    return 0.0;
}

// A closed UV sphere of radius 50 with `rings` x `2 rings` quads, two triangles each: its
// seam and poles are the same points each time they are met.
int write(long triangles, const char* path) {
    const long rings = std::max(2L, std::lround(std::sqrt(triangles / 4.0)));
    const long sectors = 2 * rings;
    std::ofstream out(path, std::ios::binary);
    out << std::string(80, ' ');
    const auto count = static_cast<std::uint32_t>(rings * sectors * 2);
    out.write(reinterpret_cast<const char*>(&count), 4);
    auto point = [&](long ring, long sector, float* p) {
        const double theta = std::numbers::pi * ring / rings;
        const double phi = 2 * std::numbers::pi * (sector % sectors) / sectors;
        const double across = ring == 0 || ring == rings ? 0.0 : 50 * std::sin(theta);
        p[0] = static_cast<float>(across * std::cos(phi));
        p[1] = static_cast<float>(across * std::sin(phi));
        p[2] = static_cast<float>(50 * std::cos(theta));
    };
    for (long r = 0; r < rings; ++r)
        for (long s = 0; s < sectors; ++s) {
            float facet[2][12] = {};
            point(r, s, facet[0] + 3), point(r + 1, s, facet[0] + 6), point(r + 1, s + 1, facet[0] + 9);
            point(r, s, facet[1] + 3), point(r + 1, s + 1, facet[1] + 6), point(r, s + 1, facet[1] + 9);
            for (const auto& f : facet) {
                out.write(reinterpret_cast<const char*>(f), sizeof f);
                out.write("\0\0", 2);
            }
        }
    std::printf("wrote %s: %u triangles\n", path, count);
    return out ? 0 : 1;
}

int draw(const std::string& file, double duration) {
    HeadlessContext context(640, 480, true);
    HeadTrackedView view;
    context.attach(view);
    view.prepareOpenGL();
    view.setTrueScale(TrueScale{{32.0, 24.0}});
    double loaded = 0.0;
    if (file != "none") {
        const double start = seconds();
        ModelChoice choice;
        choice.file = file;
        view.showModel(loadModel("model-bench", choice), true);
        loaded = seconds() - start;
    }
    int pictures = 0;
    const double start = seconds();
    for (double now = start; now - start < duration; now = seconds(), ++pictures) {
        // A face swaying 10 cm each way and leaning in and out, at 60 cm.
        const double t = now - start;
        view.placeEye({10 * std::sin(1.3 * t), 3 * std::sin(0.7 * t), 60 + 8 * std::sin(0.5 * t)});
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        view.drawTrueScale(wholeScreen({32.0, 24.0}));
        glFinish();
    }
    std::printf("load %.3f s, %.1f pictures/s, %.1f MB, at most %.1f MB\n", loaded,
                pictures / duration, residentMegabytes("VmRSS"), residentMegabytes("VmHWM"));
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "write" && argc == 4) return write(std::atol(argv[2]), argv[3]);
    if (mode == "draw" && argc == 4) return draw(argv[2], std::atof(argv[3]));
    std::fputs("usage: model-bench write TRIANGLES FILE | draw FILE|none SECONDS\n", stderr);
    return 2;
}
