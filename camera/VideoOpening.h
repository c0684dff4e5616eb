#pragma once

#include <opencv2/videoio.hpp>
#include <string>

// A video opened by the capture library, and its first frame (empty when none was read).
struct OpenedVideo {
    cv::VideoCapture video;
    cv::Mat first;
};

// Opens the video at `path` and reads its first frame. A FIFO waits for a writer, then for
// a whole frame, for as long as none comes: the opening runs on a thread of its own and is
// given up after `seconds` (false), its thread left to end with the process.
bool openVideoWithin(const std::string& path, double seconds, OpenedVideo& opened);
