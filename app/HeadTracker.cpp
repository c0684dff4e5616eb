#include "app/HeadTracker.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/ArController.h"
#include "app/PoseSender.h"
#include "model/PoseTrace.h"
#include "platform/Date.h"
#include "platform/RunLoop.h"
#include "platform/Timer.h"
#include "platform/Window.h"
#include "view/HeadTrackedView.h"

namespace {
constexpr double lostAfter = 0.5;            // seconds without a pose
constexpr int mostPerWake = 1024;            // datagrams read per wake-up at most
constexpr double assumedRefreshRate = 60.0;  // Hz, where the display's mode gives none
constexpr char frameRecordHeader[] = "t,x,y,z,horizon_ms";
}  // namespace

ScreenPoint cameraEye(const TrueScaleTracking& trueScale, const HeadMapping& mapping,
                      const CameraPose& newest, const HeadPose& head) {
    const Vector3 moved = mapping.offsetFor(head);
    const Vector3 neutral = mapping.inverted({newest.neutral.x, newest.neutral.y, 0.0});
    return {trueScale.cameraPlace.x + neutral.x + moved.x,
            trueScale.cameraPlace.y + neutral.y + moved.y, newest.neutral.z + moved.z};
}

HeadTracker::HeadTracker(std::unique_ptr<UdpSocket> socket, std::unique_ptr<CameraTracker> camera,
                         const TrackingSettings& settings, RecordFile* record, RecordFile* frames,
                         PoseSender* sender)
    : socket(std::move(socket)),
      camera(std::move(camera)),
      settings(settings),
      record(record),
      frames(frames),
      sender(sender),
      xFilter(settings.sideways.minCutoff, settings.sideways.beta),
      yFilter(settings.sideways.minCutoff, settings.sideways.beta),
      zFilter(settings.distance.minCutoff, settings.distance.beta),
      predictor(cameraSidewaysMotion, cameraDistanceMotion),
      refreshRate(assumedRefreshRate) {}

void HeadTracker::awakeFromNib() {
    if (oglView) {
        if (settings.trueScale) oglView->setTrueScale(settings.trueScale->view);
        const Window* window = oglView->window();
        if (window && window->monitor() && window->monitor()->refreshRate > 0)
            refreshRate = window->monitor()->refreshRate;
        if (camera && settings.filtering == Filtering::motion && settings.predict &&
            oglView->openGLContext())
            pacer = std::make_unique<FramePacer>(*oglView->openGLContext(),
                                                 [this] { drawPredicted(); });
    }
    // Said once the window exists: a program that cannot start announces nothing.
    if (!settings.trueScaleRefused.empty())
        std::fprintf(stderr, "fishtank-track: %s\n", settings.trueScaleRefused.c_str());
    if (socket) {
        std::fprintf(stderr, "fishtank-track: listening on %s:%d\n", socket->address().c_str(),
                     socket->port());
        addDescriptorSource(socket->descriptor(), [this] { receivePoses(); });
    }
    if (camera) {
        addDescriptorSource(camera->descriptor(), [this] { receiveCameraPose(); });
        startCamera();
    }
    // Each run's lines follow a header line of their own: their times restart.
    if (record)
        recorded(record, record->begin(
                             std::string(camera ? cameraPoseTraceHeader : poseTraceHeader) + "\n"));
    if (frames) recorded(frames, frames->begin(std::string(frameRecordHeader) + "\n"));
    Timer::scheduledTimerWithTimeInterval(
        0.1, [this] { watch(); }, true);
}

void HeadTracker::startCamera() {
    std::fprintf(stderr, "fishtank-track: %s\n", camera->description().c_str());
    camera->tellSettingsChanged();
    camera->start();
}

void HeadTracker::receivePoses() {
    unsigned char datagram[64];  // a pose is 48 bytes; receive() tells any longer length
    HeadPose newestPose;
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
        newestPose = pose;
        arrival = monotonicSeconds();
        received = true;
        if (record) recorded(record, record->append(poseTraceLine(arrival, pose)));
    }
    if (received) drawPose(newestPose, arrival);
}

void HeadTracker::receiveCameraPose() {
    CameraPose taken;
    if (!camera->takePose(taken)) return;
    PoseDatagram check = checkPose(taken.pose);
    if (check != PoseDatagram::accepted) {
        camera->poseDrawn();
        return countDropped(check);
    }
    const double arrival = monotonicSeconds();
    if (record) recorded(record, record->append(poseTraceLine(arrival, taken.pose, taken.takenAt)));
    // A new neutral place (the recentring key) is a step that no filter should smooth.
    if (newest && (taken.neutral.x != newest->neutral.x || taken.neutral.y != newest->neutral.y ||
                   taken.neutral.z != newest->neutral.z))
        resetFilters();
    newest = taken;
    awaitingPicture = true;
    settings.mapping.distance = taken.neutral.z;
    startTracking(arrival);
    if (settings.filtering != Filtering::motion) {
        const HeadPose head = smoothed(taken.pose, arrival);
        if (sender) sender->send(head, arrival, taken.readTime, taken.exposureStart);
        if (!oglView) return camera->poseDrawn();
        return drawPicture(head, 0.0);
    }
    predictor.add(taken.pose, taken.takenAt);
    if (sender) {
        const double now = monotonicSeconds();
        sender->send(settings.predict ? predictor.predict(now) : predictor.position(), now,
                     taken.readTime, taken.exposureStart);
    }
    // Without a window, a pose is done with once sent.
    if (!oglView) return camera->poseDrawn();
    drawPredicted();
    if (pacer) pacer->start(refreshRate);
}

