#pragma once

#include <cstddef>

// A head pose as a head tracker sends it in opentrack's "UDP over network" protocol: one
// datagram per pose, exactly 48 bytes, six IEEE-754 doubles in the sender's byte order
// (little-endian on every machine that runs a tracker): x, y, z in centimetres, then yaw,
// pitch, roll in degrees. There is no header, sequence number or timestamp. The values are
// offsets from the user's neutral pose, after the tracker's own filters and curves: z is
// not the distance to the screen. Senders send about 250 poses a second, also when their
// camera has no new frame.
struct HeadPose {
    double x = 0, y = 0, z = 0;           // +x to the user's right, +y up, +z away from the screen
    double yaw = 0, pitch = 0, roll = 0;  // read and recorded; they do not move the head
};

// An offset or a place in centimetres.
struct Vector3 {
    double x = 0, y = 0, z = 0;
};

enum class PoseDatagram { accepted, wrongSize, notFinite, outOfRange };

// Positions beyond this many centimetres are no head in front of a screen.
constexpr double largestOffset = 10000.0;

// Writes `pose` as the 48 bytes of its datagram.
void writePoseDatagram(const HeadPose& pose, unsigned char (&bytes)[48]);

// Reads one datagram into `pose`; anything but 48 bytes of a pose that checkPose()
// accepts is refused, and `pose` is left as it was.
PoseDatagram readPoseDatagram(const unsigned char* bytes, std::size_t size, HeadPose& pose);

// Whether a pose, from any source, is one of a head in front of a screen: six finite values
// with |x|, |y|, |z| within the largest offset.
PoseDatagram checkPose(const HeadPose& pose);

// The view's head position (in the tunnel's units, distance 1 at the neutral pose) for a
// pose seen by a user at `distance` centimetres from the screen: lateral offsets keep the
// viewing angle (x / distance), scaled by `gain`; leaning back by the whole distance
// reaches head distance 2. Inverted axes are flipped first.
struct HeadMapping {
    double distance = 60.0;
    double gain = 1.0;
    bool invertX = false, invertY = false, invertZ = false;

    void headFor(const HeadPose& pose, float& xHead, float& yHead, float& zHead) const;
    // The pose's offset in centimetres, its axes inverted and its sideways and vertical
    // motion scaled by the gain.
    Vector3 offsetFor(const HeadPose& pose) const;
    // A place in centimetres, its axes inverted (a mirrored camera's picture).
    Vector3 inverted(const Vector3& place) const;
};
