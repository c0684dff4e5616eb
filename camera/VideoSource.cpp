#include "camera/VideoSource.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
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

bool isDevicePath(const std::string& source) {
    struct stat info {};
    return source.rfind("/dev/", 0) == 0 ||
           (::stat(source.c_str(), &info) == 0 && S_ISCHR(info.st_mode));
}

// Why a camera device cannot be used, asked of the device itself, as the capture library
// only says that it failed; empty when it is a camera that can be opened.
std::string deviceProblem(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        switch (errno) {
            case ENOENT:
            case ENODEV:
            case ENXIO:
                return "no such device (ls /dev/video* lists the cameras)";
            case EACCES:
            case EPERM:
                return "permission denied: join the video group (sudo adduser $USER video) "
                       "and log in again";
            case EBUSY:
                return "busy: in use by another program";
            default:
                return std::strerror(errno);
        }
    }
    v4l2_capability capability{};
    bool answers = ::ioctl(fd, VIDIOC_QUERYCAP, &capability) == 0;
    ::close(fd);
    std::uint32_t can = capability.capabilities & V4L2_CAP_DEVICE_CAPS ? capability.device_caps
                                                                       : capability.capabilities;
    if (!answers || !(can & V4L2_CAP_VIDEO_CAPTURE))
        return "not a camera: it delivers no pictures (laptops often list a second node "
               "for metadata; try /dev/video0)";
    return {};
}

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
    bool device = false;
    cv::VideoCapture video;
    cv::Mat colour;
    double framesPerSecond = assumedFramesPerSecond;
    bool rateGiven = false;
    bool firstWaiting = true;  // a file's frame read when opening, not yet delivered
    double start = 0.0;        // a file's clock: frame k is due at start + k / framesPerSecond
    long next = 0;             // the next frame's number
};

VideoSource::VideoSource(const std::string& source) : capture(std::make_unique<Capture>()) {
    // The library's own messages would only repeat ours, less clearly.
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    ::setenv("OPENCV_FFMPEG_LOGLEVEL", "-8", 0);  // quiet: read when the first file opens
    Capture& c = *capture;
    c.name = source;
    c.device = isDevicePath(source);
    std::string problem = c.device ? deviceProblem(source) : fileProblem(source);
    if (!problem.empty()) throw std::runtime_error(problem);
    if (c.device) {
        if (!c.video.open(source, cv::CAP_V4L2))
            throw std::runtime_error("busy: in use by another program");
        // MJPG first: uncompressed formats often cap a webcam's rate at this size. One
        // buffer: the driver fills it only once the last frame is done with, so a frame
        // grabbed is never an old one waiting in a queue.
        c.video.set(cv::CAP_PROP_FOURCC, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'));
        c.video.set(cv::CAP_PROP_FRAME_WIDTH, 640);
        c.video.set(cv::CAP_PROP_FRAME_HEIGHT, 480);
        c.video.set(cv::CAP_PROP_FPS, 30);
        c.video.set(cv::CAP_PROP_BUFFERSIZE, 1);
    } else if (!c.video.open(source, cv::CAP_FFMPEG) && !c.video.open(source, cv::CAP_IMAGES)) {
        throw std::runtime_error("not a video that the capture library can read");
    }
    if (!c.video.read(c.colour) || c.colour.empty() || c.colour.depth() != CV_8U)
        throw std::runtime_error(c.device ? "busy: in use by another program, or it delivers "
                                            "no pictures"
                                          : "not a video that the capture library can read");
    c.firstWaiting = !c.device;  // a device's first frame is old by the time it is asked for
    double rate = c.video.get(cv::CAP_PROP_FPS);
    c.rateGiven = rate > 0.0 && rate <= 1000.0;
    if (c.rateGiven) c.framesPerSecond = rate;
}

VideoSource::~VideoSource() = default;

const std::string& VideoSource::name() const {
    return capture->name;
}

bool VideoSource::isDevice() const {
    return capture->device;
}

std::string VideoSource::format() const {
    char text[96];
    std::snprintf(text, sizeof text, "%dx%d at %g frames/s%s", capture->colour.cols,
                  capture->colour.rows, std::round(capture->framesPerSecond * 100) / 100,
                  capture->rateGiven ? "" : " (it gives no rate)");
    return text;
}

VideoSource::Read VideoSource::readNewest(VideoFrame& frame) {
    Capture& c = *capture;
    double exposure = std::numeric_limits<double>::quiet_NaN();
    if (c.firstWaiting) {
        c.firstWaiting = false;
        c.start = frame.readTime = monotonicSeconds();
        c.next = 1;
        frame.number = 0;
    } else if (c.device) {
        if (!c.video.grab() || !c.video.retrieve(c.colour) || c.colour.empty()) return Read::failed;
        frame.number = c.next++;
        frame.readTime = monotonicSeconds();
        // The device stamps each buffer on the monotonic clock; the library gives it in ms.
        double stamp = c.video.get(cv::CAP_PROP_POS_MSEC) / 1000.0;
        if (stamp > 0.0 && stamp <= frame.readTime && stamp > frame.readTime - 10.0)
            exposure = stamp;
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
    frame.exposureStart = exposure;
    if (c.colour.depth() != CV_8U) return c.device ? Read::failed : Read::ended;
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
            return c.device ? Read::failed : Read::ended;
    }
    return Read::frame;
}
