// LD_PRELOAD shim: timestamps on the monotonic clock every glClear (one per frame) and, when
// the process exits, writes them to $TICKSTAMP_FILE, one per line in seconds; with
// $TICKSTAMP_SWAP_FILE set, also the end of every glfwSwapBuffers. It lets pacing and
// latency be measured from outside, with no output added to the program.
#include <GL/gl.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

struct GLFWwindow;

namespace {
double now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Stamps {
    const char* variable;
    std::vector<double> seconds;
    explicit Stamps(const char* variable) : variable(variable) { seconds.reserve(1 << 20); }
    ~Stamps() {
        const char* path = std::getenv(variable);
        std::FILE* out = path ? std::fopen(path, "w") : nullptr;
        if (!out) return;
        for (double s : seconds) std::fprintf(out, "%.9f\n", s);
        std::fclose(out);
    }
};
Stamps clears("TICKSTAMP_FILE");
Stamps swaps("TICKSTAMP_SWAP_FILE");
}  // namespace

extern "C" void glClear(GLbitfield mask) {
    static auto forward = reinterpret_cast<void (*)(GLbitfield)>(dlsym(RTLD_NEXT, "glClear"));
    clears.seconds.push_back(now());
    forward(mask);
}

extern "C" void glfwSwapBuffers(GLFWwindow* window) {
    static auto forward =
        reinterpret_cast<void (*)(GLFWwindow*)>(dlsym(RTLD_NEXT, "glfwSwapBuffers"));
    forward(window);
    swaps.seconds.push_back(now());
}
