#include "camera/FaceTracker.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>

#include "camera/FaceFit.h"
#include "platform/Date.h"

namespace {
// The finder's box holds the face from the brows to the mouth; the landmarks' mean shape
// is laid in a box this much larger (from the brows to the chin and across the jaw).
constexpr double landmarkBoxScale = 1.37;
// Pictures in a row whose face's box stays byte for byte as it was, after which the source
// is taken as stuck: a frozen video. A compressed video copies a still face's blocks, and a
// heavily compressed one may keep half of a speaking face (its eyes) for most of a second:
// a box only partly unchanged means stale pixels (a video whose pictures changed size
// midway) only after much longer.
constexpr int stillPicturesFrozen = 15;
constexpr int partlyStillPicturesStale = 45;
// What is kept of the picture before around its face, of the face's size beyond its box.
constexpr double keptMargin = 0.5;

// The pixels of a face's box grown by `margin` times its size on each side, within a
// picture of width x height: columns [left, right), rows [top, bottom).
struct Region {
    int left, top, right, bottom;
};
Region regionAround(const FaceBox& face, double margin, int width, int height) {
    double half = face.size * (0.5 + margin);
    auto within = [](double v, int size) { return std::clamp(static_cast<int>(v), 0, size); };
    return {within(face.x - half, width), within(face.y - half, height),
            within(face.x + half, width), within(face.y + half, height)};
}
}  // namespace

FaceTracker::FaceTracker(double fieldOfView, double distance, const std::string& landmarkModel)
    : fieldOfView(fieldOfView), distance(distance) {
    landmarks.load(landmarkModel);
}

void FaceTracker::recentre() {
    if (facePoses) facePoses->recentre();
}

FaceTrack FaceTracker::track(const VideoFrame& frame) {
    FaceTrack track;
    try {
        measure(frame.picture, track);
    } catch (const std::exception& e) {
        track.outcome = FaceTrack::Outcome::failed;
        track.error = e.what();
    }
    if (track.outcome == FaceTrack::Outcome::posed) {
        track.pose.readTime = frame.device.readTime;
        track.pose.takenAt = frame.takenAt;
        track.pose.exposureStart = frame.device.exposureStart;
    }
    return track;
}

void FaceTracker::measure(const GreyImage& picture, FaceTrack& track) {
    if (!facePoses || facePoses->geometry().width != picture.width ||
        facePoses->geometry().height != picture.height)
        facePoses.emplace(CameraGeometry{picture.width, picture.height, fieldOfView}, distance);
    track.faceFound = finder.find(picture, track.face);
    track.wholeSearch = finder.searchedWholePicture();
    const double unchanged = track.faceFound ? unchangedAround(picture, track.face) : 0.0;
    stillInARow = unchanged == 1.0 ? stillInARow + 1 : 0;
    partlyStillInARow = unchanged >= 0.5 ? partlyStillInARow + 1 : 0;
    keepAround(picture, track.faceFound ? track.face : FaceBox{});
    if (stillInARow >= stillPicturesFrozen || partlyStillInARow >= partlyStillPicturesStale) {
        track.faceFound = false;
        track.outcome = FaceTrack::Outcome::frozen;
        return;
    }
    if (!track.faceFound) {
        if (std::min(picture.width, picture.height) < finder.smallestFace())
            track.outcome = FaceTrack::Outcome::pictureTooSmall;
        return;
    }
    landmarks.place(picture, {track.face.x, track.face.y, track.face.size * landmarkBoxScale},
                    track.shape);
    track.landmarked = true;
    const std::array<FacePoint, 2> eyeCentres =
        eyes.centres(picture, track.shape, facePoses->isTakingNeutral());
    if (!fitFace(track.shape, eyeCentres, facePoses->geometry(), track.measure)) {
        track.outcome = FaceTrack::Outcome::notFitted;
        return;
    }
    // The finder follows boxes of its own kind, corrected to where the landmarks are, and
    // to the size of the eyes' refined centres: landmarks laid in a box too large come out
    // nearly as large, or larger (a face in a dim room), where the eyes' match does not.
    FaceBox fitted = landmarks.boxOf(track.shape);
    fitted.size *= apart(eyeCentres[0], eyeCentres[1]) /
                   apart(eyeCentre(track.shape, 0), eyeCentre(track.shape, 1));
    if (std::isfinite(fitted.x) && std::isfinite(fitted.y) && std::isfinite(fitted.size) &&
        fitted.size > 1.0)
        finder.correct(picture, {fitted.x, fitted.y, fitted.size / landmarkBoxScale});
    if (!facePoses->poseFor(track.measure, track.pose.pose)) {
        track.outcome = FaceTrack::Outcome::centring;
        return;
    }
    track.pose.neutral = facePoses->neutralPlace();
    track.pose.rightEye = facePoses->inPoseAxes(track.measure.rightEye);
    track.outcome = FaceTrack::Outcome::posed;
}

void FaceTracker::check(const GreyImage& picture) {
    try {
        finder.confirm(picture);
    } catch (const std::exception&) {
        // Only the check is lost: the next picture's track() follows the face without it.
    }
}

// The share of the rows of the face's box that hold the same pixels as in the picture
// before. A camera's noise changes every row; stale pixels, or a frozen picture, do not.
// A box beyond what was kept of the picture before counts as changed.
double FaceTracker::unchangedAround(const GreyImage& now, const FaceBox& face) const {
    if (before.pictureWidth != now.width || before.pictureHeight != now.height) return 0.0;
    Region box = regionAround(face, 0.0, now.width, now.height);
    const GreyImage& kept = before.part;
    if (box.right <= box.left || box.bottom <= box.top || box.left < before.left ||
        box.top < before.top ||
        box.right > before.left + kept.width || box.bottom > before.top + kept.height)
        return 0.0;
    int same = 0;
    for (int row = box.top; row < box.bottom; ++row) {
        std::size_t at = static_cast<std::size_t>(row) * static_cast<std::size_t>(now.width) +
                         static_cast<std::size_t>(box.left);
        std::size_t keptAt =
            static_cast<std::size_t>(row - before.top) * static_cast<std::size_t>(kept.width) +
            static_cast<std::size_t>(box.left - before.left);
        same += std::memcmp(&now.pixels[at], &kept.pixels[keptAt],
                            static_cast<std::size_t>(box.right - box.left)) == 0;
    }
    return static_cast<double>(same) / (box.bottom - box.top);
}

// Keeps the picture's pixels around `face` for the next picture's unchangedAround(), in the
// same storage picture after picture; none without a face (its box is empty then).
void FaceTracker::keepAround(const GreyImage& now, const FaceBox& face) {
    Region region = regionAround(face, keptMargin, now.width, now.height);
    before.pictureWidth = now.width;
    before.pictureHeight = now.height;
    before.left = region.left;
    before.top = region.top;
    GreyImage& kept = before.part;
    kept.width = region.right - region.left;
    kept.height = region.bottom - region.top;
    const auto width = static_cast<std::size_t>(kept.width);
    kept.pixels.resize(width * static_cast<std::size_t>(kept.height));
    for (int row = 0; row < kept.height; ++row)
        std::memcpy(
            kept.pixels.data() + static_cast<std::size_t>(row) * width,
            now.pixels.data() +
                static_cast<std::size_t>(region.top + row) * static_cast<std::size_t>(now.width) +
                static_cast<std::size_t>(region.left),
            width);
}
