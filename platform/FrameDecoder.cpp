#include "platform/FrameDecoder.h"

#include <turbojpeg.h>

#include <cstdio>
#include <cstring>
#include <new>

namespace {
std::size_t area(int width, int height) {
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
}

// Whether the decoder's warning leaves the picture whole. Some webcams pad their frames
// with a few bytes before the end marker (0xd9), after every row was decoded; skipping
// those would skip all of such a camera's frames. Many bytes there mean damage: a frame
// whose second half is another frame's, as a writer that overtakes its reader leaves it,
// ends in thousands. libjpeg words this warning so since version 6.
bool onlyPaddingAtTheEnd(const char* warning) {
    unsigned extraneous = 0;
    char marker[3] = {};
    return std::sscanf(warning, "Corrupt JPEG data: %u extraneous bytes before marker 0x%2s",
                       &extraneous, marker) == 2 &&
           std::strcmp(marker, "d9") == 0 && extraneous <= 16;
}
}  // namespace

FrameDecoder::FrameDecoder() : decompressor(tjInitDecompress()) {
    if (!decompressor) throw std::bad_alloc();
}

FrameDecoder::~FrameDecoder() {
    tjDestroy(decompressor);
}

bool FrameDecoder::greyFromJpeg(const std::uint8_t* bytes, std::size_t size, int width, int height,
                                GreyImage& picture) {
    int jpegWidth = 0, jpegHeight = 0, subsampling = 0, colourSpace = 0;
    if (tjDecompressHeader3(decompressor, bytes, size, &jpegWidth, &jpegHeight, &subsampling,
                            &colourSpace) != 0)
        return false;
    // Of any size, within a camera's: a damaged header may claim gigapixels.
    constexpr int largestSide = 8192;
    if (width == 0 && height == 0 && jpegWidth <= largestSide && jpegHeight <= largestSide)
        width = jpegWidth, height = jpegHeight;
    if (jpegWidth != width || jpegHeight != height) return false;
    picture.width = width;
    picture.height = height;
    picture.pixels.resize(area(width, height));
    if (tjDecompress2(decompressor, bytes, size, picture.pixels.data(), width, width, height,
                      TJPF_GRAY, 0) == 0)
        return true;
    return tjGetErrorCode(decompressor) == TJERR_WARNING &&
           onlyPaddingAtTheEnd(tjGetErrorStr2(decompressor));
}

namespace {
// Copies every `step`-th byte of each row, from its first: the luma of YUYV (step 2) or
// of GREY (step 1).
bool takeLuma(const std::uint8_t* bytes, std::size_t size, int width, int height,
              std::size_t stride, std::size_t step, GreyImage& picture) {
    if (width <= 0 || height <= 0 || stride < step * static_cast<std::size_t>(width) ||
        size <
            stride * static_cast<std::size_t>(height - 1) + step * static_cast<std::size_t>(width))
        return false;
    picture.width = width;
    picture.height = height;
    picture.pixels.resize(area(width, height));
    std::uint8_t* out = picture.pixels.data();
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = bytes + stride * static_cast<std::size_t>(y);
        for (int x = 0; x < width; ++x) *out++ = row[step * static_cast<std::size_t>(x)];
    }
    return true;
}
}  // namespace

bool greyFromYuyv(const std::uint8_t* bytes, std::size_t size, int width, int height,
                  std::size_t stride, GreyImage& picture) {
    return takeLuma(bytes, size, width, height, stride, 2, picture);
}

bool greyFromGrey(const std::uint8_t* bytes, std::size_t size, int width, int height,
                  std::size_t stride, GreyImage& picture) {
    return takeLuma(bytes, size, width, height, stride, 1, picture);
}
