#pragma once

#include <functional>
#include <optional>
#include <string>

#include "model/Mesh.h"

// A model file read by the Open Asset Import Library: every format it reads, triangulated,
// the scene's transforms applied; its equal vertices joined, and smooth normals within a
// crease of 80 degrees where the file gives none (an STL's facet normals count as none).
struct ModelFile {
    Mesh mesh;
    // Where the format fixes its units (glTF: metres), centimetres per unit; else none.
    std::optional<double> centimetresPerUnit;
    // Its up is its z axis: an STL's, as printers and CAD programs write them; else y.
    bool zUp = false;
};

// Files larger than this are refused before they are read.
constexpr long long largestModelFile = 1LL << 30;

// Reads the model at `path`, telling `progress` how far it is (0 to 1) now and then.
// Throws std::runtime_error with one line saying why (without the file's name) when the
// file is missing, not a regular file, empty, unreadable, too large, of no format that can
// be read, promises more than it holds, or gives coordinates that are not finite, no
// triangles, or no extent. Never opens a FIFO or device for reading.
ModelFile readModelFile(const std::string& path, const std::function<void(float)>& progress = {});
