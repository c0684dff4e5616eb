#pragma once

struct GLFWwindow;

// The colour the X server shows at (x, y) of a window's content, as 0xRRGGBB: what reached
// the screen, whatever the OpenGL buffers hold. Apart from platform/Window.h, whose class
// Window X11's own type of that name would hide.
unsigned long shownPixel(GLFWwindow* window, int x, int y);
