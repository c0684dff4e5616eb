#include "camera/EyeRefiner.h"

#include <algorithm>
#include <cmath>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "camera/Picture.h"

namespace {
// Each eye's patch, of the eyes' distance: the eye, its lids and the rims of any glasses,
// and not the brow, which moves with expression.
constexpr double patchWidth = 0.8, patchHeight = 0.24;
// How far from the landmarks' centre the match is searched, of the eyes' distance (their
// jitter, with a margin), and at least a few pixels.
constexpr double searchMargin = 0.1;
constexpr int leastSearchMargin = 2;
// Matches, each with the scale and roll of the one before: a scale off by a few percent
// moves the match of a patch that is not symmetric about its eye by a pixel or two.
constexpr int matchPasses = 3;
// While learning, a face whose scale differs from the reference's by more than this
// fraction is still settling (its box is), and the reference is taken again.
constexpr double settledScale = 0.05;
// After learning, the reference is taken again (around the refined centres) when the
// face's scale has changed by more than this factor, or its roll by more than this angle.
// A reference taken again keeps that one picture's error: a face 60 cm away that moves
// to 85 cm in a dim room matches its first reference better than one taken there.
constexpr double largestScaleChange = 2.0;
constexpr double largestRollChange = 0.2;  // radians
// The matched centres' own jitter from picture to picture (landmarks that jitter no more
// about them are as steady), and their error when a patch is seen from another side or
// distance than its reference's, pixels.
constexpr double matchJitter = 0.15, matchError = 0.3;
// Eyes nearer than this in the picture (pixels) give patches too small to match.
constexpr double nearestEyes = 12;
// An eye poorly matched in this many pictures in a row: a new face, or new light.
constexpr int poorMatchesToRenew = 15;

// The face's picture taken as the reference's: scale and roll.
struct ScaleTurn {
    double scale = 1, turn = 0;
    cv::Point2d apply(cv::Point2d p) const {
        double c = scale * std::cos(turn), s = scale * std::sin(turn);
        return {c * p.x - s * p.y, s * p.x + c * p.y};
    }
};

struct EyePair {
    cv::Point2d eye[2];
    double distance() const { return std::hypot(eye[1].x - eye[0].x, eye[1].y - eye[0].y); }
    double angle() const { return std::atan2(eye[1].y - eye[0].y, eye[1].x - eye[0].x); }
};

EyePair landmarkCentres(const FaceShape& shape) {
    EyePair centres;
    for (int e = 0; e < 2; ++e) {
        const FacePoint centre = eyeCentre(shape, e);
        centres.eye[e] = {centre.x, centre.y};
    }
    return centres;
}

std::array<FacePoint, 2> pointsOf(const EyePair& centres) {
    return {{{centres.eye[0].x, centres.eye[0].y}, {centres.eye[1].x, centres.eye[1].y}}};
}

struct Found {
    bool found = false;
    cv::Point2d centre;  // in the picture
};

// `patch` matched within `margin` reference pixels around `around`.
Found matchAround(const cv::Mat& picture, const cv::Mat& patch, cv::Point2d around,
                  const ScaleTurn& toPicture, int margin) {
    Match m = bestMatch(sampleAround(picture, around, toPicture.scale, toPicture.turn,
                                     {patch.cols + 2 * margin, patch.rows + 2 * margin}),
                        patch);
    if (!(m.score >= weakestMatch) || m.onEdge) return {};
    return {true, around + toPicture.apply(m.offset)};
}
}  // namespace

struct EyeRefiner::Reference {
    cv::Mat patch[2];
    double distance = 0, angle = 0;  // the eyes' in the reference picture: pixels, radians
    // The landmarks' mean offset from the matched centre, in the reference's pixels, over
    // the pictures it was learned from, and the sum of their squared deviations.
    cv::Point2d shift[2];
    double squares = 0;
    int learnedFrom = 0;  // pictures
    int poorMatches = 0;  // in a row

