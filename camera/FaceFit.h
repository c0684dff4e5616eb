#pragma once

#include "model/FaceGeometry.h"

// Measures the face whose landmarks are `shape`: the generic face (model/FaceGeometry.h)
// is turned and placed where its rigid landmarks' picture matches them best (a
// perspective fit, OpenCV's solvePnP: over its 21 points, then again over the nose and
// `eyeCentres`, the eyes' centres as camera/EyeRefiner.h places them), which gives the
// eyes' midpoint in centimetres and the head's angles. The fit over many points brings
// back the precision that each landmark alone lacks. False, leaving `face` as it was,
// when the fit fails its checks: the landmarks stray from the fitted face by more than a
// tenth of the eyes' distance, an eye or the nose lies within half the eyes' distance of
// the picture's edge (the face is cut), or the head is turned beyond what the landmarks
// can follow.
bool fitFace(const FaceShape& shape, const std::array<FacePoint, 2>& eyeCentres,
             const CameraGeometry& camera, FaceMeasure& face);
