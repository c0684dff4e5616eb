#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

// An 8-bit RGB PNG of rows top first.
bool encodePng(std::FILE* file, int width, int height, const std::vector<std::uint8_t>& rgb);
