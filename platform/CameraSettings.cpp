#include "platform/CameraSettings.h"

#include <linux/videodev2.h>
#include <signal.h>
#include <sys/ioctl.h>

#include <atomic>
#include <cstdlib>
#include <mutex>

#include "platform/DeviceControl.h"

// Settings changed on open devices, each put back when its device closes (and at the
// program's end, see restoreCameraSettingsAtExit()).
struct ChangedSetting {
    std::atomic<int> fd{-1};
    v4l2_control old{};
};

namespace {
ChangedSetting changedSettings[4];
std::mutex changing;

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

void putBack(ChangedSetting& setting) {
    int fd = setting.fd.exchange(-1);
    if (fd >= 0) ::ioctl(fd, VIDIOC_S_CTRL, &setting.old);
}

void restoreCameraSettingsAtExit() {
    std::atexit(putBackAll);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction now {};
        if (::sigaction(signal, nullptr, &now) == 0 && now.sa_handler == SIG_DFL)
            ::signal(signal, putBackAndEnd);
    }
}

// UVC's exposure_dynamic_framerate: auto-exposure may lengthen the exposure beyond a frame
// period in dim light, lowering the rate to 15 frames/s or less, which doubles the delay.
ChangedSetting* holdFrameRate(int fd, CameraSettings settings) {
    v4l2_queryctrl query{};
    query.id = V4L2_CID_EXPOSURE_AUTO_PRIORITY;
    v4l2_control now{V4L2_CID_EXPOSURE_AUTO_PRIORITY, 0};
    if (settings == CameraSettings::keep || deviceControl(fd, VIDIOC_QUERYCTRL, &query) != 0 ||
        query.flags & (V4L2_CTRL_FLAG_DISABLED | V4L2_CTRL_FLAG_READ_ONLY) ||
        deviceControl(fd, VIDIOC_G_CTRL, &now) != 0 || now.value == 0)
        return nullptr;
    v4l2_control held{V4L2_CID_EXPOSURE_AUTO_PRIORITY, 0};
    return deviceControl(fd, VIDIOC_S_CTRL, &held) == 0 ? remember(fd, now) : nullptr;
}
