#pragma once

#include <optional>
#include <string>

#include "model/Durations.h"
#include "model/HeadPose.h"
#include "model/OneEuroFilter.h"
#include "platform/UdpSocket.h"

// Where --send sends: a host (a name or an IPv4 address) and a port.
struct SendTarget {
    std::string host;
    int port = 4242;
};

// The head's poses sent to another program (a pose hub, another fishtank-track) as a head
// tracker sends them: one 48-byte datagram a pose, in the program's own UDP format. The
// angles have filters of their own, since a hub turns a degree of yaw into many degrees of
// view. Sending never waits: a full socket buffer drops the pose, and a receiver that is
// not there (its host answers "port unreachable") costs nothing; both are counted.
class PoseSender {
  public:
    // The angles smoothed by `rotation`, or sent as they come without. Throws
    // std::runtime_error, its text the reason, when the host cannot be found.
    PoseSender(const SendTarget& target, std::optional<Smoothing> rotation);

    // Sends `pose`, its angles smoothed, as of `time` (seconds), from a frame read at
    // `readTime` whose exposure started at `exposureStart` (NaN where not known).
    void send(const HeadPose& pose, double time, double readTime, double exposureStart);
    // The head was lost: the angles' filters start afresh with the next pose.
    void reset();

    std::string destination() const;  // "HOST:PORT"
    long sent() const { return sentCount; }
    const HeadPose& lastSent() const { return last; }
    double lastSentAt() const { return lastTime; }  // monotonic seconds; 0 before the first
    // "sent 812 poses to HOST:PORT; 3 dropped (...); 0 found nobody listening", and the
    // poses' age when sent, from the start of their frame's exposure where the source
    // stamps it, else from the frame's read.
    std::string summary() const;

  private:
    std::string agesText() const;

    SendTarget target;
    UdpSocket socket;
    bool smoothing;
    OneEuroFilter yaw, pitch, roll;
    long sentCount = 0, droppedCount = 0, refusedCount = 0;
    HeadPose last;
    double lastTime = 0.0;
    Durations sinceExposure, sinceRead;  // seconds, to sending
};
