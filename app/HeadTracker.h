#pragma once

#include <memory>

#include "app/CameraTracker.h"
#include "model/Durations.h"
#include "model/HeadPose.h"
#include "model/OneEuroFilter.h"
#include "platform/Application.h"
#include "platform/RecordFile.h"
#include "platform/UdpSocket.h"

class ArController;
class HeadTrackedView;

// One Euro filter settings for one axis.
struct Smoothing {
    double minCutoff;  // Hz
    double beta;       // Hz per cm/s
};

struct TrackingSettings {
    HeadMapping mapping;
    bool smooth = true;
    // The defaults for a tracker's datagrams: on a still head with 0.5 cm of jitter at 250
    // poses a second they leave under a fifth of it, and follow a 10 cm step to 90 % in
    // under 40 ms.
    Smoothing sideways{1.0, 0.05};  // x and y
    Smoothing distance{1.0, 0.05};  // z
};

// The camera's defaults, chosen on the synthetic videos of bench/camera.sh (30 poses a
// second): for each axis, of the settings that leave at most a quarter of a still face's
// jitter (the aim is a third), the one that follows the moving head most closely. Sideways:
// 2 Hz leaves 23 % and beta 0.3 follows the path to 0.26 cm RMS (the datagrams' 1,0.05:
// 0.73 cm). The distance, from the fit to the face's landmarks, is 13 times noisier than
// the sideways place in the same video: 1.5 Hz with beta 0.3 leaves 21 % and follows the
// path to 0.38 cm.
constexpr Smoothing cameraSideways{2.0, 0.3};
constexpr Smoothing cameraDistance{1.5, 0.3};

// Drives the view's head from the poses of a head tracker, on the main thread: datagrams
// are read as the run loop finds the socket readable, a camera's poses are taken as the
// run loop finds its wake-up readable. The newest valid pose of those waiting is smoothed,
// mapped to the head and drawn at once, through the controller's tick. Without poses for
// half a second the head is let go, and the keys move it again. Tells stderr when tracking
// starts and stops and, at most once a second, how many poses it dropped and how many the
// record could not take at once.
class HeadTracker : public ObjectController {
  public:
    // Poses from a tracker's datagrams on `socket`, or from `camera`: one of the two.
    // `record`, when not null, receives every accepted pose as a line of a pose trace.
    HeadTracker(std::unique_ptr<UdpSocket> socket, std::unique_ptr<CameraTracker> camera,
                const TrackingSettings& settings, RecordFile* record);

    void awakeFromNib() override;
    void receivePoses();
    void receiveCameraPose();
    // Notices lost tracking and reports drops; runs ten times a second.
    void watch();
    // The recentring key: the camera takes the face's place now as the neutral one.
    void recentre();
    // Before the program ends: stops the camera and tells how long its frames took from
    // being read to being on the screen.
    void finish();

    // Outlets, connected by the interface description.
    HeadTrackedView* oglView = nullptr;
    ArController* controller = nullptr;

  private:
    void drawPose(const HeadPose& pose, double arrival);
    void countDropped(PoseDatagram reason);
    void recordPose(double arrival, const HeadPose& pose);
    void stopRecording();  // after a failed write, saying why (errno)
    void resetFilters();

    std::unique_ptr<UdpSocket> socket;
    std::unique_ptr<CameraTracker> camera;
    TrackingSettings settings;
    RecordFile* record;  // null once recording stopped
    OneEuroFilter xFilter, yFilter, zFilter;
    bool tracking = false;
    double lastPoseTime = 0.0;
    double lastDropReport = 0.0, lastRecordReport = 0.0;
    long wrongSize = 0, notFinite = 0, outOfRange = 0;
    long notRecorded = 0;                       // poses the record could not take without waiting
    Durations frameToPhoton, exposureToPhoton;  // camera poses, seconds
};
