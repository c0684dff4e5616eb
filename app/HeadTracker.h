#pragma once

#include <memory>

#include "model/HeadPose.h"
#include "model/OneEuroFilter.h"
#include "platform/Application.h"
#include "platform/RecordFile.h"
#include "platform/UdpSocket.h"

class ArController;
class HeadTrackedView;

struct TrackingSettings {
    HeadMapping mapping;
    bool smooth = true;
    // The filter's defaults: on a still head with 0.5 cm of jitter at 250 poses a second
    // they leave under a fifth of it, and follow a 10 cm step to 90 % in under 40 ms.
    double minCutoff = 1.0;  // Hz
    double beta = 0.05;      // Hz per cm/s
};

// Drives the view's head from the poses of a head tracker: each datagram that arrives is
// read on the main thread as the run loop finds the socket readable; the newest valid pose
// of those waiting is smoothed, mapped to the head and drawn at once, through the
// controller's tick. Without poses for half a second the head is let go, and the keys
// move it again. Tells stderr when tracking starts and stops and, at most once a second,
// how many datagrams it dropped and how many poses the record could not take at once.
class HeadTracker : public ObjectController {
  public:
    // `record`, when not null, receives every accepted pose as a line of a pose trace.
    HeadTracker(std::unique_ptr<UdpSocket> socket, const TrackingSettings& settings,
                RecordFile* record);

    void awakeFromNib() override;
    void receivePoses();
    // Notices lost tracking and reports dropped datagrams; runs ten times a second.
    void watch();

    // Outlets, connected by the interface description.
    HeadTrackedView* oglView = nullptr;
    ArController* controller = nullptr;

  private:
    void recordPose(double arrival, const HeadPose& pose);
    void stopRecording();  // after a failed write, saying why (errno)
    void resetFilters();

    std::unique_ptr<UdpSocket> socket;
    TrackingSettings settings;
    RecordFile* record;  // null once recording stopped
    OneEuroFilter xFilter, yFilter, zFilter;
    bool tracking = false;
    double lastPoseTime = 0.0;
    double lastDropReport = 0.0, lastRecordReport = 0.0;
    long wrongSize = 0, notFinite = 0, outOfRange = 0;
    long notRecorded = 0;  // poses the record could not take without waiting
};
