#include "model/PoseTrace.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "platform/Strings.h"

namespace {
std::string_view trimmed(std::string_view field) {
    while (!field.empty() && (field.front() == ' ' || field.front() == '\t'))
        field.remove_prefix(1);
    while (!field.empty() && (field.back() == ' ' || field.back() == '\t')) field.remove_suffix(1);
    return field;
}

constexpr int mostColumns = 8;  // the pose's seven, and a camera's exposure

// Splits a line into exactly `count` comma-separated fields, spaces around them dropped.
bool splitFields(std::string_view line, std::string_view (&fields)[mostColumns], int count) {
    for (int i = 0; i < count; ++i) {
        std::size_t comma = line.find(',');
        if ((comma == std::string_view::npos) != (i == count - 1)) return false;
        fields[i] = trimmed(line.substr(0, comma));
        if (i < count - 1) line.remove_prefix(comma + 1);
    }
    return true;
}

// The number of columns a header line names (7, or 8 with the exposure); 0 for a line that
// is no header.
int headerColumns(std::string_view line) {
    const char* names[mostColumns] = {"t", "x", "y", "z", "yaw", "pitch", "roll", "exposure"};
    for (int count : {7, mostColumns}) {
        std::string_view fields[mostColumns];
        if (!splitFields(line, fields, count)) continue;
        bool named = true;
        for (int i = 0; i < count && named; ++i) {
            named = fields[i].size() == std::strlen(names[i]);
            for (std::size_t k = 0; named && k < fields[i].size(); ++k)
                named = std::tolower(static_cast<unsigned char>(fields[i][k])) == names[i][k];
        }
        if (named) return count;
    }
    return 0;
}

bool readPoseLine(std::string_view line, int count, double (&values)[mostColumns]) {
    std::string_view fields[mostColumns];
    if (!splitFields(line, fields, count)) return false;
    for (int i = 0; i < count; ++i)
        if (!readDecimal(fields[i], values[i])) return false;
    return true;
}
}  // namespace

std::string poseTraceLine(double time, const HeadPose& pose, double exposure) {
    char line[256];
    int length = std::snprintf(line, sizeof line, "%.6f,%.17g,%.17g,%.17g,%.17g,%.17g,%.17g", time,
                               pose.x, pose.y, pose.z, pose.yaw, pose.pitch, pose.roll);
    if (std::isfinite(exposure))
        std::snprintf(line + length, sizeof line - static_cast<std::size_t>(length), ",%.6f",
                      exposure);
    return std::string(line) + "\n";
}

PoseTrace readPoseTrace(const std::string& path, std::string& error) {
    // Bounded, so that a device or a runaway file is refused rather than read into memory.
    constexpr std::size_t longestLine = 4096, mostBytes = std::size_t{64} << 20;
    std::string text;
    if (!readTextFile(path, longestLine, mostBytes, text, error)) {
        error = "cannot read " + path + ": " + error;
        return {};
    }
    std::string_view rest = text;
    if (rest.substr(0, 3) == "\xEF\xBB\xBF") rest.remove_prefix(3);

    PoseTrace trace;
    int columns = 7;         // as the last header names them
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
        if (int named = headerColumns(line)) {
            columns = named;
            newStretch = true;
            continue;
        }
        double v[mostColumns];
        if (!readPoseLine(line, columns, v)) {
            if (cutOff) {
                trace.notes.push_back(path + ":" + std::to_string(number) +
                                      ": skipped a cut last line");
                break;
            }
            error = path + ":" + std::to_string(number) + ": not a pose line " +
                    (columns == 7 ? poseTraceHeader : cameraPoseTraceHeader);
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
