#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "platform/OutputFile.h"

// The renderer's output, checked before anything is drawn: "-" is standard output (one
// closed at start is refused), anything else is as OutputFile says. A place that cannot be
// written is one line and exit status 2. Call before anything is printed: with "-", what
// the program prints goes to standard error from here on.
std::unique_ptr<OutputFile> openImageFile(const std::string& path, bool standardOutputWasOpen);

// Writes the image file made by `encode`, which returns false when it fails; on failure,
// says why in one line and exits with status 2.
void writeImageFile(OutputFile& output, const std::function<bool(std::FILE*)>& encode);
