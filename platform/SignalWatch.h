#pragma once

#include <initializer_list>

// Signals taken as reads from a descriptor rather than by handlers, so that the program's
// own loop acts on them. While it lives, its signals are blocked in the thread that made it
// and in the threads started after.
class SignalWatch {
  public:
    explicit SignalWatch(std::initializer_list<int> signals);
    ~SignalWatch();
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

    int descriptor() const { return fd; }
    // The next signal that came, or 0 when none waits.
    int take();

  private:
    int fd;
};
