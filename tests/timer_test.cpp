#include <gtest/gtest.h>

#include <unistd.h>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "platform/Bundle.h"
#include "platform/Date.h"
#include "platform/Timer.h"

namespace {
// Timers belong to the run loop for the life of the program; each test retires its own.
class RunLoopTimer : public ::testing::Test {
  protected:
    Timer* schedule(double interval, bool repeats) {
        timer = Timer::scheduledTimerWithTimeInterval(
            interval, [this] { ++firings; }, repeats);
        return timer;
    }
    ~RunLoopTimer() override {
        if (timer) timer->invalidate();
    }
    Timer* timer = nullptr;
    int firings = 0;
};

TEST_F(RunLoopTimer, FiresOnAFixedGridThatDoesNotDrift) {
    double start = monotonicSeconds();
    schedule(1.0 / 12.0, true);
    double first = Timer::nextDeadline();
    EXPECT_NEAR(first - start, 1.0 / 12.0, 0.01);
    Timer::fireDueTimers(first - 1e-6);
    EXPECT_EQ(firings, 0);
    // Ten minutes of ticks, each served a little late: the deadlines stay on the grid.
    for (int k = 0; k < 7200; ++k) {
        double deadline = Timer::nextDeadline();
        Timer::fireDueTimers(deadline + 0.03);
    }
    EXPECT_EQ(firings, 7200);
    EXPECT_NEAR(Timer::nextDeadline() - first, 7200.0 / 12.0, 1e-6);
}

TEST_F(RunLoopTimer, SkipsFiringsItIsTooLateForInsteadOfQueueingThem) {
    schedule(0.25, true);
    double first = Timer::nextDeadline();
    Timer::fireDueTimers(first + 1.1);  // four deadlines have passed
    EXPECT_EQ(firings, 1);
    EXPECT_DOUBLE_EQ(Timer::nextDeadline(), first + 1.25);
    Timer::fireDueTimers(first + 1.2);
    EXPECT_EQ(firings, 1);
}

TEST_F(RunLoopTimer, InvalidatedAndOneShotTimersStopFiring) {
    schedule(0.5, false);
    double at = Timer::nextDeadline();
    Timer::fireDueTimers(at);
    Timer::fireDueTimers(at + 1.0);
    EXPECT_EQ(firings, 1);
    schedule(0.5, true)->invalidate();
    Timer::fireDueTimers(at + 10.0);
    EXPECT_EQ(firings, 1);
    EXPECT_TRUE(std::isinf(Timer::nextDeadline()));
}

double fixedClock() {
    return 7.5;
}

TEST(Dates, ComeFromTheMonotonicClockUnlessATestDrivesThem) {
    Date a = Date::date();
    Date b = Date::date();
    EXPECT_GE(b.timeIntervalSinceDate(a), 0.0);
    Date::useClock(fixedClock);
    EXPECT_EQ(Date::date().timeIntervalSinceDate(Date()), 7.5);
    Date::useClock(nullptr);
    EXPECT_GT(Date::date().timeIntervalSinceDate(b), 0.0);
}

namespace fs = std::filesystem;

TEST(Bundle, FindsResourcesBesideTheBinaryOrInTheInstalledTree) {
    fs::path root = fs::temp_directory_path() / ("fishtank-bundle-" + std::to_string(::getpid()));
    fs::create_directories(root / "build" / "resources");
    fs::create_directories(root / "prefix" / "bin");
    fs::create_directories(root / "prefix" / "share" / "fishtank");
    std::ofstream(root / "build" / "resources" / "model.stl") << "solid\n";
    std::ofstream(root / "prefix" / "share" / "fishtank" / "model.stl") << "solid\n";

    Bundle buildTree((root / "build").string());
    EXPECT_EQ(buildTree.pathForResource("model", "stl"),
              (root / "build" / "resources" / "model.stl").string());
    EXPECT_EQ(buildTree.pathForResource("model", "txt"), std::nullopt);
    EXPECT_EQ(buildTree.pathForResource("missing", "stl"), std::nullopt);
    EXPECT_EQ(buildTree.pathForResource("", "stl"), std::nullopt);

    Bundle installed((root / "prefix" / "bin").string());
    auto path = installed.pathForResource("model", "stl");
    ASSERT_TRUE(path);
    EXPECT_TRUE(fs::equivalent(*path, root / "prefix" / "share" / "fishtank" / "model.stl"));
    fs::remove_all(root);
}

TEST(Bundle, TheMainBundleIsFoundFromTheExecutableNotTheWorkingDirectory) {
    fs::path before = fs::current_path();
    fs::current_path(fs::temp_directory_path());
    const Bundle& bundle = Bundle::mainBundle();
    fs::current_path(before);
    EXPECT_TRUE(fs::is_directory(bundle.resourcePath())) << bundle.resourcePath();
    EXPECT_EQ(fs::path(bundle.resourcePath()).filename(), "resources");
}
}  // namespace
