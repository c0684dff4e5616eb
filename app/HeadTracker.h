#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/CameraTracker.h"
#include "app/FramePacer.h"
#include "model/Durations.h"
#include "model/HeadPose.h"
#include "model/MotionFilter.h"
#include "model/OneEuroFilter.h"
#include "platform/Application.h"
#include "platform/RecordFile.h"
#include "platform/UdpSocket.h"
#include "view/TrueScale.h"

class ArController;
class HeadTrackedView;
class PoseSender;

// One Euro filter settings for one axis.
struct Smoothing {
    double minCutoff;  // Hz
    double beta;       // Hz per cm/s
};

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

// The eye's place in front of the screen, in screen centimetres, for the head `head` (a
// pose's offsets, smoothed or predicted) of the camera whose newest pose is `newest`: the
// camera's place, the neutral place from the camera, and the head's offset from there.
ScreenPoint cameraEye(const TrueScaleTracking& trueScale, const HeadMapping& mapping,
                      const CameraPose& newest, const HeadPose& head);

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

// Drives the view's head from the poses of a head tracker, on the main thread: datagrams
// are read as the run loop finds the socket readable, a camera's poses are taken as the
// run loop finds its wake-up readable. A tracker's newest valid pose is smoothed, mapped
// and drawn at once, through the controller's tick. A camera's poses go into the motion
// filter, and while a face is followed pictures are drawn at the display's pace, each with
// the head predicted to when it will be seen. Without poses for half a second the head is
// let go, and the keys move it again. Tells stderr when tracking starts and stops and, at
// most once a second, how many poses it dropped and how many the records could not take.
class HeadTracker : public ObjectController {
  public:
    // Poses from a tracker's datagrams on `socket`, or from `camera`: one of the two.
    // `record`, when not null, receives every accepted pose as a line of a pose trace;
    // `frames` every picture drawn from a tracked head; `sender` the camera's poses as
    // filtered for the window, predicted to when each is sent.
    HeadTracker(std::unique_ptr<UdpSocket> socket, std::unique_ptr<CameraTracker> camera,
                const TrackingSettings& settings, RecordFile* record, RecordFile* frames,
                PoseSender* sender);

    void awakeFromNib() override;
    // Announces the camera and starts its thread: awakeFromNib() does, or, without a
    // window, the program's own loop, which then calls receiveCameraPose() and watch().
    void startCamera();
    int cameraDescriptor() const { return camera->descriptor(); }
    bool cameraEnded() const { return camera->ended(); }
    void receivePoses();
    void receiveCameraPose();
    // Notices lost tracking and reports drops; runs ten times a second.
    void watch();
    // The recentring key: the camera takes the face's place now as the neutral one.
    void recentre();
    // Before the program ends: stops the camera and tells how long its frames took from
    // being read to being on the screen.
    void finish();
    bool isTracking() const { return tracking; }
    const std::optional<CameraPose>& newestCameraPose() const { return newest; }

    // Outlets, connected by the interface description.
    HeadTrackedView* oglView = nullptr;
    ArController* controller = nullptr;

  private:
    void startTracking(double arrival);
    void drawPose(const HeadPose& pose, double arrival);
    HeadPose smoothed(const HeadPose& pose, double arrival);
    void drawPredicted();
    void drawPicture(const HeadPose& head, double horizon);
    void place(const HeadPose& head);
    void cameraPoseShown(double swapped);
    void countDropped(PoseDatagram reason);
    void recorded(RecordFile*& file, RecordFile::Append result);
    void resetFilters();

    std::unique_ptr<UdpSocket> socket;
    std::unique_ptr<CameraTracker> camera;
    TrackingSettings settings;
    RecordFile* record;  // null once recording stopped
    RecordFile* frames;  // likewise
    PoseSender* sender;
    OneEuroFilter xFilter, yFilter, zFilter;
    HeadPredictor predictor;
    std::unique_ptr<FramePacer> pacer;  // while a face is followed, with prediction
    double refreshRate;  // Hz
    std::optional<CameraPose> newest;  // the camera's newest pose taken
    bool awaitingPicture = false;      // the newest camera pose is not yet on the screen
    bool tracking = false;
    double lastPoseTime = 0.0;
    double lastDropReport = 0.0, lastRecordReport = 0.0;
    long wrongSize = 0, notFinite = 0, outOfRange = 0;
    long notRecorded[2] = {};  // lines the pose and picture records could not take at once
    Durations frameToPhoton, exposureToPhoton;  // camera poses, seconds
};
