#include "platform/Application.h"

#include <GLFW/glfw3.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "platform/RunLoop.h"

namespace {
std::string lastGlfwError = "unknown error";

void rememberGlfwError(int /*code*/, const char* description) {
    lastGlfwError = description;
}
}  // namespace

void ensureStandardStreamsOpen() {
    for (int fd = 0; fd <= 2; ++fd)
        if (::fcntl(fd, F_GETFD) == -1 && ::open("/dev/null", O_RDWR) != fd)
            return;  // open() takes the lowest free descriptor, this one, or fails
}

bool startWindowSystem(const std::string& program) {
    glfwSetErrorCallback(rememberGlfwError);
    if (!glfwInit()) {
        std::fprintf(stderr, "%s: no display available: %s\n", program.c_str(),
                     lastGlfwError.c_str());
        return false;
    }
    if (!hasX11Display()) {
        std::fprintf(stderr,
                     "%s: no X11 display: the window library speaks another window system\n",
                     program.c_str());
        glfwTerminate();
        return false;
    }
    return true;
}

std::string windowSystemError() {
    return lastGlfwError;
}

void stopWindowSystem() {
    glfwTerminate();
}

int applicationMain(int argc, char** argv, const std::function<Interface()>& loadInterface) {
    ensureStandardStreamsOpen();
    const std::string program =
        argc > 0 ? std::filesystem::path(argv[0]).filename().string() : "fishtank";
    // One line per event, also when standard output is a pipe or a file.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    if (!startWindowSystem(program)) return 1;
    Interface interface;
    try {
        interface = loadInterface();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s: %s\n", program.c_str(), e.what(), lastGlfwError.c_str());
        stopWindowSystem();
        return 1;
    }
    for (auto& object : interface.objects) object->awakeFromNib();
    OpenGLView* view = interface.window->contentView();
    view->openGLContext()->makeCurrentContext();
    view->prepareOpenGL();
    runMainLoop();
}
