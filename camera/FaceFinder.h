#pragma once

#include <memory>
#include <string>

#include "camera/VideoSource.h"
#include "model/FaceGeometry.h"

// Finds the user's face in camera pictures and follows it from picture to picture.
//
// Finding: a face detector (a cascade of local binary pattern features, from Debian's
// opencv-data) searches the whole picture, shrunk to 400 pixels across (the least face
// it finds is then a ninth of the picture's width: a head about 85 cm away at 60 degrees),
// only when no face is followed, and then in one picture of eight: nobody in view costs
// little, and a face coming into view is followed within 0.4 s at 30 frames/s. Among several faces it takes the one nearest the last face, or the
// largest. A finer search in a window around it then gives the box to start from, and a
// small grey picture of the eyes and nose in that box (not the mouth and jaw, which move
// with speech) becomes the face's template. It counts as a
// face once the detector has found it in three pictures in a row: things in a room that
// look like a face to the detector for a moment are not followed.
//
// Following: each picture, the template is matched (normalised cross-correlation, which
// ignores changes of brightness) in a window around the last face at five sizes 1.5 %
// apart; the best match, refined between pixels and between sizes by parabolas through
// its neighbours, is the face. The detector's boxes jump by a few percent from picture to
// picture; the match moves by hundredths of a pixel when the face does not.
//
// Checking: after the face's pose is handed on, the detector looks in a window around the
// face at 10 % steps. Its word keeps the template honest: where the followed place has
// drifted off its box, following starts again there; where the match has weakened (light
// or pose changed slowly), the template is taken again at the followed place, so that the
// pose does not jump. Fifteen pictures without its word, and the face is given up.
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
    // The face's box in the same picture as its landmarks have it: where the followed box
    // has drifted from it by more than 5 % of its size (in place or size), the template
    // is taken again there. The template's size follows only part of a change of depth.
    void correct(const GreyImage& picture, const FaceBox& face);
    // Whether the last find() searched the whole picture (with no face followed, it
    // searches one picture in eight).
    bool searchedWholePicture() const;

    static constexpr const char* modelPath =
        "/usr/share/opencv4/lbpcascades/lbpcascade_frontalface_improved.xml";

  private:
    struct State;
    std::unique_ptr<State> state;
};
