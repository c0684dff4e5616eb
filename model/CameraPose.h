#pragma once

#include <limits>

#include "model/HeadPose.h"

// A head pose measured in a camera picture, with its picture's times.
struct CameraPose {
    HeadPose pose;     // offsets from the neutral place, cm; the head's angles, degrees
    HeadPose neutral;  // the neutral place from the camera, cm, measured or scaled to the
                       // given distance (its z): in the poses' axes
    Vector3 rightEye;  // the user's right eye from the eyes' midpoint, in the poses' axes
    double readTime = 0.0;  // monotonic seconds, when its picture had been read
    double takenAt = 0.0;   // when its picture was taken (VideoFrame::takenAt)
    // The start of its picture's exposure; NaN where not known.
    double exposureStart = std::numeric_limits<double>::quiet_NaN();
};
