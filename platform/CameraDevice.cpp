#include "platform/CameraDevice.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <mutex>
#include <stdexcept>

#include "platform/Date.h"
#include "platform/FrameDecoder.h"

namespace {
constexpr double wantedWidth = 640, wantedHeight = 480, wantedRate = 30;
constexpr unsigned ringSize = 3;        // buffers asked for: one being read, two filling
constexpr double firstFrameWait = 5.0;  // seconds, for a camera that has just started
constexpr double frameWait = 2.0;       // seconds without a usable frame: it has stopped

int control(int fd, unsigned long request, void* argument) {
    int result;
    do result = ::ioctl(fd, request, argument);
    while (result == -1 && errno == EINTR);
    return result;
}

// Why opening a node failed.
CameraProblem openProblem(int error) {
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return CameraProblem::noSuchDevice;
        case EACCES:
        case EPERM:
            return CameraProblem::permissionDenied;
        case EBUSY:
            return CameraProblem::busy;
        default:
            return CameraProblem::systemError;
    }
}

// Why setting the device up failed, for the errors that have a reason the user can act on.
CameraDeviceError setUpFailed(const char* step) {
    if (errno == EBUSY) return CameraDeviceError(CameraProblem::busy);
    if (errno == ENOSPC) return CameraDeviceError(CameraProblem::noRoomOnBus);
    return CameraDeviceError(CameraProblem::systemError, errno, step);
}
}  // namespace

CameraDeviceError::CameraDeviceError(CameraProblem problem, int error, const char* step)
    : std::runtime_error(problem == CameraProblem::systemError
                             ? std::string(step) + ": " + std::strerror(error)
                             : "the camera device cannot be used"),
      problem(problem),
      error(error),
      step(step) {}

namespace {
// The formats read, in order of preference at the same rate and size.
const std::uint32_t readable[] = {V4L2_PIX_FMT_MJPEG, V4L2_PIX_FMT_YUYV, V4L2_PIX_FMT_GREY};
const std::uint32_t greyFormats[] = {V4L2_PIX_FMT_GREY, V4L2_PIX_FMT_Y10, V4L2_PIX_FMT_Y12,
                                     V4L2_PIX_FMT_Y14, V4L2_PIX_FMT_Y16};

int preference(std::uint32_t format) {
    return static_cast<int>(std::find(std::begin(readable), std::end(readable), format) -
                            std::begin(readable));
}

struct Mode {
    std::uint32_t format = 0;
    unsigned width = 0, height = 0;
    v4l2_fract interval{0, 0};  // seconds a frame; 0/0 when the device does not say

