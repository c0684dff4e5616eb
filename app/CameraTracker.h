#pragma once

#include <memory>

#include "camera/FaceTracker.h"
#include "camera/VideoSource.h"
#include "model/Durations.h"

// The computer's camera as a head tracker. Capture and the face take milliseconds a frame,
// so they run on a thread of their own and the main thread keeps its ticks and keys.
//
// The hand-over: each pose goes into a one-pose mailbox under a lock, replacing any that
// the main thread has not taken (the newest wins, as with datagrams), and the thread makes
// a descriptor readable. The main run loop watches that descriptor as it watches a
// tracker's socket: it wakes, clears the descriptor, then takes the newest pose and draws
// it. Clearing before taking means that a pose left after the take wakes it again.
//
// On stderr, from its thread: the end of a file; a source that got stuck; a device that
// stops delivering pictures, which is then tried again once a second; after two seconds, a
// rate too low to follow a face, with its cause (the camera, or the processing).
class CameraTracker {
  public:
    // Follows `faces` in `source`'s frames; a device that stops is opened again with
    // `settings`. The landmarks' model must be read.
    CameraTracker(std::unique_ptr<VideoSource> source, std::unique_ptr<FaceTracker> faces,
                  CameraSettings settings);
    ~CameraTracker();
    CameraTracker(const CameraTracker&) = delete;
    CameraTracker& operator=(const CameraTracker&) = delete;

    // "camera /dev/video0: 640x480 MJPG at 30 frames/s"
    std::string description() const;
    void tellSettingsChanged() const;

    // Starts the capture thread; stop() asks it to end and waits for it up to 0.15 s (a
    // read that blocks, of a device that hangs or a FIFO that stopped, ends with the
    // process: the thread owns what it uses).
    void start();
    void stop();
    // Whether the capture thread has ended: the source ended, or failed for good (said on
    // stderr). The descriptor is then readable.
    bool ended() const;
    // Readable when a pose waits; takePose() takes the newest, on the main thread, and
    // poseDrawn() says when its picture is on the screen.
    int descriptor() const;
    bool takePose(CameraPose& pose);
    void poseDrawn();
    // Takes the face's next place as the neutral one; from any thread.
    void recentre();
    // How old the frames were when read, from the start of their exposure, where the
    // device stamps them.
    Durations frameAges() const;

  private:
    struct Capture;
    std::shared_ptr<Capture> capture;
};
