// The model's file, checked before the Open Asset Import Library reads it, and its scene
// turned into one mesh. The only file that includes the library.
#include "model/ModelFile.h"

#include <assimp/DefaultIOSystem.h>
#include <assimp/Importer.hpp>
#include <assimp/ProgressHandler.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace {
[[noreturn]] void refuse(const std::string& why) {
    throw std::runtime_error(why);
}

std::string lowerExtension(const std::string& path) {
    std::string ending = std::filesystem::path(path).extension().string();
    for (char& c : ending) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ending;
}

// The file's first bytes and its size, read without blocking on anything but a regular
// file: stat first, so that a FIFO or device is never opened.
struct Head {
    std::string bytes;
    long long size;
};

Head readHead(const std::string& path) {
    struct stat about {};
    if (stat(path.c_str(), &about) != 0) refuse(std::strerror(errno));
    if (S_ISDIR(about.st_mode)) refuse("it is a directory");
    if (!S_ISREG(about.st_mode)) refuse("it is not a regular file (a FIFO, device or socket)");
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) refuse(std::strerror(errno));
    Head head{std::string(64 * 1024, '\0'), 0};
    const bool regular = fstat(fd, &about) == 0 && S_ISREG(about.st_mode);
    const ssize_t got = regular ? read(fd, head.bytes.data(), head.bytes.size()) : -1;
    const int readError = errno;
    close(fd);
    if (!regular) refuse("it is not a regular file");
    if (got < 0) refuse(std::strerror(readError));
    head.bytes.resize(static_cast<std::size_t>(got));
    head.size = static_cast<long long>(about.st_size);
    if (head.size == 0) refuse("the file is empty");
    if (head.size > largestModelFile) refuse("the file is larger than 1 GiB");
    return head;
}

// A binary STL holds exactly the triangles its header counts, 50 bytes each after 84;
// a text STL starts with "solid".
void checkStl(const Head& head) {
    std::string_view text = head.bytes;
    const std::size_t start = text.find_first_not_of(" \t\r\n");
    const bool solid = start != std::string_view::npos && text.substr(start, 5) == "solid";
    if (head.size < 84) {
        if (solid) return;
        refuse("too short for a binary STL: " + std::to_string(head.size) +
               " bytes, and its header alone takes 84");
    }
    const auto* b = reinterpret_cast<const unsigned char*>(head.bytes.data());
    const std::uint32_t count = b[80] | b[81] << 8 | b[82] << 16 | static_cast<std::uint32_t>(b[83]) << 24;
    const long long wanted = 84 + 50LL * count;
    if (wanted == head.size || solid) return;
    refuse("its binary STL header promises " + std::to_string(count) + " triangles, " +
           std::to_string(wanted) + " bytes, but the file has " + std::to_string(head.size));
}

// A PLY header's elements, each at least one byte per property (a text number and its
// space, two), must fit in the bytes after the header.
void checkPly(const Head& head) {
    std::string_view text = head.bytes;
    const std::size_t end = text.find("end_header");
    if (text.substr(0, 3) != "ply" || end == std::string_view::npos) return;
    const std::size_t body = text.find('\n', end);
    if (body == std::string_view::npos) return;
    const bool binary = text.find("format binary") < end;
    auto sizeOf = [](std::string_view type) -> int {
        for (auto [name, size] : {std::pair<std::string_view, int>{"char", 1}, {"uchar", 1},
                                  {"int8", 1}, {"uint8", 1}, {"short", 2}, {"ushort", 2},
                                  {"int16", 2}, {"uint16", 2}, {"int", 4}, {"uint", 4},
                                  {"int32", 4}, {"uint32", 4}, {"float", 4}, {"float32", 4},
                                  {"double", 8}, {"float64", 8}})
            if (type == name) return size;
        return 1;
    };
    long double claimed = 0.0L, count = 0.0L;
    std::string counts;
    for (std::size_t at = 0; at < end;) {
        std::size_t next = text.find('\n', at);
        std::string line(text.substr(at, next - at));
        at = next + 1;
        char word[32] = {}, type[32] = {};
        unsigned long long n = 0;
        if (std::sscanf(line.c_str(), "element %31s %llu", word, &n) == 2) {
            count = static_cast<long double>(n);
            counts += (counts.empty() ? "" : ", ") + std::to_string(n) + " " + word;
        } else if (std::sscanf(line.c_str(), "property list %31s", type) == 1) {
            claimed += count * (binary ? sizeOf(type) : 2);
        } else if (std::sscanf(line.c_str(), "property %31s", type) == 1) {
            claimed += count * (binary ? sizeOf(type) : 2);
        }
    }
    const long double room = static_cast<long double>(head.size - static_cast<long long>(body) - 1);
    if (claimed > room)
        refuse("its PLY header promises " + counts + ", more than the file's " +
               std::to_string(head.size) + " bytes can hold");
}

