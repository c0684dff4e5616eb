// Checks a picture of the program (binary PPM) for the tunnel seen from head distance 1:
//   screenshot-check FILE tunnel   the depth-1 frame at a quarter and three quarters across
//   screenshot-check FILE empty    no tunnel pixel at all
//   screenshot-check FILE frame9 LEFT RIGHT BOTTOM TOP
//                                  the depth-9 frame spans LEFT to RIGHT across and BOTTOM
//                                  to TOP up, in viewport units from -1 to 1
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {
struct Image {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    const unsigned char* at(int x, int y) const {
        return &rgb[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                     static_cast<std::size_t>(x)) *
                    3];
    }
};

bool readPpm(const char* path, Image& image) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maximum = 0;
    if (!(in >> magic >> image.width >> image.height >> maximum) || magic != "P6" ||
        maximum != 255 || image.width <= 0 || image.height <= 0)
        return false;
    in.get();
    image.rgb.resize(static_cast<std::size_t>(image.width) *
                     static_cast<std::size_t>(image.height) * 3);
    return static_cast<bool>(in.read(reinterpret_cast<char*>(image.rgb.data()),
                                     static_cast<std::streamsize>(image.rgb.size())));
}

// The square frame at depth 1: red and blue full, green a tenth.
bool isDepthOneFrame(const unsigned char* p) {
    return p[0] > 230 && p[2] > 230 && p[1] >= 15 && p[1] <= 40;
}

// The square frame at depth 9: red and blue full, green nine tenths.
bool isDepthNineFrame(const unsigned char* p) {
    return p[0] > 240 && p[2] > 240 && p[1] >= 215 && p[1] <= 240;
}

// Whether the depth-9 frame's pixels span the given rectangle, to within 3 pixels.
int checkDepthNine(const Image& image, char** bounds) {
    int left = image.width, right = -1, top = image.height, bottom = -1;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (isDepthNineFrame(image.at(x, y))) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    auto across = [&](const char* v) { return (std::atof(v) + 1.0) / 2.0 * image.width; };
    auto down = [&](const char* v) { return (1.0 - std::atof(v)) / 2.0 * image.height; };
    double want[4] = {across(bounds[0]), across(bounds[1]), down(bounds[2]), down(bounds[3])};
    int got[4] = {left, right + 1, bottom + 1, top};
    for (int i = 0; i < 4; ++i)
        if (std::fabs(got[i] - want[i]) > 3.0) {
            std::fprintf(stderr,
                         "depth-9 frame spans pixels %d to %d across, %d to %d down; "
                         "wanted %.1f to %.1f, %.1f to %.1f\n",
                         left, right + 1, top, bottom + 1, want[0], want[1], want[3], want[2]);
            return 1;
        }
    return 0;
}

bool frameNear(const Image& image, int x, int y) {
    for (int dx = -3; dx <= 3; ++dx)
        if (x + dx >= 0 && x + dx < image.width && isDepthOneFrame(image.at(x + dx, y)))
            return true;
    return false;
}
}  // namespace

int main(int argc, char** argv) {
    Image image;
    bool frame9 = argc == 7 && std::strcmp(argv[2], "frame9") == 0;
    if ((argc != 3 && !frame9) || !readPpm(argv[1], image)) {
        std::fprintf(stderr, "usage: screenshot-check FILE.ppm tunnel|empty|frame9 L R B T\n");
        return 2;
    }
    if (frame9) return checkDepthNine(image, argv + 3);
    if (std::strcmp(argv[2], "empty") == 0) {
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x) {
                const unsigned char* p = image.at(x, y);
                if (p[0] > 30 || p[1] > 30 || p[2] > 30) {
                    std::fprintf(stderr, "tunnel pixel at %d,%d: %d %d %d\n", x, y, p[0], p[1],
                                 p[2]);
                    return 1;
                }
            }
        return 0;
    }
    int row = image.height * 3 / 10;
    bool left = frameNear(image, image.width / 4, row);
    bool right = frameNear(image, 3 * image.width / 4, row);
    bool outside = frameNear(image, image.width / 8, row);
    if (!left || !right || outside) {
        std::fprintf(stderr,
                     "depth-1 frame: quarter %d, three quarters %d, eighth %d (row %d of %dx%d)\n",
                     left, right, outside, row, image.width, image.height);
        return 1;
    }
    return 0;
}
