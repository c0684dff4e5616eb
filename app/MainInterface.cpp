#include "app/MainInterface.h"

#include "app/ArController.h"
#include "view/OpGlView.h"

Interface loadInterfaceAround(std::unique_ptr<OpGlView> view, bool depthBuffer) {
    auto window = std::make_unique<Window>("Fishtank", 720, 720, depthBuffer);
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

Interface loadMainInterface() {
    return loadInterfaceAround(std::make_unique<OpGlView>());
}
