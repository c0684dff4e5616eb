#include "model/OneEuroFilter.h"

#include <cmath>
#include <numbers>

namespace {
// The weight of a new sample in an exponential smoothing with this cutoff and interval.
double smoothingFactor(double cutoff, double interval) {
    double timeConstant = 1.0 / (2.0 * std::numbers::pi * cutoff);
    return 1.0 / (1.0 + timeConstant / interval);
}
}  // namespace

double OneEuroFilter::filter(double value, double time) {
    double interval = time - lastTime;
    if (!started) {
        started = true;
        lastTime = time;
        lastValue = value;
        lastDerivative = 0.0;
        return value;
    }
    if (!(interval > 0.0)) return lastValue;  // no time has passed: nothing can move
    double derivative = (value - lastValue) / interval;
    double a = smoothingFactor(derivativeCutoff, interval);
    lastDerivative = lastDerivative + a * (derivative - lastDerivative);
    double cutoff = minCutoff + beta * std::fabs(lastDerivative);
    lastValue = lastValue + smoothingFactor(cutoff, interval) * (value - lastValue);
    lastTime = time;
    return lastValue;
}
