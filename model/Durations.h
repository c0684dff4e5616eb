#pragma once

#include <cstddef>
#include <vector>

// Durations gathered to tell their spread: the first million are kept, a few hours' worth
// of frames, so that memory stays bounded however long the program runs.
class Durations {
  public:
    void add(double seconds) {
        if (kept.size() < limit) kept.push_back(seconds);
    }
    std::size_t count() const { return kept.size(); }
    // The q-quantile (0 the least, 0.5 the median, 1 the most); 0 when there are none.
    double quantile(double q) const;

  private:
    static constexpr std::size_t limit = 1 << 20;
    std::vector<double> kept;
};
