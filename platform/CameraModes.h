#pragma once

#include <linux/videodev2.h>

#include <cstdint>
#include <string>
#include <vector>

// The size the face is best found at, and the highest rate worth its shorter exposure.
constexpr double wantedWidth = 640, wantedHeight = 480, wantedRate = 30;

// A way a camera delivers pictures.
struct CameraMode {
    std::uint32_t format = 0;
    unsigned width = 0, height = 0;
    v4l2_fract interval{0, 0};  // seconds a frame; 0/0 when the device does not say

    double rate() const;
    // "640x480 MJPG at 30 frames/s", or "... (it gives no rate)".
    std::string text() const;
};

// Pictures the program reads: MJPG, YUYV or GREY.
bool isReadable(std::uint32_t format);
// Grey pictures only, such as an infrared camera gives.
bool isGreyFormat(std::uint32_t format);

// The mode that serves the face best of `modes`, which is not empty: the highest rate up to
// 30 frames/s (more would only shorten the exposure and cost work), then the size nearest
// 640x480 in scale (half the size as far as twice), then MJPG before YUYV before GREY, then
// the lower rate. So MJPG at 640x480 and 30 frames/s wins wherever it is offered.
CameraMode bestMode(const std::vector<CameraMode>& modes);
