#pragma once

#include <opencv2/videoio.hpp>
#include <string>
#include <vector>

#include "camera/VideoSource.h"
#include "platform/FrameDecoder.h"

// A video file, or an image sequence (a name with one printf(3) number such as
// frame%04d.png, its pictures from number 0 or 1 to the first missing one), played in real
// time at its own rate (a sequence at 30 frames/s). Frames that cannot be read are passed
// over and counted, and decoders say nothing on the terminal.
class FileSource : public VideoSource {
  public:
    // Opens the file and reads its first frame. Throws std::runtime_error saying why it
    // cannot be played: no such file, a folder, permission denied, not a video, no picture
    // within a few seconds (a FIFO).
    explicit FileSource(const std::string& path);

    bool isDevice() const override { return false; }
    std::string format() const override;
    double framesPerSecond() const override { return rate; }
    double nextFrameDue() const override;
    long skippedFrames() const override { return skipped; }
    Read readNewest(VideoFrame& frame) override;

  private:
    enum class PictureFile { read, missing, unreadable };
    static PictureFile readFile(const std::string& path, std::vector<unsigned char>& bytes);
    void openVideo();
    bool advance(bool keep);
    PictureFile readPicture(long number);

    bool sequence = false;
    cv::VideoCapture video;  // a video file's reader
    FrameDecoder decoder;    // a sequence's JPEG pictures
    cv::Mat picture;         // the frame last read, as decoded
    double rate;
    bool rateGiven = false;
    bool firstWaiting = true;  // the frame read when opening, not yet delivered
    double start = 0.0;        // frame k is due at start + k / rate
    long next = 0;             // the next frame's number
    long firstNumber = 0;      // a sequence's first picture: 0 or 1
    long frameCount = 0;       // a video's frames, as far as its reader knows; 0: not known
    long skipped = 0;
};
