#include "app/CameraTracker.h"

#include <chrono>
#include <cstdio>
#include <stdexcept>

#include "camera/FaceFit.h"
#include "platform/Date.h"

namespace {
constexpr double lowestRate = 20.0;     // frames a second
constexpr double rateTakenAfter = 2.0;  // seconds

// The face detector's box holds the face from the brows to the mouth; the box that the
// landmarks' mean shape is laid in, its eyes and nose over the face's, is this much larger
// (from the brows to the chin and across the jaw). The finder follows boxes of its own
// kind, and is corrected to where the landmarks place the face.
constexpr double landmarkBoxScale = 1.37;
FaceBox landmarkBox(const FaceBox& face) {
    return {face.x, face.y, face.size * landmarkBoxScale};
}
FaceBox finderBox(const FaceBox& face) {
    return {face.x, face.y, face.size / landmarkBoxScale};
}
}  // namespace

CameraTracker::CameraTracker(std::unique_ptr<VideoSource> source, double fieldOfView,
                             double distance)
    : source(std::move(source)),
      name(this->source->name()),
      fieldOfView(fieldOfView),
      distance(distance) {}

CameraTracker::~CameraTracker() {
    stop();
}

std::string CameraTracker::description() const {
    return "camera " + name + ": " + source->format();
}

void CameraTracker::start() {
    thread = std::thread([this] { run(); });
}

void CameraTracker::stop() {
    std::unique_lock<std::mutex> lock(stateLock);
    stopping = true;
    stateChanged.notify_all();
    if (!thread.joinable()) return;
    // A frame ends within milliseconds; a read that blocks (a device that hangs, a FIFO
    // that no longer feeds a video) is left to end with the process.
    bool ended =
        stateChanged.wait_for(lock, std::chrono::milliseconds(150), [this] { return finished; });
    lock.unlock();
    if (ended)
        thread.join();
    else
        thread.detach();
}

bool CameraTracker::stopRequested() {
    std::lock_guard<std::mutex> lock(stateLock);
    return stopping;
}

bool CameraTracker::takePose(CameraPose& pose) {
    wakeUp.clear();
    std::lock_guard<std::mutex> lock(mailboxLock);
    if (!mailbox) return false;
    pose = *mailbox;
    return true;
}

void CameraTracker::poseDrawn() {
    std::lock_guard<std::mutex> lock(mailboxLock);
    mailbox.reset();
    mailboxTaken.notify_all();
}

CameraStep CameraTracker::step(const std::function<void(const CameraPose&)>& hand) {
    CameraStep step;
    loadModels();  // before the first frame: a file's clock starts with it
    step.read = source->readNewest(frame);
    if (step.read != VideoSource::Read::frame) return step;
    const GreyImage& picture = frame.picture;
    if (!poses || poses->geometry().width != picture.width ||
        poses->geometry().height != picture.height)
        poses.emplace(CameraGeometry{picture.width, picture.height, fieldOfView}, distance);
    if (recentreWanted.exchange(false)) poses->recentre();
    step.faceFound = finder.find(picture, step.face);
    step.wholeSearch = finder.searchedWholePicture();
    if (step.faceFound) {
        double begun = monotonicSeconds();
        landmarks.place(picture, landmarkBox(step.face), step.shape);
        step.landmarking = monotonicSeconds() - begun;
        step.landmarked = true;
        step.measured = fitFace(step.shape, poses->geometry(), step.measure);
    }
    if (step.measured) finder.correct(picture, finderBox(landmarks.boxOf(step.shape)));
    if (step.measured && poses->poseFor(step.measure, step.pose.pose)) {
        step.posed = true;
        step.pose.neutralDistance = poses->neutralPlace().z;
        step.pose.readTime = frame.readTime;
        step.pose.exposureStart = frame.exposureStart;
        hand(step.pose);
    }
    finder.confirm(picture);
    step.processing = monotonicSeconds() - frame.readTime;
    return step;
}

void CameraTracker::run() {
    bool ready = true;
    try {
        loadModels();  // here, not before the window: it takes most of a second
    } catch (const std::runtime_error& e) {
        std::fprintf(stderr, "fishtank-track: camera: %s\n", e.what());
        ready = false;
    }
    double opened = monotonicSeconds();
    long frames = 0;
    bool rateTold = false;
    // The face is checked once the main thread has drawn the pose (or after a frame's
    // time): on a machine of two cores, checking while it draws slows the drawing.
    auto hand = [this](const CameraPose& pose) {
        std::unique_lock<std::mutex> lock(mailboxLock);
        mailbox = pose;
        wakeUp.notify();
        mailboxTaken.wait_for(lock, std::chrono::milliseconds(30), [this] { return !mailbox; });
    };
    while (ready && !stopRequested()) {
        CameraStep done = step(hand);
        if (done.read == VideoSource::Read::ended) {
            std::fprintf(stderr, "fishtank-track: camera: end of %s\n", name.c_str());
            break;
        }
        if (done.read == VideoSource::Read::failed) {
            std::fprintf(stderr,
                         "fishtank-track: camera %s stopped delivering pictures; trying it "
                         "again every second\n",
                         name.c_str());
            if (!reopen()) break;
            opened = monotonicSeconds();
            frames = 0;
            rateTold = false;
            continue;
        }
        ++frames;
        double open = monotonicSeconds() - opened;
        if (source->isDevice() && !rateTold && open >= rateTakenAfter) {
            rateTold = true;
            if (frames / open < lowestRate)
                std::fprintf(stderr,
                             "fishtank-track: camera %s delivers only %.0f frames/s: in dim "
                             "light webcams lengthen their exposure; more light on your face "
                             "brings the rate up\n",
                             name.c_str(), frames / open);
        }
    }
    std::lock_guard<std::mutex> lock(stateLock);
    finished = true;
    stateChanged.notify_all();
}

bool CameraTracker::reopen() {
    source.reset();
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(stateLock);
            if (stateChanged.wait_for(lock, std::chrono::seconds(1), [this] { return stopping; }))
                return false;
        }
        try {
            source = std::make_unique<VideoSource>(name);
        } catch (const std::runtime_error&) {
            continue;
        }
        std::fprintf(stderr, "fishtank-track: %s\n", description().c_str());
        return true;
    }
}
