#pragma once

#include <string>
#include <vector>

#include "model/HeadPose.h"
#include "platform/UdpSocket.h"

// A pose that came from a head tracker, and when it came (monotonic seconds).
struct TrackerPose {
    HeadPose pose;
    double arrival;
};

// How many poses were refused since last told, by why.
struct DroppedPoses {
    long wrongSize = 0, notFinite = 0, outOfRange = 0;

    void count(PoseDatagram reason);
    long total() const { return wrongSize + notFinite + outOfRange; }
};

// The poses a head tracker sends as datagrams, on a UDP socket of this machine.
class TrackerPoses {
  public:
    // Throws std::runtime_error whose text is the reason, as UdpSocket does.
    TrackerPoses(const std::string& address, int port) : socket(address, port) {}

    int descriptor() const { return socket.descriptor(); }
    std::string where() const { return socket.address() + ":" + std::to_string(socket.port()); }
    // The poses of the datagrams that wait, oldest first; the refused are counted in
    // `dropped`. Reading stops at `until` (monotonic seconds), so that a flood of datagrams
    // cannot hold off the ticks.
    std::vector<TrackerPose> receive(double until, DroppedPoses& dropped);

  private:
    UdpSocket socket;
};
