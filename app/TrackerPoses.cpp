#include "app/TrackerPoses.h"

#include "platform/Date.h"

namespace {
constexpr int mostPerWake = 1024;  // datagrams read per wake-up at most
}  // namespace

void DroppedPoses::count(PoseDatagram reason) {
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

std::vector<TrackerPose> TrackerPoses::receive(double until, DroppedPoses& dropped) {
    std::vector<TrackerPose> poses;
    unsigned char datagram[64];  // a pose is 48 bytes; receive() tells any longer length
    for (int i = 0; i < mostPerWake && monotonicSeconds() < until; ++i) {
        const long length = socket.receive(datagram, sizeof datagram);
        if (length < 0) break;
        HeadPose pose;
        const PoseDatagram read =
            readPoseDatagram(datagram, static_cast<std::size_t>(length), pose);
        if (read == PoseDatagram::accepted)
            poses.push_back({pose, monotonicSeconds()});
        else
            dropped.count(read);
    }
    return poses;
}
