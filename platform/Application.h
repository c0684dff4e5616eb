#pragma once

#include <functional>
#include <memory>
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

// Opens /dev/null on any of descriptors 0, 1 and 2 that is closed, so that no file the
// program opens later (the display connection, an output file) takes their place and
// receives what is written to standard output or error. Called first thing.
void ensureStandardStreamsOpen();
