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
    // Every edge is shared by two triangles, all wound counter-clockwise seen from outside:
    // the inside never shows, and the triangles facing away need not be drawn.
    bool closed = false;

    std::size_t vertexCount() const { return positions.size() / 3; }
    std::size_t triangleCount() const { return indices.size() / 3; }
};

// Joins the vertices of `mesh` that are equal in position, normal and colour, so that the
// triangles share them.
void joinEqualVertices(Mesh& mesh);

// Gives `mesh`, its vertices shared where they are equal, smooth normals within a crease of
// `creaseDegrees`: each triangle's corner the area-weighted mean of the normals of the
// triangles around its vertex within that angle of its own, a vertex split where its
// corners' normals differ; so a cube keeps flat faces and a sphere's facets shade smoothly.
void giveSmoothNormals(Mesh& mesh, double creaseDegrees);

// Whether `mesh`, its vertices shared where they are equal, is closed, each edge met once
// each way; if so, its triangles are turned to face out where they all faced in.
bool orientIfClosed(Mesh& mesh);

// The colour of a model, or of its parts, that the file gives no colour.
constexpr float neutralColour[3] = {0.75f, 0.72f, 0.66f};
