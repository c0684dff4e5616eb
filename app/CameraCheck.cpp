#include "app/CameraCheck.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "app/CameraTracker.h"
#include "camera/CheckPicture.h"
#include "model/Durations.h"
#include "platform/Date.h"

namespace {
constexpr double checkSeconds = 2.0;
}

int checkCamera(CameraTracker& camera, const std::string& picturePath) {
    std::printf("%s\n", camera.description().c_str());
    try {
        camera.loadModels();
    } catch (const std::runtime_error& e) {
        std::fprintf(stderr, "fishtank-track: camera: %s\n", e.what());
        return 1;
    }
    Durations following, wholeSearches, age;
    CameraStep last;
    long frames = 0;
    const double start = monotonicSeconds();
    while (monotonicSeconds() - start < checkSeconds) {
        CameraStep step = camera.step([&](const CameraPose& pose) {
            if (std::isfinite(pose.exposureStart)) age.add(monotonicSeconds() - pose.exposureStart);
        });
        if (step.read != VideoSource::Read::frame) {
            const char* what = step.read == VideoSource::Read::ended
                                   ? "end of the file"
                                   : "the camera stopped delivering pictures";
            std::printf("%s after %ld frames\n", what, frames);
            break;
        }
        ++frames;
        if (step.wholeSearch || step.faceFound)
            (step.wholeSearch ? wholeSearches : following).add(step.processing);
        last = step;
    }
    double took = monotonicSeconds() - start;
    auto ms = [](const Durations& d, double q) { return d.quantile(q) * 1000.0; };
    std::printf("%ld frames in %.2f s: %.1f frames/s\n", frames, took, frames / took);
    std::printf(
        "a frame, from read to face: %.1f ms median, %.1f ms p99, %.1f ms at most "
        "while following the face; whole-picture searches: %zu, %.1f ms median\n",
        ms(following, 0.5), ms(following, 0.99), ms(following, 1), wholeSearches.count(),
        ms(wholeSearches, 0.5));
    if (age.count() > 0)
        std::printf(
            "frames were %.1f ms old (median, %.1f ms p99) from the start of their "
            "exposure when their pose was ready\n",
            ms(age, 0.5), ms(age, 0.99));
    else
        std::printf(
            "the source stamps no exposure times (a file has none): the frames' age "
            "is not known\n");

    char caption[160] = "no face";
    if (last.faceFound) {
        std::printf("face: %.0f pixels across at (%.1f, %.1f) in the picture\n", last.face.size,
                    last.face.x, last.face.y);
        if (const FacePoses* poses = camera.facePoses(); poses && poses->isCentred()) {
            HeadPose neutral = poses->neutralPlace();
            std::printf("neutral place: %+.1f cm across and %+.1f cm up from the camera, ",
                        neutral.x, neutral.y);
            if (poses->distanceGiven())
                std::printf("%.0f cm away as given (measured: %.1f cm)\n", neutral.z,
                            poses->measuredDistance());
            else
                std::printf("%.1f cm away (measured)\n", neutral.z);
        }
        if (last.posed) {
            const HeadPose& p = last.pose.pose;
            std::printf("head: x %+.2f cm, y %+.2f cm, z %+.2f cm from the neutral place\n", p.x,
                        p.y, p.z);
            std::printf(
                "head: %.1f cm from the camera (measured); turned yaw %+.0f, pitch %+.0f, "
                "roll %+.0f degrees\n",
                last.measure.z, p.yaw, p.pitch, p.roll);
            std::snprintf(caption, sizeof caption,
                          "head x %+.1f y %+.1f z %+.1f cm, %.0f cm away, yaw %+.0f pitch %+.0f "
                          "roll %+.0f",
                          p.x, p.y, p.z, last.measure.z, p.yaw, p.pitch, p.roll);
        } else {
            std::snprintf(caption, sizeof caption, "face found, being centred");
        }
    }
    const VideoFrame& frame = camera.lastFrame();
    if (frame.picture.pixels.empty() ||
        !writeCheckPicture(picturePath, frame.picture, last.faceFound ? &last.face : nullptr,
                           last.landmarked ? &last.shape : nullptr, caption)) {
        std::fprintf(stderr, "fishtank-track: cannot write %s: %s\n", picturePath.c_str(),
                     errno ? std::strerror(errno) : "no picture");
        return 1;
    }
    std::printf("wrote %s\n", picturePath.c_str());
    if (!last.faceFound) {
        std::printf(
            "no face in the last picture: sit in front of the camera, facing it, "
            "in good light\n");
        return 1;
    }
    return 0;
}
