#include "platform/Timer.h"

#include <limits>
#include <memory>
#include <vector>

#include "platform/Date.h"

namespace {
std::vector<std::unique_ptr<Timer>>& scheduledTimers() {
    static std::vector<std::unique_ptr<Timer>> timers;
    return timers;
}
}  // namespace

Timer::Timer(double interval, std::function<void()> action, bool repeats, double start)
    : interval(interval), action(std::move(action)), repeats(repeats), deadline(start + interval) {}

Timer* Timer::scheduledTimerWithTimeInterval(double interval, std::function<void()> action,
                                             bool repeats) {
    auto& timers = scheduledTimers();
    timers.emplace_back(new Timer(interval, std::move(action), repeats, monotonicSeconds()));
    return timers.back().get();
}

void Timer::scheduleAgain(double newInterval) {
    interval = newInterval;
    deadline = monotonicSeconds() + interval;
    valid = true;
}

void Timer::fireIfDue(double now) {
    if (!valid || now < deadline) return;
    if (repeats) {
        // Deadlines stay on the grid start + k * interval, so ticks never drift; any
        // deadline that has passed as well is skipped rather than fired late in a burst.
        deadline += interval;
        while (deadline <= now) deadline += interval;
    } else {
        valid = false;
    }
    action();
}

void Timer::fireDueTimers(double now) {
    auto& timers = scheduledTimers();
    // A firing may schedule a new timer, so walk by index.
    for (std::size_t i = 0; i < timers.size(); ++i) timers[i]->fireIfDue(now);
}

double Timer::nextDeadline() {
    double next = std::numeric_limits<double>::infinity();
    for (const auto& t : scheduledTimers())
        if (t->valid && t->deadline < next) next = t->deadline;
    return next;
}
