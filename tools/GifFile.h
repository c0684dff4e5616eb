#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

// A looping GIF animation, written frame by frame. Each frame has a colour table of its
// own, exact for pictures of at most 256 colours.
class GifAnimation {
  public:
    GifAnimation(std::FILE* file, int width, int height, int framesPerSecond);
    ~GifAnimation();
    GifAnimation(const GifAnimation&) = delete;
    GifAnimation& operator=(const GifAnimation&) = delete;

    // False when writing failed or the picture has more than 256 colours.
    bool addFrame(const std::vector<std::uint8_t>& rgb);
    // Ends the file; false when writing failed.
    bool finish();

  private:
    void* gif;
    int width, height, delay;
    bool ok;
};
