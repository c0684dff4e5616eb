#include "camera/VideoSource.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>
#include <stdexcept>
#include <thread>

#include "platform/Date.h"

namespace {
constexpr double assumedFramesPerSecond = 30.0;  // for sources that give no rate

std::string fileProblem(const std::string& path) {
    if (path.find('%') != std::string::npos) return {};  // an image sequence's pattern
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return errno == ENOENT ? "no such file" : std::strerror(errno);
    if (S_ISDIR(info.st_mode)) return "a folder, not a video";
    if (::access(path.c_str(), R_OK) != 0) return "permission denied";
    return {};
}
}  // namespace

struct VideoSource::Capture {
    std::string name;
    CameraSettings settings = CameraSettings::leaveAlone;
    std::unique_ptr<CameraDevice> camera;
    cv::VideoCapture video;
    cv::Mat colour;
    double framesPerSecond = assumedFramesPerSecond;
    bool rateGiven = false;
    bool firstWaiting = true;  // a file's frame read when opening, not yet delivered
    double start = 0.0;        // a file's clock: frame k is due at start + k / framesPerSecond
    long next = 0;             // the next frame's number
};

VideoSource::VideoSource(const std::string& source, CameraSettings settings)
    : capture(std::make_unique<Capture>()) {
    Capture& c = *capture;
    c.name = source;
    c.settings = settings;
    if (CameraDevice::isDevice(source)) {
        c.camera = std::make_unique<CameraDevice>(source, settings);
        c.framesPerSecond = c.camera->framesPerSecond();
        return;
    }
    // The library's own messages would only repeat ours, less clearly.
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    ::setenv("OPENCV_FFMPEG_LOGLEVEL", "-8", 0);  // quiet: read when the first file opens
    std::string problem = fileProblem(source);
    if (!problem.empty()) throw std::runtime_error(problem);
    if (!c.video.open(source, cv::CAP_FFMPEG) && !c.video.open(source, cv::CAP_IMAGES))
        throw std::runtime_error("not a video that the capture library can read");
    if (!c.video.read(c.colour) || c.colour.empty() || c.colour.depth() != CV_8U)
        throw std::runtime_error("not a video that the capture library can read");
    c.firstWaiting = true;
    double rate = c.video.get(cv::CAP_PROP_FPS);
    c.rateGiven = rate > 0.0 && rate <= 1000.0;
    if (c.rateGiven) c.framesPerSecond = rate;
}

VideoSource::~VideoSource() = default;

const std::string& VideoSource::name() const {
    return capture->name;
}

bool VideoSource::isDevice() const {
    return capture->camera != nullptr;
}

CameraSettings VideoSource::settings() const {
    return capture->settings;
}

bool VideoSource::rateHeld() const {
    return capture->camera && capture->camera->rateHeld();
}

double VideoSource::framesPerSecond() const {
    return capture->framesPerSecond;
}

std::string VideoSource::format() const {
    if (capture->camera) return capture->camera->format();
    char text[96];
    std::snprintf(text, sizeof text, "%dx%d at %g frames/s%s", capture->colour.cols,
                  capture->colour.rows, std::round(capture->framesPerSecond * 100) / 100,
                  capture->rateGiven ? "" : " (it gives no rate)");
    return text;
}

VideoSource::Read VideoSource::readNewest(VideoFrame& frame) {
    Capture& c = *capture;
    if (c.camera) {
        DeviceFrame read;
        if (!c.camera->readNewest(frame.picture, read)) return Read::failed;
        frame.number = c.next++;
        frame.readTime = read.readTime;
        frame.exposureStart = read.exposureStart;
        frame.stamp = read.stamp;
        frame.sequence = read.sequence;
        frame.dropped = read.dropped;
        frame.passedOver = read.passedOver;
        frame.damaged = read.damaged;
        return Read::frame;
    }
    if (c.firstWaiting) {
        c.firstWaiting = false;
        c.start = frame.readTime = monotonicSeconds();
        c.next = 1;
        frame.number = 0;
    } else {
        const double period = 1.0 / c.framesPerSecond;
        for (double now = monotonicSeconds(); c.start + (c.next + 1) * period <= now; ++c.next)
            if (!c.video.grab()) return Read::ended;  // overdue: skipped
        double wait = c.start + c.next * period - monotonicSeconds();
        if (wait > 0) std::this_thread::sleep_for(std::chrono::duration<double>(wait));
        if (!c.video.read(c.colour) || c.colour.empty()) return Read::ended;
        frame.number = c.next++;
        frame.readTime = monotonicSeconds();
    }
    if (c.colour.depth() != CV_8U) return Read::ended;
    GreyImage& grey = frame.picture;
    grey.width = c.colour.cols;
    grey.height = c.colour.rows;
    grey.pixels.resize(static_cast<std::size_t>(grey.width) *
                       static_cast<std::size_t>(grey.height));
    cv::Mat into(grey.height, grey.width, CV_8U, grey.pixels.data());
    switch (c.colour.channels()) {
        case 1:
            c.colour.copyTo(into);
            break;
        case 3:
            cv::cvtColor(c.colour, into, cv::COLOR_BGR2GRAY);
            break;
        case 4:
            cv::cvtColor(c.colour, into, cv::COLOR_BGRA2GRAY);
            break;
        default:
            return Read::ended;
    }
    return Read::frame;
}
