#include "app/FramePacer.h"

#include <algorithm>

namespace {
constexpr std::size_t trialPictures = 8;
constexpr double drawingWeight = 0.1;  // of each picture's time in the expected one
}  // namespace

FramePacer::FramePacer(OpenGLContext& context, std::function<void()> draw)
    : context(context), draw(std::move(draw)) {}

void FramePacer::start(double refreshRate) {
    if (running) return;
    running = true;
    refresh = 1.0 / refreshRate;
    const bool swapPaces = swap != Swap::returnsAtOnce;
    context.setSwapWaitsForDisplay(swapPaces);
    const double interval = swapPaces ? refresh / 2 : refresh;
    lastPacedSwap = 0.0;
    if (timer)
        timer->scheduleAgain(interval);
    else
        timer = Timer::scheduledTimerWithTimeInterval(
            interval, [this] { drawPaced(); }, true);
}

void FramePacer::drawPaced() {
    pacing = true;
    draw();
    pacing = false;
}

void FramePacer::stop() {
    if (!running) return;
    running = false;
    timer->invalidate();
    context.setSwapWaitsForDisplay(false);  // the program's own ticks never wait
}

void FramePacer::pictureShown(double begun, double swapped) {
    drawing += drawingWeight * (swapped - begun - drawing);
    if (!running) return;
    if (swap == Swap::returnsAtOnce && !pacing) timer->scheduleAgain(refresh);
    if (swap != Swap::unknown || !pacing) return;
    if (lastPacedSwap > 0.0) trial.push_back(swapped - lastPacedSwap);
    lastPacedSwap = swapped;
    if (trial.size() < trialPictures) return;
    std::nth_element(trial.begin(), trial.begin() + trial.size() / 2, trial.end());
    swap = trial[trial.size() / 2] > 0.75 * refresh ? Swap::waits : Swap::returnsAtOnce;
    if (swap == Swap::returnsAtOnce) {
        context.setSwapWaitsForDisplay(false);
        timer->scheduleAgain(refresh);
    }
}
