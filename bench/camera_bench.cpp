// Measures the camera as a head tracker on synthetic videos (tests/camera/face_video.cpp):
//   camera-bench times VIDEO          per-frame processing, following the face (and placing
//                                     its landmarks alone) and searching the whole picture:
//                                     min, p50, p99, max
//   camera-bench accuracy STILL PATH  the share of frames with a pose, how closely the raw
//                                     poses follow the moving head, and how still they
//                                     hold a still one (the drawn head's:
//                                     bench/filter_bench.cpp)
//   camera-bench decode VIDEO         the MJPG frames of a video decoded to grey as the
//                                     camera device decodes them, against the capture
//                                     library's grey decoding and its colour decoding with
//                                     the conversion after: min, median, max per frame
// The videos play in real time, as the program plays them.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "camera/FaceTracker.h"
#include "model/Durations.h"
#include "platform/Date.h"
#include "platform/FrameDecoder.h"
#include "tests/camera/SyntheticCamera.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

namespace {
struct Pose {
    double time, t;  // read time; place in the video
    HeadPose raw;
};

// The poses of the video at `path`; `shown` counts its frames from the first second on,
// once the neutral place is taken.
std::vector<Pose> follow(const char* path, Durations& following, Durations& whole,
                         Durations& landmarking, int& shown) {
    std::vector<Pose> poses;
    FaceLandmarks landmarks;  // the landmarks' step alone, timed on the face they found
    landmarks.load();
    FaceShape shape;
    followVideo(path, 60.0, [&](const VideoFrame& frame, const FaceTrack& track, double) {
        shown += frame.number >= SyntheticCamera::framesPerSecond;
        double processing = monotonicSeconds() - frame.device.readTime;
        if (track.wholeSearch)
            whole.add(processing);
        else if (track.faceFound)
            following.add(processing);
        if (track.landmarked) {
            const double begun = monotonicSeconds();
            landmarks.place(frame.picture, landmarks.boxOf(track.shape), shape);
            landmarking.add(monotonicSeconds() - begun);
        }
        if (track.outcome == FaceTrack::Outcome::posed)
            poses.push_back({track.pose.readTime, frame.number / SyntheticCamera::framesPerSecond,
                             track.pose.pose});
    });
    return poses;
}

void printSpread(const char* what, const Durations& d) {
    std::printf("%-24s %5zu frames  min %6.2f  p50 %6.2f  p99 %6.2f  max %6.2f ms\n", what,
                d.count(), d.quantile(0) * 1e3, d.quantile(0.5) * 1e3, d.quantile(0.99) * 1e3,
                d.quantile(1) * 1e3);
}

// Without the first half second, while a filter settles.
std::vector<double> settled(const std::vector<double>& values) {
    return {values.begin() + std::min<std::size_t>(15, values.size()), values.end()};
}

// The path's truth at place `t` of the path video, which starts with a second at rest.
double truth(const Pose& p, double HeadPose::*axis) {
    return p.t < 1.0 ? 0.0 : SyntheticCamera::path(p.t - 1.0).*axis;
}

double pathError(const std::vector<Pose>& moving, const std::vector<double>& values,
                 double HeadPose::*axis) {
    double squares = 0;
    int counted = 0;
    for (std::size_t i = 0; i < moving.size(); ++i)
        if (moving[i].t >= 1.5) {  // after centring and the filter's start
            squares += std::pow(values[i] - truth(moving[i], axis), 2);
            ++counted;
        }
    return std::sqrt(squares / counted);
}

void accuracy(const char* stillVideo, const char* pathVideo) {
    Durations ignored;
    int stillShown = 0, movingShown = 0;
    std::vector<Pose> still = follow(stillVideo, ignored, ignored, ignored, stillShown);
    std::vector<Pose> moving = follow(pathVideo, ignored, ignored, ignored, movingShown);
    auto share = [](const std::vector<Pose>& poses, int shown) {
        return 100.0 * static_cast<double>(std::count_if(poses.begin(), poses.end(), [](const Pose& p) {
                   return p.t >= 1.0;
               })) / std::max(shown, 1);
    };
    std::printf("poses, from the first second on: still %.1f %%, path %.1f %%\n",
                share(still, stillShown), share(moving, movingShown));
    const char* names = "xyz";
    double HeadPose::*axes[] = {&HeadPose::x, &HeadPose::y, &HeadPose::z};
    std::printf("axis  path RMS raw  still SD raw  still jitter raw (cm)\n");
    for (int a = 0; a < 3; ++a) {
        std::vector<double> raw, rawPath;
        for (const Pose& p : still) raw.push_back(p.raw.*axes[a]);
        for (const Pose& p : moving) rawPath.push_back(p.raw.*axes[a]);
        std::printf("%c     %8.3f      %8.4f      %8.4f\n", names[a],
                    pathError(moving, rawPath, axes[a]), deviation(settled(raw)),
                    frameToFrameJitter(settled(raw)));
    }
}
// Each way of making an MJPG frame grey, timed over every frame of the video, the ways
// taking turns five times so that the machine's load falls on all of them alike.
int decode(const char* video) {
    cv::VideoCapture capture(video, cv::CAP_FFMPEG);
    capture.set(cv::CAP_PROP_FORMAT, -1);  // the frames as stored: JPEG bytes
    std::vector<cv::Mat> frames;
    for (cv::Mat frame; capture.read(frame);) frames.push_back(frame.clone());
    cv::Mat first = frames.empty() ? cv::Mat() : cv::imdecode(frames[0], cv::IMREAD_GRAYSCALE);
    if (first.empty()) {
        std::fprintf(stderr, "camera-bench: no MJPG frames in %s\n", video);
        return 1;
    }
    FrameDecoder decoder;
    GreyImage grey;
    cv::Mat colour, converted;
    struct Way {
        const char* name;
        std::function<bool(const cv::Mat&)> decode;
        Durations times;
    } ways[] = {
        {"TurboJPEG, straight to grey",
         [&](const cv::Mat& jpeg) {
             return decoder.greyFromJpeg(jpeg.data, jpeg.total(), first.cols, first.rows, grey);
         },
         {}},
        {"OpenCV imdecode, straight to grey",
         [&](const cv::Mat& jpeg) { return !cv::imdecode(jpeg, cv::IMREAD_GRAYSCALE).empty(); },
         {}},
        {"OpenCV imdecode in colour, then cvtColor",
         [&](const cv::Mat& jpeg) {
             colour = cv::imdecode(jpeg, cv::IMREAD_COLOR);
             if (colour.empty()) return false;
             cv::cvtColor(colour, converted, cv::COLOR_BGR2GRAY);
             return true;
         },
         {}},
    };
    for (int round = 0; round < 5; ++round)
        for (Way& way : ways)
            for (const cv::Mat& jpeg : frames) {
                double start = monotonicSeconds();
                if (!way.decode(jpeg)) {
                    std::fprintf(stderr, "camera-bench: %s cannot decode a frame\n", way.name);
                    return 1;
                }
                way.times.add(monotonicSeconds() - start);
            }
    std::printf("%dx%d MJPG, %zu frames x 5, ms per frame (min / median / max):\n", first.cols,
                first.rows, frames.size());
    for (const Way& way : ways)
        std::printf("%-44s %6.3f / %6.3f / %6.3f\n", way.name, way.times.quantile(0) * 1e3,
                    way.times.quantile(0.5) * 1e3, way.times.quantile(1) * 1e3);
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "times") == 0) {
        Durations following, whole, landmarking;
        int shown = 0;
        follow(argv[2], following, whole, landmarking, shown);
        printSpread("following the face", following);
        printSpread("  of which landmarks", landmarking);
        printSpread("searching the picture", whole);
        return 0;
    }
    if (argc == 4 && std::strcmp(argv[1], "accuracy") == 0) {
        accuracy(argv[2], argv[3]);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "decode") == 0) return decode(argv[2]);
    std::fputs("usage: camera-bench times VIDEO | accuracy STILL-VIDEO PATH-VIDEO | decode VIDEO\n",
               stderr);
    return 2;
}
