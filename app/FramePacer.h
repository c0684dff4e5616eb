#pragma once

#include <functional>
#include <vector>

#include "platform/OpenGLView.h"
#include "platform/Timer.h"

// Draws pictures at the display's pace while it runs. Where the swap waits for the display
// (a driver that syncs to its refresh), each picture is drawn right after the one before
// and its swap waits for the next refresh; elsewhere (no such driver, as under Xvfb) a
// timer draws one a refresh after the last picture, the pacer's or any other. Which one
// runs is found out from the first pictures: a swap that waits for the display takes half
// a refresh on average, one that does not returns at once.
class FramePacer {
  public:
    // `draw` draws one picture and presents it through `context`.
    FramePacer(OpenGLContext& context, std::function<void()> draw);
    FramePacer(const FramePacer&) = delete;
    FramePacer& operator=(const FramePacer&) = delete;

    void start(double refreshRate);  // Hz
    void stop();
    bool isRunning() const { return running; }
    // Tells how long the last picture took, from the start of its drawing to the end of its
    // swap: paced pictures and any other.
    void pictureTook(double seconds);
    // The seconds a picture is expected to take, from the start of its drawing to the end
    // of its swap, waiting for the display included.
    double expectedDrawing() const { return drawing; }

  private:
    enum class Swap { unknown, waits, returnsAtOnce };
    void drawPaced();

    OpenGLContext& context;
    std::function<void()> draw;
    Timer* timer = nullptr;
    bool running = false;
    bool pacing = false;  // drawing a paced picture
    double refresh = 1.0 / 60.0;
    Swap swap = Swap::unknown;
    std::vector<double> trial;  // the first paced pictures' times, while swap is unknown
    double drawing = 0.002;
};
