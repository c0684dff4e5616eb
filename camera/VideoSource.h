#pragma once

#include <limits>
#include <memory>
#include <string>

#include "model/GreyImage.h"
#include "platform/CameraDevice.h"

struct VideoFrame {
    GreyImage picture;
    long number = 0;        // the frame's place in a file, from 0; a device's are counted
    double readTime = 0.0;  // monotonic seconds, when the frame had been read
    // Monotonic seconds, the start of the frame's exposure as the camera device stamps its
    // buffers; NaN for a file, which has no such stamp.
    double exposureStart = std::numeric_limits<double>::quiet_NaN();
    // A device's: how it stamps, its own frame number (frames it dropped counted), and
    // the frames lost since its first (see DeviceFrame).
    FrameStamp stamp = FrameStamp::none;
    long sequence = 0;
    long dropped = 0, passedOver = 0, damaged = 0;
};

// Camera pictures: from a V4L2 camera device (platform/CameraDevice: MJPG at 640x480 and 30
// frames/s where it offers that); or from a video file or image sequence, played in real
// time at its own frame rate, its frames that cannot be read passed over and counted. With
// the face finder, the only code that uses the capture library, which reads the files.
class VideoSource {
  public:
    // Opens `source` and reads its first frame. Throws std::runtime_error whose text says
    // why it cannot be used, in the user's terms: no such device or file, permission
    // denied, busy, not a camera, not a video, no picture within a few seconds (a FIFO).
    explicit VideoSource(const std::string& source,
                         CameraSettings settings = CameraSettings::leaveAlone);
    ~VideoSource();
    VideoSource(const VideoSource&) = delete;
    VideoSource& operator=(const VideoSource&) = delete;

    const std::string& name() const;
    bool isDevice() const;
    // What the source actually delivers: "640x480 MJPG at 30 frames/s" from a device,
    // "640x480 at 30 frames/s" from a file.
    std::string format() const;
    // The rate a file gives, or is played at; the rate a device delivers.
    double framesPerSecond() const;
    // Monotonic seconds when a file's next frame is due; 0 for a device.
    double nextFrameDue() const;
    // A file's frames so far that could not be read and were passed over.
    long skippedFrames() const;
    CameraSettings settings() const;
    // True when the device's auto-exposure was stopped from lowering its rate.
    bool rateHeld() const;

    enum class Read { frame, ended, failed };
    // Waits for the newest frame. A device's older frames are passed over, so a slow frame
    // never leaves older ones waiting; a file's frames that are overdue are skipped for
    // the one due now. `ended` at the end of a file (its last frame read, or a long run
    // of frames that cannot be read), `failed` when a device stops.
    Read readNewest(VideoFrame& frame);

  private:
    struct Capture;
    std::unique_ptr<Capture> capture;
};
