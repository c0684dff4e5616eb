#pragma once

// The One Euro filter (Casiez, Roussel and Vogel, CHI 2012): a low-pass filter whose cutoff
// rises with the signal's speed, so that a still head stays still despite jitter and a
// moving one is followed with little lag. Times are in seconds, values in any unit.
// One Euro filter settings for one axis.
struct Smoothing {
    double minCutoff;  // Hz
    double beta;       // Hz per unit of speed (cm/s for a place, degrees/s for an angle)
};

class OneEuroFilter {
  public:
    // minCutoff: the cutoff (Hz) while still; beta: how much it rises per unit of speed.
    OneEuroFilter(double minCutoff, double beta) : minCutoff(minCutoff), beta(beta) {}

    // The filtered value of `value` sampled at `time`. The first sample passes unchanged;
    // one at a time not after the last changes nothing (no time has passed).
    double filter(double value, double time);
    void reset() { started = false; }

  private:
    // The speed's own cutoff, Hz: 1, as the filter's authors suggest.
    static constexpr double derivativeCutoff = 1.0;
    double minCutoff, beta;
    bool started = false;
    double lastTime = 0, lastValue = 0, lastDerivative = 0;
};
