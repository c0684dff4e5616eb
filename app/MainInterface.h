#pragma once

#include <memory>

#include "platform/Application.h"

class OpGlView;

// The main interface: a "Fishtank" window holding the OpGlView, and the ArController with
// its outlets connected and the quit control (close button, Ctrl+Q) wired to it.
Interface loadMainInterface();

// The same around `view`, the first of the interface's objects being its ArController:
// what the tracked program's interface builds on.
Interface loadInterfaceAround(std::unique_ptr<OpGlView> view);
