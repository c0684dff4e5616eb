#pragma once

#include <memory>

#include "platform/Application.h"

class HeadTracker;
class ModelDrawing;

// The tracked program's interface: the main interface around a HeadTrackedView, with the
// head tracker wired to the view and the controller. The view's recentring key goes to
// the tracker, and quitting lets the tracker finish before the controller quits. A model,
// where one is given, stands in the tunnel or alone.
Interface loadTrackedInterface(std::unique_ptr<HeadTracker> tracker, bool fullScreen,
                               std::unique_ptr<ModelDrawing> model, bool withTunnel);
