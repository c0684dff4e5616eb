// The camera as a head tracker, on synthetic videos of real faces with known head paths
// (tests/camera/SyntheticCamera.h), through the program's own reading, face finding,
// landmarks and fit; and the face finder against pictures that are no use.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "camera/FaceTracker.h"
#include "model/MotionFilter.h"
#include "tests/camera/SyntheticCamera.h"

namespace {
using Heads = std::function<std::vector<DrawnHead>(double)>;

// A video file of the test's own, removed at the end.
struct TestVideo {
    explicit TestVideo(const char* suffix = ".avi") : name("/tmp/fishtank-camera-XXXXXX") {
        name += suffix;
        int fd = ::mkstemps(name.data(), static_cast<int>(std::string(suffix).size()));
        if (fd >= 0) ::close(fd);
    }
    ~TestVideo() { std::remove(name.c_str()); }
    std::string name;
};

struct Followed {
    std::vector<double> times;  // seconds, when each posed frame was taken
    std::vector<HeadPose> raw, truth;
    std::vector<double> distances;  // measured minus true, cm from the camera
    int frames = 0;                 // read from `from` seconds on
};

// Writes a 640x480 video of `headsAt(t)` in `room` (its noise from `seed`) and follows it,
// the neutral distance measured, keeping the poses from `from` seconds on with the truth:
// the first head's offset from where it was at t = 0, its angles, and its own distance.
Followed follow(double seconds, const Heads& headsAt, double from, unsigned seed = 1,
                Room room = Room::clean) {
    TestVideo video(room == Room::compressed ? ".mkv" : ".avi");
    EXPECT_TRUE(SyntheticCamera::writeVideo(video.name, 640, 480, seconds, headsAt, seed,
                                            cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), room));
    const HeadPose start = headsAt(0)[0].place;
    Followed followed;
    followVideo(video.name, 0.0, [&](const VideoFrame& frame, const FaceTrack& track, double) {
        const double t = frame.number / SyntheticCamera::framesPerSecond;
        if (t < from) return;
        ++followed.frames;
        if (track.outcome != FaceTrack::Outcome::posed) return;
        HeadPose truth = headsAt(t)[0].place;
        followed.times.push_back(track.pose.takenAt);
        followed.raw.push_back(track.pose.pose);
        followed.truth.push_back({truth.x - start.x, truth.y - start.y, truth.z - start.z,
                                  truth.yaw, truth.pitch, truth.roll});
        followed.distances.push_back(track.measure.z - truth.z);
    });
    return followed;
}

// One head of `face`, at the neutral place offset by `offsetAt(t)`.
Heads one(TestFace face, const std::function<HeadPose(double)>& offsetAt) {
    return [=](double t) {
        return std::vector<DrawnHead>{{SyntheticCamera::at(offsetAt(t)), face}};
    };
}
HeadPose stillHead(double) {
    return {};
}

double HeadPose::*const axes[] = {&HeadPose::x, &HeadPose::y, &HeadPose::z};

double rootMeanSquare(const std::vector<HeadPose>& a, const std::vector<HeadPose>& b,
                      double HeadPose::*axis) {
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) sum += std::pow(a[i].*axis - b[i].*axis, 2);
    return std::sqrt(sum / static_cast<double>(a.size()));
}

void report(const std::string& name, double value) {
    ::testing::Test::RecordProperty(name, std::to_string(value));
    std::printf("%s: %.4f\n", name.c_str(), value);
}

// The camera's filter leaves at most a third of a still face's jitter, as it draws the head
// and as it predicts it 50 ms ahead.
TEST(Camera, AStillFaceHoldsStillAndTheDrawnHeadStillMore) {
    Followed still = follow(3.0, one(TestFace::astronaut, stillHead), 0.5);
    ASSERT_GE(still.raw.size(), 40u) << "frames followed";
    const double largest[] = {0.1, 0.1, 0.5};  // cm of raw jitter, x y z
    const MotionNoise noise[] = {cameraSidewaysMotion, cameraSidewaysMotion, cameraDistanceMotion};
    const char* names[] = {"x", "y", "z"};
    for (int a = 0; a < 3; ++a) {
        std::vector<double> raw, drawn, predicted;
        MotionFilter filter(noise[a]);
        for (std::size_t i = 0; i < still.raw.size(); ++i) {
            raw.push_back(still.raw[i].*axes[a]);
            filter.add(still.raw[i].*axes[a], still.times[i]);
            drawn.push_back(filter.position());
            predicted.push_back(filter.predict(still.times[i] + 0.05));
            if (i > 0) {
                EXPECT_LT(std::fabs(raw[i] - raw[i - 1]), 2.0) << names[a] << " jumped";
            }
        }
        // The filter settles over its first half second.
        for (auto* values : {&raw, &drawn, &predicted}) values->erase(values->begin(), values->begin() + 15);
        double rawJitter = frameToFrameJitter(raw);
        report(std::string("raw_deviation_cm_") + names[a], deviation(raw));
        report(std::string("raw_jitter_cm_") + names[a], rawJitter);
        report(std::string("drawn_jitter_cm_") + names[a], frameToFrameJitter(drawn));
        EXPECT_LE(deviation(raw), largest[a]) << names[a];
        EXPECT_LE(frameToFrameJitter(drawn), rawJitter / 3) << names[a];
        EXPECT_LE(frameToFrameJitter(predicted), rawJitter / 3) << names[a];
    }
}