    double rate() const {
        return interval.numerator && interval.denominator
                   ? static_cast<double>(interval.denominator) / interval.numerator
                   : 0.0;
    }
    std::string text() const {
        char fourcc[5] = {static_cast<char>(format & 0xff), static_cast<char>(format >> 8 & 0xff),
                          static_cast<char>(format >> 16 & 0xff),
                          static_cast<char>(format >> 24 & 0xff), '\0'};
        char line[96];
        if (rate() > 0)
            std::snprintf(line, sizeof line, "%ux%u %s at %g frames/s", width, height, fourcc,
                          std::round(rate() * 100) / 100);
        else
            std::snprintf(line, sizeof line, "%ux%u %s (it gives no rate)", width, height, fourcc);
        return line;
    }
};

// The mode that serves the face best: the highest rate up to 30 frames/s (more would only
// shorten the exposure and cost work), then the size nearest 640x480 in scale (half the
// size as far as twice), then MJPG before YUYV before GREY, then the lower rate. So MJPG at
// 640x480 and 30 frames/s wins wherever it is offered.
bool better(const Mode& a, const Mode& b) {
    long rateA = std::lround(std::min(a.rate(), wantedRate));
    long rateB = std::lround(std::min(b.rate(), wantedRate));
    if (rateA != rateB) return rateA > rateB;
    auto distance = [](const Mode& m) {
        return std::fabs(std::log(m.width / wantedWidth)) +
               std::fabs(std::log(m.height / wantedHeight));
    };
    if (std::fabs(distance(a) - distance(b)) > 1e-9) return distance(a) < distance(b);
    if (a.format != b.format) return preference(a.format) < preference(b.format);
    return a.rate() < b.rate();
}

// Every mode the device offers of `format`: each size with each frame interval. A range
// of sizes or intervals gives the ones nearest 640x480 and 30 frames/s within it.
void addModes(int fd, std::uint32_t format, std::vector<Mode>& modes) {
    std::vector<Mode> sizes;
    v4l2_frmsizeenum size{};
    size.pixel_format = format;
    for (; control(fd, VIDIOC_ENUM_FRAMESIZES, &size) == 0; ++size.index) {
        if (size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
            sizes.push_back({format, size.discrete.width, size.discrete.height});
            continue;
        }
        const v4l2_frmsize_stepwise& s = size.stepwise;
        auto nearest = [](double wanted, unsigned least, unsigned most, unsigned step) {
            double steps = std::round((std::clamp(wanted, double(least), double(most)) - least) /
                                      std::max(step, 1u));
            return least + static_cast<unsigned>(steps) * std::max(step, 1u);
        };
        sizes.push_back({format, nearest(wantedWidth, s.min_width, s.max_width, s.step_width),
                         nearest(wantedHeight, s.min_height, s.max_height, s.step_height)});
        break;
    }
    if (sizes.empty()) {  // the device does not list its sizes: the one it gives for 640x480
        v4l2_format tried{};
        tried.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        tried.fmt.pix = {640, 480, format, V4L2_FIELD_ANY, 0, 0, 0, 0, 0, 0, 0, 0};
        if (control(fd, VIDIOC_TRY_FMT, &tried) == 0 && tried.fmt.pix.pixelformat == format)
            sizes.push_back({format, tried.fmt.pix.width, tried.fmt.pix.height});
    }
    for (const Mode& sized : sizes) {
        v4l2_frmivalenum interval{};
        interval.pixel_format = format;
        interval.width = sized.width;
        interval.height = sized.height;
        bool any = false;
        for (; control(fd, VIDIOC_ENUM_FRAMEINTERVALS, &interval) == 0; ++interval.index) {
            any = true;
            Mode mode = sized;
            if (interval.type == V4L2_FRMIVAL_TYPE_DISCRETE) {
                mode.interval = interval.discrete;
                modes.push_back(mode);
                continue;
            }
            // A range: its fastest, and 1/30 s where it lies within.
            const v4l2_frmival_stepwise& range = interval.stepwise;
            mode.interval = range.min;
            modes.push_back(mode);
            mode.interval = {1, 30};
            if (mode.rate() <= Mode{0, 0, 0, range.min}.rate() &&
                mode.rate() >= Mode{0, 0, 0, range.max}.rate())
                modes.push_back(mode);
            break;
        }
        if (!any) modes.push_back(sized);
    }
}

std::uint32_t capabilities(const v4l2_capability& c) {
    return c.capabilities & V4L2_CAP_DEVICE_CAPS ? c.device_caps : c.capabilities;
}

// What an opened node is: a camera, with its best mode, or why it is not one.
struct Probe {
    v4l2_capability capability{};
    std::optional<CameraProblem> problem;
    bool infrared = false;
    Mode best;
};

Probe probe(int fd) {
    Probe p;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode) ||
        control(fd, VIDIOC_QUERYCAP, &p.capability) != 0) {
        p.problem = CameraProblem::notACamera;
        return p;
    }
    std::uint32_t can = capabilities(p.capability);
    if (!(can & V4L2_CAP_VIDEO_CAPTURE) || !(can & V4L2_CAP_STREAMING)) {
        p.problem =
            can & V4L2_CAP_META_CAPTURE ? CameraProblem::metadataNode : CameraProblem::notACamera;
        return p;
    }
    std::vector<Mode> modes;
    bool grey = false, colour = false;
    v4l2_fmtdesc format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    for (; control(fd, VIDIOC_ENUM_FMT, &format) == 0; ++format.index) {
        bool isGrey = std::find(std::begin(greyFormats), std::end(greyFormats),
                                format.pixelformat) != std::end(greyFormats);
        (isGrey ? grey : colour) = true;
        if (preference(format.pixelformat) < static_cast<int>(std::size(readable)))
            addModes(fd, format.pixelformat, modes);
    }
    p.infrared = grey && !colour;
    if (modes.empty()) {
        p.problem = CameraProblem::noReadableFormat;
        return p;
    }
    p.best = modes.front();
    for (const Mode& m : modes)
        if (better(m, p.best)) p.best = m;
    return p;
}

