#pragma once

#include <memory>

#include "platform/Application.h"

class OpGlView;

// The main interface: a "Fishtank" window holding the OpGlView, and the ArController with
// its outlets connected and the quit control (close button, Ctrl+Q) wired to it.
Interface loadMainInterface();

// The same around `view`, the first of the interface's objects being its ArController:
// what the tracked program's interface builds on.
// `depthBuffer` for a view that draws with the depth test.
Interface loadInterfaceAround(std::unique_ptr<OpGlView> view, bool depthBuffer = false);
