#include "view/PoseToEye.h"

#include <algorithm>

ScreenPoint cameraEye(const TrueScaleTracking& trueScale, const HeadMapping& mapping,
                      const CameraPose& newest, const HeadPose& head) {
    const Vector3 moved = mapping.offsetFor(head);
    const Vector3 neutral = mapping.inverted({newest.neutral.x, newest.neutral.y, 0.0});
    return {trueScale.cameraPlace.x + neutral.x + moved.x,
            trueScale.cameraPlace.y + neutral.y + moved.y, newest.neutral.z + moved.z};
}

PoseToEye::PoseToEye(const TrackingSettings& settings)
    : settings(settings),
      xFilter(settings.sideways.minCutoff, settings.sideways.beta),
      yFilter(settings.sideways.minCutoff, settings.sideways.beta),
      zFilter(settings.distance.minCutoff, settings.distance.beta),
      predictor(cameraSidewaysMotion, cameraDistanceMotion) {}

void PoseToEye::add(const HeadPose& pose, double arrival) {
    if (settings.filtering == Filtering::motion) return predictor.add(pose, arrival);
    HeadPose head = pose;
    if (settings.filtering == Filtering::oneEuro) {
        head.x = xFilter.filter(pose.x, arrival);
        head.y = yFilter.filter(pose.y, arrival);
        head.z = zFilter.filter(pose.z, arrival);
    }
    smoothed = head;
}

bool PoseToEye::add(const CameraPose& pose, double arrival) {
    const bool moved = camera && (pose.neutral.x != camera->neutral.x ||
                                  pose.neutral.y != camera->neutral.y ||
                                  pose.neutral.z != camera->neutral.z);
    if (moved) reset();
    camera = pose;
    settings.mapping.distance = pose.neutral.z;
    // The motion filter takes the picture's time; the others the pose's arrival.
    add(pose.pose, settings.filtering == Filtering::motion ? pose.takenAt : arrival);
    return moved;
}

HeadPose PoseToEye::headAt(double seen) const {
    if (settings.filtering != Filtering::motion) return smoothed.value_or(HeadPose{});
    return settings.predict ? predictor.predict(seen) : predictor.predict(predictor.time());
}

double PoseToEye::horizon(double seen) const {
    if (settings.filtering != Filtering::motion || !settings.predict) return 0.0;
    return std::clamp(seen - predictor.time(), 0.0, MotionFilter::maxHorizon);
}

// A camera's eye is placed absolutely, from the camera's place; a tracker's pose is an
// offset from the eye centred at the viewing distance.
EyePlacement PoseToEye::place(const HeadPose& head) const {
    EyePlacement placement;
    const HeadMapping& mapping = settings.mapping;
    if (!settings.trueScale) {
        mapping.headFor(head, placement.head[0], placement.head[1], placement.head[2]);
        return placement;
    }
    placement.kind = EyePlacement::Kind::eye;
    if (!camera) {
        const Vector3 moved = mapping.offsetFor(head);
        placement.eye = {moved.x, moved.y, settings.trueScale->view.distance + moved.z};
        return placement;
    }
    const ScreenPoint eye = cameraEye(*settings.trueScale, mapping, *camera, head);
    placement.eye = eye;
    if (settings.trueScale->view.stereo == Stereo::off) return placement;
    placement.kind = EyePlacement::Kind::eyes;
    const Vector3 right = mapping.inverted(camera->rightEye);
    placement.left = {eye.x - right.x, eye.y - right.y, eye.z - right.z};
    placement.right = {eye.x + right.x, eye.y + right.y, eye.z + right.z};
    return placement;
}

void PoseToEye::reset() {
    xFilter.reset();
    yFilter.reset();
    zFilter.reset();
    predictor.reset();
    smoothed.reset();
}
