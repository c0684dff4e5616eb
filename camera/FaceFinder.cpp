#include "camera/FaceFinder.h"

#include <algorithm>
#include <cmath>
#include <opencv2/core.hpp>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>
#include <stdexcept>
#include <vector>

#include "camera/Picture.h"

namespace {
// The template: the eyes and the nose, the box's rows from 10 % to 65 % of its side, not
// the mouth and jaw, which move with speech.
constexpr int templateWidth = 32;       // pixels across the face in the template
constexpr int templateHeight = 18;      // pixels down
constexpr double templateRise = 0.125;  // its centre above the box's, of the box's side
constexpr int matchMargin = 4;          // pixels of the template's size searched either way
constexpr int matchSizes = 2;           // sizes tried either side of the last one
constexpr double matchSizeStep = 0.015;
constexpr double refreshBelow = 0.85;  // below, with the detector's word: a new template
constexpr int giveUpAfter = 15;        // pictures matched without the detector's word
// Pictures in a row the detector must find a new face in: things in a room may look like
// a face to it for a moment. A face found again soon after it was lost is trusted at once.
constexpr int trustAfter = 3;
constexpr int lostLately = 15;         // pictures since a face was lost: soon after
constexpr double searchWidth = 400;    // pixels across the whole picture is searched at
constexpr int refineRounds = 8;        // of the whole search's box, at most
constexpr double refineSettled = 0.05;  // a size change, of the box's size
constexpr double driftAllowed = 0.05;  // of the face's size, off the landmarks' box
// With nobody in view the whole picture is searched in one picture of this many: nobody in
// view costs little, and a face coming into view is followed within 0.4 s at 30 frames/s.
constexpr int searchEvery = 8;

double distance(const FaceBox& a, const FaceBox& b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

// The template's picture of the face `size` pixels across at `centre`: `side` samples of
// templateWidth across the face.
cv::Mat sampleFace(const cv::Mat& picture, const FaceBox& centre, double size, cv::Size side) {
    return sampleAround(picture, {centre.x, centre.y - templateRise * size}, size / templateWidth,
                        0.0, side);
}
}  // namespace

struct FaceFinder::State {
    cv::CascadeClassifier detector;
    bool following = false;
    bool wholeSearch = false;
    bool seenBefore = false;        // a face was followed once: the whole search prefers its place
    int sinceSearch = searchEvery;  // pictures since the whole picture was last searched
    int sinceLost = lostLately;     // pictures since a trusted face was lost
    FaceBox last;
    double lastScore = 0.0;
    int unconfirmed = 0;
    int detections = 0;  // pictures in a row in which the detector found the face
    cv::Size pictureSize;
    cv::Mat faceTemplate;

    // Faces the detector finds in `area` of the picture, shrunk by `shrink`, from `smallest`
    // to `largest` pixels (of the picture), the sizes `step` apart.
    std::vector<FaceBox> detect(const cv::Mat& picture, cv::Rect area, double shrink,
                                double smallest, double largest, double step) {
        std::vector<FaceBox> faces;
        area &= cv::Rect({0, 0}, picture.size());
        cv::Size shrunk(static_cast<int>(area.width * shrink),
                        static_cast<int>(area.height * shrink));
        double least = std::max<double>(detector.getOriginalWindowSize().width, smallest * shrink);
        if (shrunk.width < least || shrunk.height < least) return faces;
        cv::Mat small;
        cv::resize(picture(area), small, shrunk, 0, 0, cv::INTER_AREA);
        std::vector<cv::Rect> found;
        int most = static_cast<int>(
            std::min<double>(largest * shrink, std::min(shrunk.width, shrunk.height)));
        if (most < least) return faces;
        detector.detectMultiScale(small, found, step, 3, 0, {int(least), int(least)}, {most, most});
        for (const cv::Rect& r : found)
            faces.push_back({area.x + (r.x + r.width / 2.0) / shrink,
                             area.y + (r.y + r.height / 2.0) / shrink, r.width / shrink});
        return faces;
    }

    // The detector's face nearest `around`, in a window of twice its size, searched at
    // sizes `step` apart with the face shrunk to where its least size is the detector's.
    bool detectAround(const cv::Mat& picture, const FaceBox& around, double step, FaceBox& face) {
        double s = around.size;
        cv::Rect window(static_cast<int>(around.x - s), static_cast<int>(around.y - s),
                        static_cast<int>(2 * s), static_cast<int>(2 * s));
        double shrink = std::min(1.0, detector.getOriginalWindowSize().width / (0.8 * s));
        std::vector<FaceBox> faces = detect(picture, window, shrink, 0.8 * s, 1.25 * s, step);
        if (faces.empty()) return false;
        face =
            *std::min_element(faces.begin(), faces.end(), [&](const FaceBox& a, const FaceBox& b) {
                return distance(a, around) < distance(b, around);
            });
        return true;
    }

    void takeTemplate(const cv::Mat& picture, const FaceBox& face) {
        cv::GaussianBlur(sampleFace(picture, face, face.size, {templateWidth, templateHeight}),
                         faceTemplate, {3, 3}, 0);
        last = face;
    }

