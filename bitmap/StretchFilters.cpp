#include "bitmap/StretchFilters.h"

#include <algorithm>
#include <cmath>
#include <numbers>

double StretchFilterKernel(TStretchFilter filter, double x) {
  x = std::fabs(x);
  switch (filter) {
    case sfNearest:
      return x < 0.5 ? 1.0 : 0.0;
    case sfLinear:
      return x < 1.0 ? 1.0 - x : 0.0;
    case sfSpline:
      if (x < 1.0) return 0.5 * x * x * x - x * x + 2.0 / 3.0;
      if (x < 2.0) return (2.0 - x) * (2.0 - x) * (2.0 - x) / 6.0;
      return 0.0;
    case sfLanczos: {
      if (x >= 3.0) return 0.0;
      if (x == 0.0) return 1.0;
      const double px = std::numbers::pi * x;
      return std::sin(px) / px * (std::sin(px / 3.0) / (px / 3.0));
    }
    case sfMitchell:
      if (x < 1.0) return (7.0 * x * x * x - 12.0 * x * x + 16.0 / 3.0) / 6.0;
      if (x < 2.0) return (-7.0 / 3.0 * x * x * x + 12.0 * x * x - 20.0 * x + 32.0 / 3.0) / 6.0;
      return 0.0;
  }
  return 0.0;
}

double StretchFilterSupport(TStretchFilter filter) {
  switch (filter) {
    case sfNearest: return 0.5;
    case sfLinear: return 1.0;
    case sfSpline: return 2.0;
    case sfLanczos: return 3.0;
    case sfMitchell: return 2.0;
  }
  return 0.5;
}

namespace {
// Half-width of the stretched kernel in source pixels, and the stretch itself.
struct TAxisScale {
  double Stretch;  // 1 when enlarging, srcLen / dstLen when reducing
  double Reach;    // support * Stretch
};

TAxisScale AxisScale(TStretchFilter filter, int srcLen, int64_t dstLen) {
  const double ratio = double(srcLen) / double(dstLen);
  const double stretch = ratio > 1.0 ? ratio : 1.0;
  return {stretch, StretchFilterSupport(filter) * stretch};
}

bool PicksOnePixel(TStretchFilter filter, int srcLen, int64_t dstLen) {
  return filter == sfNearest || dstLen == srcLen;
}

// The source pixel under destination centre i: floor((i + 0.5) * srcLen / dstLen), exactly.
int NearestSource(int srcLen, int64_t dstLen, int64_t i) {
  __extension__ using TWide = unsigned __int128;
  const TWide num = TWide(uint64_t(2 * i + 1)) * TWide(uint64_t(srcLen));
  const uint64_t j = uint64_t(num / TWide(uint64_t(2 * dstLen)));
  return int(std::min<uint64_t>(j, uint64_t(srcLen - 1)));
}
}  // namespace

int AxisTaps(TStretchFilter filter, int srcLen, int64_t dstLen) {
  if (srcLen <= 1 || PicksOnePixel(filter, srcLen, dstLen)) return 1;
  // The open interval (u - reach, u + reach) holds at most ceil(2 * reach) whole pixels; the
  // small allowance keeps an exact integer from rounding up to one more tap.
  const double taps = std::ceil(2.0 * AxisScale(filter, srcLen, dstLen).Reach - 1e-9);
  return int(std::clamp<double>(taps, 1.0, double(srcLen)));
}

