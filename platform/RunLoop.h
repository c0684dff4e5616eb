#pragma once

#include <initializer_list>

// The main run loop: fires the timers that are due, then waits for the next timer deadline
// or a window-system event, and delivers what came. Everything runs on the main thread,
// one thing at a time.
[[noreturn]] void runMainLoop();

// Whether the window system, once started, has the X11 connection that the loop watches: a
// window library built for another window system has none.
bool hasX11Display();

// Waits until one of `descriptors` (a socket, another thread's wake-up) is readable, the
// window system has events, or `seconds` have passed, whichever comes first; then delivers
// the window system's events to the windows (keys, clicks, redraws). Without a started
// window system it watches the descriptors alone.
void waitForEvents(std::initializer_list<int> descriptors, double seconds);
