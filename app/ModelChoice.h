#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/CommandLine.h"
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

// The model options, for a program's table; each writes into `choice`.
std::vector<Option> modelOptions(ModelChoice& choice);
// The model's other options need --model.
void checkModelChoice(const char* program, const ModelChoice& choice);

// Reads the chosen model, telling on standard error what was loaded (and, on a terminal,
// the progress of a load that takes over a second). A file that cannot be loaded is one
// line there, "PROGRAM: cannot load the model FILE: why", and exit status 1.
std::unique_ptr<ModelDrawing> loadModel(const char* program, const ModelChoice& choice);
