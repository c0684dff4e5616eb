// The tracked program's parts around the face: from a pose to the eye or eyes, the pacer's
// choice of when to draw, and the capture thread's hand-over of the newest pose.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "app/CameraTracker.h"
#include "app/FramePacer.h"
#include "platform/Date.h"
#include "tests/camera/SyntheticCamera.h"
#include "view/PoseToEye.h"

namespace {
// True scale with the camera 16.5 cm above the screen's centre, poses drawn as they come.
TrackingSettings trueScaleSettings(Stereo stereo = Stereo::off) {
    TrackingSettings settings;
    settings.filtering = Filtering::none;
    settings.trueScale = TrueScaleTracking{{{40.0, 30.0}, 60.0, stereo}, {0.0, 16.5, 0.0}};
    return settings;
}

CameraPose cameraPose(const HeadPose& pose, const HeadPose& neutral, double takenAt = 1.0) {
    CameraPose camera;
    camera.pose = pose;
    camera.neutral = neutral;
    camera.rightEye = {3.1, 0.2, 0.5};
    camera.takenAt = camera.readTime = takenAt;
    return camera;
}

void expectPoint(const ScreenPoint& p, double x, double y, double z) {
    EXPECT_NEAR(p.x, x, 1e-12);
    EXPECT_NEAR(p.y, y, 1e-12);
    EXPECT_NEAR(p.z, z, 1e-12);
}
}  // namespace

// Worked by hand: the camera's place, plus the neutral place seen from it, plus the head's
// offset from there; an inverted axis mirrors the camera's view of it (the neutral place's
// and the offset's alike), but the neutral distance is a distance, not an offset.
TEST(PoseToEye, ACameraEyeIsPlacedFromTheCameraAndInvertedAxesMirrorWhatItSees) {
    const CameraPose seen = cameraPose({3.0, 1.0, 4.0}, {2.0, -5.0, 60.0});
    PoseToEye plain(trueScaleSettings());
    plain.add(seen, 1.0);
    EyePlacement placed = plain.place(plain.headAt(1.0));
    EXPECT_EQ(placed.kind, EyePlacement::Kind::eye);
    expectPoint(placed.eye, 5.0, 12.5, 64.0);

    TrackingSettings invertedSettings = trueScaleSettings();
    invertedSettings.mapping.invertX = invertedSettings.mapping.invertY = true;
    invertedSettings.mapping.invertZ = true;
    PoseToEye inverted(invertedSettings);
    inverted.add(seen, 1.0);
    expectPoint(inverted.place(inverted.headAt(1.0)).eye, -5.0, 20.5, 56.0);
}

// The eyes lie either side of the midpoint along the user's right eye, mirrored with x.
TEST(PoseToEye, InStereoTheEyesLieAlongTheUsersRightEyeAndMirrorWithTheAxes) {
    const CameraPose seen = cameraPose({3.0, 1.0, 4.0}, {2.0, -5.0, 60.0});
    PoseToEye stereo(trueScaleSettings(Stereo::anaglyph));
    stereo.add(seen, 1.0);
    EyePlacement eyes = stereo.place(stereo.headAt(1.0));
    ASSERT_EQ(eyes.kind, EyePlacement::Kind::eyes);
    expectPoint(eyes.left, 5.0 - 3.1, 12.5 - 0.2, 64.0 - 0.5);
    expectPoint(eyes.right, 5.0 + 3.1, 12.5 + 0.2, 64.0 + 0.5);

    TrackingSettings invertedSettings = trueScaleSettings(Stereo::anaglyph);
    invertedSettings.mapping.invertX = true;
    PoseToEye inverted(invertedSettings);
    inverted.add(seen, 1.0);
    eyes = inverted.place(inverted.headAt(1.0));
    expectPoint(eyes.left, -5.0 + 3.1, 12.5 - 0.2, 64.0 - 0.5);
    expectPoint(eyes.right, -5.0 - 3.1, 12.5 + 0.2, 64.0 + 0.5);
}

// A tracker's pose is an offset from the eye centred at the viewing distance in true
// scale, and a head in the tunnel's units by the viewing angle.
TEST(PoseToEye, ATrackersPoseIsAnOffsetFromTheCentredEyeOrByTheViewingAngle) {
    TrackingSettings settings = trueScaleSettings();
    settings.mapping.gain = 2.0;
    PoseToEye trueScale(settings);
    trueScale.add(HeadPose{3.0, -1.0, 6.0}, 1.0);
    expectPoint(trueScale.place(trueScale.headAt(1.0)).eye, 6.0, -2.0, 66.0);

    settings.trueScale.reset();
    PoseToEye angle(settings);
    angle.add(HeadPose{3.0, -1.0, 6.0}, 1.0);
    const EyePlacement head = angle.place(angle.headAt(1.0));
    EXPECT_EQ(head.kind, EyePlacement::Kind::angle);
    EXPECT_FLOAT_EQ(head.head[0], 0.1f);
    EXPECT_FLOAT_EQ(head.head[1], -2.0f / 60.0f);
    EXPECT_FLOAT_EQ(head.head[2], 1.1f);
}

