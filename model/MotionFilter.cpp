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
    now = Estimate{};
    now.state[place] = value;
    now.variance[place][place] = noise.measurement * noise.measurement;
    now.variance[speed][speed] = fastestHead * fastestHead;
    const double unknown = noise.jerk > 0.0 ? hardestAcceleration : 0.0;
    now.variance[acceleration][acceleration] = unknown * unknown;
}

MotionFilter::Estimate MotionFilter::carried(double interval) const {
    const double dt = interval, dt2 = dt * dt, dt3 = dt2 * dt;
    const double step[3][3] = {{1.0, dt, dt2 / 2.0}, {0.0, 1.0, dt}, {0.0, 0.0, 1.0}};
    Estimate e;
    double stepped[3][3] = {};  // step × variance
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            e.state[i] += step[i][j] * now.state[j];
            for (int k = 0; k < 3; ++k) stepped[i][j] += step[i][k] * now.variance[k][j];
        }
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) e.variance[i][j] += stepped[i][k] * step[j][k];
    // What the white noises add over the interval: the acceleration's to the place and the
    // velocity, the jerk's to all three.
    const double strength =
        noise.acceleration + noise.accelerationPerSpeed * std::fabs(now.state[speed]);
    const double qa = strength * strength, qj = noise.jerk * noise.jerk;
    const double placeSpeed = qa * dt2 / 2.0 + qj * dt2 * dt2 / 8.0;
    const double added[3][3] = {
        {qa * dt3 / 3.0 + qj * dt3 * dt2 / 20.0, placeSpeed, qj * dt3 / 6.0},
        {placeSpeed, qa * dt + qj * dt3 / 3.0, qj * dt2 / 2.0},
        {qj * dt3 / 6.0, qj * dt2 / 2.0, qj * dt}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) e.variance[i][j] += added[i][j];
    return e;
}

bool MotionFilter::jumps(double value, double time) const {
    double interval = time - lastTime;
    if (!running || !usable(value, time) || !(interval > 0.0) || interval > gapLimit) return false;
    Estimate e = carried(interval);
    double miss = value - e.state[place];
    double expected = e.variance[place][place] + noise.measurement * noise.measurement;
    return miss * miss > noise.jumpGate * noise.jumpGate * expected;
}

void MotionFilter::add(double value, double time) {
    if (!usable(value, time)) return;
    double interval = time - lastTime;
    if (!running || std::fabs(interval) > gapLimit || jumps(value, time)) return start(value, time);
    if (!(interval > 0.0)) return;

    // Each part of the estimate corrected by how uncertain it is against the value.
    Estimate e = carried(interval);
    double expected = e.variance[place][place] + noise.measurement * noise.measurement;
    double miss = value - e.state[place];
    for (int i = 0; i < 3; ++i) {
        double gain = e.variance[i][place] / expected;
        now.state[i] = e.state[i] + gain * miss;
        for (int j = 0; j < 3; ++j)
            now.variance[i][j] = e.variance[i][j] - gain * e.variance[place][j];
    }
    lastTime = time;
}

double MotionFilter::predict(double time) const {
    if (!running) return 0.0;
    double horizon = std::clamp(time - lastTime, 0.0, maxHorizon);
    double velocity = now.state[speed], known = velocity * velocity;
    if (!(horizon > 0.0) || known == 0.0) return now.state[place];  // also a time not a number
    double trust = std::max(0.0, 1.0 - 2.0 * now.variance[speed][speed] / known);
    // By the velocity alone: over a picture's age the acceleration adds more noise than it
    // mends.
    return now.state[place] + std::clamp(velocity * trust, -fastestHead, fastestHead) * horizon;
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
