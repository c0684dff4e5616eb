#pragma once

#include <memory>

#include "platform/Window.h"

// Base class of the objects that an interface description creates and wires; each is told
// with awakeFromNib once the description is loaded and its outlets are connected.
class ObjectController {
  public:
    virtual ~ObjectController() = default;
    virtual void awakeFromNib() {}
};

// What loading an interface description yields: the window with its view, and the
// controller wired to them.
struct Interface {
    std::unique_ptr<Window> window;
    std::unique_ptr<ObjectController> controller;
};

// Starts the window system, loads the interface, sends awakeFromNib and then
// prepareOpenGL to the window's view, and runs the main run loop. Returns the process's
// exit status: non-zero, after one line on stderr, when no display can be opened.
int applicationMain(int argc, char** argv, Interface (*loadInterface)());
