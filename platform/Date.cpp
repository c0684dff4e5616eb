#include "platform/Date.h"

#include <chrono>

namespace {
Date::Clock currentClock = monotonicSeconds;
}

double monotonicSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

Date Date::date() {
    Date d;
    d.seconds = currentClock();
    return d;
}

void Date::useClock(Clock clock) {
    currentClock = clock ? clock : monotonicSeconds;
}
