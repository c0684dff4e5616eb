#pragma once

#include <memory>

#include "platform/Application.h"

class HeadTracker;

// The tracked program's interface: the main interface around a HeadTrackedView, with the
// head tracker wired to the view and the controller. The view's recentring key goes to
// the tracker, and quitting lets the tracker finish before the controller quits.
Interface loadTrackedInterface(std::unique_ptr<HeadTracker> tracker, bool fullScreen);
