// Whether a mesh is closed: every edge of its triangles (those of three distinct vertices)
// met once each way, by two triangles that face the same side; then its volume's sign says
// whether they face out.
#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "model/Mesh.h"

bool orientIfClosed(Mesh& mesh) {
    std::vector<std::uint64_t> edges;
    edges.reserve(mesh.indices.size());
    for (std::size_t i = 0; i < mesh.indices.size(); i += 3) {
        const std::uint32_t* t = &mesh.indices[i];
        if (t[0] == t[1] || t[1] == t[2] || t[2] == t[0]) continue;
        for (int k = 0; k < 3; ++k)
            edges.push_back(std::uint64_t{t[k]} << 32 | t[(k + 1) % 3]);
    }
    std::sort(edges.begin(), edges.end());
    if (edges.empty() || std::adjacent_find(edges.begin(), edges.end()) != edges.end())
        return false;
    for (std::uint64_t edge : edges)
        if (!std::binary_search(edges.begin(), edges.end(), edge << 32 | edge >> 32)) return false;
    // Six times the signed volume, from the triangles' tetrahedra with the origin.
    double volume = 0.0;
    const float* p = mesh.positions.data();
    for (std::size_t i = 0; i < mesh.indices.size(); i += 3) {
        const float* a = p + 3 * mesh.indices[i];
        const float* b = p + 3 * mesh.indices[i + 1];
        const float* c = p + 3 * mesh.indices[i + 2];
        volume += static_cast<double>(a[0]) * (static_cast<double>(b[1]) * c[2] - static_cast<double>(b[2]) * c[1]) +
                  static_cast<double>(a[1]) * (static_cast<double>(b[2]) * c[0] - static_cast<double>(b[0]) * c[2]) +
                  static_cast<double>(a[2]) * (static_cast<double>(b[0]) * c[1] - static_cast<double>(b[1]) * c[0]);
    }
    if (volume < 0.0)
        for (std::size_t i = 0; i < mesh.indices.size(); i += 3)
            std::swap(mesh.indices[i + 1], mesh.indices[i + 2]);
    return true;
}
