#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Writes an image file made by `encode`, which returns false when it fails. "-" is
// standard output; an existing device or FIFO is written into directly. Anything else,
// through symbolic links, goes to a temporary file of a unique name beside it that is
// renamed over it once complete: a failure or an interruption (SIGINT, SIGTERM, SIGHUP)
// never leaves a half picture, nor the temporary file. An existing file keeps its
// permissions (and, for root, its owner); a hard link to it is not kept, as the picture
// is a new file. On failure, says why in one line and exits with status 2.
void writeImageFile(const std::string& path, const std::function<bool(std::FILE*)>& encode);

// Keeps standard output for an image written to "-": what the program prints goes to
// standard error from here on. Call before anything is printed.
void reserveStandardOutput();

// An 8-bit RGB PNG of rows top first.
bool encodePng(std::FILE* file, int width, int height, const std::vector<std::uint8_t>& rgb);

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
