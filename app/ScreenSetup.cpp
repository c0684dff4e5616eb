#include "app/ScreenSetup.h"

#include <string_view>

#include "app/CommandLine.h"

ScreenSetup setUpScreen(const std::string& given) {
    ScreenSetup screen;
    screen.monitor = primaryMonitor();
    const int modeWidth = screen.monitor ? screen.monitor->width : 0;
    const int modeHeight = screen.monitor ? screen.monitor->height : 0;
    if (given.empty()) {
        if (!screen.monitor) {
            screen.refusal = "no display tells the screen's size";
            return screen;
        }
        ScreenSize reported = reportedSize(*screen.monitor);
        std::optional<std::string> why = implausibleScreen(reported, modeWidth, modeHeight);
        if (why)
            screen.refusal = "the monitor's size cannot be used: " + *why;
        else
            screen.size = reported;
        return screen;
    }
    screen.given = true;
    const std::string_view text = given;
    double values[2], inches = 0;
    if (text.size() > 2 && text.substr(text.size() - 2) == "in" &&
        readDecimal(text.substr(0, text.size() - 2), inches, true)) {
        if (!(inches > 0))
            failUsage("fishtank-track",
                      "--screen " + given + ": a screen's diagonal is above 0 inches");
        if (!screen.monitor)
            failUsage("fishtank-track", "--screen " + given +
                                            " needs the monitor's mode for the screen's aspect; "
                                            "without a display give WxH in centimetres");
        screen.size = screenOfDiagonal(inches, modeWidth, modeHeight);
    } else if (readList(given, 'x', values, 2, true)) {
        screen.size = ScreenSize{values[0], values[1]};
    } else {
        failUsage("fishtank-track",
                  "--screen wants WxH in centimetres or Nin, the diagonal in "
                  "inches, not '" +
                      given + "'");
    }
    if (std::optional<std::string> why = implausibleScreen(*screen.size, modeWidth, modeHeight))
        failUsage("fishtank-track", "--screen " + given + ": " + *why);
    return screen;
}

std::optional<ScreenSize> windowSize(const ScreenSetup& screen, int pixelsWide, int pixelsHigh) {
    if (!screen.size || !screen.monitor || screen.monitor->width <= 0) return std::nullopt;
    const Monitor& m = *screen.monitor;
    const ScreenRect r = windowOnScreen(
        *screen.size, m,
        {{static_cast<float>(m.x), static_cast<float>(m.y)},
         {static_cast<float>(pixelsWide), static_cast<float>(pixelsHigh)}});
    return ScreenSize{r.right - r.left, r.top - r.bottom};
}
