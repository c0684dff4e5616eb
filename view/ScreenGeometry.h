#pragma once

#include <optional>
#include <string>

#include "platform/Monitor.h"
#include "platform/OpenGLView.h"

// Screen centimetres: the origin at the screen's centre, +x to the right, +y up, +z out of
// the screen toward the viewer.
struct ScreenPoint {
    double x = 0.0, y = 0.0, z = 0.0;
};
// A rectangle in the screen's plane, in screen centimetres.
struct ScreenRect {
    double left = 0.0, bottom = 0.0, right = 0.0, top = 0.0;
};
// A screen's physical width and height, in centimetres.
struct ScreenSize {
    double width = 0.0, height = 0.0;
};

// The whole screen, as a full-screen window covers it.
ScreenRect wholeScreen(ScreenSize screen);

// Where a window's content area lies on `monitor`, whose physical size is `screen`:
// `content` in the virtual screen's pixels, as the platform gives it (y down). A monitor
// without a video mode gives the whole screen.
ScreenRect windowOnScreen(ScreenSize screen, const Monitor& monitor, const Rect& content);

// The size the monitor reports; 0 by 0 when it reports none.
ScreenSize reportedSize(const Monitor& monitor);

// The size `monitor` reports where implausibleScreen() takes it, else `otherwise`.
ScreenSize sizeOf(const Monitor& monitor, ScreenSize otherwise);

// Why `size` cannot be that of a screen showing a mode of modeWidth x modeHeight pixels:
// none, a side under 10 cm or over 300 cm, or an aspect more than 10 % off the mode's (TVs
// and projectors often report sizes like that), or without a mode one side over 4 times
// the other. Nothing when it is plausible.
std::optional<std::string> implausibleScreen(ScreenSize size, int modeWidth, int modeHeight);

// The screen of a diagonal of `inches`, in the aspect of a mode of modeWidth x modeHeight
// pixels (square pixels).
ScreenSize screenOfDiagonal(double inches, int modeWidth, int modeHeight);
