#include "model/Durations.h"

#include <algorithm>
#include <cmath>

double Durations::quantile(double q) const {
    if (kept.empty()) return 0.0;
    std::vector<double> sorted = kept;
    auto at =
        sorted.begin() + static_cast<long>(std::lround(q * static_cast<double>(sorted.size() - 1)));
    std::nth_element(sorted.begin(), at, sorted.end());
    return *at;
}
