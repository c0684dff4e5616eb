#include "app/CameraTracker.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

#include "app/CameraWords.h"
#include "app/FrameCount.h"
#include "camera/FollowFrames.h"
#include "platform/WakeUp.h"

namespace {
constexpr double rateTakenAfter = 2.0;  // seconds
// The face is checked once the main thread has drawn the pose, or after this long: on a
// machine of two cores, checking while it draws slows the drawing.
constexpr auto drawingWait = std::chrono::milliseconds(30);
}  // namespace

// Everything the capture thread uses, shared with it: a thread left blocked in a read when
// the program ends keeps it alive.
struct CameraTracker::Capture {
    std::unique_ptr<VideoSource> source;
    std::unique_ptr<FaceTracker> faces;
    const std::string name;
    const CameraSettings settings;
    VideoFrame frame;
    std::atomic<bool> recentreWanted = false;
    mutable std::mutex agesLock;
    Durations ages;

    WakeUp wakeUp;
    std::mutex mailboxLock;
    std::condition_variable mailboxTaken;
    std::optional<CameraPose> mailbox;  // until taken
    bool drawing = false;               // a pose taken is being drawn

    mutable std::mutex stateLock;
    std::condition_variable stateChanged;
    bool started = false, stopping = false, finished = false;

    Capture(std::unique_ptr<VideoSource> source, std::unique_ptr<FaceTracker> faces,
            CameraSettings settings)
        : source(std::move(source)),
          faces(std::move(faces)),
          name(this->source->name()),
          settings(settings) {}

    std::string description() const { return "camera " + name + ": " + source->format(); }
    void run();
    void follow();
    void hand(const CameraPose& pose);
    bool reopen();
    bool stopRequested();
    void tellLowRate(const FrameCount& counted);
};

CameraTracker::CameraTracker(std::unique_ptr<VideoSource> source,
                             std::unique_ptr<FaceTracker> faces, CameraSettings settings)
    : capture(std::make_shared<Capture>(std::move(source), std::move(faces), settings)) {}

CameraTracker::~CameraTracker() {
    stop();
}

std::string CameraTracker::description() const {
    return capture->description();
}

void CameraTracker::tellSettingsChanged() const {
    ::tellSettingsChanged(*capture->source);
}

int CameraTracker::descriptor() const {
    return capture->wakeUp.descriptor();
}

void CameraTracker::recentre() {
    capture->recentreWanted = true;
}

Durations CameraTracker::frameAges() const {
    std::lock_guard<std::mutex> lock(capture->agesLock);
    return capture->ages;
}

void CameraTracker::start() {
    std::lock_guard<std::mutex> lock(capture->stateLock);
    if (capture->started || capture->stopping) return;
    capture->started = true;
    std::thread([c = capture] { c->run(); }).detach();
}

void CameraTracker::stop() {
    Capture& c = *capture;
    std::unique_lock<std::mutex> lock(c.stateLock);
    c.stopping = true;
    if (c.source) c.source->interrupt();  // the source is replaced only under this lock
    c.stateChanged.notify_all();
    c.mailboxTaken.notify_all();
    c.stateChanged.wait_for(lock, std::chrono::milliseconds(150),
                            [&c] { return !c.started || c.finished; });
}

bool CameraTracker::ended() const {
    std::lock_guard<std::mutex> lock(capture->stateLock);
    return capture->finished;
}

bool CameraTracker::takePose(CameraPose& pose) {
    Capture& c = *capture;
    c.wakeUp.clear();
    std::lock_guard<std::mutex> lock(c.mailboxLock);
    if (!c.mailbox) return false;
    pose = *c.mailbox;
    c.mailbox.reset();
    c.drawing = true;
    return true;
}

void CameraTracker::poseDrawn() {
    Capture& c = *capture;
    std::lock_guard<std::mutex> lock(c.mailboxLock);
    c.drawing = false;
    c.mailboxTaken.notify_all();
}

bool CameraTracker::Capture::stopRequested() {
    std::lock_guard<std::mutex> lock(stateLock);
    return stopping;
}

