#include "model/PoseTrace.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string_view>

namespace {
std::string_view trimmed(std::string_view field) {
    while (!field.empty() && (field.front() == ' ' || field.front() == '\t'))
        field.remove_prefix(1);
    while (!field.empty() && (field.back() == ' ' || field.back() == '\t')) field.remove_suffix(1);
    return field;
}

// Splits a line into exactly seven comma-separated fields, spaces around them dropped.
bool splitFields(std::string_view line, std::string_view (&fields)[7]) {
    for (int i = 0; i < 7; ++i) {
        std::size_t comma = line.find(',');
        if ((comma == std::string_view::npos) != (i == 6)) return false;
        fields[i] = trimmed(line.substr(0, comma));
        if (i < 6) line.remove_prefix(comma + 1);
    }
    return true;
}

bool isHeader(std::string_view line) {
    std::string_view fields[7];
    if (!splitFields(line, fields)) return false;
    const char* names[7] = {"t", "x", "y", "z", "yaw", "pitch", "roll"};
    for (int i = 0; i < 7; ++i) {
        if (fields[i].size() != std::strlen(names[i])) return false;
        for (std::size_t k = 0; k < fields[i].size(); ++k)
            if (std::tolower(static_cast<unsigned char>(fields[i][k])) != names[i][k]) return false;
    }
    return true;
}

bool readPoseLine(std::string_view line, double (&values)[7]) {
    std::string_view fields[7];
    if (!splitFields(line, fields)) return false;
    for (int i = 0; i < 7; ++i)
        if (!readDecimal(fields[i], values[i])) return false;
    return true;
}
}  // namespace

bool readDecimal(std::string_view text, double& value) {
    std::size_t i = 0, digits = 0;
    auto isDigit = [&](std::size_t k) {
        return k < text.size() && std::isdigit(static_cast<unsigned char>(text[k]));
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    for (; isDigit(i); ++i) ++digits;
    if (i < text.size() && text[i] == '.')
        for (++i; isDigit(i); ++i) ++digits;
    if (digits == 0) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        if (!isDigit(i)) return false;
        while (isDigit(i)) ++i;
    }
    if (i != text.size()) return false;
    double read = std::strtod(std::string(text).c_str(), nullptr);
    if (!std::isfinite(read)) return false;
    value = read;
    return true;
}

std::string poseTraceLine(double time, const HeadPose& pose) {
    char line[256];
    std::snprintf(line, sizeof line, "%.6f,%.17g,%.17g,%.17g,%.17g,%.17g,%.17g\n", time, pose.x,
                  pose.y, pose.z, pose.yaw, pose.pitch, pose.roll);
    return line;
}

PoseTrace readPoseTrace(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    std::string text;
    if (in) text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) {
        error = "cannot read " + path + ": " + std::strerror(errno ? errno : EIO);
        return {};
    }
    std::string_view rest = text;
    if (rest.substr(0, 3) == "\xEF\xBB\xBF") rest.remove_prefix(3);

    PoseTrace trace;
    bool newStretch = true;  // the next pose starts a stretch
    double lastTime = 0.0;   // the last pose's time as written
    long shortened = 0;
    for (int number = 1; !rest.empty(); ++number) {
        std::size_t end = rest.find('\n');
        bool cutOff = end == std::string_view::npos;  // a last line without its newline
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(cutOff ? rest.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (trimmed(line).empty()) continue;
        if (isHeader(line)) {
            newStretch = true;
            continue;
        }
        double v[7];
        if (!readPoseLine(line, v)) {
            if (cutOff) {
                trace.notes.push_back(path + ":" + std::to_string(number) +
                                      ": skipped a cut last line");
                break;
            }
            error =
                path + ":" + std::to_string(number) + ": not a pose line t,x,y,z,yaw,pitch,roll";
            return {};
        }
        // Placed by the time since the pose before, so that no time, however large, loses
        // the pauses between poses to rounding.
        double pause = newStretch ? 0.0 : v[0] - lastTime;
        if (pause < 0.0) {
            error = path + ":" + std::to_string(number) + ": time goes back";
            return {};
        }
        if (pause > longestTracePause) {
            pause = longestTracePause;
            ++shortened;
        }
        newStretch = false;
        lastTime = v[0];
        double time = trace.poses.empty() ? 0.0 : trace.poses.back().time + pause;
        trace.poses.push_back({time, {v[1], v[2], v[3], v[4], v[5], v[6]}});
    }
    if (shortened > 0)
        trace.notes.push_back(path + ": " + std::to_string(shortened) +
                              (shortened == 1 ? " pause" : " pauses") + " longer than 5 s " +
                              (shortened == 1 ? "is" : "are") + " played as 5 s");
    if (trace.poses.empty()) {
        error = path + ": no poses";
        return {};
    }
    return trace;
}
