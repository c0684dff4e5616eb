#pragma once

#include <memory>
#include <string>

#include "camera/FrameFile.h"
#include "camera/VideoSource.h"

// A video file (camera/VideoFile.h), or an image sequence (camera/PictureSequence.h),
// played in real time at its own rate (a sequence at 30 frames/s). Frames that cannot be
// read are passed over and counted, and decoders say nothing on the terminal.
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
    long skippedFrames() const override { return frames->skipped; }
    Read readNewest(VideoFrame& frame) override;

  private:
    std::unique_ptr<FrameFile> frames;
    double rate;
    bool rateGiven = false;
    bool firstWaiting = true;  // the frame read when opening, not yet delivered
    double start = 0.0;        // frame k is due at start + k / rate
};
