// The face's steps on their own: the generic face's fit to landmarks, and the eyes'
// centres refined between pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <opencv2/core.hpp>
#include <random>
#include <utility>
#include <vector>

#include "camera/EyeRefiner.h"
#include "camera/FaceFit.h"
#include "camera/FaceTracker.h"
#include "tests/camera/SyntheticCamera.h"

namespace {
const CameraGeometry camera{640, 480, 60.0};

// The generic face turned by `yaw`, `pitch` and `roll` (as anglesOf() reads them) with the
// midpoint of its eyes at `place` (cm from the camera, y down), as a pinhole camera sees
// it: its rigid landmarks, and its eyes' centres.
struct Seen {
    FaceShape shape{};
    std::array<FacePoint, 2> eyes;
};
Seen seenAt(cv::Vec3d place, double yaw, double pitch, double roll) {
    auto rad = [](double degrees) { return degrees * std::numbers::pi / 180; };
    const double a = rad(yaw), b = rad(-pitch), c = rad(-roll);
    const cv::Matx33d turn =
        cv::Matx33d(std::cos(a), 0, std::sin(a), 0, 1, 0, -std::sin(a), 0, std::cos(a)) *
        cv::Matx33d(1, 0, 0, 0, std::cos(b), -std::sin(b), 0, std::sin(b), std::cos(b)) *
        cv::Matx33d(std::cos(c), -std::sin(c), 0, std::sin(c), std::cos(c), 0, 0, 0, 1);
    const double f = camera.focalLength();
    auto project = [&](cv::Vec3d p) {
        cv::Vec3d q = turn * p + place;
        return FacePoint{f * q[0] / q[2] + camera.width / 2.0,
                         f * q[1] / q[2] + camera.height / 2.0};
    };
    Seen seen;
    cv::Vec3d centres[2];
    for (const RigidLandmark& r : genericFace) {
        seen.shape[r.index] = project({r.x, r.y, r.z});
        for (int e = 0; e < 2; ++e)
            if (r.index >= eyeLandmarks[e].first && r.index < eyeLandmarks[e].end)
                centres[e] += cv::Vec3d(r.x, r.y, r.z) / 6.0;
    }
    seen.eyes = {project(centres[0]), project(centres[1])};
    return seen;
}

TEST(FaceFit, TheGenericFaceIsFoundWhereItIsAndAsTurnedAndStrayOrCutFacesAreRefused) {
    struct Case {
        cv::Vec3d place;
        double yaw, pitch, roll;
    };
    for (const Case& c : {Case{{0, 5, 60}, 0, 0, 0}, Case{{-12, 8, 45}, 30, -15, 10},
                          Case{{10, -3, 85}, -20, 25, -8}}) {
        Seen seen = seenAt(c.place, c.yaw, c.pitch, c.roll);
        FaceMeasure face;
        ASSERT_TRUE(fitFace(seen.shape, seen.eyes, camera, face)) << c.place;
        EXPECT_NEAR(face.x, c.place[0], 0.01) << c.place;
        EXPECT_NEAR(face.y, c.place[1], 0.01) << c.place;
        EXPECT_NEAR(face.z, c.place[2], 0.01) << c.place;
        EXPECT_NEAR(face.yaw, c.yaw, 0.1) << c.place;
        EXPECT_NEAR(face.pitch, c.pitch, 0.1) << c.place;
        EXPECT_NEAR(face.roll, c.roll, 0.1) << c.place;
    }
    FaceMeasure untouched{1, 2, 3, 4, 5, 6};
    Seen stray = seenAt({0, 5, 60}, 0, 0, 0);
    stray.shape[30].y += 40;  // the nose's tip far off: no face is so
    EXPECT_FALSE(fitFace(stray.shape, stray.eyes, camera, untouched));
    Seen cut = seenAt({33, 0, 60}, 0, 0, 0);  // an eye at the picture's edge
    EXPECT_FALSE(fitFace(cut.shape, cut.eyes, camera, untouched));
    Seen away = seenAt({0, 5, 60}, 60, 0, 0);  // turned beyond what the landmarks follow
    EXPECT_FALSE(fitFace(away.shape, away.eyes, camera, untouched));
    EXPECT_EQ(untouched.z, 3);
}

// Pictures of a still head and their landmarks, as the program's pipeline places them.
std::vector<std::pair<GreyImage, FaceShape>> stillFace(std::size_t count) {
    SyntheticCamera pictures(640, 480, 60.0);
    FaceTracker faces(60.0, 0.0);
    std::vector<std::pair<GreyImage, FaceShape>> seen;
    for (int k = 0; seen.size() < count && k < 200; ++k) {
        VideoFrame frame;
        frame.picture = pictures.grey(SyntheticCamera::neutral(), k / 30.0);
        FaceTrack track = faces.track(frame);
        faces.check(frame.picture);
        if (track.landmarked) seen.push_back({frame.picture, track.shape});
    }
    return seen;
}

TEST(EyeRefiner, JitteringEyeLandmarksGiveWayToTheMatchAndSteadyOnesStayAsTheyAre) {
    const std::size_t learned = 10, later = 40;
    auto seen = stillFace(learned + later);
    ASSERT_EQ(seen.size(), learned + later);
    for (double jitter : {0.0, 0.8}) {  // pixels, added to each eye's landmarks alike
        std::mt19937 random(7);
        std::normal_distribution<double> offset(0.0, jitter);
        EyeRefiner refiner;
        std::vector<double> given, refined, change;
        for (std::size_t i = 0; i < seen.size(); ++i) {
            FaceShape shape = seen[i].second;
            const FacePoint truth = eyeCentre(shape, 0);
            double dx = jitter > 0 ? offset(random) : 0, dy = jitter > 0 ? offset(random) : 0;
            for (int p = eyeLandmarks[0].first; p < eyeLandmarks[0].end; ++p)
                shape[p].x += dx, shape[p].y += dy;
            const FacePoint centre = refiner.centres(seen[i].first, shape, i < learned)[0];
            if (i < learned) continue;
            given.push_back(eyeCentre(shape, 0).x - truth.x);
            refined.push_back(centre.x - truth.x);
            change.push_back(
                std::hypot(centre.x - eyeCentre(shape, 0).x, centre.y - eyeCentre(shape, 0).y));
        }
        if (jitter == 0) {
            double largest = *std::max_element(change.begin(), change.end());
            EXPECT_LT(largest, 0.1) << "steady landmarks moved by the refinement";
        } else {
            EXPECT_LT(deviation(refined), 0.4 * deviation(given))
                << "refined " << deviation(refined) << " px against " << deviation(given);
        }
    }
}
}  // namespace
