#pragma once

#include <functional>
#include <vector>

#include "platform/OpenGLView.h"
#include "platform/Timer.h"

// Draws pictures at the display's pace while it runs. Where the swap waits for the display
// (a driver that syncs to its refresh), a picture is drawn half a refresh after the one
// before and its swap waits for the next refresh; elsewhere (no such driver, as under
// Xvfb) a timer draws one a refresh after the last picture, the pacer's or any other.
// Which one runs is found out from the first pictures: where the swap waits, they end a
// refresh apart, not half of one.
class FramePacer {
  public:
    // `draw` draws one picture and presents it through `context`.
    FramePacer(OpenGLContext& context, std::function<void()> draw);
    FramePacer(const FramePacer&) = delete;
    FramePacer& operator=(const FramePacer&) = delete;

    void start(double refreshRate);  // Hz
    void stop();
    // Tells of every picture, paced or not: when its drawing began and its swap ended
    // (monotonic seconds).
    void pictureShown(double begun, double swapped);
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
    std::vector<double> trial;  // the first paced pictures' times apart, while swap is unknown
    double lastPacedSwap = 0.0;
    double drawing = 0.002;
};
