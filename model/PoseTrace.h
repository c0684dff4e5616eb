#pragma once

#include <limits>
#include <string>
#include <vector>

#include "model/HeadPose.h"

// A recorded head path, as fishtank-track --record writes it: CSV lines
// t,x,y,z,yaw,pitch,roll, t in seconds, the rest as in a pose; a camera's lines end with
// a last column, exposure: when the pose's picture was taken, in t's clock. Every run of
// the recorder starts with the header line naming the columns, so a file that several runs
// appended to holds one stretch per run, each with a time base of its own.
struct TracedPose {
    double time;
    HeadPose pose;
};

constexpr char poseTraceHeader[] = "t,x,y,z,yaw,pitch,roll";
constexpr char cameraPoseTraceHeader[] = "t,x,y,z,yaw,pitch,roll,exposure";

// One pose line of a trace, with its newline; with the exposure column where `exposure`
// is a number.
std::string poseTraceLine(double time, const HeadPose& pose,
                          double exposure = std::numeric_limits<double>::quiet_NaN());

// Pauses in a trace longer than this are played as this long.
constexpr double longestTracePause = 5.0;  // seconds

struct PoseTrace {
    std::vector<TracedPose> poses;   // times in seconds from the first pose, never going back
    std::vector<std::string> notes;  // what was skipped or shortened, one line each
};

// Reads a trace file, generous with what editors and spreadsheets write: a byte-order
// mark, CRLF line ends, blank lines, spaces around fields, a header in any case and a
// last line without its newline. Each header line starts a new stretch, played right after
// the one before; within a stretch times must not go back. Pauses are shortened to the
// longest pause. A last line cut off mid-way (by a crash, a kill or a full disk) is
// skipped with a note. Anything else that is not seven decimal numbers (eight under a
// header with the exposure column) fails: the result is empty and `error` is one line
// saying why (with the line's number).
PoseTrace readPoseTrace(const std::string& path, std::string& error);
