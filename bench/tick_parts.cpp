// What one tick costs, part by part: a window of Fishtank's size and pixel format ticks at
// 12 Hz for SECONDS doing only some of a tick's work, and prints the CPU it used per tick,
// and the X server's (from /proc, the server's pid given in XVFB_PID):
//   tick-parts wake|swap|clear|full SECONDS
//   wake   the run loop's wake-up alone: wait for the deadline, take the events
//   swap   and present the (unchanged) back buffer to the X server
//   clear  and clear it first, as a tick does
//   full   the whole tick: clear, the 98-vertex batch, the swap
// Differences between the modes give each part's cost (bench/tick-cost.sh).
#include <GLFW/glfw3.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "flat_tick.h"

namespace {
double processSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](timeval t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The X server's CPU time in seconds: the sum over its threads of their run time.
double serverSeconds() {
    const char* pid = std::getenv("XVFB_PID");
    if (!pid) return 0.0;
    double total = 0.0;
    std::error_code error;
    for (const auto& task :
         std::filesystem::directory_iterator(std::string("/proc/") + pid + "/task", error)) {
        std::ifstream in(task.path() / "schedstat");
        double nanoseconds = 0.0;
        if (in >> nanoseconds) total += nanoseconds * 1e-9;
    }
    return total;
}
}  // namespace

int main(int argc, char** argv) {
    const char* modes[] = {"wake", "swap", "clear", "full"};
    int mode = -1;
    for (int m = 0; argc == 3 && m < 4; ++m)
        if (std::strcmp(argv[1], modes[m]) == 0) mode = m;
    if (mode < 0) {
        std::fprintf(stderr, "usage: tick-parts wake|swap|clear|full SECONDS\n");
        return 2;
    }
    const double seconds = std::atof(argv[2]);
    if (!glfwInit()) return 1;
    glfwWindowHint(GLFW_DOUBLEBUFFER, GLFW_TRUE);
    glfwWindowHint(GLFW_DEPTH_BITS, 0);
    glfwWindowHint(GLFW_STENCIL_BITS, 0);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 1);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 0);
    GLFWwindow* window = glfwCreateWindow(720, 720, "tick-parts", nullptr, nullptr);
    if (!window) return 1;
    glfwMakeContextCurrent(window);
    glfwSwapInterval(0);

    const double interval = 1.0 / 12.0;
    // A second to settle, then the measured stretch.
    double start = glfwGetTime() + 1.0, deadline = glfwGetTime() + interval;
    double cpuStart = 0, serverStart = 0;
    long ticks = -1;
    while (glfwGetTime() < start + seconds) {
        double now = glfwGetTime();
        if (now >= deadline) {
            if (ticks < 0 && now >= start) {
                ticks = 0;
                cpuStart = processSeconds();
                serverStart = serverSeconds();
            }
            if (mode == 3) {
                int width, height;
                glfwGetFramebufferSize(window, &width, &height);
                flatTick(width, height);
            } else if (mode == 2) {
                glDrawBuffer(GL_BACK);
                glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
                glFlush();
            }
            if (mode >= 1) glfwSwapBuffers(window);
            if (ticks >= 0) ++ticks;
            while (deadline <= now) deadline += interval;
        }
        glfwWaitEventsTimeout(deadline - glfwGetTime());
    }
    std::printf("%s %ld %.6f %.6f\n", modes[mode], ticks, (processSeconds() - cpuStart) / ticks,
                (serverSeconds() - serverStart) / ticks);
    glfwTerminate();
    return 0;
}
