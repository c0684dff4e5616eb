// Built at -O3 whatever the build type (see CMakeLists.txt): the landmarks' time is that of
// this file's code.
#include "camera/FaceLandmarks.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "camera/LandmarkModelFile.h"

namespace {
// The picture's brightness at (x, y), averaged over the 3x3 pixels nearest: sensor noise
// would otherwise send the trees one way or the other from picture to picture. Outside
// the picture, 0.
float smoothedPixel(const GreyImage& picture, double x, double y) {
    long cx = std::lround(x), cy = std::lround(y);
    if (cx < 1 || cy < 1 || cx >= picture.width - 1 || cy >= picture.height - 1) return 0.0f;
    const std::uint8_t* row =
        &picture.pixels[static_cast<std::size_t>((cy - 1) * picture.width + cx - 1)];
    int sum = 0;
    for (int j = 0; j < 3; ++j, row += picture.width) sum += row[0] + row[1] + row[2];
    return sum / 9.0f;
}

// The trees split on differences of pixel pairs against fixed thresholds, so a face of low
// contrast (a dim room) sends them astray. A face whose sampled pixels spread less than
// this (grey levels, standard deviation) has its differences scaled up to it; the tests'
// lit faces spread 40 to 60 and are left as they are, a dim room's 20 to 30.
constexpr float leastContrast = 35.0f;

// The gain that lifts `sampled` to leastContrast, and never lowers it.
float contrastGain(const std::vector<float>& sampled) {
    double sum = 0, squares = 0;
    for (float v : sampled) sum += v, squares += static_cast<double>(v) * v;
    const double n = static_cast<double>(sampled.size());
    const double spread = std::sqrt(std::max(0.0, squares / n - (sum / n) * (sum / n)));
    return spread < leastContrast ? static_cast<float>(leastContrast / std::max(spread, 1.0))
                                  : 1.0f;
}

// The turn and scale [a -b; b a] that take shape `from` closest to `to`, both about their
// means (least squares), in closed form.
struct ShapeTurn {
    float a, b;
};

ShapeTurn turnBetween(const UnitShape& from, const UnitShape& to) {
    const int n = faceLandmarks;
    float fx = 0, fy = 0, tx = 0, ty = 0;
    for (int i = 0; i < n; ++i) {
        fx += from[2 * i], fy += from[2 * i + 1], tx += to[2 * i], ty += to[2 * i + 1];
    }
    fx /= n, fy /= n, tx /= n, ty /= n;
    float along = 0, across = 0, spread = 0;
    for (int i = 0; i < n; ++i) {
        float px = from[2 * i] - fx, py = from[2 * i + 1] - fy;
        float qx = to[2 * i] - tx, qy = to[2 * i + 1] - ty;
        along += px * qx + py * qy;
        across += px * qy - py * qx;
        spread += px * px + py * py;
    }
    return {along / spread, across / spread};
}
}  // namespace

// The model and what a picture's walk through it keeps between frames.
struct FaceLandmarks::Model {
    LandmarkModel trees;
    std::vector<float> sampled;         // the stage's pixel values, kept between frames
    std::vector<const float*> reached;  // the leaf each of the stage's trees ends in
};

FaceLandmarks::FaceLandmarks() = default;
FaceLandmarks::~FaceLandmarks() = default;

void FaceLandmarks::load(const std::string& path) {
    auto loaded = std::make_unique<Model>();
    loaded->trees = readLandmarkModel(path);
    model = std::move(loaded);
}

void FaceLandmarks::place(const GreyImage& picture, const FaceBox& box, FaceShape& shape) {
    Model& m = *model;
    // The box's unit square to the picture, in fractions of a pixel.
    const double left = box.x - box.size / 2, top = box.y - box.size / 2;
    UnitShape current = m.trees.meanShape;
    float gain = 1.0f;  // from the first stage's pixels, laid over the whole face
    for (const CascadeStage& stage : m.trees.stages) {
        // Each sampled pixel keeps its place relative to its landmark as the shape turns
        // and scales from the mean shape to the current one.
        const ShapeTurn turn = turnBetween(m.trees.meanShape, current);
        m.sampled.resize(stage.deltas.size());
        for (std::size_t i = 0; i < stage.deltas.size(); ++i) {
            const float* anchor = &current[2 * stage.anchors[i]];
            const SampleOffset& delta = stage.deltas[i];
            float ax = anchor[0] + turn.a * delta.x - turn.b * delta.y;
            float ay = anchor[1] + turn.b * delta.x + turn.a * delta.y;
            m.sampled[i] = smoothedPixel(picture, left + ax * box.size, top + ay * box.size);
        }
        if (&stage == &m.trees.stages.front()) gain = contrastGain(m.sampled);
        if (gain != 1.0f)
            for (float& value : m.sampled) value *= gain;
        // Every tree's leaf first, each fetched from memory as soon as it is known (a hint
        // to the processor that changes no result), then their sum: the leaves lie
        // scattered over some 65 MB.
        m.reached.clear();
        const float* leaves = stage.leaves.data();
        for (std::size_t t = 0; t < stage.splits.size(); t += m.trees.splitsPerTree) {
            const TreeSplit* split = &stage.splits[t];
            std::size_t node = 0;
            while (node < m.trees.splitsPerTree) {
                const TreeSplit& s = split[node];
                node = m.sampled[s.first] - m.sampled[s.second] > s.threshold ? 2 * node + 1
                                                                              : 2 * node + 2;
            }
            const float* leaf = leaves + (node - m.trees.splitsPerTree) * shapeSteps;
            for (int k = 0; k < shapeSteps; k += 16) __builtin_prefetch(leaf + k);
            __builtin_prefetch(leaf + shapeSteps - 1);
            m.reached.push_back(leaf);
            leaves += m.trees.leavesPerTree * shapeSteps;
        }
        float* moved = current.data();
        for (const float* step : m.reached)
            for (int k = 0; k < shapeSteps; ++k) moved[k] += step[k];
    }
    for (int i = 0; i < faceLandmarks; ++i)
        shape[i] = {left + current[2 * i] * box.size, top + current[2 * i + 1] * box.size};
}

FaceBox FaceLandmarks::boxOf(const FaceShape& shape) const {
    // The scale and shift that lay the mean shape's rigid points over `shape`'s closest
    // (least squares).
    const auto [first, end] = rigidLandmarks;
    const int count = end - first;
    const UnitShape& mean = model->trees.meanShape;
    double mx = 0, my = 0, sx = 0, sy = 0;
    for (int i = first; i < end; ++i) {
        mx += mean[2 * i] / count, my += mean[2 * i + 1] / count;
        sx += shape[i].x / count, sy += shape[i].y / count;
    }
    double along = 0, spread = 0;
    for (int i = first; i < end; ++i) {
        double dx = mean[2 * i] - mx, dy = mean[2 * i + 1] - my;
        along += dx * (shape[i].x - sx) + dy * (shape[i].y - sy);
        spread += dx * dx + dy * dy;
    }
    double size = along / spread;
    return {sx + (0.5 - mx) * size, sy + (0.5 - my) * size, size};
}
