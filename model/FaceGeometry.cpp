#include "model/FaceGeometry.h"

#include <cmath>
#include <numbers>

double CameraGeometry::focalLength() const {
    return width / 2.0 / std::tan(horizontalFieldOfView / 2.0 * std::numbers::pi / 180.0);
}

bool FacePoses::poseFor(const FaceBox& face, HeadPose& pose) {
    if (!isCentred()) {
        // A running mean of the first faces: one picture's jitter does not become neutral.
        ++centring;
        neutral.x += (face.x - neutral.x) / centring;
        neutral.y += (face.y - neutral.y) / centring;
        neutral.size += (face.size - neutral.size) / centring;
        return false;
    }
    const double f = camera.focalLength();
    const double cx = camera.width / 2.0, cy = camera.height / 2.0;
    const double depth = distance * neutral.size / face.size;
    const HeadPose zero = neutralPlace();
    pose = {};
    pose.x = -(face.x - cx) * depth / f - zero.x;
    pose.y = -(face.y - cy) * depth / f - zero.y;
    pose.z = depth - distance;
    return true;
}

HeadPose FacePoses::neutralPlace() const {
    const double f = camera.focalLength();
    HeadPose place;
    place.x = -(neutral.x - camera.width / 2.0) * distance / f;
    place.y = -(neutral.y - camera.height / 2.0) * distance / f;
    place.z = distance;
    return place;
}
