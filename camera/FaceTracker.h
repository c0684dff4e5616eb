#pragma once

#include <optional>
#include <string>

#include "camera/EyeRefiner.h"
#include "camera/FaceFinder.h"
#include "camera/FaceLandmarks.h"
#include "camera/VideoSource.h"
#include "model/CameraPose.h"
#include "model/FaceGeometry.h"
#include "model/HeadPose.h"

// What one picture came to: as far as the face was followed, and why it gave no pose.
struct FaceTrack {
    enum class Outcome {
        posed,
        noFace,
        pictureTooSmall,  // for the detector's least face
        frozen,           // the picture around the face has stopped changing
        notFitted,        // no face fits the landmarks: strayed, cut by the edge, turned far
        centring,         // the neutral place is being taken
        failed            // an error (`error` says which): no pose, nothing else lost
    };
    Outcome outcome = Outcome::noFace;
    bool wholeSearch = false;  // the face was searched for in the whole picture
    bool faceFound = false;
    FaceBox face;
    bool landmarked = false;
    FaceShape shape{};
    FaceMeasure measure;
    CameraPose pose{};  // when posed
    std::string error;
};

// The camera's pictures to head poses, one picture at a time: the face found and followed,
// its landmarks placed, the eyes' centres refined, a generic face fitted, and the eyes'
// place turned into a pose from the neutral place. No thread and nothing printed: the
// capture thread, the set-up check and the tests all drive it the same way,
//   FaceTrack track = tracker.track(frame);  // hand on track.pose at once, then
//   tracker.check(frame.picture);            // the face checked, for the pictures to come
class FaceTracker {
  public:
    // `distance` 0: the neutral distance is measured. Reads the face detector's model and
    // the landmarks' (a fifth of a second); throws std::runtime_error naming the file and
    // what is wrong with it.
    FaceTracker(double fieldOfView, double distance,
                const std::string& landmarkModel = FaceLandmarks::modelPath);

    FaceTrack track(const VideoFrame& frame);
    // The face detector checks the followed face; costs the pose no latency after track().
    void check(const GreyImage& picture);
    // The next faces' place becomes the neutral one.
    void recentre();
    // The neutral place, once the pictures' size is known.
    const FacePoses* poses() const { return facePoses ? &*facePoses : nullptr; }
    int smallestFace() const { return finder.smallestFace(); }

  private:
    void measure(const GreyImage& picture, FaceTrack& track);
    double unchangedAround(const GreyImage& picture, const FaceBox& face) const;
    void keepAround(const GreyImage& picture, const FaceBox& face);

    const double fieldOfView, distance;
    FaceFinder finder;
    FaceLandmarks landmarks;
    EyeRefiner eyes;
    std::optional<FacePoses> facePoses;  // made for the pictures' size
    // The picture before, only around its face, to tell a picture that stopped changing.
    struct Kept {
        int pictureWidth = 0, pictureHeight = 0;
        int left = 0, top = 0;
        GreyImage part;  // empty when no face was found
    } before;
    // Pictures in a row whose face's box is wholly, and at least half, unchanged.
    int stillInARow = 0, partlyStillInARow = 0;
};
