#include "app/CameraCheck.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/CameraWords.h"
#include "app/FrameCount.h"
#include "camera/CheckPicture.h"
#include "camera/FollowFrames.h"
#include "model/Durations.h"
#include "platform/Date.h"

namespace {
constexpr double checkSeconds = 2.0;

double ms(const Durations& d, double q) {
    return d.quantile(q) * 1000.0;
}

std::string framesText(long count) {
    return std::to_string(count) + (count == 1 ? " frame" : " frames");
}

// Why the last picture gave no pose, where the camera or the set-up is at fault rather
// than the user.
// `ended` says how the source ended before the check's time was up; empty if it did not.
void tellWhyNoPose(const FaceTrack& last, bool everPosed, const GreyImage& picture, double rate,
                   int smallestFace, const std::string& ended) {
    using Outcome = FaceTrack::Outcome;
    if (last.faceFound && everPosed) {
        if (rate < lowestUsableRate)
            std::printf("%.4g frames/s is too low a rate to follow a face (%.0f at least)\n", rate,
                        lowestUsableRate);
        return;
    }
    const char* what = last.faceFound ? "no pose" : "no face";
    if (last.outcome == Outcome::pictureTooSmall)
        std::printf(
            "no face: the pictures, %dx%d pixels, are too small to find one in (%dx%d at "
            "least)\n",
            picture.width, picture.height, smallestFace, smallestFace);
    else if (rate < lowestUsableRate)
        std::printf("%s: %.4g frames/s is too low a rate to follow a face (%.0f at least)\n", what,
                    rate, lowestUsableRate);
    else if (last.outcome == Outcome::frozen)
        std::printf(
            "no face: the picture around it stopped changing, as a frozen or damaged "
            "video's does\n");
    else if (last.outcome == Outcome::failed)
        std::printf("no pose: %s\n", last.error.c_str());
    else if (last.outcome == Outcome::notFitted)
        std::printf(
            "no pose: the face's landmarks fit no face turned as a head turns; is the "
            "camera's field of view right (--camera-fov, default 60)?\n");
    else if (!ended.empty())
        std::printf("%s: %s, too soon to follow a face (the check takes %.0f s of pictures)\n",
                    what, ended.c_str(), checkSeconds);
    else if (last.faceFound)
        std::printf(
            "no pose yet: the face has not held still long enough to take its neutral "
            "place\n");
    else
        std::printf(
            "no face in the last picture: sit in front of the camera, facing it, in good "
            "light\n");
}

// The true-scale picture's set-up: the screen and where its size comes from, the window, the
// camera's place, and the eye's place from the last pose.
void tellScreen(const CheckSetup& setup, const FaceTrack* lastPosed) {
    const std::optional<TrueScaleTracking>& trueScale = setup.tracking.trueScale;
    if (!trueScale) {
        if (!setup.screen.refusal.empty())
            std::printf(
                "screen: %s; the picture keeps the viewing angle (--screen WxH in "
                "centimetres, or Nin across the diagonal, gives the size)\n",
                setup.screen.refusal.c_str());
        else
            std::printf(
                "screen: not used, the picture keeps the viewing angle (--mapping "
                "angle)\n");
        return;
    }
    const ScreenSize size = trueScale->view.screen;
    std::printf("screen: %.1f x %.1f cm (%s)\n", size.width, size.height,
                setup.screen.given ? "--screen" : "the monitor");
    // The window's place is known once it opens, and the picture follows it as it moves.
    if (setup.fullScreen)
        std::printf("window: the whole screen\n");
    else if (std::optional<ScreenSize> window = windowSize(setup.screen, 720, 720))
        std::printf("window: 720x720 pixels, %.1f x %.1f cm, wherever it opens\n", window->width,
                    window->height);
    else
        std::printf("window: 720x720 pixels, its size in cm told by a display\n");
    std::printf("camera: %+.1f cm across and %+.1f cm up from the screen's centre\n",
                trueScale->cameraPlace.x, trueScale->cameraPlace.y);
    if (lastPosed) {
        const ScreenPoint eye =
            cameraEye(*trueScale, setup.tracking.mapping, lastPosed->pose, lastPosed->pose.pose);
        std::printf("eye: x %+.2f cm, y %+.2f cm, z %.2f cm from the screen's centre\n", eye.x,
                    eye.y, eye.z);
    }
}
}  // namespace

