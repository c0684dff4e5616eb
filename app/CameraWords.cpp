#include "app/CameraWords.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

std::string cameraProblemText(CameraProblem problem, int error) {
    switch (problem) {
        case CameraProblem::noSuchDevice:
            return "no such device";
        case CameraProblem::permissionDenied:
            return "permission denied: join the video group (sudo adduser $USER video) and log "
                   "in again";
        case CameraProblem::busy:
            return "busy: in use by another program";
        case CameraProblem::notACamera:
            return "not a camera: it delivers no pictures";
        case CameraProblem::metadataNode:
            return "not a camera: a metadata node, it delivers no pictures";
        case CameraProblem::noReadableFormat:
            return "it delivers no pictures in a format this program reads: MJPG, YUYV or GREY";
        case CameraProblem::noRoomOnBus:
            return "no room on its USB bus: close other cameras, or plug it into another port";
        case CameraProblem::noBuffers:
            return "it gives no buffers to stream into";
        case CameraProblem::noPictures:
            return "it delivers no pictures (none within 5 s)";
        case CameraProblem::systemError:
            break;
    }
    return std::strerror(error);
}

std::string cameraOpenText(const CameraDeviceError& e) {
    switch (e.problem) {
        case CameraProblem::noSuchDevice:
        case CameraProblem::notACamera:
        case CameraProblem::metadataNode:
        case CameraProblem::noReadableFormat:
            return cameraProblemText(e.problem, e.error) +
                   " (fishtank-track --list-cameras lists the cameras)";
        case CameraProblem::systemError:
            return e.what();
        default:
            return cameraProblemText(e.problem, e.error);
    }
}

std::string lowRateText(const std::string& name, const FrameCount& counted, double offered) {
    const double processed = counted.processedRate();
    const double delivered = std::max(counted.deliveredRate(), processed);
    char text[240];
    if (delivered < lowRate && (offered <= 0 || delivered < 0.9 * offered)) {
        std::snprintf(text, sizeof text,
                      "camera %s delivers only %.0f frames/s: in dim light webcams lengthen "
                      "their exposure; more light on your face brings the rate up",
                      name.c_str(), delivered);
        return text;
    }
    if (processed < lowRate && processed < 0.9 * delivered) {
        // Below a frame a second, its first digit that is not 0: "0.4", not "0".
        char rate[32];
        std::snprintf(rate, sizeof rate, processed < 1 ? "%.1g" : "%.0f", processed);
        std::snprintf(text, sizeof text,
                      "camera %s delivers %.0f frames/s but only %s are processed: the "
                      "computer is too slow or too busy to follow the face in every frame",
                      name.c_str(), delivered, rate);
        return text;
    }
    return "";
}

std::string skippedFramesText(long count) {
    return std::to_string(count) +
           (count == 1 ? " frame that could not be read was"
                       : " frames that could not be read were") +
           " skipped";
}

void tellSettingsChanged(const VideoSource& source) {
    if (source.rateHeld())
        std::fprintf(stderr,
                     "fishtank-track: camera %s: exposure_dynamic_framerate off while the "
                     "program runs, so that dim light does not lower the frame rate "
                     "(--camera-settings keep leaves it alone)\n",
                     source.name().c_str());
}
