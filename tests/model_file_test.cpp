// Model files of each tested format, written here, read back as the geometry written: the
// same triangles and bounding box, their colours, and a cube's faces kept flat.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "model/ModelFile.h"

namespace {
// A box from (-1, 0.5, 2) to (3, 2.5, 3): its corners, and its twelve triangles outward.
const float corners[8][3] = {{-1, 0.5f, 2}, {3, 0.5f, 2}, {3, 2.5f, 2}, {-1, 2.5f, 2},
                             {-1, 0.5f, 3}, {3, 0.5f, 3}, {3, 2.5f, 3}, {-1, 2.5f, 3}};
const std::uint16_t triangles[12][3] = {{0, 2, 1}, {0, 3, 2}, {4, 5, 6}, {4, 6, 7},
                                        {0, 1, 5}, {0, 5, 4}, {3, 6, 2}, {3, 7, 6},
                                        {0, 4, 7}, {0, 7, 3}, {1, 2, 6}, {1, 6, 5}};

class ModelFiles : public ::testing::Test {
  protected:
    ModelFiles() : folder(std::filesystem::temp_directory_path() / ("models-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(folder);
    }
    ~ModelFiles() override { std::filesystem::remove_all(folder); }

    std::string write(const std::string& name, const std::string& bytes) {
        const std::string path = (folder / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    std::filesystem::path folder;
};

std::string number(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(v));
    return text;
}
std::string corner(int i) {
    return number(corners[i][0]) + " " + number(corners[i][1]) + " " + number(corners[i][2]);
}
template <typename T>
void append(std::string& bytes, const T& value) {
    bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
}

std::string base64(const std::string& bytes) {
    const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t left = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t n = 0;
        for (std::size_t k = 0; k < 3; ++k)
            n = n << 8 | (k < left ? static_cast<std::uint8_t>(bytes[i + k]) : 0u);
        for (std::size_t k = 0; k < 4; ++k) text += k <= left ? digits[(n >> (18 - 6 * k)) & 63] : '=';
    }
    return text;
}

// glTF's buffer: the corners as floats, then the triangles' indices; and its description.
std::string gltfBuffer() {
    std::string bytes;
    for (const auto& c : corners)
        for (float v : c) append(bytes, v);
    for (const auto& t : triangles)
        for (std::uint16_t i : t) append(bytes, i);
    return bytes;
}
std::string gltfJson(const std::string& uri) {
    return R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],"nodes":[{"mesh":0}],)"
           R"("meshes":[{"primitives":[{"attributes":{"POSITION":0},"indices":1,"material":0}]}],)"
           R"("materials":[{"name":"blue","pbrMetallicRoughness":{"baseColorFactor":[0.2,0.4,0.6,1]}}],)"
           R"("buffers":[{"byteLength":168)" + uri + R"(}],)"
           R"("bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":96},)"
           R"({"buffer":0,"byteOffset":96,"byteLength":72}],)"
           R"("accessors":[{"bufferView":0,"componentType":5126,"count":8,"type":"VEC3",)"
           R"("min":[-1,0.5,2],"max":[3,2.5,3]},)"
           R"({"bufferView":1,"componentType":5123,"count":36,"type":"SCALAR"}]})";
}

void expectTheBox(const ModelFile& file) {
    const Mesh& mesh = file.mesh;
    ASSERT_EQ(mesh.triangleCount(), 12u);
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_EQ(mesh.bounds.min[axis], corners[0][axis]) << "axis " << axis;
        EXPECT_EQ(mesh.bounds.max[axis], corners[6][axis]) << "axis " << axis;
    }
    // Every triangle's corners are corners of the box, and it covers a face's half.
    for (std::size_t t = 0; t < 12; ++t) {
        int onCorners = 0;
        for (int k = 0; k < 3; ++k) {
            const float* p = &mesh.positions[3 * mesh.indices[3 * t + k]];
            for (const auto& c : corners) onCorners += p[0] == c[0] && p[1] == c[1] && p[2] == c[2];
        }
        EXPECT_EQ(onCorners, 3) << "triangle " << t;
    }
}

void expectColour(const Mesh& mesh, float r, float g, float b) {
    ASSERT_EQ(mesh.colours.size(), mesh.positions.size());
    for (std::size_t i = 0; i < mesh.colours.size(); i += 3) {
        EXPECT_NEAR(mesh.colours[i], r, 1e-6);
        EXPECT_NEAR(mesh.colours[i + 1], g, 1e-6);
        EXPECT_NEAR(mesh.colours[i + 2], b, 1e-6);
    }
}
}  // namespace

