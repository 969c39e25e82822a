// Percentiles of a set of samples, for the benchmarks' printed figures.
#pragma once

#include <algorithm>
#include <vector>

inline double percentile(std::vector<double> samples, double p) {
    if (samples.empty()) return 0.0;
    std::sort(samples.begin(), samples.end());
    const size_t index = std::min(samples.size() - 1, size_t(p / 100.0 * double(samples.size())));
    return samples[index];
}
