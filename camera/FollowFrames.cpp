#include "camera/FollowFrames.h"

VideoSource::Read followFrames(VideoSource& source, FaceTracker& faces, VideoFrame& frame,
                               const EachFrame& each) {
    for (;;) {
        const VideoSource::Read read = source.readNewest(frame);
        if (read != VideoSource::Read::frame) return read;
        const bool goOn = each(frame, faces.track(frame));
        faces.check(frame.picture);
        if (!goOn) return read;
    }
}
