// From a face's box in a camera picture to a head pose: the pinhole, the neutral place.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "model/FaceGeometry.h"

namespace {
const CameraGeometry camera{640, 480, 60.0};

// Centred on `neutral`, seen facesToCentre times.
FacePoses centredOn(const FaceBox& neutral, double distance = 60.0) {
    FacePoses poses(camera, distance);
    HeadPose unused;
    for (int i = 0; i < FacePoses::facesToCentre; ++i) EXPECT_FALSE(poses.poseFor(neutral, unused));
    EXPECT_TRUE(poses.isCentred());
    return poses;
}

TEST(FaceGeometry, TheNeutralPlaceIsThePoseZero) {
    FacePoses poses = centredOn({250, 300, 100});
    HeadPose pose;
    ASSERT_TRUE(poses.poseFor({250, 300, 100}, pose));
    EXPECT_NEAR(pose.x, 0, 1e-12);
    EXPECT_NEAR(pose.y, 0, 1e-12);
    EXPECT_NEAR(pose.z, 0, 1e-12);
    EXPECT_EQ(pose.yaw, 0);
    // Left of and below the picture's centre: the user sits to the camera's right, below it.
    HeadPose place = poses.neutralPlace();
    EXPECT_GT(place.x, 0);
    EXPECT_LT(place.y, 0);
    EXPECT_EQ(place.z, 60);
}

TEST(FaceGeometry, SizeGivesDistanceAndPlaceGivesAngle) {
    FacePoses poses = centredOn({320, 240, 100});
    HeadPose pose;
    ASSERT_TRUE(poses.poseFor({320, 240, 200}, pose));  // twice as wide: half as far
    EXPECT_DOUBLE_EQ(pose.z, -30.0);
    EXPECT_NEAR(pose.x, 0, 1e-12);
    // At the picture's left edge, at the neutral distance: half the field of view to the
    // user's right (the picture is not mirrored).
    ASSERT_TRUE(poses.poseFor({0, 240, 100}, pose));
    EXPECT_NEAR(pose.x, 60 * std::tan(30 * std::numbers::pi / 180), 1e-9);
    EXPECT_NEAR(pose.z, 0, 1e-12);
    // Higher in the picture is up; half as large is twice as far, and the angle stays.
    ASSERT_TRUE(poses.poseFor({320, 140, 50}, pose));
    EXPECT_NEAR(pose.y, 100 * 120 / camera.focalLength(), 1e-9);
    EXPECT_DOUBLE_EQ(pose.z, 60.0);
    EXPECT_NEAR(camera.focalLength(), 320 / std::tan(30 * std::numbers::pi / 180), 1e-9);
}

TEST(FaceGeometry, CentringAveragesTheFirstFacesAndRecentringStartsAgain) {
    FacePoses poses(camera, 60);
    HeadPose pose;
    for (int i = 0; i < FacePoses::facesToCentre; ++i)
        poses.poseFor({i % 2 ? 330.0 : 310.0, 240, i % 2 ? 101.0 : 99.0}, pose);
    ASSERT_TRUE(poses.poseFor({320, 240, 100}, pose));
    EXPECT_NEAR(pose.x, 0, 1e-9);
    EXPECT_NEAR(pose.z, 0, 1e-9);
    poses.recentre();
    EXPECT_FALSE(poses.poseFor({100, 100, 80}, pose));
    for (int i = 1; i < FacePoses::facesToCentre; ++i) poses.poseFor({100, 100, 80}, pose);
    ASSERT_TRUE(poses.poseFor({100, 100, 80}, pose));
    EXPECT_NEAR(pose.x, 0, 1e-9);
}
}  // namespace
