#pragma once

#include <memory>

#include "camera/VideoSource.h"
#include "model/FaceGeometry.h"

// The 68 landmarks of a face (the iBUG 300-W numbering: jaw 0-16, brows 17-26, nose
// 27-35, eyes 36-47, mouth 48-67), placed in a picture by dlib's shape predictor: a
// cascade of regression trees that moves a mean face shape, laid in the face's box, by
// differences of pixel pairs sampled around it. Its model comes with Debian's libdlib-data.
//
// The points are kept in fractions of a pixel: dlib's own call rounds them to whole
// pixels, which would throw away what the pose fit averages over many points.
class FaceLandmarks {
  public:
    // Throws std::runtime_error when the model file cannot be read; loads nothing yet.
    FaceLandmarks();
    ~FaceLandmarks();
    FaceLandmarks(const FaceLandmarks&) = delete;
    FaceLandmarks& operator=(const FaceLandmarks&) = delete;

    // Reads the model (about 100 MB, most of a second); place() calls it the first time.
    void load();
    // The landmarks of the face in `box` of `picture`.
    void place(const GreyImage& picture, const FaceBox& box, FaceShape& shape);
    // The box that place() would lay the mean shape in for its rigid landmarks (the nose
    // and the eyes) to fit those of `shape` best: where to place the same face's landmarks
    // in the next picture, whatever its mouth and jaw do.
    FaceBox boxOf(const FaceShape& shape) const;

    static constexpr const char* modelPath =
        "/usr/share/dlib/shape_predictor_68_face_landmarks.dat";

  private:
    struct Model;
    std::unique_ptr<Model> model;
};