// Settings changed on open devices, each put back when its device closes (and at the
// program's end, see restoreCameraSettingsAtExit()).
struct ChangedSetting {
    std::atomic<int> fd{-1};
    v4l2_control old{};
};
ChangedSetting changedSettings[4];
std::mutex changing;

void putBack(ChangedSetting& setting) {
    int fd = setting.fd.exchange(-1);
    if (fd >= 0) ::ioctl(fd, VIDIOC_S_CTRL, &setting.old);
}

void putBackAll() {
    for (ChangedSetting& setting : changedSettings) putBack(setting);
}

void putBackAndEnd(int signal) {
    putBackAll();
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

ChangedSetting* remember(int fd, const v4l2_control& old) {
    std::lock_guard<std::mutex> lock(changing);
    for (ChangedSetting& setting : changedSettings)
        if (setting.fd.load() < 0) {
            setting.old = old;
            setting.fd.store(fd);
            return &setting;
        }
    return nullptr;
}
}  // namespace

void restoreCameraSettingsAtExit() {
    std::atexit(putBackAll);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction now {};
        if (::sigaction(signal, nullptr, &now) == 0 && now.sa_handler == SIG_DFL)
            ::signal(signal, putBackAndEnd);
    }
}

struct CameraDevice::Stream {
    int fd = -1;
    Mode mode;
    std::size_t stride = 0;
    double period = 1.0 / wantedRate;
    struct Buffer {
        void* start = MAP_FAILED;
        std::size_t length = 0;
    };
    std::vector<Buffer> buffers;
    bool streaming = false;
    ChangedSetting* changed = nullptr;
    FrameDecoder decoder;
    long lastSequence = -1;
    long dropped = 0, passedOver = 0, damaged = 0;

    ~Stream() {
        if (streaming) {
            v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            control(fd, VIDIOC_STREAMOFF, &type);
        }
        for (Buffer& b : buffers)
            if (b.start != MAP_FAILED) ::munmap(b.start, b.length);
        if (changed) putBack(*changed);
        if (fd >= 0) ::close(fd);
    }

    void holdRate(CameraSettings settings);
    void mapBuffers();
    bool giveBack(const v4l2_buffer& buffer) {
        v4l2_buffer again = buffer;
        return control(fd, VIDIOC_QBUF, &again) == 0;
    }
    bool read(GreyImage& picture, DeviceFrame& frame, double wait);
    bool decode(const v4l2_buffer& buffer, GreyImage& picture);
};

bool CameraDevice::isDevice(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) return S_ISCHR(info.st_mode);
    return errno == ENOENT && path.rfind("/dev/", 0) == 0;
}

CameraDevice::CameraDevice(const std::string& path, CameraSettings settings)
    : stream(std::make_unique<Stream>()) {
    Stream& s = *stream;
    s.fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (s.fd < 0) throw CameraDeviceError(openProblem(errno), errno, "opening it");
    Probe p = probe(s.fd);
    if (p.problem) throw CameraDeviceError(*p.problem);

    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    format.fmt.pix.width = p.best.width;
    format.fmt.pix.height = p.best.height;
    format.fmt.pix.pixelformat = p.best.format;
    format.fmt.pix.field = V4L2_FIELD_ANY;
    if (control(s.fd, VIDIOC_S_FMT, &format) != 0) throw setUpFailed("setting its format");
    s.mode = {format.fmt.pix.pixelformat, format.fmt.pix.width, format.fmt.pix.height,
              p.best.interval};
    if (preference(s.mode.format) >= static_cast<int>(std::size(readable)))
        throw CameraDeviceError(CameraProblem::noReadableFormat);
    s.stride = format.fmt.pix.bytesperline;
    if (s.stride == 0)
        s.stride = format.fmt.pix.width * (s.mode.format == V4L2_PIX_FMT_YUYV ? 2 : 1);

    v4l2_streamparm rate{};
    rate.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (p.best.rate() > 0 && control(s.fd, VIDIOC_G_PARM, &rate) == 0 &&
        rate.parm.capture.capability & V4L2_CAP_TIMEPERFRAME) {
        rate.parm.capture.timeperframe = p.best.interval;
        control(s.fd, VIDIOC_S_PARM, &rate);
    }
    if (control(s.fd, VIDIOC_G_PARM, &rate) == 0 &&
        Mode{0, 0, 0, rate.parm.capture.timeperframe}.rate() > 0)
        s.mode.interval = rate.parm.capture.timeperframe;
    if (s.mode.rate() > 0) s.period = 1.0 / s.mode.rate();

    s.holdRate(settings);
    s.mapBuffers();
    GreyImage first;
    DeviceFrame ignored;
    if (!s.read(first, ignored, firstFrameWait)) throw CameraDeviceError(CameraProblem::noPictures);
    // Counted from the frames read for the program: before them the ring fills and the
    // device drops frames while the program starts, and a first frame may carry an old
    // number (v4l2loopback numbers its writer's frames from the writer's start).
    s.lastSequence = -1;
    s.dropped = s.passedOver = s.damaged = 0;
}

