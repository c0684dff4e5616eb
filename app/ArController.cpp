#include "app/ArController.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>

#include "view/OpGlView.h"

void ArController::awakeFromNib() {
    std::puts("app launch");
    setup();
}

ArController::~ArController() {
    teardown();
}

void ArController::teardown() {
    oglView = nullptr;
    timerProperty = nullptr;
    std::free(matrix);
    matrix = nullptr;
}

void ArController::startTracking() {
    setTimer(Timer::scheduledTimerWithTimeInterval(
        1.0 / 12.0, [this] { timerFire(); }, true));
}

void ArController::stopTracking() {
    if (timer()) timer()->invalidate();
}

void ArController::timerFire() {
    track(false);
}

void ArController::track(bool log) {
    glDrawBuffer(GL_BACK);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (!oglView) return;
    oglView->drawMe(matrix, log);
    oglView->openGLContext()->flushBuffer();
}

bool ArController::setup() {
    // Zero-filled, so that a logging frame never prints indeterminate memory.
    matrix = static_cast<double*>(std::calloc(16, sizeof(double)));
    startTracking();
    return true;
}

void ArController::quit(const void* /*sender*/) {
    teardown();
    std::exit(0);
}
