#pragma once

// A descriptor that any thread can make readable, so that the main run loop, which
// watches it, wakes and takes what that thread left for it.
class WakeUp {
  public:
    WakeUp();
    ~WakeUp();
    WakeUp(const WakeUp&) = delete;
    WakeUp& operator=(const WakeUp&) = delete;

    int descriptor() const { return fd; }
    void notify();  // from any thread
    void clear();   // on the main thread, before taking what waits

  private:
    int fd;
};
