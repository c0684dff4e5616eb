#include "app/HeadTracker.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/ArController.h"
#include "model/PoseTrace.h"
#include "platform/Date.h"
#include "platform/RunLoop.h"
#include "platform/Timer.h"
#include "view/HeadTrackedView.h"

namespace {
constexpr double lostAfter = 0.5;  // seconds without a pose
constexpr int mostPerWake = 1024;  // datagrams read per wake-up at most
}  // namespace

HeadTracker::HeadTracker(std::unique_ptr<UdpSocket> socket, const TrackingSettings& settings,
                         RecordFile* record)
    : socket(std::move(socket)),
      settings(settings),
      record(record),
      xFilter(settings.minCutoff, settings.beta),
      yFilter(settings.minCutoff, settings.beta),
      zFilter(settings.minCutoff, settings.beta) {}

void HeadTracker::awakeFromNib() {
    // Said once the window exists: a program that cannot start announces nothing.
    std::fprintf(stderr, "fishtank-track: listening on %s:%d\n", socket->address().c_str(),
                 socket->port());
    // Each run's poses follow a header line of their own: their times restart.
    if (record && record->begin(std::string(poseTraceHeader) + "\n") == RecordFile::Append::failed)
        stopRecording();
    addSocketSource(socket->descriptor(), [this] { receivePoses(); });
    Timer::scheduledTimerWithTimeInterval(
        0.1, [this] { watch(); }, true);
}

void HeadTracker::receivePoses() {
    unsigned char datagram[64];  // a pose is 48 bytes; receive() tells any longer length
    HeadPose newest;
    double arrival = 0.0;
    bool received = false;
    // A flood of datagrams must not hold off the ticks: reading stops when one is due.
    for (int i = 0; i < mostPerWake && monotonicSeconds() < Timer::nextDeadline(); ++i) {
        long length = socket->receive(datagram, sizeof datagram);
        if (length < 0) break;
        HeadPose pose;
        switch (readPoseDatagram(datagram, static_cast<std::size_t>(length), pose)) {
            case PoseDatagram::accepted:
                newest = pose;
                arrival = monotonicSeconds();
                received = true;
                recordPose(arrival, pose);
                break;
            case PoseDatagram::wrongSize:
                ++wrongSize;
                break;
            case PoseDatagram::notFinite:
                ++notFinite;
                break;
            case PoseDatagram::outOfRange:
                ++outOfRange;
                break;
        }
    }
    if (!received || !oglView || !controller) return;

    lastPoseTime = arrival;
    if (!tracking) {
        tracking = true;
        std::fputs("fishtank-track: tracking\n", stderr);
    }
    HeadPose smoothed = newest;
    if (settings.smooth) {
        smoothed.x = xFilter.filter(newest.x, arrival);
        smoothed.y = yFilter.filter(newest.y, arrival);
        smoothed.z = zFilter.filter(newest.z, arrival);
    }
    float x, y, z;
    settings.mapping.headFor(smoothed, x, y, z);
    oglView->placeHead(x, y, z);
    controller->track(false);
}

void HeadTracker::watch() {
    double now = monotonicSeconds();
    if (tracking && now - lastPoseTime >= lostAfter) {
        tracking = false;
        if (oglView) oglView->releaseHead();
        resetFilters();
        std::fputs("fishtank-track: no head pose for 0.5 s\n", stderr);
    }
    if (notRecorded > 0 && now - lastRecordReport >= 1.0) {
        std::fprintf(stderr,
                     "fishtank-track: the pose record is read too slowly: %ld poses not recorded\n",
                     notRecorded);
        notRecorded = 0;
        lastRecordReport = now;
    }
    long dropped = wrongSize + notFinite + outOfRange;
    if (dropped > 0 && now - lastDropReport >= 1.0) {
        std::fprintf(stderr,
                     "fishtank-track: dropped %ld datagrams (%ld wrong size, %ld not finite, "
                     "%ld out of range)\n",
                     dropped, wrongSize, notFinite, outOfRange);
        wrongSize = notFinite = outOfRange = 0;
        lastDropReport = now;
    }
}

void HeadTracker::recordPose(double arrival, const HeadPose& pose) {
    if (!record) return;
    // One write per line, unbuffered, so that a trace survives a crash or a kill; a reader
    // that lags behind loses poses, never holds up the frames.
    switch (record->append(poseTraceLine(arrival, pose))) {
        case RecordFile::Append::written:
            break;
        case RecordFile::Append::wouldWait:
            ++notRecorded;
            break;
        case RecordFile::Append::failed:
            stopRecording();
            break;
    }
}

void HeadTracker::stopRecording() {
    std::fprintf(stderr, "fishtank-track: cannot write the pose record: %s; recording stops\n",
                 std::strerror(errno));
    record = nullptr;
}

void HeadTracker::resetFilters() {
    xFilter.reset();
    yFilter.reset();
    zFilter.reset();
}
