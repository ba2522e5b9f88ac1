// The median of a benchmark's samples (0 for none).
#pragma once

#include <algorithm>
#include <vector>

inline double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}
