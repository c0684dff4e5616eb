#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Window.h"

// Base class of the objects that an interface description creates and wires; each is told
// with awakeFromNib once the description is loaded and its outlets are connected.
class ObjectController {
  public:
    virtual ~ObjectController() = default;
    virtual void awakeFromNib() {}
};

// What loading an interface description yields: the window with its view, and the
// controller objects wired to them.
struct Interface {
    std::unique_ptr<Window> window;
    std::vector<std::unique_ptr<ObjectController>> objects;  // told awakeFromNib in order
};

// Starts the window system, loads the interface, sends awakeFromNib to its objects and then
// prepareOpenGL to the window's view, and runs the main run loop. Returns the process's
// exit status: non-zero, after one line on stderr, when no display can be opened.
int applicationMain(int argc, char** argv, const std::function<Interface()>& loadInterface);

// Starts the window system for a program that runs its own loop (RunLoop.h's
// waitForEvents): false, after one line on stderr naming `program`, when no display can be
// opened or it is not the X11 display that the loop watches.
bool startWindowSystem(const std::string& program);
// The window system's last error, for a window that could not be made.
std::string windowSystemError();
void stopWindowSystem();

// Opens /dev/null on any of descriptors 0, 1 and 2 that is closed, so that no file the
// program opens later (the display connection, an output file) takes their place and
// receives what is written to standard output or error. Called first thing.
void ensureStandardStreamsOpen();
