#include "bitmap/ResamplePasses.h"

#include <bit>
#include <cstring>

// x86-64 builds carry an AVX-512, an AVX2 and a baseline variant of each plain pass, picked once
// at start-up (GCC function multi-versioning). Other compilers and processors get the plain code.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define KV_VECTOR_CLONES __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#else
#define KV_VECTOR_CLONES
#endif

// On x86-64 the filter passes of processors with AVX2 are written out with intrinsics: they
// multiply two taps at once (16 x 16 + 16 x 16 -> 32 bits), which the compiler does not find in
// the plain loops. The sums are the same integers in another order, so the pixels are the same.
#if defined(__x86_64__) && defined(__GNUC__)
#define KV_AVX2_PASSES 1
#include <immintrin.h>
#define KV_AVX2 __attribute__((target("avx2")))
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

KV_VECTOR_CLONES void VerticalPassPlain(const uint8_t* const* rows, const int16_t* w, int taps, int bytes,
                                        uint8_t* out) {
  int x0 = 0;
  for (; x0 + 64 <= bytes; x0 += 64) VerticalBlock<64>(rows, w, taps, x0, out);
  for (; x0 + 16 <= bytes; x0 += 16) VerticalBlock<16>(rows, w, taps, x0, out);
  for (; x0 < bytes; ++x0) VerticalBlock<1>(rows, w, taps, x0, out);
}

KV_VECTOR_CLONES void HorizontalPassPlain(const uint8_t* in, const TAxisWeights& h, uint8_t* out) {
  // Enlargements have short fixed windows (2 for linear, the fast path, 4 and 6 for the
  // cubics and Lanczos); constant trip counts unroll completely.
  switch (h.Taps) {
    case 2: return HorizontalRun<2>(in, h, out);
    case 4: return HorizontalRun<4>(in, h, out);
    case 6: return HorizontalRun<6>(in, h, out);
    default: return HorizontalRun<0>(in, h, out);
  }
}

#ifdef KV_AVX2_PASSES
// Both weights of a tap pair in every 32-bit lane, as _mm256_madd_epi16 wants them.
KV_AVX2 inline __m256i WeightPair(int16_t first, int16_t second) {
  return _mm256_set1_epi32(int32_t(uint16_t(first)) | int32_t(uint32_t(uint16_t(second)) << 16));
}

// Sums, shifts and saturates 32 bytes' accumulators back to bytes. The accumulators hold, per
// 128-bit lane, bytes 0-3, 4-7, 8-11 and 12-15 of that lane (the unpack order), which the two
// lane-wise packs put back in place; their saturation is the clamp to 0..255.
KV_AVX2 inline __m256i PackAccumulators(__m256i a0, __m256i a1, __m256i a2, __m256i a3) {
  const __m256i lo = _mm256_packs_epi32(_mm256_srai_epi32(a0, WeightBits), _mm256_srai_epi32(a1, WeightBits));
  const __m256i hi = _mm256_packs_epi32(_mm256_srai_epi32(a2, WeightBits), _mm256_srai_epi32(a3, WeightBits));
  return _mm256_packus_epi16(lo, hi);
}

KV_AVX2 void VerticalPassAvx2(const uint8_t* const* rows, const int16_t* w, int taps, int bytes, uint8_t* out) {
  const __m256i zero = _mm256_setzero_si256();
  int x0 = 0;
  for (; x0 + 32 <= bytes; x0 += 32) {
    __m256i a0 = _mm256_set1_epi32(Half), a1 = a0, a2 = a0, a3 = a0;
    for (int t = 0; t < taps; t += 2) {
      // An odd last tap pairs with a row of zeros.
      const bool pair = t + 1 < taps;
      const __m256i wp = WeightPair(w[t], pair ? w[t + 1] : 0);
      const __m256i r0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[t] + x0));
      const __m256i r1 = pair ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[t + 1] + x0)) : zero;
      // Bytes of the two rows interleaved, then widened: 16-bit (row t, row t + 1) pairs.
      const __m256i lo = _mm256_unpacklo_epi8(r0, r1), hi = _mm256_unpackhi_epi8(r0, r1);
      a0 = _mm256_add_epi32(a0, _mm256_madd_epi16(_mm256_unpacklo_epi8(lo, zero), wp));
      a1 = _mm256_add_epi32(a1, _mm256_madd_epi16(_mm256_unpackhi_epi8(lo, zero), wp));
      a2 = _mm256_add_epi32(a2, _mm256_madd_epi16(_mm256_unpacklo_epi8(hi, zero), wp));
      a3 = _mm256_add_epi32(a3, _mm256_madd_epi16(_mm256_unpackhi_epi8(hi, zero), wp));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x0), PackAccumulators(a0, a1, a2, a3));
  }
  for (; x0 < bytes; ++x0) VerticalBlock<1>(rows, w, taps, x0, out);
}

