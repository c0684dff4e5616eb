#include "app/TrackedInterface.h"

#include "app/ArController.h"
#include "app/HeadTracker.h"
#include "app/MainInterface.h"
#include "view/HeadTrackedView.h"

Interface loadTrackedInterface(std::unique_ptr<HeadTracker> tracker, bool fullScreen) {
    auto view = std::make_unique<HeadTrackedView>();
    HeadTrackedView* trackedView = view.get();
    Interface interface = loadInterfaceAround(std::move(view));
    auto* controller = static_cast<ArController*>(interface.objects.front().get());
    HeadTracker* t = tracker.get();
    t->oglView = trackedView;
    t->controller = controller;
    trackedView->recentreAction = [t] { t->recentre(); };
    interface.window->setQuitAction([t, controller] {
        t->finish();
        controller->quit(nullptr);
    });
    interface.window->setFullScreen(fullScreen);
    interface.objects.push_back(std::move(tracker));
    return interface;
}
