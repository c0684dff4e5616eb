#pragma once

#include "model/HeadPose.h"

// How one axis of a head's place is measured and how the head moves on it, for the motion
// filter. The head's velocity wanders by white-noise acceleration, whose strength (the
// square root of its spectral density: how far the velocity wanders in a second, in cm/s
// per √s) is `acceleration + accelerationPerSpeed × speed`: a still head stays still, and
// a fast one, which will brake and turn, is followed closely. With a jerk, the filter
// follows the head's acceleration too, which wanders by white-noise jerk of that strength.
struct MotionNoise {
    double measurement;           // cm, more than 0: a measured value's spread about the truth
    double acceleration;          // cm/s per √s, at rest
    double accelerationPerSpeed;  // per √s, for each cm/s of the head's speed
    double jerk = 0.0;            // cm/s² per √s; none: the acceleration is taken as none
    // Standard deviations (of the filter's own uncertainty and the measurement's) beyond
    // which a value is a new face rather than a movement.
    double jumpGate = 10.0;
};

// The camera's poses, 30 a second: their noise measured on the still synthetic faces, the
// rest tuned on the moving ones (docs/prediction.md). The distance, fitted to the face's
// landmarks, is over ten times noisier than the sideways place, and its velocity is
// known well enough only with its acceleration followed.
constexpr MotionNoise cameraSidewaysMotion{0.012, 0.1, 1.0, 0.0, 15.0};  // x and y
constexpr MotionNoise cameraDistanceMotion{0.15, 0.0, 0.0, 10.0};        // z

// One axis of a head's place, followed with its velocity (and, with a jerk, its
// acceleration) by a Kalman filter. Values in cm, times in seconds: each value comes with
// the time at which it was true (a camera frame's exposure), and the place is asked for at
// a later time, when it will be seen.
class MotionFilter {
  public:
    explicit MotionFilter(MotionNoise noise) : noise(noise) {}

    // Takes a value true at `time`. Values beyond largestOffset (HeadPose.h) or not finite,
    // times not finite and times not after the last one are passed over: no time has
    // passed, or the value is older than what is known. The filter starts again from the
    // value, its velocity unknown: at its first, after a gap either way longer than
    // gapLimit, and at a jump.
    void add(double value, double time);
    // Whether `value` at `time` lies beyond the noise's jump gate from where the filter
    // expects it: a new face rather than a movement. False while nothing is known.
    bool jumps(double value, double time) const;
    // The place at `time`, carried forward from the last value at most maxHorizon. The
    // velocity v counts by how far it stands out from its own uncertainty σ, by 1 - 2σ²/v²:
    // not at all within √2 σ of none. So an unknown velocity (at a new face) moves nothing,
    // a still head, whose velocity is only noise, does not shake, and a clear movement is
    // carried nearly whole; never faster than a head's fastest. 0 before any value.
    double predict(double time) const;
    // The place at the last value's time: the filter without prediction.
    double position() const { return now.state[place]; }
    double time() const { return lastTime; }  // the last value's
    bool started() const { return running; }
    void reset() { running = false; }

    static constexpr double maxHorizon = 0.1;  // s: by then a head may have turned back
    static constexpr double gapLimit = 0.5;    // s: a velocity that old is no longer known
    // cm/s: a head's velocity before it is measured is anything up to this.
    static constexpr double fastestHead = 100.0;
    // cm/s²: and its acceleration, where the filter follows it, up to this.
    static constexpr double hardestAcceleration = 300.0;

  private:
    enum Part { place, speed, acceleration };
    // The three parts' values and their covariance; without a jerk the acceleration stays
    // none, and so does its variance.
    struct Estimate {
        double state[3] = {};
        double variance[3][3] = {};
    };
    void start(double value, double time);
    // The estimate carried `interval` seconds forward, the white noises' spread added.
    Estimate carried(double interval) const;

    MotionNoise noise;
    bool running = false;
    double lastTime = 0.0;
    Estimate now;  // at lastTime
};

// A head's place followed and predicted on all three axes; its angles are the newest
// pose's. x and y share one tuning, z has its own. A jump on any axis is a new face and
// starts all three again. Its poses are ones that checkPose() accepts.
class HeadPredictor {
  public:
    HeadPredictor(MotionNoise sideways, MotionNoise distance)
        : x(sideways), y(sideways), z(distance) {}

    void add(const HeadPose& pose, double time);
    // The head at `time`; at time(), the filter's place without prediction.
    HeadPose predict(double time) const;
    double time() const { return x.time(); }  // the last pose's
    bool started() const { return x.started(); }
    void reset();

  private:
    MotionFilter x, y, z;
    HeadPose newest;
};