CameraDevice::~CameraDevice() = default;

// UVC's exposure_dynamic_framerate: auto-exposure may lengthen the exposure beyond a frame
// period in dim light, lowering the rate to 15 frames/s or less, which doubles the delay.
void CameraDevice::Stream::holdRate(CameraSettings settings) {
    v4l2_queryctrl query{};
    query.id = V4L2_CID_EXPOSURE_AUTO_PRIORITY;
    v4l2_control now{V4L2_CID_EXPOSURE_AUTO_PRIORITY, 0};
    if (settings == CameraSettings::keep || control(fd, VIDIOC_QUERYCTRL, &query) != 0 ||
        query.flags & (V4L2_CTRL_FLAG_DISABLED | V4L2_CTRL_FLAG_READ_ONLY) ||
        control(fd, VIDIOC_G_CTRL, &now) != 0 || now.value == 0)
        return;
    v4l2_control held{V4L2_CID_EXPOSURE_AUTO_PRIORITY, 0};
    if (control(fd, VIDIOC_S_CTRL, &held) == 0) changed = remember(fd, now);
}

void CameraDevice::Stream::mapBuffers() {
    v4l2_requestbuffers request{};
    request.count = ringSize;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    if (control(fd, VIDIOC_REQBUFS, &request) != 0) throw setUpFailed("asking for buffers");
    if (request.count == 0) throw CameraDeviceError(CameraProblem::noBuffers);
    for (unsigned i = 0; i < request.count; ++i) {
        v4l2_buffer buffer{};
        buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buffer.memory = V4L2_MEMORY_MMAP;
        buffer.index = i;
        if (control(fd, VIDIOC_QUERYBUF, &buffer) != 0) throw setUpFailed("mapping its buffers");
        Buffer mapped;
        mapped.length = buffer.length;
        mapped.start = ::mmap(nullptr, buffer.length, PROT_READ, MAP_SHARED, fd, buffer.m.offset);
        buffers.push_back(mapped);
        if (mapped.start == MAP_FAILED) throw setUpFailed("mapping its buffers");
        if (!giveBack(buffer)) throw setUpFailed("queueing its buffers");
    }
    v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (control(fd, VIDIOC_STREAMON, &type) != 0) throw setUpFailed("starting its stream");
    streaming = true;
}

bool CameraDevice::Stream::decode(const v4l2_buffer& buffer, GreyImage& picture) {
    const Buffer& mapped = buffers[buffer.index];
    const auto* bytes = static_cast<const std::uint8_t*>(mapped.start);
    std::size_t size = std::min<std::size_t>(buffer.bytesused, mapped.length);
    int width = static_cast<int>(mode.width), height = static_cast<int>(mode.height);
    switch (mode.format) {
        case V4L2_PIX_FMT_MJPEG:
            return decoder.greyFromJpeg(bytes, size, width, height, picture);
        case V4L2_PIX_FMT_YUYV:
            return greyFromYuyv(bytes, size, width, height, stride, picture);
        default:
            return greyFromGrey(bytes, size, width, height, stride, picture);
    }
}

