#pragma once

#include <functional>

// A timer on the main run loop. Scheduled timers belong to the run loop and live as
// long as the program; holders keep plain pointers to them.
class Timer {
  public:
    static Timer* scheduledTimerWithTimeInterval(double interval, std::function<void()> action,
                                                 bool repeats);
    void invalidate() { valid = false; }
    // Fires the timer `interval` seconds from now, and then that far apart: a running one
    // starts its grid again, an invalidated one runs again.
    void scheduleAgain(double interval);

    // Run-loop side: fire every timer that is due at `now`, and the earliest deadline left.
    static void fireDueTimers(double now);
    static double nextDeadline();

  private:
    Timer(double interval, std::function<void()> action, bool repeats, double start);
    void fireIfDue(double now);

    double interval;
    std::function<void()> action;
    bool repeats;
    bool valid = true;
    double deadline;
};
