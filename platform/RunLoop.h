#pragma once

#include <functional>

// The main run loop: fires the timers that are due, then sleeps until the next timer
// deadline, a window-system event or a watched descriptor (a socket, another thread's
// wake-up) becoming readable, whichever comes first, and delivers what came. Everything
// runs on the main thread, one thing at a time.
[[noreturn]] void runMainLoop();

// Whether the window system, once started, has the X11 connection that the loop watches: a
// window library built for another window system has none.
bool hasX11Display();

// Watches `descriptor` from the main run loop: whenever it is readable, the loop calls
// `onReadable`, which should read what waits.
void addDescriptorSource(int descriptor, std::function<void()> onReadable);
