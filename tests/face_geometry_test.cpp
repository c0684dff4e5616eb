// From a measured face to a head pose: the neutral place, real or given centimetres, and
// the head's angles with the conventions the manual gives.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "model/FaceGeometry.h"

namespace {
const CameraGeometry camera{640, 480, 60.0};

// Centred on `neutral`, seen facesToCentre times.
FacePoses centredOn(const FaceMeasure& neutral, double distance) {
    FacePoses poses(camera, distance);
    HeadPose unused;
    for (int i = 0; i < FacePoses::facesToCentre; ++i) EXPECT_FALSE(poses.poseFor(neutral, unused));
    EXPECT_TRUE(poses.isCentred());
    return poses;
}

TEST(FaceGeometry, PosesAreRealCentimetresFromTheNeutralPlaceOrScaledToTheGivenDistance) {
    // Left of the picture's centre and below it: the user sits to the camera's right, low.
    const FaceMeasure neutral{-10, 8, 50, 0, 0, 0};
    FacePoses measured = centredOn(neutral, 0);
    HeadPose pose;
    ASSERT_TRUE(measured.poseFor({-12, 5, 70, 10, -5, 3}, pose));
    EXPECT_DOUBLE_EQ(pose.x, 2);  // further left in the picture: further to the user's right
    EXPECT_DOUBLE_EQ(pose.y, 3);  // higher in the picture: up
    EXPECT_DOUBLE_EQ(pose.z, 20);
    EXPECT_EQ(pose.yaw, 10);
    EXPECT_EQ(pose.pitch, -5);
    EXPECT_EQ(pose.roll, 3);
    HeadPose place = measured.neutralPlace();
    EXPECT_DOUBLE_EQ(place.x, 10);
    EXPECT_DOUBLE_EQ(place.y, -8);
    EXPECT_DOUBLE_EQ(place.z, 50);
    // A distance given: everything scaled by it over the measured one, angles kept.
    FacePoses given = centredOn(neutral, 60);
    ASSERT_TRUE(given.poseFor({-12, 5, 70, 10, -5, 3}, pose));
    EXPECT_DOUBLE_EQ(pose.x, 2.4);
    EXPECT_DOUBLE_EQ(pose.z, 24);
    EXPECT_EQ(pose.yaw, 10);
    EXPECT_DOUBLE_EQ(given.neutralPlace().z, 60);
    EXPECT_DOUBLE_EQ(given.measuredDistance(), 50);
}

TEST(FaceGeometry, CentringAveragesTheFirstFacesAndRecentringTakesANewPlace) {
    FacePoses poses(camera, 0);
    HeadPose pose;
    for (int i = 0; i < FacePoses::facesToCentre; ++i)
        poses.poseFor({i % 2 ? 1.0 : -1.0, 0, i % 2 ? 61.0 : 59.0}, pose);
    ASSERT_TRUE(poses.poseFor({0, 0, 60}, pose));
    EXPECT_NEAR(pose.x, 0, 1e-9);
    EXPECT_NEAR(pose.z, 0, 1e-9);
    poses.recentre();
    // Poses go on from the old place until the new one is taken.
    ASSERT_TRUE(poses.poseFor({5, 5, 80}, pose));
    EXPECT_NEAR(pose.z, 20, 1e-9);
    for (int i = 1; i < FacePoses::facesToCentre; ++i) poses.poseFor({5, 5, 80}, pose);
    ASSERT_TRUE(poses.poseFor({5, 5, 80}, pose));
    EXPECT_NEAR(pose.x, 0, 1e-9);
    EXPECT_NEAR(poses.neutralPlace().z, 80, 1e-9);
}

struct Matrix {
    double m[3][3];
    Matrix operator*(const Matrix& b) const {
        Matrix c{};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                for (int k = 0; k < 3; ++k) c.m[i][j] += m[i][k] * b.m[k][j];
        return c;
    }
    // Where the generic face's point (x, y, z) goes.
    double x(double px, double py, double pz) const { return m[0][0] * px + m[0][1] * py + m[0][2] * pz; }
    double y(double px, double py, double pz) const { return m[1][0] * px + m[1][1] * py + m[1][2] * pz; }
};

// Turns by `degrees` about the camera's axis x, y or z (x right, y down, z ahead).
Matrix about(int axis, double degrees) {
    const double a = degrees * std::numbers::pi / 180, c = std::cos(a), s = std::sin(a);
    if (axis == 0) return {{{1, 0, 0}, {0, c, -s}, {0, s, c}}};
    if (axis == 1) return {{{c, 0, s}, {0, 1, 0}, {-s, 0, c}}};
    return {{{c, -s, 0}, {s, c, 0}, {0, 0, 1}}};
}

TEST(FaceGeometry, AnglesFollowTheUsersOwnRightAndUp) {
    const RigidLandmark tip = genericFace[3];  // the nose's tip, in front of the eyes
    ASSERT_EQ(tip.index, 30);
    ASSERT_LT(tip.z, 0);
    FaceMeasure face;
    // Turning to their own right moves the nose to the picture's left (not mirrored).
    Matrix right = about(1, 20);
    anglesOf(right.m, face);
    EXPECT_LT(right.x(tip.x, tip.y, tip.z), tip.x);
    EXPECT_NEAR(face.yaw, 20, 1e-9);
    EXPECT_NEAR(face.pitch, 0, 1e-9);
    EXPECT_NEAR(face.roll, 0, 1e-9);
    // Looking up raises the nose's tip in the picture.
    Matrix up = about(0, -10);
    anglesOf(up.m, face);
    EXPECT_LT(up.y(tip.x, tip.y, tip.z), tip.y);
    EXPECT_NEAR(face.pitch, 10, 1e-9);
    // Tilting toward the right shoulder moves the top of the head to the picture's left.
    Matrix tilt = about(2, -15);
    anglesOf(tilt.m, face);
    EXPECT_LT(tilt.x(0, -10, 0), 0);
    EXPECT_NEAR(face.roll, 15, 1e-9);
    // All three at once come back apart.
    anglesOf((about(1, -25) * about(0, 12) * about(2, 8)).m, face);
    EXPECT_NEAR(face.yaw, -25, 1e-9);
    EXPECT_NEAR(face.pitch, -12, 1e-9);
    EXPECT_NEAR(face.roll, -8, 1e-9);
}
}  // namespace
