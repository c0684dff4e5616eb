#include "app/TrackedInterface.h"

#include "app/ArController.h"
#include "app/HeadTracker.h"
#include "app/MainInterface.h"
#include "view/HeadTrackedView.h"

Interface loadTrackedInterface(std::unique_ptr<HeadTracker> tracker, bool fullScreen,
                               std::unique_ptr<ModelDrawing> model, bool withTunnel) {
    auto view = std::make_unique<HeadTrackedView>();
    HeadTrackedView* trackedView = view.get();
    const bool depthBuffer = model != nullptr;
    if (model) trackedView->showModel(std::move(model), withTunnel);
    Interface interface = loadInterfaceAround(std::move(view), depthBuffer);
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
