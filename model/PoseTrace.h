#pragma once

#include <string>
#include <vector>

#include "model/HeadPose.h"

// A recorded head path, as fishtank-track --record writes it: CSV lines
// t,x,y,z,yaw,pitch,roll, t in seconds, the rest as in a pose; an optional first line
// names the columns.
struct TracedPose {
    double time;
    HeadPose pose;
};

// Reads a trace file. On failure returns nothing and sets `error` to one line saying why:
// a file that cannot be read, a malformed line (with its number), times that go back, or
// a trace without poses.
std::vector<TracedPose> readPoseTrace(const std::string& path, std::string& error);
