#pragma once

#include <memory>
#include <string>

#include "model/FaceGeometry.h"
#include "platform/GreyImage.h"

// The 68 landmarks of a face (numbered as model/FaceGeometry.h names them), placed in a
// picture by a shape predictor: a cascade of regression trees that moves a mean face shape,
// laid in the face's box, by differences of pixel pairs sampled around it. Its model is
// dlib's, from Debian's libdlib-data, read by camera/LandmarkModelFile.h.
//
// The points are kept in fractions of a pixel: rounding them to whole pixels would throw
// away what the pose fit averages over many points.
class FaceLandmarks {
  public:
    FaceLandmarks();
    ~FaceLandmarks();
    FaceLandmarks(const FaceLandmarks&) = delete;
    FaceLandmarks& operator=(const FaceLandmarks&) = delete;

    // Reads the model at `path` (about 100 MB). Throws std::runtime_error naming the file
    // and what is wrong with it: missing, unreadable, not a regular file, or not a model
    // of 68 points (damaged).
    void load(const std::string& path = modelPath);
    // The landmarks of the face in `box` of `picture`; the model must be loaded.
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
