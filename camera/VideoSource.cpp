#include "camera/VideoSource.h"

#include "camera/DeviceSource.h"
#include "camera/FileSource.h"

std::unique_ptr<VideoSource> openVideoSource(const std::string& source, CameraSettings settings) {
    if (CameraDevice::isDevice(source)) return std::make_unique<DeviceSource>(source, settings);
    return std::make_unique<FileSource>(source);
}