TEST(Camera, AMovingHeadIsFollowedWithinMillimetresOnEveryFace) {
    auto offsetAt = [](double t) { return t < 1.0 ? HeadPose{} : SyntheticCamera::path(t - 1.0); };
    std::vector<std::pair<TestFace, unsigned>> videos;  // faces and noise seeds
    for (TestFace face : allTestFaces) videos.push_back({face, 1});
    // With this noise the detector's first search finds Grace Hopper's face a third too
    // large; a neutral place taken in that box would leave the distance 13 cm off.
    videos.push_back({TestFace::hopper, 4});
    for (auto [face, seed] : videos) {
        // cm RMS, x y z: with glasses too (Grace Hopper's), whose rims make the shape
        // predictor's eye points jump by a pixel or two from picture to picture, and more
        // with the second noise.
        const double largest[] = {0.3, 0.3, seed == 1 ? 0.8 : 0.9};
        Followed moving = follow(6.0, one(face, offsetAt), 1.0, seed);
        const std::string name =
            nameOf(face) + (seed == 1 ? "" : ", noise " + std::to_string(seed));
        ASSERT_GE(moving.raw.size(), 100u) << name << ": frames followed";
        for (int a = 0; a < 3; ++a) {
            double error = rootMeanSquare(moving.raw, moving.truth, axes[a]);
            report(name + ": path RMS cm " + "xyz"[a], error);
            EXPECT_LE(error, largest[a]) << name << " "
                                         << "xyz"[a];
        }
        // The faces are drawn with their eyes as far apart as the generic face's: the
        // distance is measured, not assumed, within 2.5 % at 60 cm.
        double bias = 0;
        for (double d : moving.distances) bias += d / static_cast<double>(moving.distances.size());
        report(name + ": measured distance minus truth, mean cm", bias);
        EXPECT_LE(std::fabs(bias), 1.5) << name;
    }
}

// In the rooms people sit in (tests/camera/SyntheticCamera.h): dim, blurring a moving head,
// compressing heavily. The moving head keeps its poses, and its place and distance.
TEST(Camera, AMovingHeadIsFollowedInADimRoomThroughMotionBlurAndHeavyCompression) {
    auto offsetAt = [](double t) { return t < 1.0 ? HeadPose{} : SyntheticCamera::path(t - 1.0); };
    struct Video {
        TestFace face;
        Room room;
        double largestSideways, largestZ;  // cm RMS: compression costs the distance most,
                                           // as a pixel of the eyes' distance is a cm of it
        unsigned seed = 1;
    };
    // With noise 3 Grace Hopper's landmarks in the dim room, laid in a box a little too
    // large as her head moves away, come out larger still, and once drew the box with them;
    // and her face's low contrast, not lifted, sends them 0.4 cm RMS astray sideways.
    for (auto [face, room, largestSideways, largestZ, seed] :
         {Video{TestFace::astronaut, Room::dim, 0.4, 0.8},
          Video{TestFace::hopper, Room::dim, 0.2, 1.5, 3},
          Video{TestFace::hopper, Room::blurred, 0.4, 0.8},
          Video{TestFace::astronaut, Room::compressed, 0.4, 1.5},
          Video{TestFace::hopper, Room::compressed, 0.4, 1.5}}) {
        const std::string name = std::string(nameOf(face)) + ", " + nameOf(room);
        Followed moving = follow(6.0, one(face, offsetAt), 1.0, seed, room);
        const double posed = static_cast<double>(moving.raw.size()) / std::max(moving.frames, 1);
        report(name + ": share of frames posed", posed);
        EXPECT_GE(posed, 0.95) << name;
        const double largest[] = {largestSideways, largestSideways, largestZ};
        for (int a = 0; a < 3; ++a) {
            double error = rootMeanSquare(moving.raw, moving.truth, axes[a]);
            report(name + ": path RMS cm " + "xyz"[a], error);
            EXPECT_LE(error, largest[a]) << name << " " << "xyz"[a];
        }
    }
}

