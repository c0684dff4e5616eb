#pragma once

#include <limits>
#include <vector>

// Decides when pictures of a followed face are drawn, at the display's pace, and whether
// their swap waits for the display; the program's loop asks it and tells it of every
// picture. Where the swap waits for the display (a driver that syncs to its refresh), a
// picture is due half a refresh after the one before and its swap waits for the next
// refresh; elsewhere (no such driver, as under Xvfb) one is due a refresh after the last
// picture, the pacer's or any other. Which one holds is found out from the first paced
// pictures: where the swap waits, they end a refresh apart, not half of one.
class FramePacer {
  public:
    // Pictures due from `now` (monotonic seconds) at the display's `refreshRate` (Hz).
    void start(double refreshRate, double now);
    void stop() { running = false; }
    // When the next paced picture is due; infinity while stopped.
    double nextPicture() const {
        return running ? next : std::numeric_limits<double>::infinity();
    }
    bool swapWaits() const { return running && swap != Swap::returnsAtOnce; }
    // Tells of every picture, paced or not: when its drawing began and its swap ended.
    void pictureShown(double begun, double swapped, bool paced);
    // The seconds a picture is expected to take, from the start of its drawing to the end
    // of its swap, waiting for the display included.
    double expectedDrawing() const { return drawing; }

  private:
    enum class Swap { unknown, waits, returnsAtOnce };

    bool running = false;
    double refresh = 1.0 / 60.0;
    double interval = refresh;  // between paced pictures
    double next = 0.0;
    Swap swap = Swap::unknown;
    std::vector<double> trial;  // the first paced pictures' times apart, while swap is unknown
    double lastPacedSwap = 0.0;
    double drawing = 0.002;
};
