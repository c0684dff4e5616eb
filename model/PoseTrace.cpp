#include "model/PoseTrace.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {
// Seven comma-separated finite numbers, nothing else.
bool readLine(const std::string& line, double (&values)[7]) {
    const char* p = line.c_str();
    for (int i = 0; i < 7; ++i) {
        char* end = nullptr;
        values[i] = std::strtod(p, &end);
        if (end == p || !std::isfinite(values[i])) return false;
        p = end;
        if (*p != (i < 6 ? ',' : '\0')) return false;
        ++p;
    }
    return true;
}
}  // namespace

std::vector<TracedPose> readPoseTrace(const std::string& path, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return {};
    }
    std::vector<TracedPose> trace;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (number == 1 && line == "t,x,y,z,yaw,pitch,roll") continue;
        double v[7];
        if (!readLine(line, v)) {
            error =
                path + ":" + std::to_string(number) + ": not a pose line t,x,y,z,yaw,pitch,roll";
            return {};
        }
        if (!trace.empty() && v[0] < trace.back().time) {
            error = path + ":" + std::to_string(number) + ": time goes back";
            return {};
        }
        trace.push_back({v[0], {v[1], v[2], v[3], v[4], v[5], v[6]}});
    }
    if (in.bad()) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return {};
    }
    if (trace.empty()) error = path + ": no poses";
    return trace;
}
