// The physical screen: which sizes a monitor can have, a diagonal in inches, and where a
// window's pixels lie on it in centimetres.
#include <gtest/gtest.h>

#include <cmath>

#include "view/ScreenGeometry.h"

namespace {
TEST(ScreenSize, TheCheckRefusesSizesNoScreenHasAndSaysWhy) {
    EXPECT_EQ(implausibleScreen({31.0, 17.4}, 1920, 1080), std::nullopt);
    EXPECT_EQ(implausibleScreen({121.0, 68.0}, 3840, 2160), std::nullopt);
    EXPECT_EQ(implausibleScreen({34.0, 60.0}, 1080, 1920), std::nullopt);         // turned upright
    EXPECT_EQ(implausibleScreen({31.0, 17.4 * 1.08}, 1920, 1080), std::nullopt);  // 7 % off
    EXPECT_EQ(implausibleScreen({31.0, 20.0}, 0, 0), std::nullopt);  // no mode to compare
    struct Refused {
        ScreenSize size;
        const char* why;
    };
    for (const Refused& r :
         {Refused{{0, 0}, "a screen of 0 x 0 cm has no size"}, Refused{{31, 0}, "has no size"},
          Refused{{NAN, 17.4}, "has no size"}, Refused{{-31, 17.4}, "has no size"},
          Refused{{9.9, 5.6}, "a screen of 9.9 x 5.6 cm has a side under 10 cm"},
          Refused{{30, 0.5}, "has a side under 10 cm"},
          Refused{{301, 170}, "a screen of 301 x 170 cm has a side over 300 cm"},
          Refused{{INFINITY, 170}, "over 300 cm"},
          Refused{{16, 9 * 1.12}, "more than 10 % off the aspect of its mode"},
          Refused{{27, 20.3},
                  "(aspect 1.33) is more than 10 % off the aspect "
                  "of its mode, 1920x1080 (1.78)"}}) {
        std::optional<std::string> why = implausibleScreen(r.size, 1920, 1080);
        ASSERT_TRUE(why.has_value()) << r.why;
        EXPECT_NE(why->find(r.why), std::string::npos) << *why;
    }
    EXPECT_NE(implausibleScreen({50, 12}, 0, 0), std::nullopt);  // without a mode: over 4 to 1
}

TEST(ScreenSize, ADiagonalInInchesTakesTheModesAspect) {
    ScreenSize laptop = screenOfDiagonal(14.0, 1920, 1080);
    EXPECT_NEAR(laptop.width, 30.99, 0.005);
    EXPECT_NEAR(laptop.height, 17.43, 0.005);
    ScreenSize upright = screenOfDiagonal(27.0, 1440, 2560);
    EXPECT_NEAR(upright.width, 33.62, 0.005);
    EXPECT_NEAR(upright.height, 59.77, 0.005);
    EXPECT_NEAR(std::hypot(upright.width, upright.height), 27.0 * 2.54, 1e-9);
}

TEST(ScreenSize, AWindowsPixelsLieOnTheMonitorInCentimetres) {
    // The right of two monitors, 48 x 27 cm: 0.025 cm a pixel.
    const Monitor right{"DP-2", 1920, 0, 1920, 1080, 60, 480, 270};
    const ScreenSize size = reportedSize(right);
    EXPECT_EQ(size.width, 48.0);
    EXPECT_EQ(size.height, 27.0);
    auto expectRect = [](ScreenRect got, ScreenRect want) {
        EXPECT_NEAR(got.left, want.left, 1e-9);
        EXPECT_NEAR(got.bottom, want.bottom, 1e-9);
        EXPECT_NEAR(got.right, want.right, 1e-9);
        EXPECT_NEAR(got.top, want.top, 1e-9);
    };
    expectRect(windowOnScreen(size, right, {{2680, 440}, {400, 200}}), {-5, -2.5, 5, 2.5});
    expectRect(windowOnScreen(size, right, {{1920, 0}, {480, 270}}), {-24, 6.75, -12, 13.5});
    expectRect(windowOnScreen(size, right, {{1920, 0}, {1920, 1080}}), wholeScreen(size));
    // Part of it beyond the monitor's edge lies beyond the screen's.
    expectRect(windowOnScreen(size, right, {{3640, 980}, {400, 200}}), {19, -16, 29, -11});
    // A monitor without a mode: the whole screen.
    expectRect(windowOnScreen(size, Monitor{}, {{10, 10}, {400, 200}}), wholeScreen(size));
}

TEST(ScreenSize, AWindowTakesTheMonitorItIsOnAndThatMonitorsSize) {
    // A laptop's screen, and above its right half a taller monitor that reports no size.
    const Monitor laptop{"eDP-1", 0, 1440, 1920, 1080, 60, 310, 174};
    const Monitor upper{"DP-1", 960, 0, 2560, 1440, 60, 0, 0};
    const std::vector<Monitor> layout{laptop, upper};
    auto on = [&](double x, double y, double width, double height) {
        std::optional<Monitor> m = monitorOfWindow(layout, x, y, width, height);
        return m ? m->name : "none";
    };
    EXPECT_EQ(on(100, 1600, 720, 720), "eDP-1");
    EXPECT_EQ(on(2000, 200, 720, 720), "DP-1");
    // Its centre on the upper one, though most of it is on the laptop's.
    EXPECT_EQ(on(0, 1300, 2000, 270), "DP-1");
    // Its centre in the gap left of the upper monitor: the one it overlaps most.
    EXPECT_EQ(on(300, 1100, 700, 400), "eDP-1");
    EXPECT_EQ(on(300, 800, 900, 400), "DP-1");
    EXPECT_EQ(on(-2000, 0, 720, 720), "none");
    EXPECT_EQ(on(100, 1600, 0, 0), "eDP-1");
    // The size each reports where it is a screen's, else the one given.
    const ScreenSize given{31.0, 17.4};
    EXPECT_EQ(sizeOf(laptop, given).width, 31.0);
    EXPECT_EQ(sizeOf(laptop, given).height, 17.4);
    Monitor big = upper;
    big.widthMm = 597, big.heightMm = 336;
    EXPECT_EQ(sizeOf(big, given).width, 59.7);
    EXPECT_EQ(sizeOf(upper, given).width, 31.0);
}
}  // namespace
