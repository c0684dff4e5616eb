#pragma once

#include <functional>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "camera/VideoSource.h"
#include "model/HeadPose.h"

// Pictures a pinhole camera of a known field of view would take of a face at a known
// place: the astronaut's face (tests/camera/astronaut-face.png) drawn at the place and size
// that the head's position gives, over a textured background, with sensor noise of about
// 3 grey levels and a light that flickers slowly (4 % every 2.5 s). The head is 24 cm
// across the face picture; its position is in cm from the camera (+x the user's right,
// +y up, +z away), and the picture is not mirrored.
class SyntheticCamera {
  public:
    SyntheticCamera(int width, int height, double fieldOfView, unsigned seed = 1);

    // The picture at time `t` (seconds) of a head at `head`; `withFace` false leaves the
    // face out.
    cv::Mat picture(const HeadPose& head, double t, bool withFace = true);
    GreyImage grey(const HeadPose& head, double t, bool withFace = true);

    // Where the neutral head of the tests sits: 60 cm away, a little below the camera.
    static HeadPose neutral() { return {0.0, -5.0, 60.0, 0, 0, 0}; }
    // The head `offset` cm from the neutral place.
    static HeadPose at(const HeadPose& offset);
    // The tests' moving head, `t` seconds into its path, as an offset from the neutral
    // place: 12 cm either side (every 4 s), 6 cm up and down (every 3 s), and from 45 to
    // 85 cm away (every 5 s); at the neutral place at t = 0.
    static HeadPose path(double t);

    // Writes a video (MJPG, as webcams send, in AVI) of `seconds` at 30 frames a second,
    // the head at offset `offsetAt(t)` from the neutral place, or no face at all. False
    // when it cannot be written.
    static constexpr double framesPerSecond = 30.0;
    static bool writeVideo(const std::string& path, int width, int height, double seconds,
                           const std::function<HeadPose(double)>& offsetAt, bool withFace = true);

  private:
    int width, height;
    double focal;
    cv::Mat face, mask, background;
    cv::RNG noise;
};

// The standard deviation of `values`.
double deviation(const std::vector<double>& values);
// Jitter from frame to frame: the deviation of the change between successive values, over
// the square root of 2 (for noise that is new every frame, its deviation). Slow drift, of
// the light for one, is no jitter: no smoothing that follows a head could remove it.
double frameToFrameJitter(const std::vector<double>& values);
