#pragma once

#include "model/HeadPose.h"

// Where a face is in a camera's picture, in pixels: the centre of its square box and the
// box's side (x to the right, y down, origin at the picture's top left corner).
struct FaceBox {
    double x = 0, y = 0, size = 0;
};

// A pinhole camera at the top centre of the screen, its axis square to the screen and
// looking at the user, its picture not mirrored: the user moving to their right moves the
// face to the left in the picture.
struct CameraGeometry {
    int width = 640, height = 480;        // the picture, pixels
    double horizontalFieldOfView = 60.0;  // degrees

    // f = (width / 2) / tan(fov / 2), in pixels: a point at angle a from the axis lands
    // f * tan(a) pixels from the picture's centre.
    double focalLength() const;
};

// Turns face boxes into head poses the way a head tracker reports them: offsets in
// centimetres from the neutral place, the face's mean place over its first few pictures
// (or since the last recentring), which is taken to be `distance` cm from the camera.
//
// With f the focal length, (cx, cy) the picture's centre, D the distance and s0, (u0, v0)
// the face's size and centre at the neutral place, a face of size s at (u, v) is at
//   depth  Z = D * s0 / s               (a face twice as large is half as far)
//   across X = -(u - cx) * Z / f        (the picture's left is the user's right)
//   up     Y = -(v - cy) * Z / f        (picture rows grow downward)
// and the pose is (X - X0, Y - Y0, Z - D), X0 and Y0 being the neutral place's X and Y at
// depth D; the angles stay 0. Only angles and the ratio of sizes enter, so the user's real
// face size does not matter.
class FacePoses {
  public:
    static constexpr int facesToCentre = 10;  // a third of a second at 30 frames/s

    FacePoses(const CameraGeometry& camera, double distance) : camera(camera), distance(distance) {}

    // The pose of the user whose face has this box; false while the faces are being
    // centred (a new neutral place is being taken).
    bool poseFor(const FaceBox& face, HeadPose& pose);
    // Takes the next faces' place as the neutral one.
    void recentre() { centring = 0; }
    bool isCentred() const { return centring == facesToCentre; }
    // The neutral place, relative to the camera: X0, Y0 and D in centimetres.
    HeadPose neutralPlace() const;
    const CameraGeometry& geometry() const { return camera; }

  private:
    CameraGeometry camera;
    double distance;
    int centring = 0;   // faces averaged so far into the neutral place
    FaceBox neutral{};  // their mean box
};