    // The template's best match around the last face, at five sizes, refined between
    // pixels and between sizes; and its score.
    FaceBox match(const cv::Mat& picture, double& score) {
        const cv::Size side(templateWidth + 2 * matchMargin, templateHeight + 2 * matchMargin);
        Match matches[2 * matchSizes + 1];
        int best = 0;
        for (int i = 0; i <= 2 * matchSizes; ++i) {
            double size = last.size * (1 + matchSizeStep * (i - matchSizes));
            matches[i] = bestMatch(sampleFace(picture, last, size, side), faceTemplate);
            if (i == 0 || matches[i].score > matches[best].score) best = i;
        }
        score = matches[best].score;
        double sizeOffset =
            best > 0 && best < 2 * matchSizes
                ? peakOffset(matches[best - 1].score, matches[best].score, matches[best + 1].score)
                : 0;
        // A shift in the sample is one of size / templateWidth pixels in the picture.
        double perPixel = last.size * (1 + matchSizeStep * (best - matchSizes)) / templateWidth;
        return {last.x + matches[best].offset.x * perPixel,
                last.y + matches[best].offset.y * perPixel,
                last.size * (1 + matchSizeStep * (best - matchSizes + sizeOffset))};
    }

    void lose() {
        if (detections >= trustAfter) sinceLost = 0;
        following = false;
    }
};

FaceFinder::FaceFinder() : state(std::make_unique<State>()) {
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    cv::setNumThreads(0);  // all of it on the calling thread: one core, as measured
    bool loaded = false;
    try {
        loaded = state->detector.load(modelPath);
    } catch (const cv::Exception&) {  // the library's reader throws on a damaged file
    }
    if (!loaded)
        throw std::runtime_error(std::string("the face detector's model ") + modelPath +
                                 " is missing or damaged (it comes with Debian's opencv-data)");
}

FaceFinder::~FaceFinder() = default;

int FaceFinder::smallestFace() const {
    return state->detector.getOriginalWindowSize().width;
}

bool FaceFinder::find(const GreyImage& grey, FaceBox& face) {
    State& s = *state;
    const cv::Mat picture = matOf(grey);
    if (picture.size() != s.pictureSize) {
        s.pictureSize = picture.size();
        s.following = s.seenBefore = false;
        s.sinceSearch = searchEvery;
    }
    s.sinceLost = std::min(s.sinceLost + 1, lostLately);
    s.wholeSearch = !s.following && (++s.sinceSearch >= searchEvery || s.sinceLost < lostLately);
    if (s.following) {
        FaceBox matched = s.match(picture, s.lastScore);
        if (!(s.lastScore >= weakestMatch)) return false;  // NaN too: a flat picture
        s.last = matched;
        if (s.detections < trustAfter) return false;  // not yet told from a face-like thing
        face = matched;
        return true;
    }
    if (!s.wholeSearch) return false;
    s.sinceSearch = 0;
    double shrink = std::min(1.0, searchWidth / grey.width);
    std::vector<FaceBox> faces =
        s.detect(picture, {0, 0, grey.width, grey.height}, shrink, 0, 1e9, 1.2);
    if (faces.empty()) return false;
    auto nearer = [&](const FaceBox& a, const FaceBox& b) {
        return distance(a, s.last) < distance(b, s.last);
    };
    auto larger = [](const FaceBox& a, const FaceBox& b) { return a.size < b.size; };
    FaceBox found = s.seenBefore ? *std::min_element(faces.begin(), faces.end(), nearer)
                                 : *std::max_element(faces.begin(), faces.end(), larger);
    // Refined at sizes 2 % apart from 0.8 to 1.25 times the size found, and again around
    // the refined box while that moves it by more than 5 %: in a dim room the coarse
    // search's box can be a third too large, beyond one refinement's reach.
    FaceBox finer;
    for (int round = 0; round < refineRounds && s.detectAround(picture, found, 1.02, finer);
         ++round) {
        const bool settled = std::fabs(finer.size / found.size - 1) <= refineSettled;
        found = finer;
        if (settled) break;
    }
    s.takeTemplate(picture, found);
    s.following = s.seenBefore = true;
    s.lastScore = 1.0;
    s.unconfirmed = 0;
    s.detections = s.sinceLost < lostLately ? trustAfter : 1;
    s.sinceLost = lostLately;
    s.sinceSearch = searchEvery;  // once it is lost, searched for again at once
    return false;                 // a face once it is matched in the next picture too
}

void FaceFinder::confirm(const GreyImage& grey) {
    State& s = *state;
    if (!s.following || s.wholeSearch) return;  // a face just found was found by the detector
    const cv::Mat picture = matOf(grey);
    FaceBox detected;
    if (!s.detectAround(picture, s.last, 1.1, detected)) {
        // Matched, the face is followed a while without the detector's word (which misses
        // turned faces); lost by the match too, it has moved away: searched for at once.
        bool trusted = s.detections >= trustAfter;
        s.detections = trusted ? s.detections : 0;
        if (!trusted || !(s.lastScore >= weakestMatch) || ++s.unconfirmed >= giveUpAfter) s.lose();
        return;
    }
    s.unconfirmed = 0;
    ++s.detections;
    bool drifted = distance(detected, s.last) > 0.2 * s.last.size ||
                   std::fabs(detected.size / s.last.size - 1) > 0.2;
    if (!(s.lastScore >= weakestMatch) || drifted)
        s.takeTemplate(picture, detected);  // lost by the match, or off the face: start there
    else if (s.lastScore < refreshBelow)
        s.takeTemplate(picture, s.last);
}

void FaceFinder::correct(const GreyImage& grey, const FaceBox& face) {
    State& s = *state;
    if (!s.following) return;
    if (distance(face, s.last) <= driftAllowed * s.last.size &&
        std::fabs(face.size / s.last.size - 1) <= driftAllowed)
        return;
    s.takeTemplate(matOf(grey), face);
}

bool FaceFinder::searchedWholePicture() const {
    return state->wholeSearch;
}
