#pragma once

#include "platform/Application.h"

// The main interface: a "Fishtank" window holding the OpGlView, and the ArController with
// its outlets connected and the quit control (close button, Ctrl+Q) wired to it.
Interface loadMainInterface();
