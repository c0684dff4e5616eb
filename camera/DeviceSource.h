#pragma once

#include <cmath>

#include "camera/VideoSource.h"

// A V4L2 camera as a video source (platform/CameraDevice).
class DeviceSource : public VideoSource {
  public:
    DeviceSource(const std::string& path, CameraSettings settings)
        : VideoSource(path), device(path, settings) {}

    bool isDevice() const override { return true; }
    std::string format() const override { return device.format(); }
    double framesPerSecond() const override { return device.framesPerSecond(); }
    bool rateHeld() const override { return device.rateHeld(); }
    Read readNewest(VideoFrame& frame) override {
        if (!device.readNewest(frame.picture, frame.device)) return Read::failed;
        frame.number = read++;
        frame.takenAt = std::isfinite(frame.device.exposureStart) ? frame.device.exposureStart
                                                                  : frame.device.readTime;
        return Read::frame;
    }

  private:
    CameraDevice device;
    long read = 0;
};
