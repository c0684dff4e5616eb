#include "model/HeadPose.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <initializer_list>

namespace {
constexpr std::size_t poseBytes = 48;

double littleEndianDouble(const unsigned char* bytes) {
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = bits << 8 | bytes[i];
    return std::bit_cast<double>(bits);
}
}  // namespace

void writePoseDatagram(const HeadPose& pose, unsigned char (&bytes)[48]) {
    const double values[6] = {pose.x, pose.y, pose.z, pose.yaw, pose.pitch, pose.roll};
    for (int i = 0; i < 6; ++i) {
        auto bits = std::bit_cast<std::uint64_t>(values[i]);
        for (int b = 0; b < 8; ++b) bytes[8 * i + b] = static_cast<unsigned char>(bits >> (8 * b));
    }
}

PoseDatagram readPoseDatagram(const unsigned char* bytes, std::size_t size, HeadPose& pose) {
    if (size != poseBytes) return PoseDatagram::wrongSize;
    double v[6];
    for (int i = 0; i < 6; ++i) v[i] = littleEndianDouble(bytes + 8 * i);
    const HeadPose read{v[0], v[1], v[2], v[3], v[4], v[5]};
    PoseDatagram result = checkPose(read);
    if (result == PoseDatagram::accepted) pose = read;
    return result;
}

PoseDatagram checkPose(const HeadPose& pose) {
    for (double value : {pose.x, pose.y, pose.z, pose.yaw, pose.pitch, pose.roll})
        if (!std::isfinite(value)) return PoseDatagram::notFinite;
    for (double offset : {pose.x, pose.y, pose.z})
        if (std::fabs(offset) > largestOffset) return PoseDatagram::outOfRange;
    return PoseDatagram::accepted;
}

void HeadMapping::headFor(const HeadPose& pose, float& xHead, float& yHead, float& zHead) const {
    const Vector3 offset = offsetFor(pose);
    xHead = static_cast<float>(offset.x / distance);
    yHead = static_cast<float>(offset.y / distance);
    zHead = static_cast<float>(1.0 + offset.z / distance);
}

Vector3 HeadMapping::offsetFor(const HeadPose& pose) const {
    const Vector3 offset = inverted({pose.x, pose.y, pose.z});
    return {gain * offset.x, gain * offset.y, offset.z};
}

Vector3 HeadMapping::inverted(const Vector3& place) const {
    return {invertX ? -place.x : place.x, invertY ? -place.y : place.y,
            invertZ ? -place.z : place.z};
}
