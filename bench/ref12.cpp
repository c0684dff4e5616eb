// The least program that does Fishtank's job: a GLFW window of the same size that issues,
// 12 times a second, the GL calls of one tick and presents them, waiting in between until
// the next deadline. Nothing else. Close the window to end it.
// Built twice: `ref12` takes GLFW's default pixel format (with depth and stencil buffers),
// as a first program would; `ref12-trimmed` asks for colour only, as Fishtank does.
#include <GLFW/glfw3.h>

#include "flat_tick.h"

int main() {
    if (!glfwInit()) return 1;
    glfwWindowHint(GLFW_DOUBLEBUFFER, GLFW_TRUE);
#ifdef REF12_TRIMMED
    glfwWindowHint(GLFW_DEPTH_BITS, 0);
    glfwWindowHint(GLFW_STENCIL_BITS, 0);
    glfwWindowHint(GLFW_SAMPLES, 0);
    const char* title = "ref12-trimmed";
#else
    const char* title = "ref12";
#endif
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 1);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 0);
    GLFWwindow* window = glfwCreateWindow(720, 720, title, nullptr, nullptr);
    if (!window) return 1;
    glfwMakeContextCurrent(window);
    glfwSwapInterval(0);

    const double interval = 1.0 / 12.0;
    double deadline = glfwGetTime() + interval;
    while (!glfwWindowShouldClose(window)) {
        double now = glfwGetTime();
        if (now >= deadline) {
            int width, height;
            glfwGetFramebufferSize(window, &width, &height);
            flatTick(width, height);
            glfwSwapBuffers(window);
            while (deadline <= now) deadline += interval;
        }
        glfwWaitEventsTimeout(deadline - glfwGetTime());
    }
    glfwTerminate();
    return 0;
}
