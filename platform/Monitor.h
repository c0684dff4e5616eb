#pragma once

#include <optional>
#include <string>
#include <vector>

// A monitor as the window system describes it. Positions and sizes in pixels are those of
// the virtual screen, which spans every monitor.
struct Monitor {
    std::string name;
    int x = 0, y = 0;           // its top-left corner in the virtual screen
    int width = 0, height = 0;  // its current video mode
    int refreshRate = 0;        // Hz; 0 when the mode gives none
    // Its physical size as the monitor itself reports it (EDID); 0 when it reports none.
    int widthMm = 0, heightMm = 0;
};

// The primary monitor; none without a display. Starts the window system when no window has,
// so that a program can ask before it opens any (it stays started, as in the programs).
std::optional<Monitor> primaryMonitor();

// The monitor a window of `width` x `height` pixels at (x, y) of the virtual screen is on,
// of `monitors`: the one holding its centre, else the one it overlaps most; none when it
// is on none of them.
std::optional<Monitor> monitorOfWindow(const std::vector<Monitor>& monitors, double x, double y,
                                       double width, double height);

// The monitors of the display, as monitorOfWindow() takes them.
std::vector<Monitor> monitors();
