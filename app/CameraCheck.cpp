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
// Following a face needs it to move little from frame to frame, and the head is let go
// after half a second without a pose.
constexpr double lowestUsableRate = 10.0;  // frames a second
// The face detector's least face is 45 pixels across.
constexpr int smallestPicture = 45;
}  // namespace

int checkCamera(CameraTracker& camera, const std::string& picturePath) {
    std::printf("%s\n", camera.description().c_str());
    camera.tellSettingsChanged();
    try {
        camera.loadModels();
    } catch (const std::runtime_error& e) {
        std::fprintf(stderr, "fishtank-track: camera: %s\n", e.what());
        return 1;
    }
    Durations following, wholeSearches;
    CameraStep last;
    long frames = 0;
    double firstRead = 0.0;
    long firstSequence = 0;
    const double start = monotonicSeconds(), end = start + checkSeconds;
    const VideoSource& video = camera.video();
    // A file's frame due after the end, by more than a frame at the lowest rate, is not
    // waited for: one at a very low rate would hold the check for minutes.
    const double latest = end + 1.0 / lowestUsableRate;
    while (monotonicSeconds() < end && video.nextFrameDue() < latest) {
        CameraStep step = camera.step([](const CameraPose&) {});
        if (step.read != VideoSource::Read::frame) {
            const char* what = step.read == VideoSource::Read::ended
                                   ? "end of the file"
                                   : "the camera stopped delivering pictures";
            std::printf("%s after %ld frames\n", what, frames);
            break;
        }
        if (frames++ == 0) {
            firstRead = camera.lastFrame().readTime;
            firstSequence = camera.lastFrame().sequence;
        }
        if (step.wholeSearch || step.faceFound)
            (step.wholeSearch ? wholeSearches : following).add(step.processing);
        last = step;
    }
    double took = monotonicSeconds() - start;
    // A file whose next frame is due after the check has its own rate told.
    const bool tooLate = video.nextFrameDue() >= latest;
    double rate = tooLate ? video.framesPerSecond() : frames / took;
    auto ms = [](const Durations& d, double q) { return d.quantile(q) * 1000.0; };
    if (tooLate)
        std::printf("%ld frames in %.2f s; the next is due after the check's %.0f s\n", frames,
                    took, checkSeconds);
    else
        std::printf("%ld frames in %.2f s: %.4g frames/s\n", frames, took, frames / took);
    if (video.skippedFrames() > 0)
        std::printf("%s\n", skippedFramesText(video.skippedFrames()).c_str());
    std::printf("a frame, from read to face: ");
    if (following.count() > 0)
        std::printf("%.1f ms median, %.1f ms p99, %.1f ms at most while following the face; ",
                    ms(following, 0.5), ms(following, 0.99), ms(following, 1));
    else
        std::printf("no face was followed; ");
    std::printf("whole-picture searches: %zu", wholeSearches.count());
    if (wholeSearches.count() > 0) std::printf(", %.1f ms median", ms(wholeSearches, 0.5));
    std::printf("\n");
    const VideoFrame& frame = camera.lastFrame();
    double between = frame.readTime - firstRead;
    if (video.isDevice() && frame.sequence > firstSequence && between > 0)
        std::printf(
            "the camera delivered %.1f frames/s by its frame numbers; frames it dropped for "
            "want of a free buffer: %ld, passed over for a newer one: %ld, damaged: %ld\n",
            (frame.sequence - firstSequence) / between, frame.dropped, frame.passedOver,
            frame.damaged);
    Durations age = camera.frameAges();
    if (age.count() > 0)
        std::printf(
            "frames were %.1f ms old (median, %.1f ms p99) when read, from the start of "
            "their exposure%s\n",
            ms(age, 0.5), ms(age, 0.99),
            frame.stamp == FrameStamp::endOfFrame
                ? " (the camera stamps the end of a frame: one frame period is taken off)"
                : "");
    else if (video.isDevice())
        std::printf("the camera stamps no exposure times: the frames' age is not known\n");
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
    const GreyImage& picture = frame.picture;
    errno = 0;
    if (!writeCheckPicture(picturePath, picture, last.faceFound ? &last.face : nullptr,
                           last.landmarked ? &last.shape : nullptr, caption)) {
        std::fprintf(stderr, "fishtank-track: cannot write %s: %s\n", picturePath.c_str(),
                     std::strerror(errno ? errno : EIO));
        return checkNotWritten;
    }
    std::printf("wrote %s\n", picturePath.c_str());
    if (!last.faceFound) {
        // Why there is no face, where the camera is at fault, rather than the user.
        if (picture.width < smallestPicture || picture.height < smallestPicture)
            std::printf(
                "no face: the pictures, %dx%d pixels, are too small to find one in "
                "(%dx%d at least)\n",
                picture.width, picture.height, smallestPicture, smallestPicture);
        else if (rate < lowestUsableRate)
            std::printf(
                "no face: %.4g frames/s is too low a rate to follow one "
                "(%.0f at least)\n",
                rate, lowestUsableRate);
        else if (last.unchanged)
            std::printf(
                "no face: the picture around it stopped changing, as a frozen or "
                "damaged video's does\n");
        else
            std::printf(
                "no face in the last picture: sit in front of the camera, facing it, "
                "in good light\n");
    } else if (rate < lowestUsableRate) {
        std::printf("%.4g frames/s is too low a rate to follow a face (%.0f at least)\n", rate,
                    lowestUsableRate);
    }
    // The report is lost on a full disk or a closed pipe: say so, as the status does.
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "fishtank-track: cannot write the check's report: %s\n",
                     std::strerror(errno ? errno : EIO));
        return checkNotWritten;
    }
    return last.faceFound ? 0 : 1;
}