bool CameraDevice::Stream::read(GreyImage& picture, DeviceFrame& frame, double wait) {
    const double deadline = monotonicSeconds() + wait;
    for (;;) {
        int left = static_cast<int>(std::ceil((deadline - monotonicSeconds()) * 1000));
        if (left <= 0) return false;
        pollfd waiting{fd, POLLIN, 0};
        int ready = ::poll(&waiting, 1, left);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        v4l2_buffer newest{};
        bool have = false;
        std::size_t taken = 0;
        for (;;) {
            v4l2_buffer buffer{};
            buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            buffer.memory = V4L2_MEMORY_MMAP;
            if (control(fd, VIDIOC_DQBUF, &buffer) != 0) {
                if (errno == EAGAIN) break;
                return false;  // ENODEV unplugged, EIO, EPIPE: a fatal streaming error
            }
            ++taken;
            long sequence = buffer.sequence;
            if (lastSequence >= 0 && sequence > lastSequence + 1)
                dropped += sequence - lastSequence - 1;
            lastSequence = sequence;
            if (buffer.flags & V4L2_BUF_FLAG_ERROR || buffer.bytesused == 0 ||
                buffer.index >= buffers.size()) {
                ++damaged;
                if (!giveBack(buffer)) return false;
                continue;
            }
            if (have) {
                ++passedOver;
                if (!giveBack(newest)) return false;
            }
            newest = buffer;
            have = true;
        }
        if (!have) {
            if (waiting.revents & (POLLERR | POLLHUP | POLLNVAL)) return false;
            continue;
        }
        // Every buffer was full: the device has had none to fill since the newest, and
        // has dropped the frames after it. The next frame is the newest then.
        if (taken == buffers.size() && buffers.size() > 1) {
            ++passedOver;
            if (!giveBack(newest)) return false;
            continue;
        }
        bool decoded = decode(newest, picture);
        if (!giveBack(newest)) return false;
        if (!decoded) {
            ++damaged;
            continue;
        }
        frame = DeviceFrame{};
        frame.readTime = monotonicSeconds();
        frame.sequence = newest.sequence;
        frame.dropped = dropped;
        frame.passedOver = passedOver;
        frame.damaged = damaged;
        // The stamp: the start of the exposure, or the end of the frame, which comes a
        // frame period after the start at the longest exposure; taking the period off
        // gives the start of an exposure that lasts the whole frame, the dim-light case.
        double stamp = static_cast<double>(newest.timestamp.tv_sec) +
                       static_cast<double>(newest.timestamp.tv_usec) * 1e-6;
        bool monotonic =
            (newest.flags & V4L2_BUF_FLAG_TIMESTAMP_MASK) == V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC;
        bool atStart =
            (newest.flags & V4L2_BUF_FLAG_TSTAMP_SRC_MASK) == V4L2_BUF_FLAG_TSTAMP_SRC_SOE;
        double start = atStart ? stamp : stamp - period;
        if (monotonic && stamp > 0 && start <= frame.readTime && start > frame.readTime - 10) {
            frame.exposureStart = start;
            frame.stamp = atStart ? FrameStamp::startOfExposure : FrameStamp::endOfFrame;
        }
        return true;
    }
}

std::string CameraDevice::format() const {
    return stream->mode.text();
}

bool CameraDevice::rateHeld() const {
    return stream->changed != nullptr;
}

double CameraDevice::framesPerSecond() const {
    return stream->mode.rate();
}

bool CameraDevice::readNewest(GreyImage& picture, DeviceFrame& frame) {
    return stream->read(picture, frame, frameWait);
}

std::vector<CameraDevice::Node> CameraDevice::list() {
    std::vector<std::pair<unsigned long, std::string>> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev", error)) {
        std::string name = entry.path().filename().string();
        if (name.size() <= 5 || name.rfind("video", 0) != 0) continue;
        unsigned long number = 0;
        const char* end = name.c_str() + name.size();
        auto [parsed, problem] = std::from_chars(name.c_str() + 5, end, number);
        if (parsed == end && problem == std::errc())
            found.emplace_back(number, entry.path().string());
    }
    std::sort(found.begin(), found.end());
    std::vector<Node> nodes;
    for (const auto& [number, path] : found) {
        Node node;
        node.path = path;
        int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            node.problem = openProblem(errno);
            node.error = errno;
        } else {
            node.opened = true;
            Probe p = probe(fd);
            ::close(fd);
            const auto* card = reinterpret_cast<const char*>(p.capability.card);
            node.card.assign(card, strnlen(card, sizeof p.capability.card));
            node.problem = p.problem;
            node.infrared = p.infrared;
            if (!p.problem) node.mode = p.best.text();
        }
        nodes.push_back(node);
    }
    return nodes;
}
