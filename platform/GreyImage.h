#pragma once

#include <cstdint>
#include <vector>

// A grey picture, one byte a pixel, rows top first.
struct GreyImage {
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;
};
