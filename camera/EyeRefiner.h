#pragma once

#include <array>
#include <memory>

#include "camera/VideoSource.h"
#include "model/FaceGeometry.h"

// Places each eye's centre in a picture to a fraction of a pixel. The shape predictor's
// eye points jump by a pixel or two from picture to picture behind the rims of glasses,
// and their mean, the eye's centre, with them: at 85 cm a pixel of the eyes' distance is
// 2 cm of the face's distance. The picture around each eye is steadier: a patch of it
// (the eye with its lids and the rims of any glasses, not the brow) is kept as the eye's
// reference, and in each later picture it is matched (normalised cross-correlation)
// around the landmarks' centre, the picture turned and scaled to the reference's as the
// landmarks say, then again as the match says; the best match, refined between pixels
// by parabolas through its neighbours, is the eye's centre.
//
// While the reference is learned (the neutral place is being taken, see FacePoses), the
// landmarks' centres are given, and the mean offset of each from its match becomes the
// reference's own; so does their jitter about it, less the match's own. Later centres
// are the landmarks' and the match's, weighted by the inverse of their variances: the
// landmarks' jitter, and the match's error when the face is seen from another side or
// distance than the reference's. Landmarks that hold still (on a clear face) are kept
// as they are; those that jitter behind glasses (0.5 to 1 pixel) give way to the match.
// The reference is taken again, around the refined centres, when the face's scale or
// roll has moved far from it. Where an eye matches poorly (a blink, a hand, a head
// turned far), the landmarks' centres are given for that picture.
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