    Reference(const cv::Mat& picture, const EyePair& centres)
        : distance(centres.distance()), angle(centres.angle()) {
        cv::Size side(static_cast<int>(std::lround(patchWidth * distance)),
                      static_cast<int>(std::lround(patchHeight * distance)));
        for (int e = 0; e < 2; ++e)
            patch[e] = sampleAround(picture, centres.eye[e], 1, angle, side);
    }

    void learn(const EyePair& landmarks, const EyePair& matched, const ScaleTurn& toPicture) {
        ++learnedFrom;
        const ScaleTurn back{1 / toPicture.scale, -toPicture.turn};
        for (int e = 0; e < 2; ++e) {
            const cv::Point2d offset = back.apply(landmarks.eye[e] - matched.eye[e]);
            const cv::Point2d before = shift[e];
            shift[e] += (offset - shift[e]) / static_cast<double>(learnedFrom);
            squares += (offset - before).dot(offset - shift[e]);
        }
    }
    // The variance of the landmarks' centres about the matched ones, pixels squared.
    double jitter() const { return learnedFrom > 1 ? squares / (2.0 * (learnedFrom - 1)) : 0.0; }

    ScaleTurn toPicture(const EyePair& centres) const {
        return {centres.distance() / distance, centres.angle() - angle};
    }

    // The centres of the reference's patches in `picture`, from the landmarks' `centres`:
    // matched with the landmarks' scale and roll, then again with those of the match.
    bool match(const cv::Mat& picture, const EyePair& centres, EyePair& matched) const {
        int margin =
            std::max(leastSearchMargin, static_cast<int>(std::lround(searchMargin * distance)));
        EyePair from = centres;
        for (int pass = 0; pass < matchPasses; ++pass) {
            ScaleTurn view = toPicture(from);
            for (int e = 0; e < 2; ++e) {
                Found m = matchAround(picture, patch[e], from.eye[e], view, margin);
                if (!m.found) return false;
                matched.eye[e] = m.centre;
            }
            from = matched;
        }
        return true;
    }
};

EyeRefiner::EyeRefiner() = default;
EyeRefiner::~EyeRefiner() = default;

std::array<FacePoint, 2> EyeRefiner::centres(const GreyImage& grey, const FaceShape& shape,
                                             bool learning) {
    const cv::Mat picture = matOf(grey);
    const EyePair landmarks = landmarkCentres(shape);
    if (!(landmarks.distance() >= nearestEyes)) return pointsOf(landmarks);
    if (learning && learned) reference.reset();  // the neutral place is taken again
    if (!learning && !learned && reference)
        jitter = std::max(0.0, reference->jitter() - matchJitter * matchJitter);
    learned = !learning;
    EyePair centres = landmarks, matched;
    if (!reference) {
        reference = std::make_unique<Reference>(picture, landmarks);
    } else if (!reference->match(picture, landmarks, matched)) {
        if (learning || ++reference->poorMatches >= poorMatchesToRenew)
            reference = std::make_unique<Reference>(picture, landmarks);
    } else {
        reference->poorMatches = 0;
        const ScaleTurn view = reference->toPicture(matched);
        if (learning && std::fabs(view.scale - 1) > settledScale) {
            reference = std::make_unique<Reference>(picture, landmarks);
        } else if (learning) {
            reference->learn(landmarks, matched, view);
        } else {
            // The landmarks and the match, each weighted by the inverse of its error's
            // variance: a face whose landmarks hold still keeps them nearly as they are.
            const double matchWeight = jitter / (jitter + matchError * matchError);
            EyePair refined;
            for (int e = 0; e < 2; ++e) {
                refined.eye[e] = matched.eye[e] + view.apply(reference->shift[e]);
                centres.eye[e] += matchWeight * (refined.eye[e] - landmarks.eye[e]);
            }
            if (view.scale > largestScaleChange || view.scale < 1 / largestScaleChange ||
                std::fabs(view.turn) > largestRollChange)
                reference = std::make_unique<Reference>(picture, refined);
        }
    }
    return pointsOf(centres);
}
