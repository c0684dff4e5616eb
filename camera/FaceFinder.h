#pragma once

#include <memory>

#include "model/FaceGeometry.h"
#include "platform/GreyImage.h"

// Finds the user's face in camera pictures and follows it from picture to picture.
//
// A face detector (from Debian's opencv-data) finds a face; a small picture of its eyes and
// nose then becomes a template that is matched in each next picture, which moves by
// hundredths of a pixel where the detector's boxes jump by percents. After each picture
// the detector checks the followed face near where it is (confirm()), which keeps the
// template on the face; a face the match and the detector both lose is searched for in
// the whole picture at once.
class FaceFinder {
  public:
    // Throws std::runtime_error when the face detector's model is missing.
    FaceFinder();
    ~FaceFinder();
    FaceFinder(const FaceFinder&) = delete;
    FaceFinder& operator=(const FaceFinder&) = delete;

    // The face in `picture`; false when there is none.
    bool find(const GreyImage& picture, FaceBox& face);
    // Checks the face that find() followed in the same picture.
    void confirm(const GreyImage& picture);
    // Where the face's box in the same picture truly is (from its landmarks): a followed
    // box that has drifted from it has its template taken again there.
    void correct(const GreyImage& picture, const FaceBox& face);
    // Whether the last find() searched the whole picture.
    bool searchedWholePicture() const;

    // The least face the detector finds, in pixels across.
    int smallestFace() const;
    static constexpr const char* modelPath =
        "/usr/share/opencv4/lbpcascades/lbpcascade_frontalface_improved.xml";

  private:
    struct State;
    std::unique_ptr<State> state;
};
