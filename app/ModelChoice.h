#pragma once

#include <memory>
#include <optional>
#include <string>

#include "view/ModelDrawing.h"

// The model options that fishtank-track and fishtank-render share.
struct ModelChoice {
    std::string file;  // a model file, "teapot" for the shipped one, or empty for none
    std::optional<double> centimetresPerUnit;  // --model-units: the file's unit
    std::string unitName;
    std::optional<double> depth;  // --model-depth, in centimetres
    bool tunnel = true;           // --scene tunnel, or model alone
    bool sceneGiven = false;
};

// The usage lines of the model options, for --help.
extern const char modelUsage[];

// Reads argv[i] and its value, moving `i` onto the value, if it is one of the model options;
// false for any other. A bad value is a usage error of `program`, whose --help is `usage`.
bool readModelOption(const char* program, const char* usage, int argc, char** argv, int& i,
                     ModelChoice& choice);
// The model's other options need --model.
void checkModelChoice(const char* program, const ModelChoice& choice);

// Reads the chosen model, telling on standard error what was loaded (and, on a terminal,
// the progress of a load that takes over a second). A file that cannot be loaded is one
// line there, "PROGRAM: cannot load the model FILE: why", and exit status 1.
std::unique_ptr<ModelDrawing> loadModel(const char* program, const ModelChoice& choice);
