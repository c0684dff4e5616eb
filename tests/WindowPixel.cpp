#include "WindowPixel.h"

#include <GLFW/glfw3.h>
#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3native.h>

unsigned long shownPixel(GLFWwindow* window, int x, int y) {
    XImage* image =
        XGetImage(glfwGetX11Display(), glfwGetX11Window(window), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return 0;
    unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return pixel;
}
