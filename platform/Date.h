#pragma once

// Seconds on a monotonic clock, unaffected by changes to the system time.
double monotonicSeconds();

// A moment in time. Frame dates are read through a clock that tests can drive.
class Date {
  public:
    using Clock = double (*)();

    static Date date();
    double timeIntervalSinceDate(const Date& earlier) const { return seconds - earlier.seconds; }

    // Makes date() read `clock`; nullptr goes back to the monotonic clock.
    static void useClock(Clock clock);

  private:
    double seconds = 0.0;
};
