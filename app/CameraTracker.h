#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "camera/EyeRefiner.h"
#include "camera/FaceFinder.h"
#include "camera/FaceLandmarks.h"
#include "camera/VideoSource.h"
#include "model/Durations.h"
#include "model/FaceGeometry.h"
#include "model/HeadPose.h"
#include "platform/WakeUp.h"

// "1 frame that could not be read was skipped"
std::string skippedFramesText(long count);

// A head pose measured in a camera picture.
struct CameraPose {
    HeadPose pose;         // offsets from the neutral place, cm; the head's angles, degrees
    double neutralDistance;  // cm, measured or as given: the view's distance
    double readTime;       // monotonic seconds, when its frame had been read
    double exposureStart;  // its frame's exposure stamp; NaN when the source has none
};

// What one frame came to.
struct CameraStep {
    VideoSource::Read read = VideoSource::Read::frame;
    bool faceFound = false;
    FaceBox face;
    bool landmarked = false;  // the face's landmarks were placed (in `shape`)
    FaceShape shape{};
    bool measured = false;  // the fit to the landmarks passed its checks (in `measure`)
    FaceMeasure measure;
    bool posed = false;  // false while the face is being centred
    CameraPose pose{};
    bool wholeSearch = false;  // the face was searched for in the whole picture
    double processing = 0.0;   // seconds, from the frame read to the face checked
    // The picture around the face had not changed since the frame before: no face is
    // claimed in it (a stream whose size changed midway leaves stale pixels so).
    bool unchanged = false;
    double landmarking = 0.0;  // seconds, placing the landmarks alone
};

// The computer's camera as a head tracker: reads the newest frame, finds the user's face
// in it, places the face's landmarks, fits a generic face to them and turns the eyes'
// place and the head's turn into a head pose, as a tracker reports one.
//
// The hand-over: capture and detection take milliseconds a frame, so they run on a thread
// of their own, and the main thread keeps its ticks and keys. Each pose goes into a
// one-pose mailbox under a lock, replacing any that the main thread has not taken (the
// newest wins, as with datagrams), and the thread makes a descriptor readable. The main
// run loop watches that descriptor as it watches the tracker's socket: it wakes, clears
// the descriptor, then takes the newest pose from the mailbox and draws it, all on the
// main thread. Clearing before taking means that a pose left after the take wakes it
// again. Nothing else is shared but the stop and recentre requests.
//
// On stderr, from its thread: the end of a file, with its frames that could not be read;
// a picture that stopped changing around the face; a device that stops delivering pictures,
// which is then tried again once a second, with its format line when it is back; after two
// seconds, fewer than 20 frames a second, with the cause: the camera's own rate (counted
// by its frame numbers) or the processing.
class CameraTracker {
  public:
    // `distance` 0: the neutral distance is measured. Throws std::runtime_error when a
    // model of the face finder or of the landmarks is missing; the landmarks' model is
    // read by the capture thread (or the first step()), not here.
    CameraTracker(std::unique_ptr<VideoSource> source, double fieldOfView, double distance);
    ~CameraTracker();
    CameraTracker(const CameraTracker&) = delete;
    CameraTracker& operator=(const CameraTracker&) = delete;

    // "camera /dev/video0: 640x480 MJPG at 30 frames/s"
    std::string description() const;
    // Tells on stderr what the program changed of the camera's settings, if anything.
    void tellSettingsChanged() const;

    // Starts the capture thread; stop() asks it to end and waits for it up to 0.15 s
    // (not for a read that blocks, which ends with the process).
    void start();
    void stop();
    // Readable when a pose waits; takePose() takes the newest, on the main thread, and
    // poseDrawn() says when its picture is on the screen.
    int descriptor() const { return wakeUp.descriptor(); }
    bool takePose(CameraPose& pose);
    void poseDrawn();
    // Takes the face's next place as the neutral one; from any thread.
    void recentre() { recentreWanted = true; }

    // One frame: reads the newest, finds the face, gives its pose to `hand` at once (its
    // checking costs no latency), then checks the face. The capture thread runs this over
    // and over; the set-up check without a window calls it itself.
    CameraStep step(const std::function<void(const CameraPose&)>& hand);
    // Reads the landmarks' model, if it has not been read (most of a second): the capture
    // thread does at its start, step() before its first frame. Throws std::runtime_error
    // when the model cannot be read.
    void loadModels() { landmarks.load(); }
    const VideoFrame& lastFrame() const { return frame; }
    const VideoSource& video() const { return *source; }
    const FacePoses* facePoses() const { return poses ? &*poses : nullptr; }
    // How old the frames were when read, from the start of their exposure, where the
    // device stamps them; safe to call once the capture thread has stopped.
    Durations frameAges() const;

  private:
    void run();
    bool reopen();  // a device that stopped: tried once a second until it is back
    void tellLowRate(double delivered, double processed);
    bool stopRequested();
    bool unchangedAround(const FaceBox& face) const;
    void keepAround(const FaceBox& face);

    std::unique_ptr<VideoSource> source;
    const std::string name;
    const CameraSettings settings;
    const double fieldOfView, distance;
    FaceFinder finder;
    FaceLandmarks landmarks;
    EyeRefiner eyes;
    std::optional<FacePoses> poses;  // made for the pictures' size
    VideoFrame frame;
    // The picture before, only around its face (half the face's size beyond its box each
    // way), and its size: enough to tell a picture that stopped changing there.
    struct Kept {
        int pictureWidth = 0, pictureHeight = 0;
        int left = 0, top = 0;
        GreyImage part;  // empty when no face was found
    } before;
    std::atomic<bool> recentreWanted = false;
    mutable std::mutex agesLock;
    Durations ages;

    WakeUp wakeUp;
    std::mutex mailboxLock;
    std::condition_variable mailboxTaken;
    std::optional<CameraPose> mailbox;  // until drawn

    std::thread thread;
    std::mutex stateLock;
    std::condition_variable stateChanged;
    bool stopping = false, finished = false;
};
