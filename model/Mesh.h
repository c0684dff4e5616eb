#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A model as the view draws it: triangles over shared vertices, in the file's own units.
struct Mesh {
    struct Box {
        float min[3], max[3];
    };

    std::vector<float> positions;  // x, y, z per vertex
    std::vector<float> normals;    // one unit normal per vertex, as positions
    // r, g, b per vertex from the file's materials or vertex colours; empty when it has
    // none, and the model is drawn in one neutral colour.
    std::vector<float> colours;
    std::vector<std::uint32_t> indices;  // three per triangle
    Box bounds{};

    std::size_t vertexCount() const { return positions.size() / 3; }
    std::size_t triangleCount() const { return indices.size() / 3; }
};

// The colour of a model, or of its parts, that the file gives no colour.
constexpr float neutralColour[3] = {0.75f, 0.72f, 0.66f};
