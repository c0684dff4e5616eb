#include "platform/CameraProbe.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <vector>

#include "platform/DeviceControl.h"

namespace {
// Every mode the device offers of `format`: each size with each frame interval. A range
// of sizes or intervals gives the ones nearest 640x480 and 30 frames/s within it.
void addModes(int fd, std::uint32_t format, std::vector<CameraMode>& modes) {
    std::vector<CameraMode> sizes;
    v4l2_frmsizeenum size{};
    size.pixel_format = format;
    for (; deviceControl(fd, VIDIOC_ENUM_FRAMESIZES, &size) == 0; ++size.index) {
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
        if (deviceControl(fd, VIDIOC_TRY_FMT, &tried) == 0 && tried.fmt.pix.pixelformat == format)
            sizes.push_back({format, tried.fmt.pix.width, tried.fmt.pix.height});
    }
    for (const CameraMode& sized : sizes) {
        v4l2_frmivalenum interval{};
        interval.pixel_format = format;
        interval.width = sized.width;
        interval.height = sized.height;
        bool any = false;
        for (; deviceControl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &interval) == 0; ++interval.index) {
            any = true;
            CameraMode mode = sized;
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
            if (mode.rate() <= CameraMode{0, 0, 0, range.min}.rate() &&
                mode.rate() >= CameraMode{0, 0, 0, range.max}.rate())
                modes.push_back(mode);
            break;
        }
        if (!any) modes.push_back(sized);
    }
}

std::uint32_t capabilities(const v4l2_capability& c) {
    return c.capabilities & V4L2_CAP_DEVICE_CAPS ? c.device_caps : c.capabilities;
}
}  // namespace

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

NodeProbe probeNode(int fd) {
    NodeProbe p;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode) ||
        deviceControl(fd, VIDIOC_QUERYCAP, &p.capability) != 0) {
        p.problem = CameraProblem::notACamera;
        return p;
    }
    std::uint32_t can = capabilities(p.capability);
    if (!(can & V4L2_CAP_VIDEO_CAPTURE) || !(can & V4L2_CAP_STREAMING)) {
        p.problem =
            can & V4L2_CAP_META_CAPTURE ? CameraProblem::metadataNode : CameraProblem::notACamera;
        return p;
    }
    std::vector<CameraMode> modes;
    bool grey = false, colour = false;
    v4l2_fmtdesc format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    for (; deviceControl(fd, VIDIOC_ENUM_FMT, &format) == 0; ++format.index) {
        (isGreyFormat(format.pixelformat) ? grey : colour) = true;
        if (isReadable(format.pixelformat)) addModes(fd, format.pixelformat, modes);
    }
    p.infrared = grey && !colour;
    if (modes.empty()) {
        p.problem = CameraProblem::noReadableFormat;
        return p;
    }
    p.best = bestMode(modes);
    return p;
}
