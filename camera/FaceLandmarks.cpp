// Built at -O3 whatever the build type (see CMakeLists.txt): the shape predictor is a
// template of dlib's headers, compiled here, and its time is that of this file's code.
#include "camera/FaceLandmarks.h"

#include <dlib/image_processing/shape_predictor.h>

#include <cmath>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {
using Shape = dlib::matrix<float, 0, 1>;  // x0, y0, x1, y1, ... in the box's unit square

// The turn and scale [a -b; b a] that take shape `from` closest to `to`, both about their
// means (least squares): what dlib finds with a singular value decomposition, in closed
// form.
// The picture's brightness at (x, y), averaged over the 3x3 pixels nearest: sensor noise
// would otherwise send the trees one way or the other from picture to picture. Outside
// the picture, 0, as dlib has it.
float smoothedPixel(const GreyImage& picture, double x, double y) {
    long cx = std::lround(x), cy = std::lround(y);
    if (cx < 1 || cy < 1 || cx >= picture.width - 1 || cy >= picture.height - 1) return 0.0f;
    const std::uint8_t* row = &picture.pixels[static_cast<std::size_t>((cy - 1) * picture.width + cx - 1)];
    int sum = 0;
    for (int j = 0; j < 3; ++j, row += picture.width) sum += row[0] + row[1] + row[2];
    return sum / 9.0f;
}

struct Similarity {
    float a, b;
};

Similarity similarity(const Shape& from, const Shape& to) {
    const long n = from.size() / 2;
    float fx = 0, fy = 0, tx = 0, ty = 0;
    for (long i = 0; i < n; ++i) {
        fx += from(2 * i), fy += from(2 * i + 1), tx += to(2 * i), ty += to(2 * i + 1);
    }
    fx /= n, fy /= n, tx /= n, ty /= n;
    float along = 0, across = 0, spread = 0;
    for (long i = 0; i < n; ++i) {
        float px = from(2 * i) - fx, py = from(2 * i + 1) - fy;
        float qx = to(2 * i) - tx, qy = to(2 * i + 1) - ty;
        along += px * qx + py * qy;
        across += px * qy - py * qx;
        spread += px * px + py * py;
    }
    return {along / spread, across / spread};
}
}  // namespace

// The model as dlib stores a shape_predictor, read member by member: dlib's own call rounds
// its results to whole pixels and lays the mean shape in a box of whole pixels.
struct FaceLandmarks::Model {
    Shape meanShape;
    std::vector<std::vector<dlib::impl::regression_tree>> cascade;
    // For each stage, the pixels it samples: near which landmark, and how far from it.
    std::vector<std::vector<unsigned long>> anchors;
    std::vector<std::vector<dlib::vector<float, 2>>> deltas;
    std::vector<float> sampled;  // the stage's pixel values, kept between frames
};

FaceLandmarks::FaceLandmarks() {
    if (!std::ifstream(modelPath, std::ios::binary))
        throw std::runtime_error(std::string("the face landmark model ") + modelPath +
                                 " is missing (it comes with Debian's libdlib-data)");
}

FaceLandmarks::~FaceLandmarks() = default;

void FaceLandmarks::load() {
    if (model) return;
    std::ifstream in(modelPath, std::ios::binary);
    auto loaded = std::make_unique<Model>();
    int version = 0;
    try {
        dlib::deserialize(version, in);
        if (version != 1) throw dlib::serialization_error("unknown version");
        dlib::deserialize(loaded->meanShape, in);
        dlib::deserialize(loaded->cascade, in);
        dlib::deserialize(loaded->anchors, in);
        dlib::deserialize(loaded->deltas, in);
    } catch (const dlib::serialization_error&) {
        throw std::runtime_error(std::string("the face landmark model ") + modelPath +
                                 " cannot be read (reinstall Debian's libdlib-data)");
    }
    if (loaded->meanShape.size() != 2 * faceLandmarks)
        throw std::runtime_error(std::string("the face landmark model ") + modelPath +
                                 " is not one of 68 points");
    model = std::move(loaded);
}

void FaceLandmarks::place(const GreyImage& picture, const FaceBox& box, FaceShape& shape) {
    load();
    Model& m = *model;
    // The box's unit square to the picture, in fractions of a pixel.
    const double left = box.x - box.size / 2, top = box.y - box.size / 2;
    Shape current = m.meanShape;
    for (std::size_t stage = 0; stage < m.cascade.size(); ++stage) {
        // Each sampled pixel keeps its place relative to its landmark as the shape turns
        // and scales from the mean shape to the current one.
        const Similarity turn = similarity(m.meanShape, current);
        const std::vector<unsigned long>& anchors = m.anchors[stage];
        const std::vector<dlib::vector<float, 2>>& deltas = m.deltas[stage];
        m.sampled.resize(deltas.size());
        for (std::size_t i = 0; i < deltas.size(); ++i) {
            const float* anchor = &current(2 * static_cast<long>(anchors[i]));
            float ax = anchor[0] + turn.a * deltas[i].x() - turn.b * deltas[i].y();
            float ay = anchor[1] + turn.b * deltas[i].x() + turn.a * deltas[i].y();
            m.sampled[i] = smoothedPixel(picture, left + ax * box.size, top + ay * box.size);
        }
        float* moved = &current(0);
        for (const dlib::impl::regression_tree& tree : m.cascade[stage]) {
            unsigned long leaf;
            const float* step = &tree(m.sampled, leaf)(0);
            for (long k = 0; k < current.size(); ++k) moved[k] += step[k];
        }
    }
    for (int i = 0; i < faceLandmarks; ++i)
        shape[i] = {left + current(2 * i) * box.size, top + current(2 * i + 1) * box.size};
}

FaceBox FaceLandmarks::boxOf(const FaceShape& shape) const {
    // The scale and shift that lay the mean shape's rigid points over `shape`'s closest
    // (least squares).
    constexpr int first = 27, last = 47, count = last - first + 1;
    const Shape& mean = model->meanShape;
    double mx = 0, my = 0, sx = 0, sy = 0;
    for (int i = first; i <= last; ++i) {
        mx += mean(2 * i) / count, my += mean(2 * i + 1) / count;
        sx += shape[i].x / count, sy += shape[i].y / count;
    }
    double along = 0, spread = 0;
    for (int i = first; i <= last; ++i) {
        double dx = mean(2 * i) - mx, dy = mean(2 * i + 1) - my;
        along += dx * (shape[i].x - sx) + dy * (shape[i].y - sy);
        spread += dx * dx + dy * dy;
    }
    double size = along / spread;
    return {sx + (0.5 - mx) * size, sy + (0.5 - my) * size, size};
}
