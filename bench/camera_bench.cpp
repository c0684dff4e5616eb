// Measures the camera as a head tracker on synthetic videos (tests/camera/face_video.cpp):
//   camera-bench times VIDEO          per-frame processing, following the face and searching
//                                     the whole picture: min, p50, p99, max
//   camera-bench smoothing STILL PATH what each One Euro setting leaves of a still face's
//                                     jitter and how closely it follows the moving head
// The videos play in real time, as the program plays them.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/CameraTracker.h"
#include "app/HeadTracker.h"
#include "model/Durations.h"
#include "model/OneEuroFilter.h"
#include "tests/camera/SyntheticCamera.h"

namespace {
struct Pose {
    double time, t;  // read time; place in the video
    HeadPose raw;
};

std::vector<Pose> follow(const char* video, Durations& following, Durations& whole) {
    CameraTracker camera(std::make_unique<VideoSource>(video), 60.0, 60.0);
    std::vector<Pose> poses;
    for (;;) {
        CameraStep step = camera.step([](const CameraPose&) {});
        if (step.read != VideoSource::Read::frame) break;
        (step.wholeSearch ? whole : following).add(step.processing);
        if (step.posed)
            poses.push_back({step.pose.readTime,
                             camera.lastFrame().number / SyntheticCamera::framesPerSecond,
                             step.pose.pose});
    }
    return poses;
}

void printSpread(const char* what, const Durations& d) {
    std::printf("%-24s %5zu frames  min %6.2f  p50 %6.2f  p99 %6.2f  max %6.2f ms\n", what,
                d.count(), d.quantile(0) * 1e3, d.quantile(0.5) * 1e3, d.quantile(0.99) * 1e3,
                d.quantile(1) * 1e3);
}

// The frame-to-frame jitter of `values` from index `from` on (as the camera test has it).
double jitter(const std::vector<double>& values, std::size_t from) {
    std::vector<double> changes;
    for (std::size_t i = from + 1; i < values.size(); ++i)
        changes.push_back(values[i] - values[i - 1]);
    double mean = 0, squares = 0;
    for (double c : changes) mean += c / changes.size();
    for (double c : changes) squares += (c - mean) * (c - mean);
    return std::sqrt(squares / changes.size() / 2);
}

std::vector<double> smoothed(const std::vector<Pose>& poses, double HeadPose::*axis, Smoothing s) {
    OneEuroFilter filter(s.minCutoff, s.beta);
    std::vector<double> out;
    for (const Pose& p : poses) out.push_back(filter.filter(p.raw.*axis, p.time));
    return out;
}

void smoothing(const char* stillVideo, const char* pathVideo) {
    Durations ignored, alsoIgnored;
    std::vector<Pose> still = follow(stillVideo, ignored, alsoIgnored);
    std::vector<Pose> moving = follow(pathVideo, ignored, alsoIgnored);
    std::printf("axis  min_cutoff  beta   still jitter left  path RMS error (cm)  lag-free RMS\n");
    for (double HeadPose::*axis : {&HeadPose::x, &HeadPose::z}) {
        std::vector<double> raw;
        for (const Pose& p : still) raw.push_back(p.raw.*axis);
        double rawJitter = jitter(raw, 15);
        double rawError = 0;
        int counted = 0;
        for (const Pose& p : moving)
            if (p.t >= 1.5) {
                rawError += std::pow(p.raw.*axis - SyntheticCamera::path(p.t - 1.0).*axis, 2);
                ++counted;
            }
        std::printf("%s     raw                 %.4f cm            %.3f\n",
                    axis == &HeadPose::x ? "x" : "z", rawJitter, std::sqrt(rawError / counted));
        for (double cutoff : {0.25, 0.5, 1.0, 1.5, 2.0, 3.0})
            for (double beta : {0.0, 0.01, 0.05, 0.1, 0.3}) {
                std::vector<double> calm = smoothed(still, axis, {cutoff, beta});
                std::vector<double> followed = smoothed(moving, axis, {cutoff, beta});
                double error = 0;
                for (std::size_t i = 0; i < moving.size(); ++i)
                    if (moving[i].t >= 1.5)
                        error += std::pow(
                            followed[i] - SyntheticCamera::path(moving[i].t - 1.0).*axis, 2);
                std::printf("%s     %4.2f        %4.2f   %5.1f %%            %.3f\n",
                            axis == &HeadPose::x ? "x" : "z", cutoff, beta,
                            100 * jitter(calm, 15) / rawJitter, std::sqrt(error / counted));
            }
    }
}
}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "times") == 0) {
        Durations following, whole;
        follow(argv[2], following, whole);
        printSpread("following the face", following);
        printSpread("searching the picture", whole);
        return 0;
    }
    if (argc == 4 && std::strcmp(argv[1], "smoothing") == 0) {
        smoothing(argv[2], argv[3]);
        return 0;
    }
    std::fputs("usage: camera-bench times VIDEO | smoothing STILL-VIDEO PATH-VIDEO\n", stderr);
    return 2;
}