TEST(Camera, SpeechDoesNotMoveTheDistance) {
    for (TestFace face : {TestFace::astronaut}) {
        Followed talking = follow(
            4.0,
            [face](double t) {
                return std::vector<DrawnHead>{
                    {SyntheticCamera::neutral(), face, SyntheticCamera::speech(t)}};
            },
            0.5);
        ASSERT_GE(talking.raw.size(), 60u) << nameOf(face);
        std::vector<double> z;
        for (const HeadPose& p : talking.raw) z.push_back(p.z);
        report(std::string(nameOf(face)) + ": distance SD while speaking, cm", deviation(z));
        EXPECT_LT(deviation(z), 0.3) << nameOf(face);
    }
}

// A head at the neutral place turning in yaw (±30 degrees), then pitch and roll (±20).
HeadPose turning(double t) {
    HeadPose offset;
    double swing = t < 1.0 ? 0.0 : std::sin(2 * std::numbers::pi * std::fmod(t - 1.0, 2.0) / 2.0);
    if (t >= 1.0 && t < 3.0) offset.yaw = 30 * swing;
    if (t >= 3.0 && t < 5.0) offset.pitch = 20 * swing;
    if (t >= 5.0) offset.roll = 20 * swing;
    return offset;
}

TEST(Camera, TurnsKeepTheDistanceAndGiveTheAngles) {
    // Mirrored, the face's own asymmetries change sides and the turns' signs must not.
    for (TestFace face : {TestFace::astronaut, TestFace::mirrored}) {
        Followed turns = follow(7.0, one(face, turning), 0.0);
        ASSERT_GE(turns.raw.size(), 100u) << nameOf(face);
        // A face in a photograph is turned a little of its own: the angles count from
        // those measured while the head faces the camera, in the first second.
        double HeadPose::*const angles[] = {&HeadPose::yaw, &HeadPose::pitch, &HeadPose::roll};
        double facing[3] = {};
        int facingCount = 0;
        for (std::size_t i = 0; i < turns.raw.size() && turns.times[i] - turns.times[0] < 0.6;
             ++i) {
            for (int a = 0; a < 3; ++a) facing[a] += turns.raw[i].*angles[a];
            ++facingCount;
        }
        double farthest = 0, worstYaw = 0;
        for (std::size_t i = 0; i < turns.raw.size(); ++i) {
            farthest = std::max(farthest, std::fabs(turns.raw[i].z));
            for (int a = 0; a < 3; ++a) {
                double measured = turns.raw[i].*angles[a] - facing[a] / facingCount;
                double truth = turns.truth[i].*angles[a];
                if (a == 0) worstYaw = std::max(worstYaw, std::fabs(measured - truth));
                EXPECT_TRUE(std::fabs(truth) < 10 || measured * truth > 0)
                    << nameOf(face) << ": angle " << a << " at " << i;
            }
        }
        report(std::string(nameOf(face)) + ": turning, largest distance change, cm", farthest);
        report(std::string(nameOf(face)) + ": turning, largest yaw error, degrees", worstYaw);
        EXPECT_LE(farthest, 2.0) << nameOf(face);
        EXPECT_LE(worstYaw, 5.0) << nameOf(face);
    }
}

// The followed face stays followed when a larger one comes into view beside it, and when
// it leaves the picture no pose strays on the way out.
TEST(Camera, TheFollowedFaceAloneGivesPosesAndNoneStraysAtTheEdge) {
    Followed crowd = follow(
        4.0,
        [](double t) {
            std::vector<DrawnHead> heads{{SyntheticCamera::neutral()}};
            if (t > 1.5) heads.push_back({{-25, -2, 45, 0, 0, 0}, TestFace::hopper});
            return heads;
        },
        0.5);
    ASSERT_GE(crowd.raw.size(), 80u);
    for (std::size_t i = 0; i < crowd.raw.size(); ++i)
        ASSERT_LT(std::hypot(crowd.raw[i].x, crowd.raw[i].y, crowd.raw[i].z), 1.0) << i;

    // Out to the right by 45 cm and back: half the picture is 35 cm across at 60 cm.
    Followed edge =
        follow(6.0,
               one(TestFace::astronaut,
                   [](double t) {
                       return HeadPose{45 * std::pow(std::sin(std::numbers::pi * t / 6), 2), 0, 0};
                   }),
               0.0);
    bool back = false;
    for (std::size_t i = 0; i < edge.raw.size(); ++i) {
        for (int a = 0; a < 3; ++a)
            ASSERT_LT(std::fabs(edge.raw[i].*axes[a] - edge.truth[i].*axes[a]), 2.0)
                << "xyz"[a] << " with the head " << edge.truth[i].x << " cm to the right";
        back = back || (edge.raw[i].x < 5 && i > edge.raw.size() / 2);
    }
    EXPECT_TRUE(back) << "the face was not found again";
}

