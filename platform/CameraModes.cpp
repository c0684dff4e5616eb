#include "platform/CameraModes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

namespace {
// The formats read, in order of preference at the same rate and size.
const std::uint32_t readable[] = {V4L2_PIX_FMT_MJPEG, V4L2_PIX_FMT_YUYV, V4L2_PIX_FMT_GREY};
const std::uint32_t greyFormats[] = {V4L2_PIX_FMT_GREY, V4L2_PIX_FMT_Y10, V4L2_PIX_FMT_Y12,
                                     V4L2_PIX_FMT_Y14, V4L2_PIX_FMT_Y16};

int preference(std::uint32_t format) {
    return static_cast<int>(std::find(std::begin(readable), std::end(readable), format) -
                            std::begin(readable));
}

bool better(const CameraMode& a, const CameraMode& b) {
    long rateA = std::lround(std::min(a.rate(), wantedRate));
    long rateB = std::lround(std::min(b.rate(), wantedRate));
    if (rateA != rateB) return rateA > rateB;
    auto distance = [](const CameraMode& m) {
        return std::fabs(std::log(m.width / wantedWidth)) +
               std::fabs(std::log(m.height / wantedHeight));
    };
    if (std::fabs(distance(a) - distance(b)) > 1e-9) return distance(a) < distance(b);
    if (a.format != b.format) return preference(a.format) < preference(b.format);
    return a.rate() < b.rate();
}
}  // namespace

double CameraMode::rate() const {
    return interval.numerator && interval.denominator
               ? static_cast<double>(interval.denominator) / interval.numerator
               : 0.0;
}

std::string CameraMode::text() const {
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

bool isReadable(std::uint32_t format) {
    return preference(format) < static_cast<int>(std::size(readable));
}

bool isGreyFormat(std::uint32_t format) {
    return std::find(std::begin(greyFormats), std::end(greyFormats), format) !=
           std::end(greyFormats);
}

CameraMode bestMode(const std::vector<CameraMode>& modes) {
    CameraMode best = modes.front();
    for (const CameraMode& m : modes)
        if (better(m, best)) best = m;
    return best;
}
