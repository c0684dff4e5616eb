#pragma once

#include <string>

#include "camera/VideoSource.h"

// What the program tells the user of its camera, in its own words.

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
