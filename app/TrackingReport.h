#pragma once

#include <string>

#include "app/TrackerPoses.h"
#include "model/CameraPose.h"
#include "model/Durations.h"
#include "platform/RecordFile.h"

// What the tracked program tells of its tracking on stderr, and the records it keeps:
// when tracking starts and when it is lost, at most once a second the poses refused and
// the lines the records could not take, and at the end how long the camera's frames took
// to reach the screen. The records (each may be null): every pose taken as a line of a
// pose trace, and every picture drawn from a tracked head.
class TrackingReport {
  public:
    // Starts each record with its header: a camera's pose trace has the exposure column.
    TrackingReport(RecordFile* poses, RecordFile* pictures, bool camera);

    // A pose taken at `arrival` (monotonic seconds); `exposure` is its frame's, if known.
    void poseTaken(double arrival, const HeadPose& pose, double exposure);
    // Whether poses have stopped, for half a second by `now`: true once, when it is told.
    bool lost(double now);
    bool isTracking() const { return tracking; }
    // A picture drawn from `head`, predicted `horizon` seconds ahead, that was on the
    // screen at `swapped`; `camera` when it is the first drawn from that camera pose.
    void pictureDrawn(double swapped, const HeadPose& head, double horizon,
                      const CameraPose* camera);
    // Tells the poses refused, then counts them afresh, and the lines not recorded; from
    // datagrams or from the camera.
    void tellDropped(double now, DroppedPoses& dropped, bool datagrams);
    // "N poses drawn, from frame to photon ..."; empty when there is nothing to tell.
    std::string cameraSummary(const Durations& frameAges) const;

  private:
    void recorded(RecordFile*& file, RecordFile::Append result);

    RecordFile* poses;     // null once recording stopped
    RecordFile* pictures;  // likewise
    bool tracking = false;
    double lastPoseTime = 0.0;
    double lastDropReport = 0.0, lastRecordReport = 0.0;
    long notRecorded[2] = {};  // lines the pose and picture records could not take at once
    Durations frameToPhoton, exposureToPhoton;  // camera poses, seconds
};
