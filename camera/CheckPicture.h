#pragma once

#include <string>

#include "model/FaceGeometry.h"
#include "platform/GreyImage.h"

// Writes `picture` to `path` as a PNG, with the face's box (when `face` is not null), its
// landmarks and the midpoint between its eyes (when `shape` is not null) and `caption`
// drawn on it. False, with errno set where there is one, when it cannot.
bool writeCheckPicture(const std::string& path, const GreyImage& picture, const FaceBox* face,
                       const FaceShape* shape, const std::string& caption);

// Why the check's picture cannot be written to `path`, found before the check: empty when
// it can. Nothing is left behind: a file made to find out is removed.
std::string checkPictureProblem(const std::string& path);
