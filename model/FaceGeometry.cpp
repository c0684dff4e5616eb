#include "model/FaceGeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

const std::array<RigidLandmark, rigidLandmarks.end - rigidLandmarks.first> genericFace{{
    // The nose's ridge, from between the eyes to its tip, then its base from right to left.
    {27, 0.0, -0.2, -0.6},
    {28, 0.0, 1.1, -1.0},
    {29, 0.0, 2.3, -1.7},
    {30, 0.0, 3.6, -2.4},
    {31, -1.6, 4.2, -0.2},
    {32, -0.8, 4.45, -0.9},
    {33, 0.0, 4.6, -1.1},
    {34, 0.8, 4.45, -0.9},
    {35, 1.6, 4.2, -0.2},
    // The eye on the picture's left: outer corner, upper lid, inner corner, lower lid.
    {36, -4.65, 0.0, 1.3},
    {37, -3.65, -0.45, -0.3},
    {38, -2.65, -0.45, -0.3},
    {39, -1.65, 0.0, 0.3},
    {40, -2.65, 0.45, -0.3},
    {41, -3.65, 0.45, -0.3},
    // The other eye: inner corner, upper lid, outer corner, lower lid.
    {42, 1.65, 0.0, 0.3},
    {43, 2.65, -0.45, -0.3},
    {44, 3.65, -0.45, -0.3},
    {45, 4.65, 0.0, 1.3},
    {46, 3.65, 0.45, -0.3},
    {47, 2.65, 0.45, -0.3},
}};

double apart(const FacePoint& a, const FacePoint& b) {
    return std::hypot(b.x - a.x, b.y - a.y);
}

FacePoint eyeCentre(const FaceShape& shape, int eye) {
    const LandmarkRange points = eyeLandmarks[eye];
    const int count = points.end - points.first;
    FacePoint centre;
    for (int i = points.first; i < points.end; ++i)
        centre.x += shape[i].x / count, centre.y += shape[i].y / count;
    return centre;
}

double CameraGeometry::focalLength() const {
    return width / 2.0 / std::tan(horizontalFieldOfView / 2.0 * std::numbers::pi / 180.0);
}

void anglesOf(const double (&r)[3][3], FaceMeasure& face) {
    // r = Ry(yaw) Rx(-pitch) Rz(-roll) about the camera's axes (y down): a face turning to
    // the user's right turns its nose to the picture's left, looking up raises it, and
    // tilting to the right shoulder moves the top of the head to the picture's left.
    const double degrees = 180.0 / std::numbers::pi;
    face.yaw = std::atan2(r[0][2], r[2][2]) * degrees;
    face.pitch = std::asin(std::clamp(r[1][2], -1.0, 1.0)) * degrees;
    face.roll = -std::atan2(r[1][0], r[1][1]) * degrees;
}

bool FacePoses::poseFor(const FaceMeasure& face, HeadPose& pose) {
    if (taking) {
        // A mean of several faces: one picture's jitter does not become neutral.
        const bool first = !centred;
        std::copy(recent.begin() + 1, recent.end(), recent.begin());
        recent.back() = face;
        centring = std::min(centring + 1, facesToCentre);
        if (centring == facesToCentre) {
            FaceMeasure mean{};
            double nearest = recent[0].z, farthest = recent[0].z;
            for (const FaceMeasure& f : recent) {
                mean.x += f.x / facesToCentre;
                mean.y += f.y / facesToCentre;
                mean.z += f.z / facesToCentre;
                nearest = std::min(nearest, f.z);
                farthest = std::max(farthest, f.z);
            }
            if (farthest - nearest <= centredSpread * mean.z) {
                neutral = mean;
                centred = true;
                taking = false;
            }
        }
        if (first) return false;
    }
    const Vector3 moved = inPoseAxes({face.x - neutral.x, face.y - neutral.y, face.z - neutral.z});
    pose = {};
    pose.x = moved.x;
    pose.y = moved.y;
    pose.z = moved.z;
    pose.yaw = face.yaw;
    pose.pitch = face.pitch;
    pose.roll = face.roll;
    return true;
}

Vector3 FacePoses::inPoseAxes(const Vector3& offset) const {
    const double k = scale();
    return {-offset.x * k, -offset.y * k, offset.z * k};
}

HeadPose FacePoses::neutralPlace() const {
    const Vector3 place = inPoseAxes({neutral.x, neutral.y, neutral.z});
    HeadPose pose;
    pose.x = place.x;
    pose.y = place.y;
    pose.z = place.z;
    return pose;
}
