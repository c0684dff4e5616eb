#pragma once

#include <array>
#include <memory>

#include "model/FaceGeometry.h"
#include "platform/GreyImage.h"

// Places each eye's centre in a picture to a fraction of a pixel. Behind the rims of
// glasses the landmarks' eye points jump by a pixel or two from picture to picture, and
// a pixel of the eyes' distance is centimetres of the face's distance. A patch of the
// picture around each eye, kept while the neutral place is taken, is matched around the
// landmarks' centre in later pictures; the landmarks and the match are then weighted by
// the inverse of their errors, so that landmarks that hold still (a clear face) stay as
// they are and those that jitter give way to the match.
class EyeRefiner {
  public:
    EyeRefiner();
    ~EyeRefiner();
    EyeRefiner(const EyeRefiner&) = delete;
    EyeRefiner& operator=(const EyeRefiner&) = delete;

    // The centres of the eyes (the one on the picture's left first) of the face whose
    // landmarks are `shape` in `picture`; `learning` while the neutral place is taken.
    std::array<FacePoint, 2> centres(const GreyImage& picture, const FaceShape& shape,
                                     bool learning);

  private:
    struct Reference;
    std::unique_ptr<Reference> reference;
    bool learned = false;
    double jitter = 0;  // the landmarks' centres' variance, as learned: pixels squared
};
