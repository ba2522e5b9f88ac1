// The resampling filters of the bitmap and view library and the per-axis weight tables that the
// resampler (Resample.h) runs them through.
//
// A filter is a kernel K(x), x being the distance in source pixels, with a support: K is zero
// for |x| >= support. Enlarging samples K at unit width; reducing stretches it by the reduction
// factor so that every source pixel contributes (area averaging rather than aliasing).
//
// Destination pixel i of an axis of srcLen source pixels drawn over dstLen pixels has its centre
// at source coordinate u = (i + 0.5) * srcLen / dstLen - 0.5. Its weights are K over the source
// pixels within the support of u. Taps that fall outside the image are dropped and the remaining
// weights renormalised to sum to one (no edge pixel is repeated, so a bright border does not
// bleed further in than its own width). Weights are 16-bit fixed point with WeightBits fraction
// bits and every window sums exactly to WeightOne, so a constant image stays constant.
#pragma once

#include <cstdint>
#include <vector>

enum TStretchFilter : uint8_t { sfNearest = 0, sfLinear = 1, sfSpline = 2, sfLanczos = 3, sfMitchell = 4 };
constexpr int StretchFilterCount = 5;

constexpr bool IsStretchFilter(int64_t value) { return value >= 0 && value < StretchFilterCount; }
// Values read from settings outside 0..4 fall back to `fallback` rather than indexing tables.
constexpr TStretchFilter StretchFilterFromInt(int64_t value, TStretchFilter fallback) {
  return IsStretchFilter(value) ? TStretchFilter(value) : fallback;
}

// K(x) of the filter; sfNearest is the unit box (1 for |x| < 0.5, else 0).
double StretchFilterKernel(TStretchFilter filter, double x);
// The half-width beyond which K is zero: 0.5, 1, 2, 3, 2.
double StretchFilterSupport(TStretchFilter filter);

constexpr int WeightBits = 14;
constexpr int32_t WeightOne = int32_t(1) << WeightBits;

// The weights of a run of destination pixels along one axis.
//
// Every destination pixel reads a window of Taps consecutive source pixels starting at
// SrcFirst + Start[i]; windows near the edges are padded with zero weights so that all have
// the same length and never leave [SrcFirst, SrcFirst + SrcCount). Weights[i * Taps + t] is
// the weight of source pixel SrcFirst + Start[i] + t.
struct TAxisWeights {
  int64_t DstFirst = 0;  // first destination index covered (0 = the image's first pixel)
  int Count = 0;         // destination pixels covered
  int Taps = 0;          // window length
  int SrcFirst = 0;      // first source pixel any window reads
  int SrcCount = 0;      // source pixels read by the run
  bool Identity = false;  // the axis is drawn at its own size: destination i is source i, unfiltered
  std::vector<int32_t> Start;
  std::vector<int16_t> Weights;
};

// Builds the weights of destination pixels [dstFirst, dstFirst + count) of an axis of srcLen
// source pixels drawn over dstLen destination pixels. Preconditions: srcLen >= 1, dstLen >= 1,
// count >= 0 and the run lies within [0, dstLen). When dstLen == srcLen the axis is an identity
// (Taps 1, weight one), whatever the filter. sfNearest picks the source pixel whose span
// contains the destination centre (Taps 1). May throw std::bad_alloc.
void BuildAxisWeights(TStretchFilter filter, int srcLen, int64_t dstLen, int64_t dstFirst, int count,
                      TAxisWeights& out);

// The window length BuildAxisWeights will use for this axis (at most srcLen), without building
// anything: the resampler sizes its work and memory with it.
int AxisTaps(TStretchFilter filter, int srcLen, int64_t dstLen);