// Every triangle faces away from the box's centre.
void expectFacingOut(const Mesh& mesh) {
    for (std::size_t i = 0; i < mesh.indices.size(); i += 3) {
        const float* a = &mesh.positions[3 * mesh.indices[i]];
        const float* b = &mesh.positions[3 * mesh.indices[i + 1]];
        const float* c = &mesh.positions[3 * mesh.indices[i + 2]];
        const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const float v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        const float n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
        const float out[3] = {(a[0] + b[0] + c[0]) / 3 - 1, (a[1] + b[1] + c[1]) / 3 - 1.5f,
                              (a[2] + b[2] + c[2]) / 3 - 2.5f};
        EXPECT_GT(n[0] * out[0] + n[1] * out[1] + n[2] * out[2], 0.0f) << "triangle " << i / 3;
    }
}

TEST_F(ModelFiles, StlAsTextAndBinaryGiveTheBoxClosedFacingOutItsFacesFlatWithoutColour) {
    // The text one wound the other way round, facing in.
    std::string text = "solid box\n", binary(80, ' ');
    append(binary, std::uint32_t{12});
    for (const auto& t : triangles) {
        text += "facet normal 0 0 0\nouter loop\n";
        for (int k = 2; k >= 0; --k) text += "vertex " + corner(t[k]) + "\n";
        text += "endloop\nendfacet\n";
        for (float v : {0.0f, 0.0f, 0.0f}) append(binary, v);
        for (int i : t)
            for (float v : corners[i]) append(binary, v);
        append(binary, std::uint16_t{0});
    }
    text += "endsolid box\n";
    for (const std::string& path : {write("text.stl", text), write("binary.stl", binary)}) {
        SCOPED_TRACE(path);
        const ModelFile file = readModelFile(path);
        expectTheBox(file);
        EXPECT_TRUE(file.mesh.colours.empty());
        EXPECT_FALSE(file.centimetresPerUnit);
        EXPECT_TRUE(file.mesh.closed);
        expectFacingOut(file.mesh);
        // Each corner keeps one normal for each of its three faces, along an axis.
        EXPECT_EQ(file.mesh.vertexCount(), 24u);
        for (std::size_t i = 0; i < file.mesh.normals.size(); i += 3) {
            const float* n = &file.mesh.normals[i];
            EXPECT_NEAR(std::fabs(n[0]) + std::fabs(n[1]) + std::fabs(n[2]), 1.0, 1e-5);
        }
    }
}

TEST_F(ModelFiles, ObjGivesTheBoxInItsMaterialsColour) {
    write("box.mtl", "newmtl red\nKd 0.8 0.1 0.1\n");
    std::string obj = "mtllib box.mtl\n";
    for (int i = 0; i < 8; ++i) obj += "v " + corner(i) + "\n";
    obj += "usemtl red\n";
    for (const auto& t : triangles)
        obj += "f " + std::to_string(t[0] + 1) + " " + std::to_string(t[1] + 1) + " " +
               std::to_string(t[2] + 1) + "\n";
    const ModelFile file = readModelFile(write("box.obj", obj));
    expectTheBox(file);
    expectColour(file.mesh, 0.8f, 0.1f, 0.1f);
}

TEST_F(ModelFiles, PlyGivesTheBox) {
    std::string ply =
        "ply\nformat ascii 1.0\nelement vertex 8\nproperty float x\nproperty float y\n"
        "property float z\nelement face 12\nproperty list uchar int vertex_indices\nend_header\n";
    for (int i = 0; i < 8; ++i) ply += corner(i) + "\n";
    for (const auto& t : triangles)
        ply += "3 " + std::to_string(t[0]) + " " + std::to_string(t[1]) + " " +
               std::to_string(t[2]) + "\n";
    expectTheBox(readModelFile(write("box.ply", ply)));
}

TEST_F(ModelFiles, GltfAndGlbGiveTheBoxInMetresInItsMaterialsColour) {
    const std::string buffer = gltfBuffer();
    const std::string gltf = gltfJson(R"(,"uri":"data:application/octet-stream;base64,)" +
                                      base64(buffer) + "\"");
    std::string json = gltfJson("");
    json.append((4 - json.size() % 4) % 4, ' ');
    std::string glb = "glTF";
    append(glb, std::uint32_t{2});
    append(glb, static_cast<std::uint32_t>(12 + 8 + json.size() + 8 + buffer.size()));
    append(glb, static_cast<std::uint32_t>(json.size()));
    glb += "JSON" + json;
    append(glb, static_cast<std::uint32_t>(buffer.size()));
    glb += std::string("BIN\0", 4) + buffer;
    for (const std::string& path : {write("box.gltf", gltf), write("box.glb", glb)}) {
        SCOPED_TRACE(path);
        const ModelFile file = readModelFile(path);
        expectTheBox(file);
        expectColour(file.mesh, 0.2f, 0.4f, 0.6f);
        EXPECT_EQ(file.centimetresPerUnit, 100.0);
    }
}
