#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/CameraSettings.h"
#include "platform/GreyImage.h"

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

// Why a device cannot be used.
enum class CameraProblem {
    noSuchDevice,  // nothing there, or it went away
    permissionDenied,
    busy,              // another program uses it
    notACamera,        // it delivers no pictures
    metadataNode,      // a metadata node beside a camera: it delivers no pictures
    noReadableFormat,  // none of MJPG, YUYV or GREY
    noRoomOnBus,       // its USB bus cannot carry the stream beside the others on it
    noBuffers,         // it gives no buffers to stream into
    noPictures,        // none came within the first wait
    systemError        // another error: `error` and `step` say which
};

// Thrown when a device cannot be opened or set up; the program tells the user why in its
// own words from `problem` (what() says it only for a systemError).
class CameraDeviceError : public std::runtime_error {
  public:
    CameraDeviceError(CameraProblem problem, int error = 0, const char* step = "");
    CameraProblem problem;
    int error;         // errno, for systemError
    const char* step;  // what was being done, for systemError
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
    // picture. Throws CameraDeviceError.
    CameraDevice(const std::string& path, CameraSettings settings);
    ~CameraDevice();
    CameraDevice(const CameraDevice&) = delete;
    CameraDevice& operator=(const CameraDevice&) = delete;

    // What was chosen: "640x480 MJPG at 30 frames/s".
    std::string format() const;
    // True when auto-exposure was stopped from lowering the frame rate; it is put back
    // when the device closes (and when the program ends: restoreCameraSettingsAtExit()).
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
        bool opened = false;                   // false: `problem` says why it cannot be opened
        std::optional<CameraProblem> problem;  // why it delivers no pictures
        int error = 0;                         // errno, for CameraProblem::systemError
        std::string mode;                      // its best mode near 640x480, as format() says it
        bool infrared = false;                 // grey pictures only: an infrared camera
    };
    // Every /dev/video* node in the order of its number; names whose number does not
    // parse are no camera's.
    static std::vector<Node> list();

  private:
    struct Stream;
    std::unique_ptr<Stream> stream;
};
