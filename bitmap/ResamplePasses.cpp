#include "bitmap/ResamplePasses.h"

#include <bit>
#include <cstring>

// x86-64 builds carry an AVX-512, an AVX2 and a baseline variant of each pass, picked once at
// start-up (GCC function multi-versioning). Other compilers and processors get the plain code.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define KV_VECTOR_CLONES __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#else
#define KV_VECTOR_CLONES
#endif

namespace {
constexpr int AlphaByte = std::endian::native == std::endian::little ? 3 : 0;
constexpr int32_t Half = int32_t(1) << (WeightBits - 1);

inline uint8_t ClampByte(int32_t v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

// Block of `B` bytes whose accumulators stay in registers while all tap rows stream past;
// 16-bit operands let the compiler use 16 x 16 -> 32-bit multiplies.
template <int B>
[[gnu::always_inline]] inline void VerticalBlock(const uint8_t* const* rows, const int16_t* w, int taps, int x0,
                                                 uint8_t* __restrict out) {
  int32_t a[B];
  for (int k = 0; k < B; ++k) a[k] = Half;
  for (int t = 0; t < taps; ++t) {
    const int16_t wt = w[t];
    const uint8_t* p = rows[t] + x0;
    for (int k = 0; k < B; ++k) a[k] += int16_t(p[k]) * wt;
  }
  for (int k = 0; k < B; ++k) out[x0 + k] = ClampByte(a[k] >> WeightBits);
}

template <int FixedTaps>
[[gnu::always_inline]] inline void HorizontalRun(const uint8_t* __restrict in, const TAxisWeights& h,
                                                 uint8_t* __restrict out) {
  const int taps = FixedTaps ? FixedTaps : h.Taps;
  const int32_t* start = h.Start.data();
  const int16_t* weights = h.Weights.data();
  for (int i = 0; i < h.Count; ++i) {
    const uint8_t* p = in + size_t(start[i]) * 4;
    const int16_t* w = weights + size_t(i) * size_t(taps);
    // One accumulator per channel: the four of a pixel fill one vector register.
    int32_t a0 = Half, a1 = Half, a2 = Half, a3 = Half;
    for (int t = 0; t < taps; ++t) {
      const int32_t wt = w[t];
      a0 += wt * p[4 * t];
      a1 += wt * p[4 * t + 1];
      a2 += wt * p[4 * t + 2];
      a3 += wt * p[4 * t + 3];
    }
    uint8_t* o = out + size_t(i) * 4;
    o[0] = ClampByte(a0 >> WeightBits);
    o[1] = ClampByte(a1 >> WeightBits);
    o[2] = ClampByte(a2 >> WeightBits);
    o[3] = ClampByte(a3 >> WeightBits);
  }
}
}  // namespace

KV_VECTOR_CLONES void VerticalPass(const uint8_t* const* rows, const int16_t* w, int taps, int bytes,
                                   uint8_t* out) {
  int x0 = 0;
  for (; x0 + 64 <= bytes; x0 += 64) VerticalBlock<64>(rows, w, taps, x0, out);
  for (; x0 + 16 <= bytes; x0 += 16) VerticalBlock<16>(rows, w, taps, x0, out);
  for (; x0 < bytes; ++x0) VerticalBlock<1>(rows, w, taps, x0, out);
}

KV_VECTOR_CLONES void HorizontalPass(const uint8_t* in, const TAxisWeights& h, uint8_t* out) {
  // Enlargements have short fixed windows (2 for linear, the fast path, 4 and 6 for the
  // cubics and Lanczos); constant trip counts unroll completely.
  switch (h.Taps) {
    case 2: return HorizontalRun<2>(in, h, out);
    case 4: return HorizontalRun<4>(in, h, out);
    case 6: return HorizontalRun<6>(in, h, out);
    default: return HorizontalRun<0>(in, h, out);
  }
}

void ClampColourToAlpha(uint8_t* row, int pixels) {
  for (int i = 0; i < pixels; ++i) {
    uint8_t* p = row + size_t(i) * 4;
    const uint8_t a = p[AlphaByte];
    for (int c = 0; c < 4; ++c) p[c] = p[c] < a ? p[c] : a;
  }
}

void BlendRow(const uint8_t* src, int pixels, uint8_t* dst) {
  for (int i = 0; i < pixels; ++i) {
    const uint8_t* s = src + size_t(i) * 4;
    uint8_t* d = dst + size_t(i) * 4;
    const unsigned inv = 255u - s[AlphaByte];
    if (inv == 0) {
      std::memcpy(d, s, 4);
    } else {
      // Rounded division by 255; with colour <= alpha the sum never exceeds 255.
      for (int c = 0; c < 4; ++c) {
        const unsigned t = unsigned(d[c]) * inv + 128;
        const unsigned v = s[c] + ((t + (t >> 8)) >> 8);
        d[c] = uint8_t(v > 255 ? 255 : v);
      }
    }
  }
}
