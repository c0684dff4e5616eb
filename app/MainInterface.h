#pragma once

#include <memory>

#include "platform/Application.h"

class HeadTracker;

// The main interface: a "Fishtank" window holding the OpGlView, and the ArController with
// its outlets connected and the quit control (close button, Ctrl+Q) wired to it.
Interface loadMainInterface();

// The tracked program's interface: the same, with a HeadTrackedView, and the head tracker
// wired to the view and the controller.
Interface loadTrackedInterface(std::unique_ptr<HeadTracker> tracker);
