#pragma once

#include <string>
#include <vector>

// The fixed-function GL calls the program makes, recorded in order on their way to the
// real driver, with their arguments widened to double.
struct GlCall {
    std::string name;
    std::vector<double> args;
    bool operator==(const GlCall&) const = default;
};

std::vector<GlCall>& recordedGlCalls();
