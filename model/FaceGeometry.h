#pragma once

#include <array>

#include "model/HeadPose.h"

// Where a face is in a camera's picture, in pixels: the centre of its square box and the
// box's side (x to the right, y down, origin at the picture's top left corner).
struct FaceBox {
    double x = 0, y = 0, size = 0;
};

// A face's 68 landmarks in a picture, in pixels, numbered as in the iBUG 300-W faces.
struct FacePoint {
    double x = 0, y = 0;
};
constexpr int faceLandmarks = 68;
using FaceShape = std::array<FacePoint, faceLandmarks>;
// Ranges of that numbering, [first, end).
struct LandmarkRange {
    int first, end;
};
constexpr LandmarkRange noseLandmarks{27, 36};
// Eye 0 (on the picture's left), then eye 1: six landmarks each.
constexpr LandmarkRange eyeLandmarks[2] = {{36, 42}, {42, 48}};
// The nose and the eyes: what does not move with speech or expression.
constexpr LandmarkRange rigidLandmarks{27, 48};
// The centre of eye 0 or 1: the mean of its six landmarks.
FacePoint eyeCentre(const FaceShape& shape, int eye);
// The distance between two points of a picture, pixels.
double apart(const FacePoint& a, const FacePoint& b);

// A pinhole camera at the top centre of the screen, its axis square to the screen and
// looking at the user, its picture not mirrored: the user moving to their right moves the
// face to the left in the picture.
struct CameraGeometry {
    int width = 640, height = 480;        // the picture, pixels
    double horizontalFieldOfView = 60.0;  // degrees

    // f = (width / 2) / tan(fov / 2), in pixels: a point at angle a from the axis lands
    // f * tan(a) pixels from the picture's centre.
    double focalLength() const;
};

// The parts of an adult face that do not move with speech or expression, as landmarks of
// a generic face in centimetres: the nose and the eyes' corners and lids (rigidLandmarks,
// in that order).
// The face looks at the camera; x is to the right in the picture (the user's left), y
// down, z away from the camera, and the origin is the midpoint between the eyes' centres
// (each eye's centre the mean of its six points), 6.3 cm apart as adults' are on average
// (SD 0.35 cm). The nose stands 2.4 cm in front of the eyes; the outer eye corners lie
// 1.6 cm behind the inner ones.
struct RigidLandmark {
    int index;
    double x, y, z;
};
extern const std::array<RigidLandmark, rigidLandmarks.end - rigidLandmarks.first> genericFace;
constexpr double eyeCentresApart = 6.3;  // cm

// A face measured in a camera picture: the place of the midpoint between its eyes in
// centimetres from the camera (x to the right in the picture, y down, z along the axis)
// and the head's turn in degrees (see HeadPose::yaw and anglesOf()).
struct FaceMeasure {
    double x = 0, y = 0, z = 0;
    double yaw = 0, pitch = 0, roll = 0;
    Vector3 rightEye{};  // the user's right eye's centre from the midpoint, in the same axes
};

// The head's angles from the rotation (row-major) that takes the generic face to the
// camera's frame, taken as yaw, then pitch, then roll: yaw > 0 when the user turns their
// face to their own right, pitch > 0 when they look up, roll > 0 when the head tilts
// toward their right shoulder.
void anglesOf(const double (&rotation)[3][3], FaceMeasure& face);

// Turns measured faces into head poses the way a head tracker reports them: offsets in
// centimetres from the neutral place, the face's mean place over its first few pictures
// in a row whose distances agree (since the start or the last recentring). While the
// face's box is still settling on the face (a face detector's first box can be a third too
// large, and the landmarks laid in it agree with it for several pictures), the measured
// distance wanders by more than a still head's, and such pictures are not taken.
//
// The measure is in real centimetres (the generic face's eyes are as far apart as an
// average adult's), and so is the pose: (X - X0, Y - Y0, Z - Z0), with X the user's
// right (the measure's -x) and Y up (its -y). Where the user gives the viewing distance D,
// the whole place is scaled by D / Z0: the neutral place is then D away, and the user's
// own eye distance does not matter.
class FacePoses {
  public:
    static constexpr int facesToCentre = 10;       // a third of a second at 30 frames/s
    static constexpr double centredSpread = 0.05;  // of the distance, nearest to farthest

    // `distance` 0: the neutral distance is the measured one.
    FacePoses(const CameraGeometry& camera, double distance) : camera(camera), distance(distance) {}

    // The pose of the user whose face is measured so; false until the first neutral place
    // is taken. While a new one is taken, poses go on from the old one.
    bool poseFor(const FaceMeasure& face, HeadPose& pose);
    // A measured offset (x to the right in the picture, y down, z away) in the poses' axes
    // and scale: x to the user's right, y up.
    Vector3 inPoseAxes(const Vector3& offset) const;
    // Takes the next faces' place as the neutral one.
    void recentre() { centring = 0, taking = true; }
    bool isCentred() const { return centred; }
    bool isTakingNeutral() const { return taking; }
    // The neutral place, relative to the camera: X0, Y0 and its distance in centimetres.
    HeadPose neutralPlace() const;
    // The neutral distance as measured, before any scaling to the given distance.
    double measuredDistance() const { return neutral.z; }
    bool distanceGiven() const { return distance > 0; }
    const CameraGeometry& geometry() const { return camera; }

  private:
    double scale() const { return distance > 0 ? distance / neutral.z : 1.0; }

    CameraGeometry camera;
    double distance;
    int centring = 0;  // faces seen while centring, up to facesToCentre
    std::array<FaceMeasure, facesToCentre> recent{};  // the last of them, the newest last
    bool centred = false;  // a neutral place has been taken
    bool taking = true;    // a neutral place is being taken
    FaceMeasure neutral{};  // their mean place
};