void CameraTracker::Capture::run() {
    try {
        follow();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fishtank-track: camera %s stopped: %s\n", name.c_str(), e.what());
    }
    std::lock_guard<std::mutex> lock(stateLock);
    finished = true;
    stateChanged.notify_all();
    wakeUp.notify();
}

void CameraTracker::Capture::follow() {
    FrameCount counted;  // since the source (re)opened
    bool rateTold = false, wasFrozen = false, errorTold = false;
    auto each = [&](const VideoFrame& current, const FaceTrack& track) {
        if (stopRequested()) return false;
        if (track.outcome == FaceTrack::Outcome::posed) hand(track.pose);
        if (std::isfinite(current.device.exposureStart)) {
            std::lock_guard<std::mutex> lock(agesLock);
            ages.add(current.device.readTime - current.device.exposureStart);
        }
        const bool frozen = track.outcome == FaceTrack::Outcome::frozen;
        if (frozen && !wasFrozen)
            std::fprintf(stderr,
                         "fishtank-track: camera %s: the picture around the face stopped "
                         "changing (a frozen or damaged video); no face is followed in it\n",
                         name.c_str());
        wasFrozen = frozen;
        if (track.outcome == FaceTrack::Outcome::failed && !errorTold) {
            std::fprintf(stderr, "fishtank-track: camera %s: a picture gave no pose: %s\n",
                         name.c_str(), track.error.c_str());
            errorTold = true;
        }
        counted.add(current);
        if (source->isDevice() && !rateTold && counted.seconds() >= rateTakenAfter) {
            rateTold = true;
            tellLowRate(counted);
        }
        // Taken before the next frame is followed.
        if (recentreWanted.exchange(false)) faces->recentre();
        return !stopRequested();
    };
    while (!stopRequested()) {
        const VideoSource::Read read = followFrames(*source, *faces, frame, each);
        if (read == VideoSource::Read::frame || stopRequested()) return;
        if (read == VideoSource::Read::ended) {
            long skipped = source->skippedFrames();
            std::fprintf(stderr, "fishtank-track: camera: end of %s%s\n", name.c_str(),
                         skipped > 0 ? (" (" + skippedFramesText(skipped) + ")").c_str() : "");
            return;
        }
        std::fprintf(stderr,
                     "fishtank-track: camera %s stopped delivering pictures; trying it "
                     "again every second\n",
                     name.c_str());
        if (!reopen()) return;
        counted = {};
        rateTold = false;
    }
}

void CameraTracker::Capture::hand(const CameraPose& pose) {
    std::unique_lock<std::mutex> lock(mailboxLock);
    mailbox = pose;
    wakeUp.notify();
    mailboxTaken.wait_for(lock, drawingWait,
                          [this] { return (!mailbox && !drawing) || stopRequested(); });
}

// The camera's own rate, from its frame numbers, falls in dim light; the rate of frames
// processed falls below it when the computer cannot keep up. A device that does not
// number its frames delivered at least those processed.
void CameraTracker::Capture::tellLowRate(const FrameCount& counted) {
    const std::string text = lowRateText(name, counted, source->framesPerSecond());
    if (!text.empty()) std::fprintf(stderr, "fishtank-track: %s\n", text.c_str());
}

bool CameraTracker::Capture::reopen() {
    {
        std::lock_guard<std::mutex> lock(stateLock);
        source.reset();
    }
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(stateLock);
            if (stateChanged.wait_for(lock, std::chrono::seconds(1), [this] { return stopping; }))
                return false;
        }
        std::unique_ptr<VideoSource> opened;
        try {
            opened = openVideoSource(name, settings);
        } catch (const std::exception&) {
            continue;
        }
        {
            std::lock_guard<std::mutex> lock(stateLock);
            source = std::move(opened);
        }
        std::fprintf(stderr, "fishtank-track: %s\n", description().c_str());
        ::tellSettingsChanged(*source);
        return true;
    }
}
