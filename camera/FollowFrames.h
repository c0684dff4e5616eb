#pragma once

#include <functional>

#include "camera/FaceTracker.h"
#include "camera/VideoSource.h"

// What is done with each frame and its track, as soon as the face is followed: handing the
// pose on, counting, comparing. Returns false to stop.
using EachFrame = std::function<bool(const VideoFrame& frame, const FaceTrack& track)>;

// The face followed through a source's frames, as the capture thread, the set-up check and
// the tests all follow it: the newest frame read, its face followed and handed to `each`,
// and then the face checked for the frames to come (after `each`, so that checking costs
// the pose no latency). Ends when `each` returns false (giving Read::frame) or a read gives
// no frame (giving that read: the source ended or failed). `frame` holds the last frame.
VideoSource::Read followFrames(VideoSource& source, FaceTracker& faces, VideoFrame& frame,
                               const EachFrame& each);
