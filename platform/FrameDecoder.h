#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/GreyImage.h"

// A camera's frames made grey, the only colour the face finder uses: MJPG decoded straight
// to grey (libjpeg-turbo's grey output reads the luma alone and skips the colour), YUYV and
// GREY by taking their luma bytes as they are.
class FrameDecoder {
  public:
    FrameDecoder();
    ~FrameDecoder();
    FrameDecoder(const FrameDecoder&) = delete;
    FrameDecoder& operator=(const FrameDecoder&) = delete;

    // Decodes one JPEG of `width` x `height` (of any size up to 8192 each way when both
    // are 0) into `picture`.
    // False for a damaged frame (cut short, a bad code, another size), which is then of no
    // use; the decoder's own messages are kept, never printed.
    bool greyFromJpeg(const std::uint8_t* bytes, std::size_t size, int width, int height,
                      GreyImage& picture);

  private:
    void* decompressor;
};

// The luma of a YUYV picture (Y0 U Y1 V for each two pixels) or of a GREY one, rows
// `stride` bytes apart; false when `size` bytes are too few for the picture.
bool greyFromYuyv(const std::uint8_t* bytes, std::size_t size, int width, int height,
                  std::size_t stride, GreyImage& picture);
bool greyFromGrey(const std::uint8_t* bytes, std::size_t size, int width, int height,
                  std::size_t stride, GreyImage& picture);