// A new neutral place starts the filters again: the One Euro filter passes its first pose
// unchanged, where it would otherwise have smoothed the step. The motion filter predicts
// from the picture's time, and no further ahead than its horizon.
TEST(PoseToEye, ANewNeutralPlaceRestartsTheFiltersAndPredictionKeepsToItsHorizon) {
    TrackingSettings settings = trueScaleSettings();
    settings.filtering = Filtering::oneEuro;
    PoseToEye smoothed(settings);
    EXPECT_FALSE(smoothed.add(cameraPose({0, 0, 0}, {0, -5, 60}), 1.0));
    EXPECT_FALSE(smoothed.add(cameraPose({8, 0, 0}, {0, -5, 60}), 1.03));
    EXPECT_LT(smoothed.headAt(1.03).x, 8.0);
    EXPECT_TRUE(smoothed.add(cameraPose({8, 0, 0}, {1, -5, 60}), 1.06));
    EXPECT_EQ(smoothed.headAt(1.06).x, 8.0);

    settings.filtering = Filtering::motion;
    PoseToEye predicted(settings);
    predicted.add(cameraPose({0, 0, 0}, {0, -5, 60}, 2.0), 2.01);
    EXPECT_NEAR(predicted.horizon(2.05), 0.05, 1e-12);
    EXPECT_DOUBLE_EQ(predicted.horizon(3.0), MotionFilter::maxHorizon);
    EXPECT_DOUBLE_EQ(predicted.horizon(1.0), 0.0);
    settings.predict = false;
    PoseToEye unpredicted(settings);
    unpredicted.add(cameraPose({0, 0, 0}, {0, -5, 60}, 2.0), 2.01);
    EXPECT_DOUBLE_EQ(unpredicted.horizon(2.05), 0.0);
}

// A display of 60 Hz whose swap ends on its next refresh: pictures come half a refresh
// apart, each swap ending a whole refresh after the last, so the swap is found to wait and
// goes on waiting.
TEST(FramePacer, WhereTheSwapWaitsForTheDisplayPicturesAreDueEveryHalfRefresh) {
    const double refresh = 1.0 / 60.0;
    FramePacer pacer;
    pacer.start(60.0, 0.0);
    EXPECT_TRUE(pacer.swapWaits());
    EXPECT_DOUBLE_EQ(pacer.nextPicture(), refresh / 2);
    double lastSwap = 0.0;
    for (int i = 0; i < 20; ++i) {
        const double begun = std::max(pacer.nextPicture(), lastSwap);  // the loop waited
        lastSwap = std::ceil((begun + 0.001) / refresh) * refresh;
        pacer.pictureShown(begun, lastSwap, true);
        EXPECT_GT(pacer.nextPicture(), begun);
        EXPECT_LE(pacer.nextPicture(), begun + refresh / 2 + 1e-12);
    }
    EXPECT_TRUE(pacer.swapWaits());
    pacer.stop();
    EXPECT_FALSE(pacer.swapWaits());
    EXPECT_TRUE(std::isinf(pacer.nextPicture()));
}

// Where the swap returns at once (no driver that syncs, as under Xvfb), the first pictures
// end half a refresh apart: the swap stops waiting, and a picture is due a refresh after
// the last one, the pacer's or any other; a new start keeps what was found.
TEST(FramePacer, WhereTheSwapReturnsAtOnceAPictureIsDueARefreshAfterAnyOther) {
    const double refresh = 1.0 / 60.0;
    FramePacer pacer;
    pacer.start(60.0, 0.0);
    for (int i = 0; i < 9; ++i) {
        const double begun = pacer.nextPicture();
        pacer.pictureShown(begun, begun + 0.001, true);
    }
    EXPECT_FALSE(pacer.swapWaits());
    const double drawn = pacer.nextPicture() - refresh + 0.004;  // a pose's own picture
    pacer.pictureShown(drawn - 0.001, drawn, false);
    EXPECT_DOUBLE_EQ(pacer.nextPicture(), drawn + refresh);
    EXPECT_NEAR(pacer.expectedDrawing(), 0.001, 0.001);

    pacer.stop();
    pacer.start(60.0, 5.0);
    EXPECT_FALSE(pacer.swapWaits());
    EXPECT_DOUBLE_EQ(pacer.nextPicture(), 5.0 + refresh);
}

// The capture thread hands each pose into a one-pose mailbox: when the main thread takes
// none for a while, what it then takes is the newest, not the first left there, and the
// mailbox is empty after.
TEST(CameraTracker, ThePoseTakenIsTheNewestAndIsTakenOnce) {
    std::string video = "/tmp/fishtank-mailbox-XXXXXX.avi";
    const int fd = ::mkstemps(video.data(), 4);
    ASSERT_GE(fd, 0);
    ::close(fd);
    ASSERT_TRUE(SyntheticCamera::writeVideo(video, 320, 240, 4.0, [](double) {
        return std::vector<DrawnHead>{{SyntheticCamera::neutral()}};
    }));
    CameraTracker camera(openVideoSource(video, CameraSettings::keep),
                         std::make_unique<FaceTracker>(60.0, 0.0), CameraSettings::keep);
    camera.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    CameraPose taken;
    ASSERT_TRUE(camera.takePose(taken));
    EXPECT_LT(monotonicSeconds() - taken.readTime, 0.15);
    CameraPose again;
    EXPECT_FALSE(camera.takePose(again));
    camera.poseDrawn();
    camera.stop();
    std::remove(video.c_str());
}
