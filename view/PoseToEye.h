#pragma once

#include <optional>
#include <string>

#include "model/CameraPose.h"
#include "model/HeadPose.h"
#include "model/MotionFilter.h"
#include "model/OneEuroFilter.h"
#include "view/TrueScale.h"

// How poses are smoothed before they are drawn.
enum class Filtering {
    motion,   // place and velocity (model/MotionFilter), predicted to when a picture is seen
    oneEuro,  // the One Euro filter
    none      // drawn as they come
};

// The true-scale picture, as the tracker places the eye in it: the view's settings, and
// where the camera sits, in screen centimetres.
struct TrueScaleTracking {
    TrueScale view;
    ScreenPoint cameraPlace;
};

struct TrackingSettings {
    HeadMapping mapping;
    Filtering filtering = Filtering::oneEuro;
    bool predict = true;  // with the motion filter
    // The One Euro filter's defaults, for a tracker's datagrams: on a still head with
    // 0.5 cm of jitter at 250 poses a second they leave under a fifth of it, and follow a
    // 10 cm step to 90 % in under 40 ms.
    Smoothing sideways{1.0, 0.05};               // x and y
    Smoothing distance{1.0, 0.05};               // z
    std::optional<TrueScaleTracking> trueScale;  // none: the angle mapping
    std::string trueScaleRefused;  // why not, where it was wanted: told as the window opens
};

// The eye's place in front of the screen, in screen centimetres, for the head `head` (a
// pose's offsets, smoothed or predicted) of the camera whose newest pose is `newest`: the
// camera's place, the neutral place from the camera, and the head's offset from there.
ScreenPoint cameraEye(const TrueScaleTracking& trueScale, const HeadMapping& mapping,
                      const CameraPose& newest, const HeadPose& head);

// Where the view is to put the head: by the viewing angle, the head in the tunnel's units;
// in true scale, the eye in screen centimetres, or in stereo both eyes.
struct EyePlacement {
    enum class Kind { angle, eye, eyes } kind = Kind::angle;
    float head[3] = {0.0f, 0.0f, 1.0f};  // x, y, z
    ScreenPoint eye, left, right;
};

// From a head tracker's poses to the eye that sees the picture: the poses filtered as the
// settings say, the head predicted to when its picture is seen, and mapped to the view.
// No clock and no output: times come with the poses and with each question.
class PoseToEye {
  public:
    explicit PoseToEye(const TrackingSettings& settings);

    // A tracker's pose, that came at `arrival` (monotonic seconds): an offset from the eye
    // centred at the viewing distance.
    void add(const HeadPose& pose, double arrival);
    // A camera's pose, placed from the camera and its neutral place. A new neutral place
    // (the recentring key) is a step that no filter smooths: they start again from it, and
    // add() says so.
    bool add(const CameraPose& pose, double arrival);
    // The head as drawn for a picture seen at `seen`: filtered, and with the motion filter
    // predicted to then, unless prediction is off.
    HeadPose headAt(double seen) const;
    // How far ahead of the newest pose headAt(seen) predicts, in seconds.
    double horizon(double seen) const;
    EyePlacement place(const HeadPose& head) const;
    // The head was lost: the filters start again with the next pose.
    void reset();

  private:
    TrackingSettings settings;
    OneEuroFilter xFilter, yFilter, zFilter;
    HeadPredictor predictor;
    std::optional<HeadPose> smoothed;  // the One Euro filter's, or the newest pose unfiltered
    std::optional<CameraPose> camera;  // the newest camera pose
};
