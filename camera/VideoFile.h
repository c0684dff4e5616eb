#pragma once

#include <opencv2/videoio.hpp>
#include <string>

#include "camera/FrameFile.h"

// A video file read by the capture library; a still picture is a video of one frame.
class VideoFile final : public FrameFile {
  public:
    // Opens the file and reads its first frame. Throws std::runtime_error saying why it
    // cannot be played: no such file, a folder, permission denied, not a video, no picture
    // within a few seconds (a FIFO).
    explicit VideoFile(const std::string& path);

    // A video ends where its last frame has been read, or after so many frames in a row
    // that cannot be read that none will follow.
    bool advance(bool keep) override;

  private:
    cv::VideoCapture video;
    long frameCount = 0;  // as far as its reader knows; 0: not known
};
