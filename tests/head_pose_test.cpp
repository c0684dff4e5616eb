// Poses from a head tracker: the datagram, the mapping to the head, the smoothing.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "model/HeadPose.h"
#include "model/OneEuroFilter.h"

namespace {
std::vector<unsigned char> datagramOf(const HeadPose& pose) {
    unsigned char bytes[48];
    writePoseDatagram(pose, bytes);
    return {bytes, bytes + 48};
}

TEST(PoseDatagram, SixLittleEndianDoublesInProtocolOrder) {
    // 1.5 is 0x3FF8000000000000; as the first double, little-endian, it ends the 8 bytes.
    std::vector<unsigned char> bytes(48, 0);
    bytes[6] = 0xF8, bytes[7] = 0x3F;
    HeadPose pose;
    ASSERT_EQ(readPoseDatagram(bytes.data(), bytes.size(), pose), PoseDatagram::accepted);
    EXPECT_EQ(pose.x, 1.5);
    EXPECT_EQ(pose.roll, 0.0);

    HeadPose sent{1, -2, 3.25, 45, -10, 180};
    auto datagram = datagramOf(sent);
    ASSERT_EQ(readPoseDatagram(datagram.data(), 48, pose), PoseDatagram::accepted);
    EXPECT_EQ(pose.x, 1);
    EXPECT_EQ(pose.y, -2);
    EXPECT_EQ(pose.z, 3.25);
    EXPECT_EQ(pose.yaw, 45);
    EXPECT_EQ(pose.pitch, -10);
    EXPECT_EQ(pose.roll, 180);
}

TEST(PoseDatagram, EverythingElseIsDroppedAndTheLastPoseKept) {
    const HeadPose kept{7, 7, 7, 0, 0, 0};
    std::vector<unsigned char> big(65536, 0);
    for (std::size_t size : {0, 1, 47, 49, 64, 65536}) {
        HeadPose pose = kept;
        EXPECT_EQ(readPoseDatagram(big.data(), size, pose), PoseDatagram::wrongSize) << size;
        EXPECT_EQ(pose.x, 7);
    }
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int field = 0; field < 6; ++field)
        for (double bad : {nan, inf, -inf}) {
            double values[6] = {0, 0, 0, 0, 0, 0};
            values[field] = bad;
            HeadPose pose = kept;
            auto d = datagramOf({values[0], values[1], values[2], values[3], values[4], values[5]});
            EXPECT_EQ(readPoseDatagram(d.data(), 48, pose), PoseDatagram::notFinite) << field;
            EXPECT_EQ(pose.x, 7);
        }
    HeadPose pose = kept;
    auto far = datagramOf({0, 0, -10000.5, 0, 0, 0});
    EXPECT_EQ(readPoseDatagram(far.data(), 48, pose), PoseDatagram::outOfRange);
    auto edge = datagramOf({10000, -10000, 10000, 1e300, 0, 0});  // angles need only be finite
    EXPECT_EQ(readPoseDatagram(edge.data(), 48, pose), PoseDatagram::accepted);
}

TEST(HeadMapping, OffsetsBecomeViewingAnglesAndDistance) {
    HeadMapping mapping;  // 60 cm, gain 1
    float x, y, z;
    mapping.headFor({}, x, y, z);
    EXPECT_EQ(x, 0.0f);
    EXPECT_EQ(y, 0.0f);
    EXPECT_EQ(z, 1.0f);
    mapping.headFor({30, -15, 60, 0, 0, 0}, x, y, z);
    EXPECT_EQ(x, 0.5f);
    EXPECT_EQ(y, -0.25f);
    EXPECT_EQ(z, 2.0f);

    mapping.gain = 2;
    mapping.distance = 50;
    mapping.headFor({10, 5, -25, 0, 0, 0}, x, y, z);
    EXPECT_EQ(x, 0.4f);
    EXPECT_EQ(y, 0.2f);
    EXPECT_EQ(z, 0.5f);  // gain is lateral only; the frame step clamps z to 1

    mapping.invertX = true;
    mapping.headFor({10, 5, -25, 0, 0, 0}, x, y, z);
    EXPECT_EQ(x, -0.4f);
    mapping.invertX = false;
    mapping.invertY = true;
    mapping.headFor({10, 5, -25, 0, 0, 0}, x, y, z);
    EXPECT_EQ(y, -0.2f);
    mapping.invertY = false;
    mapping.invertZ = true;
    mapping.headFor({10, 5, -25, 0, 0, 0}, x, y, z);
    EXPECT_EQ(z, 1.5f);
}

// The default settings against a still head with jitter and a sudden step, at 250 Hz.
TEST(OneEuro, StillHeadsStayStillAndStepsAreFollowedQuickly) {
    const double rate = 250, minCutoff = 1.0, beta = 0.05;
    OneEuroFilter still(minCutoff, beta);
    std::mt19937 random(42);
    std::normal_distribution<double> jitter(0.0, 0.5);
    double sum = 0, squares = 0;
    const int samples = 5000, settle = 250;
    for (int i = 0; i < samples; ++i) {
        double out = still.filter(jitter(random), i / rate);
        if (i < settle) continue;
        sum += out;
        squares += out * out;
    }
    double n = samples - settle, mean = sum / n;
    double deviation = std::sqrt(squares / n - mean * mean);
    EXPECT_LE(deviation, 0.5 / 4) << "output deviation " << deviation << " cm";

    OneEuroFilter step(minCutoff, beta);
    for (int i = 0; i < 250; ++i) step.filter(0.0, i / rate);
    int reached = -1;
    for (int i = 0; i < 250 && reached < 0; ++i)
        if (step.filter(10.0, (250 + i) / rate) >= 9.0) reached = i;
    ASSERT_GE(reached, 0);
    EXPECT_LE(reached / rate, 0.150) << "90 % after " << reached / rate * 1000 << " ms";
    RecordProperty("jitter_left_cm", std::to_string(deviation));
    RecordProperty("step_90_percent_ms", std::to_string(reached / rate * 1000));
}

TEST(OneEuro, FirstSamplePassesAndNoTimeMovesNothing) {
    OneEuroFilter filter(1.0, 0.05);
    EXPECT_EQ(filter.filter(5.0, 1.0), 5.0);
    double moved = filter.filter(6.0, 1.004);
    EXPECT_GT(moved, 5.0);
    EXPECT_LT(moved, 6.0);
    EXPECT_EQ(filter.filter(100.0, 1.004), moved);
    EXPECT_EQ(filter.filter(100.0, 1.0), moved);
    filter.reset();
    EXPECT_EQ(filter.filter(-3.0, 2.0), -3.0);
}
}  // namespace
