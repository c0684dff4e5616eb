#include "camera/FileSource.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/imgproc.hpp>
#include <thread>

#include "camera/Picture.h"
#include "camera/PictureSequence.h"
#include "camera/VideoFile.h"
#include "platform/Date.h"

namespace {
constexpr double sequenceFramesPerSecond = 30.0;  // and for videos that give no rate

void toGrey(const cv::Mat& picture, GreyImage& grey) {
    cv::Mat eightBits = picture;
    if (picture.depth() == CV_16U) picture.convertTo(eightBits, CV_8U, 1.0 / 256.0);
    grey.width = picture.cols;
    grey.height = picture.rows;
    grey.pixels.resize(static_cast<std::size_t>(grey.width) *
                       static_cast<std::size_t>(grey.height));
    cv::Mat into = matOf(grey);
    if (eightBits.channels() == 1)
        eightBits.copyTo(into);
    else
        cv::cvtColor(eightBits, into,
                     eightBits.channels() == 3 ? cv::COLOR_BGR2GRAY : cv::COLOR_BGRA2GRAY);
}
}  // namespace

FileSource::FileSource(const std::string& path) : VideoSource(path) {
    // The library's own messages would only repeat ours, less clearly; and a picture
    // whose header claims a huge size is refused before it is decoded.
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    ::setenv("OPENCV_FFMPEG_LOGLEVEL", "-8", 0);  // read when the first video opens
    ::setenv("OPENCV_IO_MAX_IMAGE_PIXELS", std::to_string(largestSide * largestSide).c_str(), 0);
    if (PictureSequence::isPattern(path) && ::access(path.c_str(), F_OK) != 0)
        frames = std::make_unique<PictureSequence>(path);
    else
        frames = std::make_unique<VideoFile>(path);
    rateGiven = frames->givenRate > 0.0;
    rate = rateGiven ? frames->givenRate : sequenceFramesPerSecond;
}

std::string FileSource::format() const {
    char text[96];
    std::snprintf(text, sizeof text, "%dx%d at %.4g frames/s%s", frames->picture.cols,
                  frames->picture.rows, rate, rateGiven ? "" : " (it gives no rate)");
    return text;
}

double FileSource::nextFrameDue() const {
    if (firstWaiting) return 0.0;
    return start + static_cast<double>(frames->next) / rate;
}

VideoSource::Read FileSource::readNewest(VideoFrame& frame) {
    long& next = frames->next;
    frame.device = DeviceFrame{};
    if (firstWaiting) {
        firstWaiting = false;
        start = frame.device.readTime = monotonicSeconds();
        frame.number = 0;
    } else {
        const double period = 1.0 / rate;
        for (double now = monotonicSeconds(); start + (next + 1) * period <= now;)
            if (!frames->advance(false)) return Read::ended;  // overdue: skipped
        // In short sleeps: a slow file's next frame may be seconds away.
        for (double due = start + next * period; monotonicSeconds() < due;) {
            if (interrupted) return Read::ended;
            std::this_thread::sleep_for(
                std::chrono::duration<double>(std::min(0.02, due - monotonicSeconds())));
        }
        if (!frames->advance(true)) return Read::ended;
        frame.number = next - 1;
        frame.device.readTime = monotonicSeconds();
    }
    frame.takenAt = start + static_cast<double>(frame.number) / rate;
    toGrey(frames->picture, frame.picture);
    return Read::frame;
}