// Only regular files are opened, also for the files a model names (an OBJ's materials, a
// glTF's buffers).
class RegularFiles : public Assimp::DefaultIOSystem {
  public:
    Assimp::IOStream* Open(const char* file, const char* mode) override {
        struct stat about {};
        if (stat(file, &about) != 0 || !S_ISREG(about.st_mode)) return nullptr;
        return DefaultIOSystem::Open(file, mode);
    }
};

class Reading : public Assimp::ProgressHandler {
  public:
    explicit Reading(const std::function<void(float)>& tell) : tell(tell) {}
    bool Update(float fraction) override {
        if (tell && fraction >= 0.0f) tell(0.4f * std::min(fraction, 1.0f));
        return true;
    }

  private:
    const std::function<void(float)>& tell;
};

std::string firstLine(const char* text) {
    std::string line = text && *text ? text : "it could not be read";
    line = line.substr(0, line.find('\n'));
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    return line;
}

// The colour a mesh's material gives, where the file names one.
std::optional<aiColor3D> materialColour(const aiScene& scene, const aiMesh& mesh) {
    if (mesh.mMaterialIndex >= scene.mNumMaterials) return std::nullopt;
    const aiMaterial& material = *scene.mMaterials[mesh.mMaterialIndex];
    if (material.GetName() == aiString(AI_DEFAULT_MATERIAL_NAME)) return std::nullopt;
    aiColor3D colour;
    if (material.Get(AI_MATKEY_BASE_COLOR, colour) == AI_SUCCESS ||
        material.Get(AI_MATKEY_COLOR_DIFFUSE, colour) == AI_SUCCESS)
        return colour;
    return std::nullopt;
}

// How far a load is: the library's reading takes the first 40 %, each part's steps here
// the rest in turn.
using Progress = std::function<void(float)>;

// One part of the scene as a mesh, coloured as `coloured` says, with smooth normals where
// the file gives none; `done` is told how far its steps are, 0 to 1.
Mesh partOf(const aiScene& scene, const aiMesh& part, bool coloured, const Progress& done) {
    Mesh mesh;
    const std::optional<aiColor3D> colour = materialColour(scene, part);
    for (unsigned v = 0; v < part.mNumVertices; ++v) {
        const aiVector3D& p = part.mVertices[v];
        if (!(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)))
            refuse("a vertex's coordinates are not finite numbers");
        mesh.positions.insert(mesh.positions.end(), {p.x, p.y, p.z});
        if (part.mNormals)
            mesh.normals.insert(mesh.normals.end(),
                                {part.mNormals[v].x, part.mNormals[v].y, part.mNormals[v].z});
        if (!coloured) continue;
        if (part.HasVertexColors(0)) {
            const aiColor4D& c = part.mColors[0][v];
            mesh.colours.insert(mesh.colours.end(), {c.r, c.g, c.b});
        } else if (colour) {
            mesh.colours.insert(mesh.colours.end(), {colour->r, colour->g, colour->b});
        } else {
            mesh.colours.insert(mesh.colours.end(), std::begin(neutralColour),
                                std::end(neutralColour));
        }
    }
    for (unsigned f = 0; f < part.mNumFaces; ++f) {
        const aiFace& face = part.mFaces[f];
        if (face.mNumIndices == 3)
            mesh.indices.insert(mesh.indices.end(), face.mIndices, face.mIndices + 3);
    }
    done(0.2f);
    joinEqualVertices(mesh);
    done(0.5f);
    // Before the normals split vertices along creases: the edges are found by vertex.
    mesh.closed = orientIfClosed(mesh);
    done(0.7f);
    // 80 degrees: a cube's faces stay flat, a sphere's facets shade smoothly.
    if (!part.mNormals) giveSmoothNormals(mesh, 80.0);
    done(1.0f);
    return mesh;
}

