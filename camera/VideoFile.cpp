#include "camera/VideoFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "camera/VideoOpening.h"

namespace {
constexpr double openingSeconds = 5.0;  // up to its first frame
// Frames in a row that cannot be read, after which a video is taken to have ended.
constexpr long longestFailureRun = 100;

std::string fileProblem(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return errno == ENOENT ? "no such file" : std::strerror(errno);
    if (S_ISDIR(info.st_mode)) return "a folder, not a video";
    if (::access(path.c_str(), R_OK) != 0) return "permission denied";
    return {};
}
}  // namespace

VideoFile::VideoFile(const std::string& path) {
    std::string problem = fileProblem(path);
    if (!problem.empty()) throw std::runtime_error(problem);
    OpenedVideo opened;
    if (!openVideoWithin(path, openingSeconds, opened))
        throw std::runtime_error(
            "no picture came within 5 s (a FIFO whose writer has not started, or stopped)");
    if (!isUsable(opened.first))
        throw std::runtime_error("not a video that the capture library can read");
    video = opened.video;
    picture = opened.first;
    next = 1;
    frameCount = std::max(0L, std::lround(video.get(cv::CAP_PROP_FRAME_COUNT)));
    double given = video.get(cv::CAP_PROP_FPS);
    if (given > 0.0 && given <= 1000.0) givenRate = given;
}

bool VideoFile::advance(bool keep) {
    auto readOne = [&] {
        try {
            return keep ? video.read(picture) && isUsable(picture) : video.grab();
        } catch (const std::exception&) {  // cv::Exception, std::bad_alloc
            return false;
        }
    };
    for (long failed = 1;; ++failed) {
        bool last = frameCount > 0 && next >= frameCount;
        ++next;
        if (readOne()) {
            skipped += failed - 1;
            return true;
        }
        if (last || failed == longestFailureRun) return false;
    }
}
