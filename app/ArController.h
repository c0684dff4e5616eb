#pragma once

#include "platform/Application.h"
#include "platform/Timer.h"

class OpGlView;

// Owns the tick timer and the matrix buffer; every tick draws one frame of the view and
// presents it. The quit action ends the process.
class ArController : public ObjectController {
  public:
    void awakeFromNib() override;
    ~ArController() override;
    void startTracking();
    void timerFire();
    void track(bool log);
    bool setup();
    [[noreturn]] void quit(const void* sender);

    // Kept as the controller's interface has them: the program never stops the tick timer
    // nor asks for it, and sets it only through startTracking.
    void stopTracking();
    Timer* timer() const { return timerProperty; }
    void setTimer(Timer* timer) { timerProperty = timer; }

    // Outlets, connected by the interface description.
    OpGlView* oglView = nullptr;
    Window* oglWindow = nullptr;  // never read
    void* iv = nullptr;           // image view outlet; never read, and our interface has none

    // The matrix buffer handed to the view on every tick.
    double* matrix = nullptr;

  private:
    void teardown();

    Timer* timerProperty = nullptr;  // the run loop owns scheduled timers
};
