// The camera as a head tracker, on synthetic videos of a real face with a known head path
// (tests/camera/SyntheticCamera.h), through the program's own reading, face finding and
// geometry; and the face finder against pictures that are no use.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/CameraTracker.h"
#include "app/HeadTracker.h"
#include "model/OneEuroFilter.h"
#include "tests/camera/SyntheticCamera.h"

namespace {
constexpr double viewingDistance = 60.0;

struct Followed {
    std::vector<double> times;  // seconds, when each frame was read
    std::vector<HeadPose> raw, truth;
};

// Writes a 640x480 video of the head at `offsetAt(t)` and follows it, keeping the poses
// from `from` seconds on.
Followed follow(double seconds, const std::function<HeadPose(double)>& offsetAt, double from) {
    char name[] = "/tmp/fishtank-camera-XXXXXX.avi";
    ::close(::mkstemps(name, 4));
    EXPECT_TRUE(SyntheticCamera::writeVideo(name, 640, 480, seconds, offsetAt));
    CameraTracker camera(std::make_unique<VideoSource>(name), 60.0, viewingDistance);
    Followed followed;
    for (;;) {
        CameraStep step = camera.step([](const CameraPose&) {});
        if (step.read != VideoSource::Read::frame) break;
        double t = camera.lastFrame().number / SyntheticCamera::framesPerSecond;
        if (!step.posed || t < from) continue;
        followed.times.push_back(step.pose.readTime);
        followed.raw.push_back(step.pose.pose);
        followed.truth.push_back(offsetAt(t));
    }
    std::remove(name);
    return followed;
}

double HeadPose::*const axes[] = {&HeadPose::x, &HeadPose::y, &HeadPose::z};

double rootMeanSquare(const std::vector<HeadPose>& a, const std::vector<HeadPose>& b,
                      double HeadPose::*axis) {
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) sum += std::pow(a[i].*axis - b[i].*axis, 2);
    return std::sqrt(sum / static_cast<double>(a.size()));
}

void report(const char* name, double value) {
    ::testing::Test::RecordProperty(name, std::to_string(value));
    std::printf("%s: %.4f\n", name, value);
}

TEST(Camera, AStillFaceHoldsStillAndTheSmoothedHeadStillMore) {
    Followed still = follow(
        3.0, [](double) { return HeadPose{}; }, 0.5);
    ASSERT_GE(still.raw.size(), 40u) << "frames followed";
    const double largest[] = {0.1, 0.1, 0.5};  // cm of raw jitter, x y z
    const Smoothing smoothing[] = {cameraSideways, cameraSideways, cameraDistance};
    const char* names[] = {"x", "y", "z"};
    for (int a = 0; a < 3; ++a) {
        std::vector<double> raw, drawn;
        OneEuroFilter filter(smoothing[a].minCutoff, smoothing[a].beta);
        for (std::size_t i = 0; i < still.raw.size(); ++i) {
            raw.push_back(still.raw[i].*axes[a]);
            drawn.push_back(filter.filter(still.raw[i].*axes[a], still.times[i]));
        }
        // The filter settles over its first half second.
        drawn.erase(drawn.begin(), drawn.begin() + 15);
        raw.erase(raw.begin(), raw.begin() + 15);
        double rawJitter = frameToFrameJitter(raw), drawnJitter = frameToFrameJitter(drawn);
        report((std::string("raw_deviation_cm_") + names[a]).c_str(), deviation(raw));
        report((std::string("raw_jitter_cm_") + names[a]).c_str(), rawJitter);
        report((std::string("drawn_jitter_cm_") + names[a]).c_str(), drawnJitter);
        EXPECT_LE(deviation(raw), largest[a]) << names[a];
        EXPECT_LE(drawnJitter, rawJitter / 3) << names[a];
    }
}

TEST(Camera, AMovingHeadIsFollowedWithinMillimetres) {
    auto offsetAt = [](double t) { return t < 1.0 ? HeadPose{} : SyntheticCamera::path(t - 1.0); };
    Followed moving = follow(6.0, offsetAt, 1.0);
    ASSERT_GE(moving.raw.size(), 100u) << "frames followed";
    const double largest[] = {0.3, 0.3, 1.5};  // cm RMS, x y z
    const char* names[] = {"path_rms_cm_x", "path_rms_cm_y", "path_rms_cm_z"};
    for (int a = 0; a < 3; ++a) {
        double error = rootMeanSquare(moving.raw, moving.truth, axes[a]);
        report(names[a], error);
        EXPECT_LE(error, largest[a]) << names[a];
    }
}

TEST(Camera, PicturesOfNoUseFindNoFaceAndBreakNothing) {
    FaceFinder finder;
    FaceBox face;
    GreyImage tiny{1, 1, {128}};
    EXPECT_FALSE(finder.find(tiny, face));
    finder.confirm(tiny);
    GreyImage garbage{640, 480, std::vector<std::uint8_t>(640 * 480)};
    for (std::size_t i = 0; i < garbage.pixels.size(); ++i)
        garbage.pixels[i] = static_cast<std::uint8_t>(i * 2654435761u >> 24);
    for (int i = 0; i < 3; ++i) {
        finder.find(garbage, face);
        finder.confirm(garbage);
    }
    // A huge picture with the face in it, then a tiny one again: the size change is noticed.
    SyntheticCamera camera(4000, 3000, 60.0);
    GreyImage huge = camera.grey(SyntheticCamera::neutral(), 0);
    bool found = false;  // a face counts once the detector has seen it three times
    for (int i = 0; i < 4 && !found; ++i) {
        found = finder.find(huge, face);
        finder.confirm(huge);
    }
    ASSERT_TRUE(found);
    EXPECT_NEAR(face.x, 2000, 60);
    EXPECT_FALSE(finder.find(tiny, face));
}
}  // namespace
