#pragma once

#include <optional>
#include <string>

#include "platform/Monitor.h"
#include "view/ScreenGeometry.h"

// The physical screen the true-scale picture is drawn for: given with --screen (WxH in
// centimetres, or Nin, the diagonal in inches in the aspect of the monitor's mode), or as
// the monitor reports it.
struct ScreenSetup {
    std::optional<Monitor> monitor;  // the primary one; none without a display
    std::optional<ScreenSize> size;  // none: no size that can be used
    bool given = false;              // by --screen, else the monitor's
    std::string refusal;             // why the monitor's size cannot be used
};

// The screen for `given`, --screen's value (empty: the monitor's). A given value that is
// not a screen is a usage error (status 2, one line); a monitor's size that is missing or
// implausible leaves `size` empty and says why in `refusal`.
ScreenSetup setUpScreen(const std::string& given);

// The size of a window of `pixelsWide` x `pixelsHigh` on the screen; none where no monitor
// tells how large a pixel is.
std::optional<ScreenSize> windowSize(const ScreenSetup& screen, int pixelsWide, int pixelsHigh);
