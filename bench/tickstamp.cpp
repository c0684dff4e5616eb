// LD_PRELOAD shim: timestamps every glClear (one per tick) on the monotonic clock and, when
// the process exits, writes them to $TICKSTAMP_FILE, one per line in seconds. It lets the
// pacing be measured from outside, with no output added to the program.
#include <GL/gl.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {
struct Stamps {
    std::vector<double> seconds;
    Stamps() { seconds.reserve(1 << 20); }
    ~Stamps() {
        const char* path = std::getenv("TICKSTAMP_FILE");
        std::FILE* out = path ? std::fopen(path, "w") : nullptr;
        if (!out) return;
        for (double s : seconds) std::fprintf(out, "%.9f\n", s);
        std::fclose(out);
    }
};
Stamps stamps;
}  // namespace

extern "C" void glClear(GLbitfield mask) {
    static auto forward = reinterpret_cast<void (*)(GLbitfield)>(dlsym(RTLD_NEXT, "glClear"));
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    stamps.seconds.push_back(static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9);
    forward(mask);
}