void BuildAxisWeights(TStretchFilter filter, int srcLen, int64_t dstLen, int64_t dstFirst, int count,
                      TAxisWeights& out) {
  out.DstFirst = dstFirst;
  out.Count = std::max(count, 0);
  out.Identity = dstLen == srcLen;
  out.Taps = AxisTaps(filter, srcLen, dstLen);
  const int taps = out.Taps;
  out.Start.assign(size_t(out.Count), 0);
  out.Weights.assign(size_t(out.Count) * size_t(taps), 0);
  if (out.Count == 0) {
    out.SrcFirst = 0;
    out.SrcCount = 0;
    return;
  }

  if (PicksOnePixel(filter, srcLen, dstLen)) {
    const int first = out.Identity ? int(dstFirst) : NearestSource(srcLen, dstLen, dstFirst);
    const int last = out.Identity ? int(dstFirst) + out.Count - 1
                                  : NearestSource(srcLen, dstLen, dstFirst + out.Count - 1);
    out.SrcFirst = first;
    out.SrcCount = last - first + 1;
    for (int i = 0; i < out.Count; ++i) {
      const int j = out.Identity ? int(dstFirst) + i : NearestSource(srcLen, dstLen, dstFirst + i);
      out.Start[size_t(i)] = j - first;
      out.Weights[size_t(i)] = int16_t(WeightOne);
    }
    return;
  }

  const TAxisScale axis = AxisScale(filter, srcLen, dstLen);
  const double ratio = double(srcLen) / double(dstLen);
  auto centre = [&](int i) { return (double(dstFirst + i) + 0.5) * ratio - 0.5; };
  // First pass: the in-image window [lo, hi] of every pixel, to find the source range.
  auto window = [&](double u, int& lo, int& hi) {
    lo = std::max(0, int(std::floor(u - axis.Reach)) + 1);
    hi = std::min({srcLen - 1, int(std::ceil(u + axis.Reach)) - 1, lo + taps - 1});
    if (hi < lo) lo = hi = std::clamp(int(std::lround(u)), 0, srcLen - 1);
  };
  int srcFirst = srcLen, srcEnd = 0;
  for (int i = 0; i < out.Count; ++i) {
    int lo, hi;
    window(centre(i), lo, hi);
    srcFirst = std::min(srcFirst, lo);
    srcEnd = std::max(srcEnd, hi + 1);
  }
  if (srcEnd - srcFirst < taps) {
    srcEnd = std::min(srcLen, srcFirst + taps);
    srcFirst = srcEnd - taps;
  }
  out.SrcFirst = srcFirst;
  out.SrcCount = srcEnd - srcFirst;

  std::vector<double> w(static_cast<size_t>(taps));
  std::vector<int> order;
  for (int i = 0; i < out.Count; ++i) {
    const double u = centre(i);
    int lo, hi;
    window(u, lo, hi);
    const int start = std::min(lo, srcEnd - taps);
    out.Start[size_t(i)] = start - srcFirst;
    int16_t* q = out.Weights.data() + size_t(i) * size_t(taps);

    std::fill(w.begin(), w.end(), 0.0);
    double sum = 0.0;
    for (int j = lo; j <= hi; ++j) {
      w[size_t(j - start)] = StretchFilterKernel(filter, (double(j) - u) / axis.Stretch);
      sum += w[size_t(j - start)];
    }
    // Quantise so that the window sums to exactly WeightOne, each weight within one unit of
    // its exact value: round every weight down, then give the missing units to the weights
    // that lost the most (largest remainders).
    bool ok = std::fabs(sum) > 1e-9;
    int32_t total = 0;
    for (int t = 0; ok && t < taps; ++t) {
      w[size_t(t)] = w[size_t(t)] / sum * WeightOne;
      const double down = std::floor(w[size_t(t)]);
      if (std::fabs(down) > INT16_MAX - 1) {
        ok = false;
        break;
      }
      q[t] = int16_t(down);
      total += q[t];
      w[size_t(t)] -= down;
    }
    if (ok && total <= WeightOne && WeightOne - total <= taps) {
      order.resize(size_t(taps));
      for (int t = 0; t < taps; ++t) order[size_t(t)] = t;
      const int missing = WeightOne - total;
      if (missing > 0 && missing < taps)
        std::nth_element(order.begin(), order.begin() + (missing - 1), order.end(),
                         [&](int a, int b) { return w[size_t(a)] > w[size_t(b)]; });
      for (int k = 0; k < missing; ++k) ++q[order[size_t(k)]];
    } else {
      // A window whose weights cancel out (cannot happen with these kernels, whose value at the
      // nearest pixel dominates) falls back to that nearest pixel.
      std::fill(q, q + taps, int16_t(0));
      const int j = std::clamp(int(std::lround(u)), start, start + taps - 1);
      q[j - start] = int16_t(WeightOne);
    }
  }
}
