#include "camera/VideoSource.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>
#include <stdexcept>
#include <thread>

#include "platform/Date.h"

namespace {
constexpr double assumedFramesPerSecond = 30.0;  // for sources that give no rate
constexpr double openingSeconds = 5.0;           // a file's, up to its first frame
// Frames in a row that cannot be read, after which a file is taken to have ended.
constexpr long longestFailureRun = 100;

// A name with a printf(3) number pattern, one %d such as frame%04d.png (a width of at most
// two digits), and no other %.
bool isSequencePattern(const std::string& name) {
    std::size_t at = name.find('%');
    if (at == std::string::npos || name.find('%', at + 1) != std::string::npos) return false;
    std::size_t end = name.find_first_not_of("0123456789", at + 1);
    return end != std::string::npos && end <= at + 3 && name[end] == 'd';
}

// The name of a sequence's picture `number`; the pattern is checked by isSequencePattern.
std::string sequenceFrame(const std::string& pattern, int number) {
    char name[4096];
    std::snprintf(name, sizeof name, pattern.c_str(), number);
    return name;
}

std::string fileProblem(const std::string& path, bool sequence) {
    struct stat info {};
    if (sequence) {
        // The image sequence reader starts at picture 0 or 1.
        std::string first = sequenceFrame(path, 0), second = sequenceFrame(path, 1);
        if (::stat(first.c_str(), &info) != 0 && ::stat(second.c_str(), &info) != 0)
            return errno == ENOENT ? "no such file: " + first + " or " + second
                                   : std::strerror(errno);
        return {};
    }
    if (::stat(path.c_str(), &info) != 0)
        return errno == ENOENT ? "no such file" : std::strerror(errno);
    if (S_ISDIR(info.st_mode)) return "a folder, not a video";
    if (::access(path.c_str(), R_OK) != 0) return "permission denied";
    return {};
}

// Pictures of 8 or 16 bits a channel, grey, colour or colour with alpha, can be used.
bool isUsable(const cv::Mat& picture) {
    int channels = picture.channels();
    return !picture.empty() && (picture.depth() == CV_8U || picture.depth() == CV_16U) &&
           (channels == 1 || channels == 3 || channels == 4);
}

void toGrey(const cv::Mat& picture, GreyImage& grey) {
    cv::Mat eightBits = picture;
    if (picture.depth() == CV_16U) picture.convertTo(eightBits, CV_8U, 1.0 / 256.0);
    grey.width = picture.cols;
    grey.height = picture.rows;
    grey.pixels.resize(static_cast<std::size_t>(grey.width) *
                       static_cast<std::size_t>(grey.height));
    cv::Mat into(grey.height, grey.width, CV_8U, grey.pixels.data());
    if (eightBits.channels() == 1)
        eightBits.copyTo(into);
    else
        cv::cvtColor(eightBits, into,
                     eightBits.channels() == 3 ? cv::COLOR_BGR2GRAY : cv::COLOR_BGRA2GRAY);
}
}  // namespace

struct VideoSource::Capture {
    std::string name;
    CameraSettings settings = CameraSettings::leaveAlone;
    std::unique_ptr<CameraDevice> camera;
    bool sequence = false;  // an image sequence, read by the library's own sequence reader
    cv::VideoCapture video;
    cv::Mat colour;
    double framesPerSecond = assumedFramesPerSecond;
    bool rateGiven = false;
    bool firstWaiting = true;  // a file's frame read when opening, not yet delivered
    double start = 0.0;        // a file's clock: frame k is due at start + k / framesPerSecond
    long next = 0;             // the next frame's number
    long frameCount = 0;       // a file's frames, as far as the library knows; 0: not known
    long skipped = 0;          // a file's frames that could not be read, passed over

    void openFile();
    bool nextFrame(bool keep);
};

