#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "platform/CameraDevice.h"
#include "platform/GreyImage.h"

struct VideoFrame {
    GreyImage picture;
    long number = 0;     // its place among the source's frames, from 0
    DeviceFrame device;  // when it was read; a device's stamp and counts too
    // Monotonic seconds, when the picture was taken: the start of its exposure where the
    // device stamps it, a file's frame's due time, else when it was read.
    double takenAt = 0.0;
};

// Grey camera pictures, from a camera device (DeviceSource) or from a video file or image
// sequence played in real time at its own rate (FileSource).
class VideoSource {
  public:
    virtual ~VideoSource() = default;
    VideoSource(const VideoSource&) = delete;
    VideoSource& operator=(const VideoSource&) = delete;

    const std::string& name() const { return sourceName; }
    virtual bool isDevice() const = 0;
    // What it delivers: "640x480 MJPG at 30 frames/s" from a device, "640x480 at 30
    // frames/s" from a file.
    virtual std::string format() const = 0;
    // The rate a device delivers, or a file gives (or is played at).
    virtual double framesPerSecond() const = 0;
    // True when a device's auto-exposure is kept from lowering its rate.
    virtual bool rateHeld() const { return false; }
    // A file's: monotonic seconds when its next frame is due, and its frames so far that
    // could not be read and were passed over.
    virtual double nextFrameDue() const { return 0.0; }
    virtual long skippedFrames() const { return 0; }

    enum class Read { frame, ended, failed };
    // Waits for the newest frame: older ones are passed over, so a slow frame never leaves
    // older ones waiting. `ended` at the end of a file (or once interrupted while a file
    // waits for its next frame's time), `failed` when a device stops.
    virtual Read readNewest(VideoFrame& frame) = 0;
    // From any thread: a file's wait for its next frame ends at once.
    void interrupt() { interrupted = true; }

  protected:
    explicit VideoSource(std::string name) : sourceName(std::move(name)) {}
    std::atomic<bool> interrupted = false;

  private:
    std::string sourceName;
};

// Opens `source` and reads its first frame: a camera device (see CameraDevice::isDevice),
// or else a file. Throws CameraDeviceError for a device, and std::runtime_error saying why
// a file cannot be played.
std::unique_ptr<VideoSource> openVideoSource(const std::string& source, CameraSettings settings);
