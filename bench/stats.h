// Order statistics of a series of measurements.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

namespace bench {

// The q-quantile (0..1) by the nearest-rank rule; 0 for an empty series.
inline double Quantile(std::vector<double> values, double q) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const double rank = std::ceil(q * static_cast<double>(values.size()));
    const std::size_t index =
        rank < 1.0 ? 0 : std::min(values.size() - 1, static_cast<std::size_t>(rank) - 1);
    return values[index];
}

inline double Median(const std::vector<double>& values) {
    return Quantile(values, 0.5);
}

inline double Maximum(const std::vector<double>& values) {
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

} // namespace bench