// Opens a file or an image sequence and reads its first frame. A FIFO waits for a writer,
// then for a whole frame, for as long as none comes: the opening runs on a thread of its
// own and is given up after a few seconds, its thread left to end with the process.
void VideoSource::Capture::openFile() {
    struct Opening {
        std::mutex lock;
        std::condition_variable done;
        bool finished = false;
        cv::VideoCapture video;
        cv::Mat first;
    };
    auto opening = std::make_shared<Opening>();
    std::thread([opening, source = name, sequence = sequence] {
        // Sequences through the sequence reader first: the FFmpeg reader keeps the
        // conversion it set up for the first picture, and a later one of another depth
        // overruns it.
        const int readers[2] = {sequence ? cv::CAP_IMAGES : cv::CAP_FFMPEG,
                                sequence ? cv::CAP_FFMPEG : cv::CAP_IMAGES};
        cv::Mat first;
        for (int reader : readers)
            if (opening->video.open(source, reader)) break;
        if (opening->video.isOpened() && !opening->video.read(first)) first.release();
        std::lock_guard<std::mutex> lock(opening->lock);
        opening->first = first;
        opening->finished = true;
        opening->done.notify_all();
    }).detach();
    std::unique_lock<std::mutex> lock(opening->lock);
    if (!opening->done.wait_for(lock, std::chrono::duration<double>(openingSeconds),
                                [&] { return opening->finished; }))
        throw std::runtime_error(
            "no picture came within 5 s (a FIFO whose writer has not started, or stopped)");
    if (!isUsable(opening->first))
        throw std::runtime_error("not a video that the capture library can read");
    video = opening->video;
    colour = opening->first;
    frameCount = std::max(0L, std::lround(video.get(cv::CAP_PROP_FRAME_COUNT)));
    // The sequence reader gives 1 frame/s for every sequence: no rate of the sequence's.
    double rate = sequence ? 0.0 : video.get(cv::CAP_PROP_FPS);
    rateGiven = rate > 0.0 && rate <= 1000.0;
    if (rateGiven) framesPerSecond = rate;
}

// A file's next frame, into `colour` (or only passed over, unless `keep`). A frame that
// cannot be read is passed over and counted: the file ends only where its last frame has
// been read, or after so many frames in a row that cannot be read that none will follow.
bool VideoSource::Capture::nextFrame(bool keep) {
    for (long failed = 1;; ++failed) {
        bool last = frameCount > 0 && next >= frameCount;
        ++next;
        if (keep ? video.read(colour) && isUsable(colour) : video.grab()) {
            skipped += failed - 1;
            return true;
        }
        if (last || failed == longestFailureRun) return false;
        // The sequence reader stays on a picture that it cannot read.
        if (sequence) video.set(cv::CAP_PROP_POS_FRAMES, static_cast<double>(next));
    }
}

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
    c.sequence = isSequencePattern(source) && ::access(source.c_str(), F_OK) != 0;
    std::string problem = fileProblem(source, c.sequence);
    if (!problem.empty()) throw std::runtime_error(problem);
    c.openFile();
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
    std::snprintf(text, sizeof text, "%dx%d at %.4g frames/s%s", capture->colour.cols,
                  capture->colour.rows, capture->framesPerSecond,
                  capture->rateGiven ? "" : " (it gives no rate)");
    return text;
}

double VideoSource::nextFrameDue() const {
    const Capture& c = *capture;
    if (c.camera || c.firstWaiting) return 0.0;
    return c.start + static_cast<double>(c.next) / c.framesPerSecond;
}

long VideoSource::skippedFrames() const {
    return capture->skipped;
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
        for (double now = monotonicSeconds(); c.start + (c.next + 1) * period <= now;)
            if (!c.nextFrame(false)) return Read::ended;  // overdue: skipped
        double wait = c.start + c.next * period - monotonicSeconds();
        if (wait > 0) std::this_thread::sleep_for(std::chrono::duration<double>(wait));
        if (!c.nextFrame(true)) return Read::ended;
        frame.number = c.next - 1;
        frame.readTime = monotonicSeconds();
    }
    if (!isUsable(c.colour)) return Read::ended;  // checked as read: not reached
    toGrey(c.colour, frame.picture);
    return Read::frame;
}
