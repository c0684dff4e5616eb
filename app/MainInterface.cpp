#include "app/MainInterface.h"

#include "app/ArController.h"
#include "app/HeadTracker.h"
#include "view/HeadTrackedView.h"
#include "view/OpGlView.h"

namespace {
Interface loadInterfaceAround(std::unique_ptr<OpGlView> view) {
    auto window = std::make_unique<Window>("Fishtank", 720, 720);
    auto controller = std::make_unique<ArController>();
    controller->oglView = view.get();
    controller->oglWindow = window.get();
    window->setContentView(std::move(view));
    window->setQuitAction([c = controller.get()] { c->quit(nullptr); });
    Interface interface;
    interface.window = std::move(window);
    interface.objects.push_back(std::move(controller));
    return interface;
}
}  // namespace

Interface loadMainInterface() {
    return loadInterfaceAround(std::make_unique<OpGlView>());
}

Interface loadTrackedInterface(std::unique_ptr<HeadTracker> tracker) {
    auto view = std::make_unique<HeadTrackedView>();
    tracker->oglView = view.get();
    Interface interface = loadInterfaceAround(std::move(view));
    tracker->controller = static_cast<ArController*>(interface.objects.front().get());
    interface.objects.push_back(std::move(tracker));
    return interface;
}