void HeadTracker::startTracking(double arrival) {
    lastPoseTime = arrival;
    if (tracking) return;
    tracking = true;
    std::fputs("fishtank-track: tracking\n", stderr);
}

void HeadTracker::drawPose(const HeadPose& pose, double arrival) {
    startTracking(arrival);
    drawPicture(smoothed(pose, arrival), 0.0);
}

HeadPose HeadTracker::smoothed(const HeadPose& pose, double arrival) {
    HeadPose head = pose;
    if (settings.filtering == Filtering::oneEuro) {
        head.x = xFilter.filter(pose.x, arrival);
        head.y = yFilter.filter(pose.y, arrival);
        head.z = zFilter.filter(pose.z, arrival);
    }
    return head;
}

// A picture of the camera's head, predicted to when it will be seen: the expected end of
// its swap, and half a refresh of the display's scan-out after.
void HeadTracker::drawPredicted() {
    if (!predictor.started()) return;
    const double drawing = pacer ? pacer->expectedDrawing() : 0.0;
    const double seen = monotonicSeconds() + drawing + 0.5 / refreshRate;
    if (!settings.predict) return drawPicture(predictor.position(), 0.0);
    const double horizon = std::clamp(seen - predictor.time(), 0.0, MotionFilter::maxHorizon);
    drawPicture(predictor.predict(seen), horizon);
}

void HeadTracker::drawPicture(const HeadPose& head, double horizon) {
    if (!oglView || !controller) return;
    place(head);
    const double begun = monotonicSeconds();
    controller->track(false);
    const double swapped = monotonicSeconds();
    if (pacer) pacer->pictureShown(begun, swapped);
    if (frames) {
        char line[160];
        std::snprintf(line, sizeof line, "%.6f,%.17g,%.17g,%.17g,%.3f\n", swapped, head.x, head.y,
                      head.z, horizon * 1000.0);
        recorded(frames, frames->append(line));
    }
    if (camera && awaitingPicture) cameraPoseShown(swapped);
}

// Puts the head in the view: by the viewing angle, or in true scale as the eye's place in
// front of the screen. A camera's eye is placed absolutely, from the camera's place; a
// tracker's pose is an offset from the eye centred at the viewing distance.
void HeadTracker::place(const HeadPose& head) {
    if (!settings.trueScale) {
        float x, y, z;
        settings.mapping.headFor(head, x, y, z);
        oglView->placeHead(x, y, z);
        return;
    }
    const HeadMapping& mapping = settings.mapping;
    if (!camera || !newest) {
        const Vector3 moved = mapping.offsetFor(head);
        oglView->placeEye({moved.x, moved.y, settings.trueScale->view.distance + moved.z});
        return;
    }
    const ScreenPoint eye = cameraEye(*settings.trueScale, mapping, *newest, head);
    if (settings.trueScale->view.stereo == Stereo::off) {
        oglView->placeEye(eye);
        return;
    }
    const Vector3 right = mapping.inverted(newest->rightEye);
    oglView->placeEyes({eye.x - right.x, eye.y - right.y, eye.z - right.z},
                       {eye.x + right.x, eye.y + right.y, eye.z + right.z});
}

// From the camera's frame (and, where the camera stamps it, the exposure) to the first
// picture drawn from its pose having been swapped to the screen; the capture thread goes
// on to check the face.
void HeadTracker::cameraPoseShown(double swapped) {
    awaitingPicture = false;
    camera->poseDrawn();
    frameToPhoton.add(swapped - newest->readTime);
    if (std::isfinite(newest->exposureStart)) exposureToPhoton.add(swapped - newest->exposureStart);
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
    if (sender) std::fprintf(stderr, "fishtank-track: %s\n", sender->summary().c_str());
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
        if (pacer) pacer->stop();
        std::fputs("fishtank-track: no head pose for 0.5 s\n", stderr);
    }
    if ((notRecorded[0] > 0 || notRecorded[1] > 0) && now - lastRecordReport >= 1.0) {
        for (int i = 0; i < 2; ++i)
            if (notRecorded[i] > 0)
                std::fprintf(stderr,
                             "fishtank-track: the %s record is read too slowly: %ld %s not "
                             "recorded\n",
                             i == 0 ? "pose" : "picture", notRecorded[i],
                             i == 0 ? "poses" : "pictures");
        notRecorded[0] = notRecorded[1] = 0;
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

// What became of a line for a record: written whole, or not at all when the reader lags
// behind (counted; the pictures are never held up), or a failure that stops the record.
void HeadTracker::recorded(RecordFile*& file, RecordFile::Append result) {
    const bool poses = file == record;
    switch (result) {
        case RecordFile::Append::written:
            break;
        case RecordFile::Append::wouldWait:
            ++notRecorded[poses ? 0 : 1];
            break;
        case RecordFile::Append::failed:
            std::fprintf(stderr,
                         "fishtank-track: cannot write the %s record: %s; recording stops\n",
                         poses ? "pose" : "picture", std::strerror(errno));
            file = nullptr;
            break;
    }
}

void HeadTracker::resetFilters() {
    xFilter.reset();
    yFilter.reset();
    zFilter.reset();
    predictor.reset();
    if (sender) sender->reset();
}
