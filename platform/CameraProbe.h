#pragma once

#include <linux/videodev2.h>

#include <optional>

#include "platform/CameraDevice.h"
#include "platform/CameraModes.h"

// Why opening a node failed, from its errno.
CameraProblem openProblem(int error);

// What an opened node is: a camera, with its best mode, or why it is not one.
struct NodeProbe {
    v4l2_capability capability{};
    std::optional<CameraProblem> problem;
    bool infrared = false;
    CameraMode best;
};
NodeProbe probeNode(int fd);
