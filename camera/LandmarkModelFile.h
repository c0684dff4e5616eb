#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/FaceGeometry.h"

// A face's shape as the predictor moves it: x0, y0, x1, y1, ... in the face box's unit
// square.
constexpr int shapeSteps = 2 * faceLandmarks;
using UnitShape = std::vector<float>;

// One stage of the cascade, its trees laid out flat: each tree's splits (a full binary
// tree, breadth first) and then its leaves, one after the other, so that a picture's walk
// through the trees reads memory in few places.
struct TreeSplit {
    std::uint32_t first, second;  // the pixels compared: left when first - second > threshold
    float threshold;
};
struct SampleOffset {
    float x, y;
};
struct CascadeStage {
    std::vector<TreeSplit> splits;       // splitsPerTree for each tree
    std::vector<float> leaves;           // leavesPerTree shape steps for each tree
    std::vector<std::uint32_t> anchors;  // the pixels it samples: near which landmark,
    std::vector<SampleOffset> deltas;    // and how far from it
};

// A shape predictor's model: the mean face shape and the cascade's stages.
struct LandmarkModel {
    UnitShape meanShape;
    std::size_t splitsPerTree = 0, leavesPerTree = 0;
    std::vector<CascadeStage> stages;
};

// Reads the model at `path`, dlib's serialization of a shape predictor (about 100 MB).
// Throws std::runtime_error naming the file and what is wrong with it: missing,
// unreadable, not a regular file, or not a model of 68 points (damaged).
LandmarkModel readLandmarkModel(const std::string& path);
