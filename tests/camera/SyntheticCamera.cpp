#include "tests/camera/SyntheticCamera.h"

#include <cmath>
#include <numbers>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>
#include <stdexcept>

#ifndef FISHTANK_TEST_DATA
#error "FISHTANK_TEST_DATA names the folder of astronaut-face.png"
#endif

namespace {
constexpr double headWidth = 24.0;  // cm across the face picture
}

SyntheticCamera::SyntheticCamera(int width, int height, double fieldOfView, unsigned seed)
    : width(width),
      height(height),
      focal(width / 2.0 / std::tan(fieldOfView / 2.0 * std::numbers::pi / 180.0)),
      noise(seed) {
    face = cv::imread(FISHTANK_TEST_DATA "/astronaut-face.png", cv::IMREAD_GRAYSCALE);
    if (face.empty()) throw std::runtime_error("cannot read astronaut-face.png");
    face.convertTo(face, CV_32F);
    // An oval with a soft edge: a head against the room, no square picture.
    mask.create(face.size(), CV_32F);
    for (int y = 0; y < face.rows; ++y)
        for (int x = 0; x < face.cols; ++x) {
            double dx = (x - face.cols / 2.0) / (face.cols / 2.0);
            double dy = (y - face.rows / 2.0) / (face.rows / 2.0);
            mask.at<float>(y, x) =
                static_cast<float>(std::clamp((1 - std::hypot(dx, dy)) / 0.15, 0.0, 1.0));
        }
    // A room: a wall lit from above with broad shading, a fine grain of its own, and the
    // edges of shelves, doors and pictures.
    cv::RNG room(seed + 1);
    cv::Mat shading(5, 7, CV_32F), grain(height, width, CV_32F);
    room.fill(shading, cv::RNG::UNIFORM, 90, 170);
    cv::resize(shading, background, {width, height}, 0, 0, cv::INTER_CUBIC);
    for (int y = 0; y < height; ++y) background.row(y) += 40.0 * (0.5 - double(y) / height);
    room.fill(grain, cv::RNG::NORMAL, 0, 6);
    cv::GaussianBlur(grain, grain, {0, 0}, 1.5);
    background += grain;
    for (int i = 0; i < 14; ++i) {
        cv::Point corner(room.uniform(0, width), room.uniform(0, height));
        cv::Size size(room.uniform(width / 20, width / 4), room.uniform(height / 20, height / 4));
        cv::rectangle(background, cv::Rect(corner, size), cv::Scalar(room.uniform(20, 240)), 2);
    }
}

HeadPose SyntheticCamera::at(const HeadPose& offset) {
    HeadPose head = neutral();
    head.x += offset.x, head.y += offset.y, head.z += offset.z;
    return head;
}

HeadPose SyntheticCamera::path(double t) {
    const double turn = 2 * std::numbers::pi;
    HeadPose offset;
    offset.x = 12 * std::sin(turn * t / 4);
    offset.y = 6 * std::sin(turn * t / 3);
    offset.z = 5 + 20 * std::sin(turn * t / 5 - std::asin(0.25));
    return offset;
}

cv::Mat SyntheticCamera::picture(const HeadPose& head, double t, bool withFace) {
    cv::Mat frame = background.clone();
    if (withFace) {
        // The pinhole: the face's centre lands f * X / Z from the picture's centre, to the
        // left for a head to the user's right; its width is f * headWidth / Z.
        double scale = focal * headWidth / head.z / face.cols;
        double u = width / 2.0 - focal * head.x / head.z;
        double v = height / 2.0 - focal * head.y / head.z;
        cv::Mat place = (cv::Mat_<double>(2, 3) << scale, 0, u - scale * (face.cols - 1) / 2.0, 0,
                         scale, v - scale * (face.rows - 1) / 2.0);
        cv::Mat drawn, weight;
        cv::warpAffine(face, drawn, place, frame.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT, 0);
        cv::warpAffine(mask, weight, place, frame.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT, 0);
        frame = frame.mul(1 - weight) + drawn.mul(weight);
    }
    frame *= 1.0 + 0.04 * std::sin(2 * std::numbers::pi * t / 2.5);
    cv::Mat grain(frame.size(), CV_32F);
    noise.fill(grain, cv::RNG::NORMAL, 0, 3);
    frame += grain;
    cv::Mat out;
    frame.convertTo(out, CV_8U);
    return out;
}

GreyImage SyntheticCamera::grey(const HeadPose& head, double t, bool withFace) {
    cv::Mat frame = picture(head, t, withFace);
    GreyImage image;
    image.width = frame.cols;
    image.height = frame.rows;
    image.pixels.assign(frame.datastart, frame.dataend);
    return image;
}

bool SyntheticCamera::writeVideo(const std::string& path, int width, int height, double seconds,
                                 const std::function<HeadPose(double)>& offsetAt, bool withFace) {
    SyntheticCamera camera(width, height, 60.0);
    cv::VideoWriter video(path, cv::CAP_FFMPEG, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'),
                          framesPerSecond, {width, height}, false);
    if (!video.isOpened()) return false;
    video.set(cv::VIDEOWRITER_PROP_QUALITY, 95);
    for (int k = 0; k < seconds * framesPerSecond; ++k) {
        double t = k / framesPerSecond;
        video.write(camera.picture(at(offsetAt(t)), t, withFace));
    }
    return true;
}

double deviation(const std::vector<double>& values) {
    double mean = 0, squares = 0;
    for (double v : values) mean += v / static_cast<double>(values.size());
    for (double v : values) squares += (v - mean) * (v - mean);
    return std::sqrt(squares / static_cast<double>(values.size()));
}

double frameToFrameJitter(const std::vector<double>& values) {
    std::vector<double> changes;
    for (std::size_t i = 1; i < values.size(); ++i) changes.push_back(values[i] - values[i - 1]);
    return deviation(changes) / std::sqrt(2.0);
}
