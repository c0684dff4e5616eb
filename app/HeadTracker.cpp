#include "app/HeadTracker.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

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

HeadTracker::HeadTracker(std::unique_ptr<UdpSocket> socket, std::unique_ptr<CameraTracker> camera,
                         const TrackingSettings& settings, RecordFile* record)
    : socket(std::move(socket)),
      camera(std::move(camera)),
      settings(settings),
      record(record),
      xFilter(settings.sideways.minCutoff, settings.sideways.beta),
      yFilter(settings.sideways.minCutoff, settings.sideways.beta),
      zFilter(settings.distance.minCutoff, settings.distance.beta) {}

void HeadTracker::awakeFromNib() {
    // Said once the window exists: a program that cannot start announces nothing.
    if (socket) {
        std::fprintf(stderr, "fishtank-track: listening on %s:%d\n", socket->address().c_str(),
                     socket->port());
        addDescriptorSource(socket->descriptor(), [this] { receivePoses(); });
    }
    if (camera) {
        std::fprintf(stderr, "fishtank-track: %s\n", camera->description().c_str());
        camera->tellSettingsChanged();
        addDescriptorSource(camera->descriptor(), [this] { receiveCameraPose(); });
        camera->start();
    }
    // Each run's poses follow a header line of their own: their times restart.
    if (record && record->begin(std::string(poseTraceHeader) + "\n") == RecordFile::Append::failed)
        stopRecording();
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
        PoseDatagram read = readPoseDatagram(datagram, static_cast<std::size_t>(length), pose);
        if (read != PoseDatagram::accepted) {
            countDropped(read);
            continue;
        }
        newest = pose;
        arrival = monotonicSeconds();
        received = true;
        recordPose(arrival, pose);
    }
    if (received) drawPose(newest, arrival);
}

void HeadTracker::receiveCameraPose() {
    CameraPose taken;
    if (!camera->takePose(taken)) return;
    PoseDatagram check = checkPose(taken.pose);
    double arrival = monotonicSeconds();
    if (check == PoseDatagram::accepted) {
        settings.mapping.distance = taken.neutralDistance;
        recordPose(arrival, taken.pose);
        drawPose(taken.pose, arrival);
    }
    camera->poseDrawn();
    if (check != PoseDatagram::accepted) return countDropped(check);
    // From the frame (and, where the camera stamps it, the exposure) to the picture drawn
    // from it having been swapped to the screen.
    double swapped = monotonicSeconds();
    frameToPhoton.add(swapped - taken.readTime);
    if (std::isfinite(taken.exposureStart)) exposureToPhoton.add(swapped - taken.exposureStart);
}

void HeadTracker::drawPose(const HeadPose& pose, double arrival) {
    if (!oglView || !controller) return;
    lastPoseTime = arrival;
    if (!tracking) {
        tracking = true;
        std::fputs("fishtank-track: tracking\n", stderr);
    }
    HeadPose smoothed = pose;
    if (settings.smooth) {
        smoothed.x = xFilter.filter(pose.x, arrival);
        smoothed.y = yFilter.filter(pose.y, arrival);
        smoothed.z = zFilter.filter(pose.z, arrival);
    }
    float x, y, z;
    settings.mapping.headFor(smoothed, x, y, z);
    oglView->placeHead(x, y, z);
    controller->track(false);
}

void HeadTracker::countDropped(PoseDatagram reason) {
    switch (reason) {
        case PoseDatagram::accepted:
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

void HeadTracker::recentre() {
    if (camera) camera->recentre();
}

void HeadTracker::finish() {
    if (!camera) return;
    camera->stop();
    // The frames' age where the device stamps them, face or no face; the poses' times
    // where any were drawn.
    Durations ages = camera->frameAges();
    if (frameToPhoton.count() == 0 && ages.count() == 0) return;
    auto ms = [](const Durations& d, double q) { return d.quantile(q) * 1000.0; };
    char text[160];
    std::string summary = "no poses drawn";
    if (frameToPhoton.count() > 0) {
        std::snprintf(text, sizeof text,
                      "%zu poses drawn, from frame to photon %.1f ms median, %.1f ms p99",
                      frameToPhoton.count(), ms(frameToPhoton, 0.5), ms(frameToPhoton, 0.99));
        summary = text;
    }
    if (exposureToPhoton.count() > 0) {
        std::snprintf(text, sizeof text, "; from the start of exposure %.1f ms median",
                      ms(exposureToPhoton, 0.5));
        summary += text;
    }
    if (ages.count() > 0) {
        std::snprintf(text, sizeof text,
                      "; frames %.1f ms old when read (median, from the start of exposure)",
                      ms(ages, 0.5));
        summary += text;
    } else {
        summary += "; the source stamps no exposure times";
    }
    std::fprintf(stderr, "fishtank-track: camera: %s\n", summary.c_str());
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
        if (socket)
            std::fprintf(stderr,
                         "fishtank-track: dropped %ld datagrams (%ld wrong size, %ld not finite, "
                         "%ld out of range)\n",
                         dropped, wrongSize, notFinite, outOfRange);
        else
            std::fprintf(stderr,
                         "fishtank-track: dropped %ld camera poses (%ld not finite, %ld out of "
                         "range)\n",
                         dropped, notFinite, outOfRange);
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
