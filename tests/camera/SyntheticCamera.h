#pragma once

#include <functional>
#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>
#include <string>
#include <vector>

#include "camera/FaceTracker.h"
#include "platform/GreyImage.h"
#include "model/HeadPose.h"

// The faces the tests draw (see tests/camera/*.txt for where their pictures come from):
// the astronaut's face, the same mirrored, lit from one side, cropped with more and with
// less background around it, and at half the resolution; and Grace Hopper's.
enum class TestFace { astronaut, mirrored, litFromSide, widerCrop, tighterCrop, halfResolution, hopper };
constexpr TestFace allTestFaces[] = {TestFace::astronaut,   TestFace::mirrored,
                                     TestFace::litFromSide, TestFace::widerCrop,
                                     TestFace::tighterCrop, TestFace::halfResolution,
                                     TestFace::hopper};
const char* nameOf(TestFace face);

// A head in a synthetic picture: `place` is the midpoint between its eyes in cm from the
// camera (+x the user's right, +y up, +z away) with the head's angles as HeadPose has them;
// `speech` stretches the lower third of the face (from the nose's base down) by that
// fraction, as a mouth opening and a jaw dropping do.
struct DrawnHead {
    HeadPose place;
    TestFace face = TestFace::astronaut;
    double speech = 0.0;
};

// How a real room spoils the camera's pictures, each on its own: a dim room (a fifth of
// the light, the camera's gain doubled and a half: the shot noise of a fifth of the
// charge, and read noise, in a picture half as bright), a head moving during a long
// exposure (the frame's whole 1/30 s, the picture the mean of 8 along the head's path),
// and a webcam's heavy compression (H.264 at x264's constant quality 45, as ffmpeg has it:
// 10 to 30 kbit/s for these videos, most blocks of a still face skipped).
enum class Room { clean, dim, blurred, compressed };
const char* nameOf(Room room);

// Pictures a pinhole camera of a known field of view would take of faces at known places:
// a face picture laid on a generic face's relief (a head's curve and a nose), turned and
// placed as the head is, seen in perspective (hidden parts are not hidden: the relief is
// drawn as if transparent), at the scale where the eyes' centres are 6.3 cm apart, over a
// textured background, with sensor noise of about 3 grey levels and a light that flickers
// slowly (4 % every 2.5 s). The picture is not mirrored.
class SyntheticCamera {
  public:
    SyntheticCamera(int width, int height, double fieldOfView, unsigned seed = 1,
                    Room room = Room::clean);
    ~SyntheticCamera();

    // The picture at time `t` (seconds) of `heads`, the farthest drawn first.
    cv::Mat picture(const std::vector<DrawnHead>& heads, double t);
    // The same of the heads `headsAt(t)`, blurred in a blurring room by their movement.
    using Heads = std::function<std::vector<DrawnHead>(double)>;
    cv::Mat picture(const Heads& headsAt, double t);
    // The astronaut at `head`, or no face.
    cv::Mat picture(const HeadPose& head, double t, bool withFace = true);
    GreyImage grey(const HeadPose& head, double t, bool withFace = true);

    // Where the neutral head of the tests sits: 60 cm away, a little below the camera.
    static HeadPose neutral() { return {0.0, -5.0, 60.0, 0, 0, 0}; }
    // The head `offset` cm from the neutral place, turned by the offset's angles.
    static HeadPose at(const HeadPose& offset);
    // The tests' moving head, `t` seconds into its path, as an offset from the neutral
    // place: 12 cm either side (every 4 s), 6 cm up and down (every 3 s), and from 45 to
    // 85 cm away (every 5 s); at the neutral place at t = 0.
    static HeadPose path(double t);
    // The tests' speaking face, `t` seconds in: its lower third stretched by up to 15 %,
    // 2.5 times a second (DrawnHead::speech).
    static double speech(double t);

    // Writes a video (MJPG, as webcams send, in AVI; or in the `codec` given) of `seconds`
    // at 30 frames a second of the heads `headsAt(t)` in `room`, its noise from `seed`.
    // A compressing room writes H.264 through ffmpeg, in the container `path` names. False
    // when it cannot be written.
    static constexpr double framesPerSecond = 30.0;
    static bool writeVideo(const std::string& path, int width, int height, double seconds,
                           const Heads& headsAt, unsigned seed = 1,
                           int codec = cv::VideoWriter::fourcc('M', 'J', 'P', 'G'),
                           Room room = Room::clean);
    // The astronaut at offset `offsetAt(t)` from the neutral place, or no face at all.
    static bool writeVideo(const std::string& path, int width, int height, double seconds,
                           const std::function<HeadPose(double)>& offsetAt, bool withFace = true);

  private:
    struct Face;
    const Face& face(TestFace which);
    void draw(cv::Mat& frame, const DrawnHead& head);
    cv::Mat scene(const std::vector<DrawnHead>& heads);
    cv::Mat exposed(cv::Mat light, double t);

    int width, height;
    Room room;
    double focal;
    std::vector<Face> faces;  // by TestFace, read when first drawn
    cv::Mat background;
    cv::RNG noise;
};

// The standard deviation of `values`.
double deviation(const std::vector<double>& values);
// Jitter from frame to frame: the deviation of the change between successive values, over
// the square root of 2 (for noise that is new every frame, its deviation). Slow drift, of
// the light for one, is no jitter: no smoothing that follows a head could remove it.
double frameToFrameJitter(const std::vector<double>& values);

// Follows the video at `path` through the program's own face pipeline, as its capture
// thread does, with the neutral distance `distance` (0: measured): `each` has every frame
// read, what it came to and when (monotonic seconds) its pose was made.
using EachFrameMade = std::function<void(const VideoFrame&, const FaceTrack&, double made)>;
void followVideo(const std::string& path, double distance, const EachFrameMade& each);
