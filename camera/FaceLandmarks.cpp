// Built at -O3 whatever the build type (see CMakeLists.txt): the shape predictor is a
// template of dlib's headers, compiled here, and its time is that of this file's code.
#include "camera/FaceLandmarks.h"

#include <dlib/image_processing/shape_predictor.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {
using Shape = dlib::matrix<float, 0, 1>;  // x0, y0, x1, y1, ... in the box's unit square

// The picture's brightness at (x, y), averaged over the 3x3 pixels nearest: sensor noise
// would otherwise send the trees one way or the other from picture to picture. Outside
// the picture, 0, as dlib has it.
float smoothedPixel(const GreyImage& picture, double x, double y) {
    long cx = std::lround(x), cy = std::lround(y);
    if (cx < 1 || cy < 1 || cx >= picture.width - 1 || cy >= picture.height - 1) return 0.0f;
    const std::uint8_t* row =
        &picture.pixels[static_cast<std::size_t>((cy - 1) * picture.width + cx - 1)];
    int sum = 0;
    for (int j = 0; j < 3; ++j, row += picture.width) sum += row[0] + row[1] + row[2];
    return sum / 9.0f;
}

// The turn and scale [a -b; b a] that take shape `from` closest to `to`, both about their
// means (least squares): what dlib finds with a singular value decomposition, in closed
// form.
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

// One stage of the cascade, its trees laid out flat: each tree's splits (a full binary
// tree, breadth first) and then its leaves, one after the other. dlib keeps every tree's
// splits and every leaf in an allocation of its own, and a picture's walk through some
// 7500 trees waited on three scattered reads from memory for each.
struct Split {
    std::uint32_t first, second;  // the pixels compared: left when first - second > threshold
    float threshold;
};
struct Stage {
    std::vector<Split> splits;  // splitsPerTree for each tree
    std::vector<float> leaves;  // leavesPerTree shape steps for each tree
    std::vector<unsigned long> anchors;          // the pixels it samples: near which landmark,
    std::vector<dlib::vector<float, 2>> deltas;  // and how far from it
};

// The model as dlib stores a shape_predictor, read member by member: dlib's own call rounds
// its results to whole pixels and lays the mean shape in a box of whole pixels.
struct FaceLandmarks::Model {
    Shape meanShape;
    std::size_t splitsPerTree = 0, leavesPerTree = 0;
    std::vector<Stage> stages;
    std::vector<float> sampled;          // the stage's pixel values, kept between frames
    std::vector<const float*> reached;  // the leaf each of the stage's trees ends in
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
    std::vector<std::vector<dlib::impl::regression_tree>> cascade;
    std::vector<std::vector<unsigned long>> anchors;
    std::vector<std::vector<dlib::vector<float, 2>>> deltas;
    int version = 0;
    try {
        dlib::deserialize(version, in);
        if (version != 1) throw dlib::serialization_error("unknown version");
        dlib::deserialize(loaded->meanShape, in);
        dlib::deserialize(cascade, in);
        dlib::deserialize(anchors, in);
        dlib::deserialize(deltas, in);
    } catch (const dlib::serialization_error&) {
        throw std::runtime_error(std::string("the face landmark model ") + modelPath +
                                 " cannot be read (reinstall Debian's libdlib-data)");
    }
    Model& m = *loaded;
    const std::size_t steps = static_cast<std::size_t>(m.meanShape.size());
    bool fits = steps == 2 * faceLandmarks && !cascade.empty() && !cascade[0].empty() &&
                anchors.size() == cascade.size() && deltas.size() == cascade.size();
    if (fits) {
        m.splitsPerTree = cascade[0][0].splits.size();
        m.leavesPerTree = cascade[0][0].leaf_values.size();
    }
    for (std::size_t k = 0; fits && k < cascade.size(); ++k) {
        Stage& stage = m.stages.emplace_back();
        stage.anchors = anchors[k];
        stage.deltas = deltas[k];
        fits = stage.anchors.size() == stage.deltas.size();
        for (const dlib::impl::regression_tree& tree : cascade[k]) {
            fits = fits && tree.splits.size() == m.splitsPerTree &&
                   tree.leaf_values.size() == m.leavesPerTree;
            for (std::size_t i = 0; fits && i < tree.splits.size(); ++i) {
                const dlib::impl::split_feature& split = tree.splits[i];
                fits = split.idx1 < stage.deltas.size() && split.idx2 < stage.deltas.size();
                stage.splits.push_back({static_cast<std::uint32_t>(split.idx1),
                                        static_cast<std::uint32_t>(split.idx2), split.thresh});
            }
            for (std::size_t i = 0; fits && i < tree.leaf_values.size(); ++i) {
                const Shape& leaf = tree.leaf_values[i];
                fits = static_cast<std::size_t>(leaf.size()) == steps;
                if (fits) stage.leaves.insert(stage.leaves.end(), &leaf(0), &leaf(0) + steps);
            }
        }
        for (unsigned long anchor : stage.anchors) fits = fits && anchor < faceLandmarks;
    }
    fits = fits && m.leavesPerTree == m.splitsPerTree + 1;
    if (!fits)
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
    const long steps = current.size();
    for (const Stage& stage : m.stages) {
        // Each sampled pixel keeps its place relative to its landmark as the shape turns
        // and scales from the mean shape to the current one.
        const Similarity turn = similarity(m.meanShape, current);
        m.sampled.resize(stage.deltas.size());
        for (std::size_t i = 0; i < stage.deltas.size(); ++i) {
            const float* anchor = &current(2 * static_cast<long>(stage.anchors[i]));
            const dlib::vector<float, 2>& delta = stage.deltas[i];
            float ax = anchor[0] + turn.a * delta.x() - turn.b * delta.y();
            float ay = anchor[1] + turn.b * delta.x() + turn.a * delta.y();
            m.sampled[i] = smoothedPixel(picture, left + ax * box.size, top + ay * box.size);
        }
        // Every tree's leaf first, each fetched from memory as soon as it is known, then their
        // sum: the leaves lie scattered over some 65 MB, and waiting for each in turn took
        // most of the time. (The fetch is a hint to the processor; it changes no result.)
        m.reached.clear();
        const float* leaves = stage.leaves.data();
        for (std::size_t t = 0; t < stage.splits.size(); t += m.splitsPerTree) {
            const Split* split = &stage.splits[t];
            std::size_t node = 0;
            while (node < m.splitsPerTree) {
                const Split& s = split[node];
                node = m.sampled[s.first] - m.sampled[s.second] > s.threshold ? 2 * node + 1
                                                                              : 2 * node + 2;
            }
            const float* leaf = leaves + (node - m.splitsPerTree) * static_cast<std::size_t>(steps);
            for (long k = 0; k < steps; k += 16) __builtin_prefetch(leaf + k);
            __builtin_prefetch(leaf + steps - 1);
            m.reached.push_back(leaf);
            leaves += m.leavesPerTree * static_cast<std::size_t>(steps);
        }
        float* moved = &current(0);
        for (const float* step : m.reached)
            for (long k = 0; k < steps; ++k) moved[k] += step[k];
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