// Reductions: windows of many taps, four source pixels (two tap pairs) per step.
KV_AVX2 void HorizontalPassAvx2(const uint8_t* in, const TAxisWeights& h, uint8_t* out) {
  const int taps = h.Taps;
  // Pixels t, t + 1 of each 128-bit lane to (channel of t, channel of t + 1) byte pairs.
  const __m256i pairUp = _mm256_setr_epi8(0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15,  //
                                          0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15);
  const __m128i pairUp128 = _mm256_castsi256_si128(pairUp);
  const __m256i spread = _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1);
  for (int i = 0; i < h.Count; ++i) {
    const uint8_t* p = in + size_t(h.Start[size_t(i)]) * 4;
    const int16_t* w = h.Weights.data() + size_t(i) * size_t(taps);
    // Lane 0 sums the first pair of each step, lane 1 the second.
    __m256i acc = _mm256_setzero_si256();
    int t = 0;
    for (; t + 4 <= taps; t += 4) {
      const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 4 * t));
      const __m256i pairs = _mm256_cvtepu8_epi16(_mm_shuffle_epi8(px, pairUp128));
      int64_t w4;
      __builtin_memcpy(&w4, w + t, sizeof w4);
      const __m256i wp = _mm256_permutevar8x32_epi32(_mm256_castsi128_si256(_mm_cvtsi64_si128(w4)), spread);
      acc = _mm256_add_epi32(acc, _mm256_madd_epi16(pairs, wp));
    }
    __m128i sum = _mm_add_epi32(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1));
    for (; t < taps; t += 2) {
      const bool pair = t + 1 < taps;
      int64_t two = 0;
      __builtin_memcpy(&two, p + 4 * t, pair ? 8 : 4);
      const __m128i pairs = _mm_cvtepu8_epi16(_mm_shuffle_epi8(_mm_cvtsi64_si128(two), pairUp128));
      sum = _mm_add_epi32(sum, _mm_madd_epi16(pairs, _mm256_castsi256_si128(WeightPair(w[t], pair ? w[t + 1] : 0))));
    }
    sum = _mm_srai_epi32(_mm_add_epi32(sum, _mm_set1_epi32(Half)), WeightBits);
    const int32_t bytes = _mm_cvtsi128_si32(_mm_packus_epi16(_mm_packs_epi32(sum, sum), sum));
    __builtin_memcpy(out + size_t(i) * 4, &bytes, 4);
  }
}

const bool HasAvx2 = __builtin_cpu_supports("avx2");
#endif
}  // namespace

void VerticalPass(const uint8_t* const* rows, const int16_t* w, int taps, int bytes, uint8_t* out) {
#ifdef KV_AVX2_PASSES
  if (HasAvx2) return VerticalPassAvx2(rows, w, taps, bytes, out);
#endif
  VerticalPassPlain(rows, w, taps, bytes, out);
}

void HorizontalPass(const uint8_t* in, const TAxisWeights& h, uint8_t* out) {
#ifdef KV_AVX2_PASSES
  // Short enlargement windows stay on the unrolled plain loops.
  if (HasAvx2 && h.Taps > 6) return HorizontalPassAvx2(in, h, out);
#endif
  HorizontalPassPlain(in, h, out);
}

void ClampColourToAlpha(uint8_t* row, int pixels) {
  for (int i = 0; i < pixels; ++i) {
    uint8_t* p = row + size_t(i) * 4;
    const uint8_t a = p[AlphaByte];
    for (int c = 0; c < 4; ++c) p[c] = p[c] < a ? p[c] : a;
  }
}

namespace {
// Premultiplied source over `under`, into `out` (which may be either): per channel
// s + u * (255 - alpha(s)) / 255, the division rounded. An opaque source comes out unchanged.
inline void Over(const uint8_t* s, const uint8_t* under, uint8_t* out) {
  const unsigned inv = 255u - s[AlphaByte];
  for (int c = 0; c < 4; ++c) {
    // With colour <= alpha the sum never exceeds 255.
    const unsigned t = unsigned(under[c]) * inv + 128;
    const unsigned v = s[c] + ((t + (t >> 8)) >> 8);
    out[c] = uint8_t(v > 255 ? 255 : v);
  }
}

// Photographs are opaque almost everywhere: blocks of eight opaque pixels are copied (or left
// alone) without per-channel arithmetic.
constexpr int Block = 8;
inline bool OpaqueBlock(const uint8_t* p) {
  uint32_t all = ~0u;
  for (int k = 0; k < Block; ++k) {
    uint32_t word;
    std::memcpy(&word, p + 4 * k, 4);
    all &= word;
  }
  return (all >> 24) == 255;  // the alpha of a native 0xAARRGGBB word
}
}  // namespace

void BlendRow(const uint8_t* src, int pixels, uint8_t* dst) {
  int i = 0;
  for (; i + Block <= pixels; i += Block) {
    const uint8_t* s = src + size_t(i) * 4;
    uint8_t* d = dst + size_t(i) * 4;
    if (OpaqueBlock(s))
      std::memcpy(d, s, 4 * Block);
    else
      for (int k = 0; k < Block; ++k) Over(s + 4 * k, d + 4 * k, d + 4 * k);
  }
  for (; i < pixels; ++i) Over(src + size_t(i) * 4, dst + size_t(i) * 4, dst + size_t(i) * 4);
}

void BlendRowOverColour(uint8_t* row, int pixels, TColor32 colour) {
  uint8_t under[4];
  std::memcpy(under, &colour, 4);
  int i = 0;
  for (; i + Block <= pixels; i += Block) {
    uint8_t* p = row + size_t(i) * 4;
    if (!OpaqueBlock(p))
      for (int k = 0; k < Block; ++k) Over(p + 4 * k, under, p + 4 * k);
  }
  for (; i < pixels; ++i) Over(row + size_t(i) * 4, under, row + size_t(i) * 4);
}
