#pragma once

#include "camera/VideoSource.h"

// A source's frames since the first one the program processed: how many, over how long,
// the rate the device delivered by its frame numbers, and what it lost meanwhile. Counted
// from that frame, not from the device's opening, before which the ring of buffers fills
// and the device drops frames while the program starts.
class FrameCount {
  public:
    void add(const VideoFrame& frame) {
        if (frames++ == 0) first = frame.device;
        last = frame.device;
    }
    long count() const { return frames; }
    double seconds() const { return last.readTime - first.readTime; }
    // Frames a second: processed, and delivered by the device's own numbers (which count
    // the frames it dropped); 0 before there is a span to count over.
    double processedRate() const { return seconds() > 0 ? (frames - 1) / seconds() : 0.0; }
    double deliveredRate() const {
        return seconds() > 0 ? (last.sequence - first.sequence) / seconds() : 0.0;
    }
    long dropped() const { return last.dropped - first.dropped; }
    long passedOver() const { return last.passedOver - first.passedOver; }
    long damaged() const { return last.damaged - first.damaged; }

  private:
    long frames = 0;
    DeviceFrame first, last;
};
