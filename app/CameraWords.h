#pragma once

#include <string>

#include "app/FrameCount.h"
#include "camera/VideoSource.h"

// What the program tells the user of its camera, in its own words.

// Frame rates, frames a second. Below the lowest usable one a face moves too far from frame
// to frame to be followed (and the head is let go after half a second without a pose);
// below the low one the picture lags the head, and the program says why.
constexpr double lowestUsableRate = 10.0;
constexpr double lowRate = 20.0;

// Why a device's frames, counted in `counted` for a couple of seconds, come at a low rate:
// the camera (dim light) or the computer; empty when the rate is not low. `offered` is the
// device's own rate.
std::string lowRateText(const std::string& name, const FrameCount& counted, double offered);

// Why a camera device cannot be used, with what to do about it where the user can:
// "permission denied: join the video group (...)".
std::string cameraProblemText(CameraProblem problem, int error);
// The same for a camera that could not be opened, with where to find the cameras when it
// is none.
std::string cameraOpenText(const CameraDeviceError& e);

// "1 frame that could not be read was skipped"
std::string skippedFramesText(long count);

// Tells on stderr what the program changed of the camera's settings, if anything.
void tellSettingsChanged(const VideoSource& source);