int checkCamera(VideoSource& video, FaceTracker& faces, OutputFile& picture,
                const CheckSetup& setup) {
    std::printf("camera %s: %s\n", video.name().c_str(), video.format().c_str());
    tellSettingsChanged(video);
    Durations following, wholeSearches, ages;
    FrameCount counted;
    VideoFrame frame;
    FaceTrack last, lastPosed;
    std::string ended;  // how the source ended, if it did
    const double start = monotonicSeconds(), end = start + checkSeconds;
    // A file's frame due after the end, by more than a frame at the lowest rate, is not
    // waited for: one at a very low rate would hold the check for minutes.
    const double latest = end + 1.0 / lowestUsableRate;
    const VideoSource::Read read =
        followFrames(video, faces, frame, [&](const VideoFrame& current, const FaceTrack& track) {
            if (std::isfinite(current.device.exposureStart))
                ages.add(current.device.readTime - current.device.exposureStart);
            const double processing = monotonicSeconds() - current.device.readTime;
            last = track;
            if (last.wholeSearch || last.faceFound)
                (last.wholeSearch ? wholeSearches : following).add(processing);
            if (last.outcome == FaceTrack::Outcome::posed) lastPosed = last;
            counted.add(current);
            return monotonicSeconds() < end && video.nextFrameDue() < latest;
        });
    if (read != VideoSource::Read::frame) {
        ended = std::string(read == VideoSource::Read::ended
                                ? "the file ended"
                                : "the camera stopped delivering pictures") +
                " after " + framesText(counted.count());
        std::printf("%s\n", ended.c_str());
    }
    if (counted.count() == 0) return 1;  // no picture to show: said above

    double took = monotonicSeconds() - start;
    // A file whose next frame is due after the check has its own rate told.
    const bool tooLate = ended.empty() && video.nextFrameDue() >= latest;
    // One frame tells no rate.
    double rate = tooLate                ? video.framesPerSecond()
                  : counted.count() == 1 ? NAN
                                         : counted.count() / took;
    const std::string frames = framesText(counted.count());
    if (tooLate)
        std::printf("%s in %.2f s; the next is due after the check's %.0f s\n", frames.c_str(),
                    took, checkSeconds);
    else if (std::isnan(rate))
        std::printf("%s: no rate from one frame\n", frames.c_str());
    else
        std::printf("%s in %.2f s: %.4g frames/s\n", frames.c_str(), took, rate);
    if (video.skippedFrames() > 0)
        std::printf("%s\n", skippedFramesText(video.skippedFrames()).c_str());
    // A device's rate told as the program tells it.
    if (video.isDevice() && !(rate < lowestUsableRate)) {
        const std::string low = lowRateText(video.name(), counted, video.framesPerSecond());
        if (!low.empty()) std::printf("%s\n", low.c_str());
    }
    std::printf("a frame, from read to face: ");
    if (following.count() > 0)
        std::printf("%.1f ms median, %.1f ms p99, %.1f ms at most while following the face; ",
                    ms(following, 0.5), ms(following, 0.99), ms(following, 1));
    else
        std::printf("no face was followed; ");
    std::printf("whole-picture searches: %zu", wholeSearches.count());
    if (wholeSearches.count() > 0) std::printf(", %.1f ms median", ms(wholeSearches, 0.5));
    std::printf("\n");
    if (video.isDevice() && counted.deliveredRate() > 0)
        std::printf(
            "the camera delivered %.1f frames/s by its frame numbers; frames it dropped for "
            "want of a free buffer: %ld, passed over for a newer one: %ld, damaged: %ld\n",
            counted.deliveredRate(), counted.dropped(), counted.passedOver(), counted.damaged());
    if (ages.count() > 0)
        std::printf(
            "frames were %.1f ms old (median, %.1f ms p99) when read, from the start of "
            "their exposure%s\n",
            ms(ages, 0.5), ms(ages, 0.99),
            frame.device.stamp == FrameStamp::endOfFrame
                ? " (the camera stamps the end of a frame: one frame period is taken off)"
                : "");
    else if (video.isDevice())
        std::printf("the camera stamps no exposure times: the frames' age is not known\n");
    else
        std::printf(
            "the source stamps no exposure times (a file has none): the frames' age "
            "is not known\n");

    const bool everPosed = lastPosed.outcome == FaceTrack::Outcome::posed;
    char caption[160] = "no face";
    if (last.faceFound) {
        std::printf("face: %.0f pixels across at (%.1f, %.1f) in the picture\n", last.face.size,
                    last.face.x, last.face.y);
        if (const FacePoses* poses = faces.poses(); poses && poses->isCentred()) {
            HeadPose neutral = poses->neutralPlace();
            std::printf("neutral place: %+.1f cm across and %+.1f cm up from the camera, ",
                        neutral.x, neutral.y);
            if (poses->distanceGiven())
                std::printf("%.0f cm away as given (measured: %.1f cm)\n", neutral.z,
                            poses->measuredDistance());
            else
                std::printf("%.1f cm away (measured)\n", neutral.z);
        }
        if (everPosed) {
            const HeadPose& p = lastPosed.pose.pose;
            std::printf("head: x %+.2f cm, y %+.2f cm, z %+.2f cm from the neutral place\n", p.x,
                        p.y, p.z);
            std::printf(
                "head: %.1f cm from the camera (measured); turned yaw %+.0f, pitch %+.0f, "
                "roll %+.0f degrees\n",
                lastPosed.measure.z, p.yaw, p.pitch, p.roll);
            std::snprintf(caption, sizeof caption,
                          "head x %+.1f y %+.1f z %+.1f cm, %.0f cm away, yaw %+.0f pitch %+.0f "
                          "roll %+.0f",
                          p.x, p.y, p.z, lastPosed.measure.z, p.yaw, p.pitch, p.roll);
        } else {
            std::snprintf(caption, sizeof caption, "face found, no pose");
        }
    }
    tellScreen(setup, everPosed ? &lastPosed : nullptr);
    const std::vector<unsigned char> png =
        checkPicturePng(frame.picture, last.faceFound ? &last.face : nullptr,
                        last.landmarked ? &last.shape : nullptr, caption);
    std::string error;
    if (!picture.write(
            [&](std::FILE* file) {
                return !png.empty() && std::fwrite(png.data(), 1, png.size(), file) == png.size();
            },
            error)) {
        std::fprintf(stderr, "fishtank-track: cannot write %s: %s\n", picture.name().c_str(),
                     error.c_str());
        return checkNotWritten;
    }
    std::printf("wrote %s\n", picture.name().c_str());
    tellWhyNoPose(last, everPosed, frame.picture, rate, faces.smallestFace(), ended);
    // The report is lost on a full disk or a closed pipe: say so, as the status does.
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "fishtank-track: cannot write the check's report: %s\n",
                     std::strerror(errno ? errno : EIO));
        return checkNotWritten;
    }
    return last.faceFound && everPosed ? 0 : 1;
}
