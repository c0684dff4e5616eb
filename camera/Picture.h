#pragma once

#include <opencv2/core.hpp>

#include "platform/GreyImage.h"

// Helpers the face's steps share for looking at pictures.

// `picture` as an OpenCV matrix, without a copy: valid while `picture` is.
cv::Mat matOf(const GreyImage& picture);

// The `side` pixels around `centre` of `picture`, each sample `scale` of the picture's
// pixels apart and the whole turned by `turn` radians (bilinear; the edges repeated).
cv::Mat sampleAround(const cv::Mat& picture, cv::Point2d centre, double scale, double turn,
                     cv::Size side);

// Normalised cross-correlation below this is no match.
constexpr double weakestMatch = 0.6;

// The vertex of the parabola through (-1, a), (0, b), (1, c), when b is its peak: where a
// match peaks between samples.
double peakOffset(double a, double b, double c);

// The best place of `patch` in `window` (normalised cross-correlation), refined between
// pixels, in the window's pixels from the place where the patch lies at its centre.
struct Match {
    double score = 0;  // NaN for a flat window or patch
    cv::Point2d offset;
    bool onEdge = false;  // at the search's edge: the true peak may lie beyond
};
Match bestMatch(const cv::Mat& window, const cv::Mat& patch);
