// Smooth normals within a crease angle: each triangle's corner takes the area-weighted mean of
// the normals of the triangles around its vertex that lie within the angle of its own, and a
// vertex whose corners so get different normals is split into one vertex for each.
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "model/Mesh.h"

namespace {
struct Normal {
    float x, y, z;
};

Normal unit(Normal n) {
    const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    if (!(length > 0.0f)) return {0.0f, 0.0f, 0.0f};
    return {n.x / length, n.y / length, n.z / length};
}

float dot(Normal a, Normal b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
}  // namespace

void giveSmoothNormals(Mesh& mesh, double creaseDegrees) {
    const std::size_t triangles = mesh.triangleCount(), vertices = mesh.vertexCount();
    const float* p = mesh.positions.data();
    std::vector<Normal> area(triangles), facing(triangles);  // cross product, and its unit
    for (std::size_t t = 0; t < triangles; ++t) {
        const float* a = p + 3 * mesh.indices[3 * t];
        const float* b = p + 3 * mesh.indices[3 * t + 1];
        const float* c = p + 3 * mesh.indices[3 * t + 2];
        const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const float v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        area[t] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
        facing[t] = unit(area[t]);
    }
    // The triangles around each vertex: around[first[v]] to around[first[v + 1]].
    std::vector<std::uint32_t> first(vertices + 1, 0), around(mesh.indices.size());
    for (std::uint32_t v : mesh.indices) ++first[v + 1];
    for (std::size_t v = 0; v < vertices; ++v) first[v + 1] += first[v];
    std::vector<std::uint32_t> filled(first.begin(), first.end() - 1);
    for (std::size_t i = 0; i < mesh.indices.size(); ++i)
        around[filled[mesh.indices[i]]++] = static_cast<std::uint32_t>(i / 3);

    const float crease = static_cast<float>(std::cos(creaseDegrees * 3.14159265358979 / 180.0));
    Mesh smooth;
    smooth.bounds = mesh.bounds;
    smooth.closed = mesh.closed;
    smooth.indices.resize(mesh.indices.size());
    std::vector<std::uint32_t> madeFrom;  // the new vertices, by the vertex they copy
    std::vector<std::uint32_t> latest(vertices, UINT32_MAX), previous;  // each vertex's copies
    for (std::size_t i = 0; i < mesh.indices.size(); ++i) {
        const std::uint32_t v = mesh.indices[i];
        const Normal own = facing[i / 3];
        Normal sum{0.0f, 0.0f, 0.0f};
        for (std::uint32_t k = first[v]; k < first[v + 1]; ++k) {
            const std::uint32_t t = around[k];
            if (t == i / 3 || dot(facing[t], own) >= crease)
                sum = {sum.x + area[t].x, sum.y + area[t].y, sum.z + area[t].z};
        }
        const Normal n = unit(sum);
        std::uint32_t copy = latest[v];
        while (copy != UINT32_MAX) {
            const Normal made{smooth.normals[3 * copy], smooth.normals[3 * copy + 1],
                              smooth.normals[3 * copy + 2]};
            if (dot(made, n) > 0.99999f || (made.x == n.x && made.y == n.y && made.z == n.z))
                break;
            copy = previous[copy];
        }
        if (copy == UINT32_MAX) {
            copy = static_cast<std::uint32_t>(madeFrom.size());
            madeFrom.push_back(v);
            previous.push_back(latest[v]);
            latest[v] = copy;
            smooth.normals.insert(smooth.normals.end(), {n.x, n.y, n.z});
        }
        smooth.indices[i] = copy;
    }
    for (std::uint32_t v : madeFrom) {
        smooth.positions.insert(smooth.positions.end(), p + 3 * v, p + 3 * v + 3);
        if (!mesh.colours.empty())
            smooth.colours.insert(smooth.colours.end(), &mesh.colours[3 * v], &mesh.colours[3 * v + 3]);
    }
    mesh = std::move(smooth);
}