// With nobody in view the whole picture is searched only now and then, yet a face that
// comes into view is followed within half a second; one that jumps (a cut in a video, a
// fast move) is followed again within a fifth of a second.
TEST(Camera, AFaceComingIntoViewOrJumpingIsFollowedSoon) {
    TestVideo arriving;
    ASSERT_TRUE(SyntheticCamera::writeVideo(arriving.name, 640, 480, 3.0, [](double t) {
        return t < 1.5 ? std::vector<DrawnHead>{}
                       : std::vector<DrawnHead>{{SyntheticCamera::neutral()}};
    }));
    double foundAt = -1;
    int searches = 0;
    followVideo(arriving.name, 0.0, [&](const VideoFrame& frame, const FaceTrack& track, double) {
        const double t = frame.number / SyntheticCamera::framesPerSecond;
        if (t < 1.5) searches += track.wholeSearch;
        if (track.faceFound && foundAt < 0) foundAt = t;
    });
    EXPECT_LE(searches, 12) << "searches of an empty room in 1.5 s";
    EXPECT_GE(foundAt, 1.5);
    EXPECT_LE(foundAt, 2.0);

    TestVideo jumping;
    ASSERT_TRUE(SyntheticCamera::writeVideo(
        jumping.name, 640, 480, 3.0, [](double t) { return HeadPose{t < 1.5 ? -15.0 : 15.0}; }));
    double followedAgain = -1;
    followVideo(jumping.name, 0.0, [&](const VideoFrame& frame, const FaceTrack& track, double) {
        const double t = frame.number / SyntheticCamera::framesPerSecond;
        if (t >= 1.5 && followedAgain < 0 && track.outcome == FaceTrack::Outcome::posed &&
            track.pose.pose.x > 25)
            followedAgain = t;
    });
    EXPECT_GE(followedAgain, 1.5);
    EXPECT_LE(followedAgain, 1.7) << "a face that jumped by 30 cm";
}

// A compressed video copies unchanged blocks from frame to frame: a still face keeps its
// box byte for byte now and then, and a heavily compressed one speaking keeps its eyes for
// most of a second; neither is a frozen picture. A video that truly stops changing is told.
TEST(Camera, AStillFaceInACompressedVideoIsFollowedInEveryFrameAndAFrozenOneIsTold) {
    TestVideo compressed(".mkv");
    ASSERT_TRUE(SyntheticCamera::writeVideo(
        compressed.name, 640, 480, 4.0,
        [](double t) {
            return std::vector<DrawnHead>{
                {SyntheticCamera::neutral(), TestFace::astronaut, SyntheticCamera::speech(t)}};
        },
        1, 0, Room::compressed));
    int withFace = 0, posed = 0;
    followVideo(compressed.name, 0.0, [&](const VideoFrame& frame, const FaceTrack& track, double) {
        const double t = frame.number / SyntheticCamera::framesPerSecond;
        if (t < 1.0) return;  // found and centred by then
        withFace += track.faceFound || track.outcome == FaceTrack::Outcome::frozen;
        posed += track.outcome == FaceTrack::Outcome::posed;
    });
    EXPECT_GE(withFace, 85);
    EXPECT_EQ(posed, withFace) << "frames of a still face given no pose";

    // One picture, written again and again from the second second on.
    TestVideo frozen;
    {
        SyntheticCamera camera(640, 480, 60.0);
        cv::VideoWriter video(frozen.name, cv::CAP_FFMPEG,
                              cv::VideoWriter::fourcc('M', 'J', 'P', 'G'),
                              SyntheticCamera::framesPerSecond, {640, 480}, false);
        cv::Mat still = camera.picture(SyntheticCamera::neutral(), 1.0);
        for (int k = 0; k < 90; ++k)
            video.write(k < 30 ? camera.picture(SyntheticCamera::neutral(), k / 30.0) : still);
    }
    double frozenAt = -1;
    bool posedAfter = false;
    followVideo(frozen.name, 0.0, [&](const VideoFrame& frame, const FaceTrack& track, double) {
        const double t = frame.number / SyntheticCamera::framesPerSecond;
        if (frozenAt < 0 && track.outcome == FaceTrack::Outcome::frozen) frozenAt = t;
        posedAfter = posedAfter || (frozenAt >= 0 && track.outcome == FaceTrack::Outcome::posed);
    });
    EXPECT_GE(frozenAt, 1.0);
    EXPECT_LE(frozenAt, 1.6);
    EXPECT_FALSE(posedAfter);
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
        EXPECT_FALSE(finder.find(garbage, face)) << "a face in noise";
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
