#pragma once

#include <opencv2/core.hpp>

// Pictures larger than this each way are no camera's: refused before they are decoded.
constexpr int largestSide = 8192;

// Pictures of 8 or 16 bits a channel, grey, colour or colour with alpha, can be used.
inline bool isUsable(const cv::Mat& picture) {
    int channels = picture.channels();
    return !picture.empty() && (picture.depth() == CV_8U || picture.depth() == CV_16U) &&
           (channels == 1 || channels == 3 || channels == 4);
}

// A file's frames one after the other: a video file (VideoFile) or an image sequence
// (PictureSequence). Opened with its first frame read.
class FrameFile {
  public:
    virtual ~FrameFile() = default;

    // The next frame, into `picture` (or only passed over, unless `keep`). A frame that
    // cannot be read is passed over and counted. False at the file's end.
    virtual bool advance(bool keep) = 0;

    cv::Mat picture;       // the frame last read, as decoded
    long next = 0;         // the next frame's number, from 0
    long skipped = 0;      // frames passed over as they could not be read
    double givenRate = 0;  // frames/s as the file gives it; 0: it gives none
};
