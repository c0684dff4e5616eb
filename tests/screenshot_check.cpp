// Checks a picture of the program (binary PPM) for the tunnel seen from head distance 1:
//   screenshot-check FILE tunnel   the depth-1 frame at a quarter and three quarters across
//   screenshot-check FILE empty    no tunnel pixel at all
#include <cstdio>
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

bool frameNear(const Image& image, int x, int y) {
    for (int dx = -3; dx <= 3; ++dx)
        if (x + dx >= 0 && x + dx < image.width && isDepthOneFrame(image.at(x + dx, y)))
            return true;
    return false;
}
}  // namespace

int main(int argc, char** argv) {
    Image image;
    if (argc != 3 || !readPpm(argv[1], image)) {
        std::fprintf(stderr, "usage: screenshot-check FILE.ppm tunnel|empty\n");
        return 2;
    }
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
