// The inner loops of the resampler (Resample.cpp): one filter pass along each axis, the alpha
// clamp and source-over blending, on rows of 8-bit premultiplied pixels (4 bytes each).
//
// Kept apart so that they are built for speed: written as plain loops that the compiler turns
// into vector code, and on x86-64 compiled in several instruction-set variants of which the
// best one for the running processor is chosen when the program starts; the filter passes have
// AVX2 versions written with intrinsics as well. Every variant gives the same bytes.
#pragma once

#include <cstdint>

#include "bitmap/Bitmap32.h"
#include "bitmap/StretchFilters.h"

// out[x] = sum over t < taps of w[t] * rows[t][x] (rounded, clamped to 0..255), for `bytes`
// channel bytes; w sums to WeightOne.
void VerticalPass(const uint8_t* const* rows, const int16_t* w, int taps, int bytes, uint8_t* out);

// Output pixel i (i < h.Count) = sum over t of h.Weights[i * h.Taps + t] * input pixel
// (h.Start[i] + t), per channel; `in` points at source pixel h.SrcFirst.
void HorizontalPass(const uint8_t* in, const TAxisWeights& h, uint8_t* out);

// Lowers every colour channel that exceeds its pixel's alpha (the ringing of kernels with
// negative lobes) so that the pixels are valid premultiplied values again.
void ClampColourToAlpha(uint8_t* row, int pixels);

// dst = src + dst * (255 - alpha(src)) / 255 per channel: premultiplied source over.
void BlendRow(const uint8_t* src, int pixels, uint8_t* dst);
// The same with an opaque colour in place of dst, in place: the row comes out opaque.
void BlendRowOverColour(uint8_t* row, int pixels, TColor32 colour);
