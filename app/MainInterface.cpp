#include "app/MainInterface.h"

#include "app/ArController.h"
#include "view/OpGlView.h"

Interface loadMainInterface() {
    auto window = std::make_unique<Window>("Fishtank", 720, 720);
    auto view = std::make_unique<OpGlView>();
    auto controller = std::make_unique<ArController>();
    controller->oglView = view.get();
    controller->oglWindow = window.get();
    window->setContentView(std::move(view));
    window->setQuitAction([c = controller.get()] { c->quit(nullptr); });
    return {std::move(window), std::move(controller)};
}
