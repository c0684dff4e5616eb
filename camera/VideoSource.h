#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

// A grey picture, one byte a pixel, rows top first.
struct GreyImage {
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;
};

struct VideoFrame {
    GreyImage picture;
    long number = 0;        // the frame's place in a file, from 0; a device's are counted
    double readTime = 0.0;  // monotonic seconds, when the frame had been read
    // Monotonic seconds, the start of the frame's exposure as the camera device stamps its
    // buffers; NaN for a file, which has no such stamp.
    double exposureStart = std::numeric_limits<double>::quiet_NaN();
};

// Camera pictures: from a V4L2 camera device (a path under /dev), asked for 640x480 at 30
// frames/s in MJPG where it offers that; or from a video file or image sequence, played in
// real time at its own frame rate, its frames that cannot be read passed over and counted.
// With the face finder, the only code that uses the capture library.
class VideoSource {
  public:
    // Opens `source` and reads its first frame. Throws std::runtime_error whose text says
    // why it cannot be used, in the user's terms: no such device or file, permission
    // denied, busy, not a camera, not a video, no picture within a few seconds (a FIFO).
    explicit VideoSource(const std::string& source);
    ~VideoSource();
    VideoSource(const VideoSource&) = delete;
    VideoSource& operator=(const VideoSource&) = delete;

    const std::string& name() const;
    bool isDevice() const;
    // What the source actually delivers: "640x480 at 30 frames/s".
    std::string format() const;
    // The rate a file gives, or is played at; the rate a device was asked for.
    double framesPerSecond() const;
    // Monotonic seconds when a file's next frame is due; 0 for a device.
    double nextFrameDue() const;
    // A file's frames so far that could not be read and were passed over.
    long skippedFrames() const;

    enum class Read { frame, ended, failed };
    // Waits for the newest frame. A device keeps a queue of one buffer, so a slow frame
    // never leaves older ones waiting; a file's frames that are overdue are skipped for
    // the one due now. `ended` at the end of a file (its last frame read, or a long run
    // of frames that cannot be read), `failed` when a device stops.
    Read readNewest(VideoFrame& frame);

  private:
    struct Capture;
    std::unique_ptr<Capture> capture;
};
