#include "camera/FaceFit.h"

#include <cmath>
#include <opencv2/calib3d.hpp>
#include <opencv2/core.hpp>
#include <vector>

namespace {
constexpr double largestStray = 0.1;  // RMS, of the eyes' distance in the picture
constexpr double largestYaw = 50.0, largestTilt = 40.0;  // degrees
// genericFace holds the nose's landmarks first, then each eye's.
constexpr int nosePoints = noseLandmarks.end - noseLandmarks.first;
// Each eye's centre counts as this many of the nose's points in the second fit: with
// fewer the distance jitters more on faces with glasses, with more it follows a turned
// head less well (measured on the tests' faces).
constexpr int eyeCentreWeight = 3;
}  // namespace

bool fitFace(const FaceShape& shape, const std::array<FacePoint, 2>& eyeCentres,
             const CameraGeometry& camera, FaceMeasure& face) {
    std::vector<cv::Point3d> model;
    std::vector<cv::Point2d> seen;
    for (const RigidLandmark& p : genericFace) {
        model.emplace_back(p.x, p.y, p.z);
        seen.emplace_back(shape[p.index].x, shape[p.index].y);
    }
    const double f = camera.focalLength();
    const cv::Matx33d intrinsics(f, 0, camera.width / 2.0, 0, f, camera.height / 2.0, 0, 0, 1);
    cv::Vec3d turn, place;
    if (!cv::solvePnP(model, seen, intrinsics, cv::noArray(), turn, place) || !(place[2] > 0))
        return false;
    // From there, the fit again with each eye's centre in place of its six points: the
    // centre, refined between pixels, is steadier than the corners, which jump by a pixel
    // or two from picture to picture behind the rims of glasses. The nose is not hidden
    // by glasses.
    std::vector<cv::Point3d> steadyModel(model.begin(), model.begin() + nosePoints);
    std::vector<cv::Point2d> steadySeen(seen.begin(), seen.begin() + nosePoints);
    cv::Point3d modelCentres[2];
    for (int eye = 0; eye < 2; ++eye) {
        const auto [first, end] = eyeLandmarks[eye];
        cv::Point3d& modelCentre = modelCentres[eye];
        for (int i = first; i < end; ++i)
            modelCentre += model[i - rigidLandmarks.first] / static_cast<double>(end - first);
        steadyModel.insert(steadyModel.end(), eyeCentreWeight, modelCentre);
        steadySeen.insert(steadySeen.end(), eyeCentreWeight,
                          cv::Point2d(eyeCentres[eye].x, eyeCentres[eye].y));
    }
    if (!cv::solvePnP(steadyModel, steadySeen, intrinsics, cv::noArray(), turn, place, true) ||
        !(place[2] > 0))
        return false;
    std::vector<cv::Point2d> fitted;
    cv::projectPoints(model, turn, place, intrinsics, cv::noArray(), fitted);
    double squares = 0;
    for (std::size_t i = 0; i < seen.size(); ++i) {
        cv::Point2d d = fitted[i] - seen[i];
        squares += d.dot(d) / static_cast<double>(seen.size());
    }
    const double eyes = apart(eyeCentre(shape, 0), eyeCentre(shape, 1));
    if (!(std::sqrt(squares) <= largestStray * eyes)) return false;
    // A face cut by the picture's edge: the predictor reads the pixels beyond as black.
    // (The chin may leave the picture of a user sitting close: the jaw is not fitted.)
    const double margin = eyes / 2;
    for (const RigidLandmark& r : genericFace) {
        const FacePoint& p = shape[r.index];
        if (p.x < margin || p.y < margin || p.x >= camera.width - margin ||
            p.y >= camera.height - margin)
            return false;
    }
    cv::Matx33d r;
    cv::Rodrigues(turn, r);
    FaceMeasure measured;
    double rotation[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) rotation[i][j] = r(i, j);
    anglesOf(rotation, measured);
    if (std::fabs(measured.yaw) > largestYaw || std::fabs(measured.pitch) > largestTilt ||
        std::fabs(measured.roll) > largestTilt)
        return false;
    measured.x = place[0], measured.y = place[1], measured.z = place[2];
    // Eye 0, on the picture's left, is the user's right eye.
    const cv::Vec3d rightEye = r * cv::Vec3d(modelCentres[0].x, modelCentres[0].y, modelCentres[0].z);
    measured.rightEye = {rightEye[0], rightEye[1], rightEye[2]};
    face = measured;
    return true;
}