Mesh meshOf(const aiScene& scene, const Progress& progress) {
    Mesh mesh;
    mesh.closed = true;
    bool coloured = false;
    for (unsigned m = 0; m < scene.mNumMeshes; ++m)
        coloured = coloured || scene.mMeshes[m]->HasVertexColors(0) ||
                   materialColour(scene, *scene.mMeshes[m]);
    for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
        if (!(scene.mMeshes[m]->mPrimitiveTypes & aiPrimitiveType_TRIANGLE)) continue;
        auto done = [&](float fraction) {
            if (progress) progress(0.4f + 0.6f * (m + fraction) / scene.mNumMeshes);
        };
        const Mesh part = partOf(scene, *scene.mMeshes[m], coloured, done);
        mesh.closed = mesh.closed && part.closed;
        const auto base = static_cast<std::uint32_t>(mesh.vertexCount());
        mesh.positions.insert(mesh.positions.end(), part.positions.begin(), part.positions.end());
        mesh.normals.insert(mesh.normals.end(), part.normals.begin(), part.normals.end());
        mesh.colours.insert(mesh.colours.end(), part.colours.begin(), part.colours.end());
        for (std::uint32_t i : part.indices) mesh.indices.push_back(base + i);
    }
    if (mesh.indices.empty()) refuse("it holds no triangles");
    Mesh::Box& box = mesh.bounds;
    std::copy_n(mesh.positions.begin(), 3, box.min);
    std::copy_n(mesh.positions.begin(), 3, box.max);
    for (std::size_t i = 0; i < mesh.positions.size(); ++i) {
        box.min[i % 3] = std::min(box.min[i % 3], mesh.positions[i]);
        box.max[i % 3] = std::max(box.max[i % 3], mesh.positions[i]);
    }
    if (box.min[0] == box.max[0] && box.min[1] == box.max[1] && box.min[2] == box.max[2])
        refuse("every point is the same: the model has no extent");
    return mesh;
}
}  // namespace

ModelFile readModelFile(const std::string& path, const std::function<void(float)>& progress) {
    const Head head = readHead(path);
    const std::string ending = lowerExtension(path);
    Assimp::Importer importer;
    if (!ending.empty() && !importer.IsExtensionSupported(ending))
        refuse("its format (" + ending + ") is not one the Open Asset Import Library reads");
    if (ending == ".stl") checkStl(head);
    if (ending == ".ply") checkPly(head);
    importer.SetIOHandler(new RegularFiles);
    importer.SetProgressHandler(new Reading(progress));
    importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE, aiPrimitiveType_POINT | aiPrimitiveType_LINE);
    // An STL's normals are its facets': dropped, so that curved surfaces shade smoothly.
    // The vertices are joined and normals made here (joinEqualVertices, giveSmoothNormals):
    // the library's own steps take seconds and hundreds of MB for a million triangles.
    const unsigned steps = aiProcess_Triangulate | aiProcess_SortByPType |
                           aiProcess_PreTransformVertices |
                           (ending == ".stl" ? unsigned{aiProcess_DropNormals} : 0u);
    const aiScene* scene = nullptr;
    try {
        scene = importer.ReadFile(path, steps);
    } catch (const std::exception& e) {  // memory, or what the library lets through
        refuse(firstLine(e.what()));
    }
    if (!scene) refuse(firstLine(importer.GetErrorString()));
    ModelFile file{meshOf(*scene, progress), std::nullopt, ending == ".stl"};
    if (ending == ".gltf" || ending == ".glb") file.centimetresPerUnit = 100.0;
    importer.FreeScene();
    // The library's working memory, hundreds of MB for a million triangles, goes back to the
    // system rather than staying with the process for its whole run.
    malloc_trim(0);
    return file;
}
