#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/OutputFile.h"

// The renderer's output, checked before anything is drawn: "-" is standard output (one
// closed at start is refused), anything else is as OutputFile says. A place that cannot be
// written is one line and exit status 2. Call before anything is printed: with "-", what
// the program prints goes to standard error from here on.
std::unique_ptr<OutputFile> openImageFile(const std::string& path, bool standardOutputWasOpen);

// Writes the image file made by `encode`, which returns false when it fails; on failure,
// says why in one line and exits with status 2.
void writeImageFile(OutputFile& output, const std::function<bool(std::FILE*)>& encode);

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
