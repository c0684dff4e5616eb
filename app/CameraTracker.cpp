#include "app/CameraTracker.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "camera/FaceFit.h"
#include "platform/Date.h"

namespace {
constexpr double lowestRate = 20.0;     // frames a second
constexpr double rateTakenAfter = 2.0;  // seconds
constexpr long unchangedTold = 15;      // frames in a row, before it is told

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

// The pixels of a face's box grown by `margin` times its size on each side, within a
// picture of width x height: columns [left, right), rows [top, bottom).
struct Region {
    int left, top, right, bottom;
};
Region regionAround(const FaceBox& face, double margin, int width, int height) {
    double half = face.size * (0.5 + margin);
    auto within = [](double v, int size) { return std::clamp(static_cast<int>(v), 0, size); };
    return {within(face.x - half, width), within(face.y - half, height),
            within(face.x + half, width), within(face.y + half, height)};
}
// What is kept of the picture before around its face: the face moves little between
// frames, and where it moved further its picture has changed.
constexpr double keptMargin = 0.5;
}  // namespace

std::string skippedFramesText(long count) {
    return std::to_string(count) +
           (count == 1 ? " frame that could not be read was"
                       : " frames that could not be read were") +
           " skipped";
}

CameraTracker::CameraTracker(std::unique_ptr<VideoSource> source, double fieldOfView,
                             double distance)
    : source(std::move(source)),
      name(this->source->name()),
      settings(this->source->settings()),
      fieldOfView(fieldOfView),
      distance(distance) {}

CameraTracker::~CameraTracker() {
    stop();
}

std::string CameraTracker::description() const {
    return "camera " + name + ": " + source->format();
}

void CameraTracker::tellSettingsChanged() const {
    if (source->rateHeld())
        std::fprintf(stderr,
                     "fishtank-track: camera %s: exposure_dynamic_framerate off while the "
                     "program runs, so that dim light does not lower the frame rate "
                     "(--camera-settings keep leaves it alone)\n",
                     name.c_str());
}

