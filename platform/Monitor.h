#pragma once

#include <optional>
#include <string>

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

// The monitor holding the point (x, y) of the virtual screen, or the primary one when none
// does.
std::optional<Monitor> monitorAt(double x, double y);
