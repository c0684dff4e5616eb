#include "platform/CameraDevice.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "platform/CameraModes.h"
#include "platform/CameraProbe.h"
#include "platform/Date.h"
#include "platform/DeviceControl.h"
#include "platform/FrameDecoder.h"

namespace {
constexpr unsigned ringSize = 3;        // buffers asked for: one being read, two filling
constexpr double firstFrameWait = 5.0;  // seconds, for a camera that has just started
constexpr double frameWait = 2.0;       // seconds without a usable frame: it has stopped

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

struct CameraDevice::Stream {
    int fd = -1;
    CameraMode mode;
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
            deviceControl(fd, VIDIOC_STREAMOFF, &type);
        }
        for (Buffer& b : buffers)
            if (b.start != MAP_FAILED) ::munmap(b.start, b.length);
        if (changed) putBack(*changed);
        if (fd >= 0) ::close(fd);
    }

    void mapBuffers();
    bool giveBack(const v4l2_buffer& buffer) {
        v4l2_buffer again = buffer;
        return deviceControl(fd, VIDIOC_QBUF, &again) == 0;
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
    NodeProbe p = probeNode(s.fd);
    if (p.problem) throw CameraDeviceError(*p.problem);

    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    format.fmt.pix.width = p.best.width;
    format.fmt.pix.height = p.best.height;
    format.fmt.pix.pixelformat = p.best.format;
    format.fmt.pix.field = V4L2_FIELD_ANY;
    if (deviceControl(s.fd, VIDIOC_S_FMT, &format) != 0) throw setUpFailed("setting its format");
    s.mode = {format.fmt.pix.pixelformat, format.fmt.pix.width, format.fmt.pix.height,
              p.best.interval};
    if (!isReadable(s.mode.format)) throw CameraDeviceError(CameraProblem::noReadableFormat);
    s.stride = format.fmt.pix.bytesperline;
    if (s.stride == 0)
        s.stride = format.fmt.pix.width * (s.mode.format == V4L2_PIX_FMT_YUYV ? 2 : 1);

    v4l2_streamparm rate{};
    rate.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (p.best.rate() > 0 && deviceControl(s.fd, VIDIOC_G_PARM, &rate) == 0 &&
        rate.parm.capture.capability & V4L2_CAP_TIMEPERFRAME) {
        rate.parm.capture.timeperframe = p.best.interval;
        deviceControl(s.fd, VIDIOC_S_PARM, &rate);
    }
    if (deviceControl(s.fd, VIDIOC_G_PARM, &rate) == 0 &&
        CameraMode{0, 0, 0, rate.parm.capture.timeperframe}.rate() > 0)
        s.mode.interval = rate.parm.capture.timeperframe;
    if (s.mode.rate() > 0) s.period = 1.0 / s.mode.rate();

    s.changed = holdFrameRate(s.fd, settings);
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

void CameraDevice::Stream::mapBuffers() {
    v4l2_requestbuffers request{};
    request.count = ringSize;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    if (deviceControl(fd, VIDIOC_REQBUFS, &request) != 0) throw setUpFailed("asking for buffers");
    if (request.count == 0) throw CameraDeviceError(CameraProblem::noBuffers);
    for (unsigned i = 0; i < request.count; ++i) {
        v4l2_buffer buffer{};
        buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buffer.memory = V4L2_MEMORY_MMAP;
        buffer.index = i;
        if (deviceControl(fd, VIDIOC_QUERYBUF, &buffer) != 0)
            throw setUpFailed("mapping its buffers");
        Buffer mapped;
        mapped.length = buffer.length;
        mapped.start = ::mmap(nullptr, buffer.length, PROT_READ, MAP_SHARED, fd, buffer.m.offset);
        buffers.push_back(mapped);
        if (mapped.start == MAP_FAILED) throw setUpFailed("mapping its buffers");
        if (!giveBack(buffer)) throw setUpFailed("queueing its buffers");
    }
    v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (deviceControl(fd, VIDIOC_STREAMON, &type) != 0) throw setUpFailed("starting its stream");
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
            if (deviceControl(fd, VIDIOC_DQBUF, &buffer) != 0) {
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
