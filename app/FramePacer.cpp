#include "app/FramePacer.h"

#include <algorithm>

namespace {
constexpr std::size_t trialPictures = 8;
constexpr double drawingWeight = 0.1;  // of each picture's time in the expected one
}  // namespace

void FramePacer::start(double refreshRate, double now) {
    if (running) return;
    running = true;
    refresh = 1.0 / refreshRate;
    interval = swap == Swap::returnsAtOnce ? refresh : refresh / 2;
    next = now + interval;
    lastPacedSwap = 0.0;
}

void FramePacer::pictureShown(double begun, double swapped, bool paced) {
    drawing += drawingWeight * (swapped - begun - drawing);
    if (!running) return;
    // Paced pictures keep to their grid, skipping any time that has passed.
    if (paced)
        while (next <= begun) next += interval;
    if (swap == Swap::returnsAtOnce && !paced) next = swapped + refresh;
    if (swap != Swap::unknown || !paced) return;
    if (lastPacedSwap > 0.0) trial.push_back(swapped - lastPacedSwap);
    lastPacedSwap = swapped;
    if (trial.size() < trialPictures) return;
    std::nth_element(trial.begin(), trial.begin() + trial.size() / 2, trial.end());
    swap = trial[trial.size() / 2] > 0.75 * refresh ? Swap::waits : Swap::returnsAtOnce;
    if (swap == Swap::returnsAtOnce) {
        interval = refresh;
        next = swapped + refresh;
    }
}
