// Fuzzes what a head tracker's datagrams reach: reading a pose, mapping it to the head with
// any settings, and the smoothing. Built and run like the text fuzz target:
//   build-fuzz/pose-fuzz -max_total_time=600 tests/fuzz/pose-corpus
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "model/HeadPose.h"
#include "model/OneEuroFilter.h"

namespace {
void check(bool condition) {
    if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    HeadPose pose{1, 2, 3, 4, 5, 6};
    PoseDatagram result = readPoseDatagram(data, size, pose);
    if (result != PoseDatagram::accepted) {
        check(pose.x == 1 && pose.roll == 6);  // a dropped datagram leaves the pose alone
        return 0;
    }
    check(size == 48);
    check(std::fabs(pose.x) <= largestOffset && std::fabs(pose.y) <= largestOffset &&
          std::fabs(pose.z) <= largestOffset && std::isfinite(pose.yaw) &&
          std::isfinite(pose.pitch) && std::isfinite(pose.roll));
    unsigned char again[48];
    writePoseDatagram(pose, again);
    check(std::memcmp(again, data, 48) == 0);

    // Any accepted pose, with any settings the command line allows, gives a finite head.
    HeadMapping mapping;
    mapping.distance = 1 + std::fabs(std::fmod(pose.yaw, 10000.0));
    mapping.gain = 0.001 + std::fabs(std::fmod(pose.pitch, 100.0));
    mapping.invertX = data[0] & 1, mapping.invertY = data[0] & 2, mapping.invertZ = data[0] & 4;
    float x, y, z;
    mapping.headFor(pose, x, y, z);
    check(std::isfinite(x) && std::isfinite(y) && std::isfinite(z));

    OneEuroFilter filter(1.0, 0.05);
    double out = filter.filter(pose.x, 0.0);
    out = filter.filter(pose.y, 0.004);
    out = filter.filter(pose.z, 0.004 + std::fabs(std::fmod(pose.roll, 1.0)));
    check(std::isfinite(out));
    return 0;
}