Durations CameraTracker::frameAges() const {
    std::lock_guard<std::mutex> lock(agesLock);
    return ages;
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
    if (std::isfinite(frame.exposureStart)) {
        std::lock_guard<std::mutex> lock(agesLock);
        ages.add(frame.readTime - frame.exposureStart);
    }
    const GreyImage& picture = frame.picture;
    if (!poses || poses->geometry().width != picture.width ||
        poses->geometry().height != picture.height)
        poses.emplace(CameraGeometry{picture.width, picture.height, fieldOfView}, distance);
    if (recentreWanted.exchange(false)) poses->recentre();
    step.faceFound = finder.find(picture, step.face);
    step.wholeSearch = finder.searchedWholePicture();
    if (step.faceFound && unchangedAround(step.face)) {
        step.faceFound = false;
        step.unchanged = true;
    }
    if (step.faceFound) {
        double begun = monotonicSeconds();
        landmarks.place(picture, landmarkBox(step.face), step.shape);
        step.landmarking = monotonicSeconds() - begun;
        step.landmarked = true;
        step.measured = fitFace(step.shape, eyes.centres(picture, step.shape, !poses->isCentred()),
                                poses->geometry(), step.measure);
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
    keepAround(step.face);
    return step;
}

// Whether at least half the rows of the face's box hold the same pixels as in the picture
// before. A camera's noise changes every row; stale pixels, or a frozen picture, do not.
// A box beyond what was kept of the picture before (around its face) counts as changed.
bool CameraTracker::unchangedAround(const FaceBox& face) const {
    const GreyImage& now = frame.picture;
    if (before.pictureWidth != now.width || before.pictureHeight != now.height) return false;
    Region box = regionAround(face, 0.0, now.width, now.height);
    const GreyImage& kept = before.part;
    if (box.right <= box.left || box.left < before.left || box.top < before.top ||
        box.right > before.left + kept.width || box.bottom > before.top + kept.height)
        return false;
    int same = 0;
    for (int row = box.top; row < box.bottom; ++row) {
        std::size_t at = static_cast<std::size_t>(row) * static_cast<std::size_t>(now.width) +
                         static_cast<std::size_t>(box.left);
        std::size_t keptAt =
            static_cast<std::size_t>(row - before.top) * static_cast<std::size_t>(kept.width) +
            static_cast<std::size_t>(box.left - before.left);
        same += std::memcmp(&now.pixels[at], &kept.pixels[keptAt],
                            static_cast<std::size_t>(box.right - box.left)) == 0;
    }
    return 2 * same >= box.bottom - box.top;
}

// Keeps the picture's pixels around `face` for the next frame's unchangedAround(), in the
// same storage frame after frame; none without a face (its box is empty then).
void CameraTracker::keepAround(const FaceBox& face) {
    const GreyImage& now = frame.picture;
    Region region = regionAround(face, keptMargin, now.width, now.height);
    before.pictureWidth = now.width;
    before.pictureHeight = now.height;
    before.left = region.left;
    before.top = region.top;
    GreyImage& kept = before.part;
    kept.width = region.right - region.left;
    kept.height = region.bottom - region.top;
    const auto width = static_cast<std::size_t>(kept.width);
    kept.pixels.resize(width * static_cast<std::size_t>(kept.height));
    for (int row = 0; row < kept.height; ++row)
        std::memcpy(
            kept.pixels.data() + static_cast<std::size_t>(row) * width,
            now.pixels.data() +
                static_cast<std::size_t>(region.top + row) * static_cast<std::size_t>(now.width) +
                static_cast<std::size_t>(region.left),
            width);
}

void CameraTracker::run() {
    bool ready = true;
    try {
        loadModels();  // here, not before the window: it takes most of a second
    } catch (const std::runtime_error& e) {
        std::fprintf(stderr, "fishtank-track: camera: %s\n", e.what());
        ready = false;
    }
    long frames = 0, unchanged = 0;  // since the source opened
    double firstRead = 0.0;
    long firstSequence = 0;
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
            long skipped = source->skippedFrames();
            std::fprintf(stderr, "fishtank-track: camera: end of %s%s\n", name.c_str(),
                         skipped > 0 ? (" (" + skippedFramesText(skipped) + ")").c_str() : "");
            break;
        }
        if (done.read == VideoSource::Read::failed) {
            std::fprintf(stderr,
                         "fishtank-track: camera %s stopped delivering pictures; trying it "
                         "again every second\n",
                         name.c_str());
            if (!reopen()) break;
            frames = 0;
            rateTold = false;
            continue;
        }
        unchanged = done.unchanged ? unchanged + 1 : 0;
        if (unchanged == unchangedTold)
            std::fprintf(stderr,
                         "fishtank-track: camera %s: the picture around the face stopped "
                         "changing (a frozen or damaged video); no face is followed in it\n",
                         name.c_str());
        if (frames++ == 0) {
            firstRead = frame.readTime;
            firstSequence = frame.sequence;
        }
        double seconds = frame.readTime - firstRead;
        if (source->isDevice() && !rateTold && seconds >= rateTakenAfter) {
            rateTold = true;
            tellLowRate((frame.sequence - firstSequence) / seconds, (frames - 1) / seconds);
        }
    }
    std::lock_guard<std::mutex> lock(stateLock);
    finished = true;
    stateChanged.notify_all();
}

// The camera's own rate, from its frame numbers, falls in dim light; the rate of frames
// processed falls below it when the computer cannot keep up. A device that does not
// number its frames delivered at least those processed.
void CameraTracker::tellLowRate(double delivered, double processed) {
    delivered = std::max(delivered, processed);
    double offered = source->framesPerSecond();
    if (delivered < lowestRate && (offered <= 0 || delivered < 0.9 * offered))
        std::fprintf(stderr,
                     "fishtank-track: camera %s delivers only %.0f frames/s: in dim light "
                     "webcams lengthen their exposure; more light on your face brings the "
                     "rate up\n",
                     name.c_str(), delivered);
    else if (processed < lowestRate && processed < 0.9 * delivered) {
        // Below a frame a second, its first digit that is not 0: "0.4", not "0".
        char rate[32];
        std::snprintf(rate, sizeof rate, processed < 1 ? "%.1g" : "%.0f", processed);
        std::fprintf(stderr,
                     "fishtank-track: camera %s delivers %.0f frames/s but only %s are "
                     "processed: the computer is too slow or too busy to follow the face in "
                     "every frame\n",
                     name.c_str(), delivered, rate);
    }
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
            source = std::make_unique<VideoSource>(name, settings);
        } catch (const std::runtime_error&) {
            continue;
        }
        std::fprintf(stderr, "fishtank-track: %s\n", description().c_str());
        tellSettingsChanged();
        return true;
    }
}
