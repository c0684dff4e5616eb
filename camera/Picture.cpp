#include "camera/Picture.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

cv::Mat matOf(const GreyImage& picture) {
    return cv::Mat(picture.height, picture.width, CV_8U,
                   const_cast<std::uint8_t*>(picture.pixels.data()));
}

cv::Mat sampleAround(const cv::Mat& picture, cv::Point2d centre, double scale, double turn,
                     cv::Size side) {
    // From the sample's pixels, counted from its middle, to the picture's.
    const double c = scale * std::cos(turn), s = scale * std::sin(turn);
    const double middleX = (side.width - 1) / 2.0, middleY = (side.height - 1) / 2.0;
    const cv::Matx23d toPicture(c, -s, centre.x - c * middleX + s * middleY, s, c,
                                centre.y - s * middleX - c * middleY);
    cv::Mat sample;
    cv::warpAffine(picture, sample, toPicture, side, cv::INTER_LINEAR | cv::WARP_INVERSE_MAP,
                   cv::BORDER_REPLICATE);
    return sample;
}

double peakOffset(double a, double b, double c) {
    double curvature = a - 2 * b + c;
    return curvature < 0 ? std::clamp(0.5 * (a - c) / curvature, -0.5, 0.5) : 0.0;
}

Match bestMatch(const cv::Mat& window, const cv::Mat& patch) {
    cv::Mat map;
    cv::matchTemplate(window, patch, map, cv::TM_CCOEFF_NORMED);
    Match match;
    cv::Point at;
    cv::minMaxLoc(map, nullptr, &match.score, nullptr, &at);
    auto score = [&](int x, int y) { return static_cast<double>(map.at<float>(y, x)); };
    const bool inX = at.x > 0 && at.x<map.cols - 1, inY = at.y> 0 && at.y < map.rows - 1;
    match.onEdge = !inX || !inY;
    match.offset = {at.x - (map.cols - 1) / 2.0, at.y - (map.rows - 1) / 2.0};
    if (inX)
        match.offset.x += peakOffset(score(at.x - 1, at.y), match.score, score(at.x + 1, at.y));
    if (inY)
        match.offset.y += peakOffset(score(at.x, at.y - 1), match.score, score(at.x, at.y + 1));
    return match;
}
