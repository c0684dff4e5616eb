#pragma once

#include <string>
#include <vector>

#include "model/FaceGeometry.h"
#include "platform/GreyImage.h"

// `picture` as a PNG file's bytes, with the face's box (when `face` is not null), its
// landmarks and the midpoint between its eyes (when `shape` is not null) and `caption`
// drawn on it; empty when it cannot be encoded.
std::vector<unsigned char> checkPicturePng(const GreyImage& picture, const FaceBox* face,
                                           const FaceShape* shape, const std::string& caption);
