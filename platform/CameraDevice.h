#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "model/GreyImage.h"

// How the device stamped a frame's time.
enum class FrameStamp { none, startOfExposure, endOfFrame };

// What a device tells of a frame beside its picture.
struct DeviceFrame {
    double readTime = 0.0;  // monotonic seconds, when its picture was ready
    // Monotonic seconds, the start of its exposure: the device's stamp, less one frame
    // period when the device stamps the end of the frame; NaN when it stamps nothing usable.
    double exposureStart = std::numeric_limits<double>::quiet_NaN();
    FrameStamp stamp = FrameStamp::none;
    long sequence = 0;  // the device's frame number: it counts the frames it dropped too
    // Since the program's first frame: frames the device dropped for want of a free buffer (gaps in
    // its numbers), frames the program passed over for a newer one, and damaged frames.
    long dropped = 0, passedOver = 0, damaged = 0;
};

// What the device may change of the camera's own settings while the program runs.
enum class CameraSettings {
    keepRate,   // auto-exposure may not lower the frame rate in dim light, where offered
    leaveAlone  // nothing is changed
};

// A V4L2 camera: opened and its format negotiated once, frames streamed through a small
// ring of mapped buffers, always the newest read, made grey.
class CameraDevice {
  public:
    // What a path should be opened as: a character device, or a missing path under /dev/
    // (a camera that is not there), is a device; anything else is a file, also when it
    // lies under /dev/ (/dev/shm, /dev/stdin, /dev/fd/N).
    static bool isDevice(const std::string& path);

    // Opens the device, negotiates its format, starts streaming and waits for a first
    // picture. Throws std::runtime_error whose text says why it cannot be used, in the
    // user's terms: no such device, permission denied, busy, not a camera.
    CameraDevice(const std::string& path, CameraSettings settings);
    ~CameraDevice();
    CameraDevice(const CameraDevice&) = delete;
    CameraDevice& operator=(const CameraDevice&) = delete;

    // What was chosen: "640x480 MJPG at 30 frames/s".
    std::string format() const;
    // True when auto-exposure was stopped from lowering the frame rate; it is put back
    // when the device closes or the program ends.
    bool rateHeld() const;
    double framesPerSecond() const;

    // Waits for a frame (at most two seconds), takes the newest that waits and gives every
    // other buffer back at once; when every buffer was full, the device has dropped the
    // frames since, and the next frame is taken instead. False when the device stopped
    // delivering: unplugged, a read error, a fatal streaming error, or no usable frame
    // within the wait.
    bool readNewest(GreyImage& picture, DeviceFrame& frame);

    // A /dev/video* node as --list-cameras tells it.
    struct Node {
        std::string path, card;
        bool opened = false;    // false: `problem` says why it cannot be opened
        std::string problem;    // why it delivers no pictures; empty when it does
        std::string mode;       // its best mode near 640x480, as format() says it
        bool metadata = false;  // a metadata node, beside a camera
        bool infrared = false;  // grey pictures only: an infrared camera
    };
    // Every /dev/video* node in the order of its number.
    static std::vector<Node> list();

  private:
    struct Stream;
    std::unique_ptr<Stream> stream;
};
