#pragma once

#include <optional>

#include "model/Mesh.h"

// How the command line sizes and places the model.
struct ModelSizing {
    std::optional<double> centimetresPerUnit;  // its real size; else fitted to the window
    std::optional<double> depth;               // its centre's depth behind the glass, cm
};

// Where the model stands: centimetres per unit of its (upright) box, and its centre's depth
// behind the glass at the window's centre, in centimetres (negative: in front).
struct ModelPlace {
    double scale;
    double depth;
};

// The eyes the default depth is chosen for, from the window's centre in centimetres.
constexpr double eyeReachSideways = 15.0;
constexpr double nearestEye = 40.0, farthestEye = 90.0;

// The model's place for a window `width` x `height` cm. Fitted, the box spans two thirds of
// the window's height (or width, where it is wider than the window). Without a depth, its
// centre stands a sixth of its depth behind the glass, or deeper, as little as keeps the part
// in front of the glass inside the window from every eye within eyeReachSideways
// sideways (either way, up or down) and nearestEye to farthestEye away.
ModelPlace placeModel(const Mesh::Box& upright, double width, double height,
                      const ModelSizing& sizing);
