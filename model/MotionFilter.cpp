#include "model/MotionFilter.h"

#include <algorithm>
#include <cmath>

namespace {
bool usable(double value, double time) {
    return std::fabs(value) <= largestOffset && std::isfinite(time);  // false for NaN too
}
}  // namespace

void MotionFilter::start(double value, double time) {
    running = true;
    lastTime = time;
    now = {value, 0.0, noise.measurement * noise.measurement, 0.0, fastestHead * fastestHead};
}

MotionFilter::Estimate MotionFilter::carried(double interval) const {
    const double strength = noise.acceleration + noise.accelerationPerSpeed * std::fabs(now.speed);
    const double q = strength * strength, dt = interval;
    Estimate e = now;
    e.place += now.speed * dt;
    e.placeVariance +=
        2.0 * now.covariance * dt + now.speedVariance * dt * dt + q * dt * dt * dt / 3.0;
    e.covariance += now.speedVariance * dt + q * dt * dt / 2.0;
    e.speedVariance += q * dt;
    return e;
}

bool MotionFilter::jumps(double value, double time) const {
    double interval = time - lastTime;
    if (!running || !usable(value, time) || !(interval > 0.0) || interval > gapLimit) return false;
    Estimate e = carried(interval);
    double miss = value - e.place;
    double expected = e.placeVariance + noise.measurement * noise.measurement;
    return miss * miss > jumpGate * jumpGate * expected;
}

void MotionFilter::add(double value, double time) {
    if (!usable(value, time)) return;
    double interval = time - lastTime;
    if (!running || std::fabs(interval) > gapLimit || jumps(value, time)) return start(value, time);
    if (!(interval > 0.0)) return;

    // Each part of the estimate corrected by how uncertain it is against the value.
    Estimate e = carried(interval);
    double expected = e.placeVariance + noise.measurement * noise.measurement;
    double placeGain = e.placeVariance / expected, speedGain = e.covariance / expected;
    double miss = value - e.place;
    now.place = e.place + placeGain * miss;
    now.speed = e.speed + speedGain * miss;
    now.placeVariance = (1.0 - placeGain) * e.placeVariance;
    now.covariance = (1.0 - placeGain) * e.covariance;
    now.speedVariance = e.speedVariance - speedGain * e.covariance;
    lastTime = time;
}

double MotionFilter::predict(double time) const {
    if (!running) return 0.0;
    double horizon = std::clamp(time - lastTime, 0.0, maxHorizon);
    double known = now.speed * now.speed;
    if (!(horizon > 0.0) || known == 0.0) return now.place;  // also a time not a number
    double trust = std::max(0.0, 1.0 - 2.0 * now.speedVariance / known);
    return now.place + std::clamp(now.speed * trust, -fastestHead, fastestHead) * horizon;
}

void HeadPredictor::add(const HeadPose& pose, double time) {
    if (x.jumps(pose.x, time) || y.jumps(pose.y, time) || z.jumps(pose.z, time)) reset();
    x.add(pose.x, time);
    y.add(pose.y, time);
    z.add(pose.z, time);
    if (x.time() == time) newest = pose;  // taken, not passed over as old
}

HeadPose HeadPredictor::predict(double time) const {
    HeadPose predicted = newest;
    predicted.x = x.predict(time);
    predicted.y = y.predict(time);
    predicted.z = z.predict(time);
    return predicted;
}

void HeadPredictor::reset() {
    x.reset();
    y.reset();
    z.reset();
}
