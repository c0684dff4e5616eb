// The monitor and a window's place on it, as the window system gives them (run under
// scripts/with-xvfb.sh: one 1024x768 screen).
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include "WindowPixel.h"
#include "platform/Monitor.h"
#include "platform/Window.h"
#include "view/HeadTrackedView.h"

namespace {
// Xvfb's RandR output reports no physical size (0 x 0 mm; its -dpi sets only the core
// protocol's 260 x 195 mm at the default 100 dpi), and for such a monitor GLFW makes up one
// at 96 dpi: 270 x 203 mm here. Neither is a size the monitor reported.
TEST(Monitor, XvfbsScreenReportsNoSizeAndTheCheckSaysSo) {
    std::optional<Monitor> primary = primaryMonitor();  // starts the window system
    ASSERT_TRUE(primary.has_value()) << "needs a display";
    int glfwWidthMm = 0, glfwHeightMm = 0;
    glfwGetMonitorPhysicalSize(glfwGetPrimaryMonitor(), &glfwWidthMm, &glfwHeightMm);
    EXPECT_EQ(glfwWidthMm, 270);
    EXPECT_EQ(glfwHeightMm, 203);
    EXPECT_EQ(primary->name, "screen");
    EXPECT_EQ(primary->x, 0);
    EXPECT_EQ(primary->y, 0);
    EXPECT_EQ(primary->width, 1024);
    EXPECT_EQ(primary->height, 768);
    EXPECT_EQ(primary->refreshRate, 0);  // its mode has no pixel clock
    EXPECT_EQ(primary->widthMm, 0);
    EXPECT_EQ(primary->heightMm, 0);
    std::optional<std::string> why =
        implausibleScreen(reportedSize(*primary), primary->width, primary->height);
    ASSERT_TRUE(why.has_value());
    EXPECT_NE(why->find("no size"), std::string::npos) << *why;
    EXPECT_EQ(monitorOfWindow(monitors(), 1000, 700, 100, 100)->name, "screen");
    EXPECT_FALSE(monitorOfWindow(monitors(), -5000, 5000, 100, 100).has_value());
}

TEST(Monitor, AWindowKnowsItsPlaceAndAMoveShowsTheTrueScalePictureAtOnce) {
    ASSERT_TRUE(primaryMonitor().has_value()) << "needs a display";
    Window window("place", 320, 240);
    GLFWwindow* handle = glfwGetCurrentContext();  // the window's, made current as it opened
    auto view = std::make_unique<HeadTrackedView>();
    view->setTrueScale(TrueScale{{30.72, 23.04}});
    window.setContentView(std::move(view));
    window.makeKeyAndOrderFront(nullptr);
    for (int i = 0; i < 20; ++i) glfwWaitEventsTimeout(0.01);  // shown where it opened
    EXPECT_NE(shownPixel(handle, 40, 120), 0xff00ffu);
    glfwSetWindowPos(handle, 600, 500);
    // Without a window manager the server moves it at once; its notice comes as an event,
    // and the window asks the server for its place only when asked, so wait for the picture.
    for (int i = 0; i < 100 && shownPixel(handle, 40, 120) != 0xff00ffu; ++i)
        glfwWaitEventsTimeout(0.05);
    const Rect place = window.contentRect();
    EXPECT_EQ(place.origin.x, 600.0f);
    EXPECT_EQ(place.origin.y, 500.0f);
    EXPECT_EQ(place.size.width, 320.0f);
    EXPECT_EQ(place.size.height, 240.0f);
    // Shown without any tick: the mouth spans the window's height, its left side 40 pixels in.
    EXPECT_EQ(shownPixel(handle, 40, 120), 0xff00ffu);  // magenta, the mouth's colour
    ASSERT_TRUE(window.monitor().has_value());
    EXPECT_EQ(window.monitor()->name, "screen");
    // On a 1024x768 screen 30.72 cm wide (0.03 cm a pixel), it lies right of and below the
    // centre.
    ScreenRect onScreen = windowOnScreen({30.72, 23.04}, *window.monitor(), place);
    EXPECT_NEAR(onScreen.left, 88 * 0.03, 1e-9);
    EXPECT_NEAR(onScreen.top, -116 * 0.03, 1e-9);
    EXPECT_NEAR(onScreen.right - onScreen.left, 320 * 0.03, 1e-9);
}
}  // namespace
