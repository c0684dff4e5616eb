#pragma once

#include <string>
#include <vector>

#include "camera/FrameFile.h"
#include "platform/FrameDecoder.h"

// An image sequence: a name with one printf(3) number such as frame%04d.png, its pictures
// from number 0 or 1 to the first missing one. PNG and JPEG pictures are read here, others
// by the capture library, whose decoders say nothing on the terminal.
class PictureSequence final : public FrameFile {
  public:
    // A name with one %d such as frame%04d.png (a width of at most two digits), and no
    // other %.
    static bool isPattern(const std::string& name);

    // Reads its first picture. Throws std::runtime_error saying why it cannot be played:
    // neither first picture exists, or none can be read.
    explicit PictureSequence(const std::string& pattern);

    // A sequence ends at its first missing picture.
    bool advance(bool keep) override;

  private:
    enum class PictureFile { read, missing, unreadable };
    static PictureFile readFile(const std::string& path, std::vector<unsigned char>& bytes);
    PictureFile readPicture(long number);

    std::string pattern;
    long firstNumber = 0;  // 0 or 1
    FrameDecoder decoder;  // its JPEG pictures
};
