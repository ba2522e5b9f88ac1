// AVX2 and AVX-512 versions of the RGB conversion, compiled for those processors only and picked
// at run time. The sRGB curve is a polynomial in the fourth root of linear light (a least-squares
// fit, within 0.12 levels of the formula above its straight start), so that no table is looked
// up on the way out. The channel tables are gathered, or, with AVX-512 VBMI, looked up 64 bytes at
// a time by byte permutes, which costs a fraction of a gather.
#include "decoders/ColourKernels.h"

#include <algorithm>
#include <cmath>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ < 13
// GCC 12's AVX-512 header functions start their results from _mm512_undefined_*(), which its own
// -Wmaybe-uninitialized then reports wherever they are inlined (GCC bug 105593).
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#define KV_X86_KERNELS 1
#endif

namespace {

// 255 x (1.055 y^(1/2.4) - 0.055) as a polynomial in t = y^(1/4), for y above the straight start.
constexpr float Curve[] = {-18.6151107f, 66.7722092f, 240.680598f, -33.9196865f};
constexpr int Degree = 3;
constexpr float StraightEnd = 0.0031308f;  // where the sRGB curve stops being a straight line
constexpr float StraightSlope = 12.92f * 255;
constexpr float Tiny = 1e-12f;  // keeps the fourth root finite at 0

#ifdef KV_X86_KERNELS

__attribute__((target("avx2,fma"))) inline __m256 Encode8(__m256 y) {
  y = _mm256_min_ps(_mm256_max_ps(y, _mm256_set1_ps(Tiny)), _mm256_set1_ps(1.0f));
  const __m256 t = _mm256_sqrt_ps(_mm256_sqrt_ps(y));
  __m256 curve = _mm256_set1_ps(Curve[Degree]);
  for (int k = Degree - 1; k >= 0; --k) curve = _mm256_fmadd_ps(curve, t, _mm256_set1_ps(Curve[k]));
  const __m256 straight = _mm256_mul_ps(y, _mm256_set1_ps(StraightSlope));
  return _mm256_blendv_ps(curve, straight, _mm256_cmp_ps(y, _mm256_set1_ps(StraightEnd), _CMP_LE_OQ));
}

__attribute__((target("avx2,fma"))) size_t ConvertAvx2(const TRgbKernelTables& tables, TColor32* pixels,
                                                       size_t count) {
  const __m256i byte = _mm256_set1_epi32(255), alpha = _mm256_set1_epi32(int(0xFF000000u));
  __m256 m[3][3], base[3];
  for (int k = 0; k < 3; ++k) {
    base[k] = _mm256_set1_ps(tables.Base[k]);
    for (int c = 0; c < 3; ++c) m[k][c] = _mm256_set1_ps(tables.Matrix[k][c]);
  }
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    auto* at = reinterpret_cast<__m256i*>(pixels + i);
    const __m256i px = _mm256_loadu_si256(at);
    const __m256 r =
        _mm256_i32gather_ps(tables.Linear[0], _mm256_and_si256(_mm256_srli_epi32(px, 16), byte), 4);
    const __m256 g =
        _mm256_i32gather_ps(tables.Linear[1], _mm256_and_si256(_mm256_srli_epi32(px, 8), byte), 4);
    const __m256 b = _mm256_i32gather_ps(tables.Linear[2], _mm256_and_si256(px, byte), 4);
    __m256i out = _mm256_and_si256(px, alpha);
    for (int k = 0; k < 3; ++k) {
      const __m256 y =
          _mm256_fmadd_ps(m[k][0], r, _mm256_fmadd_ps(m[k][1], g, _mm256_fmadd_ps(m[k][2], b, base[k])));
      out = _mm256_or_si256(out, _mm256_slli_epi32(_mm256_cvtps_epi32(Encode8(y)), 16 - 8 * k));
    }
    _mm256_storeu_si256(at, out);
  }
  return i;
}

// rsqrt14 twice gives the fourth root to about 1e-4, a few hundredths of a level.
__attribute__((target("avx512f"))) inline __m512 Encode16(__m512 y) {
  y = _mm512_min_ps(_mm512_max_ps(y, _mm512_set1_ps(Tiny)), _mm512_set1_ps(1.0f));
  const __m512 t = _mm512_rsqrt14_ps(_mm512_rsqrt14_ps(y));
  __m512 curve = _mm512_set1_ps(Curve[Degree]);
  for (int k = Degree - 1; k >= 0; --k) curve = _mm512_fmadd_ps(curve, t, _mm512_set1_ps(Curve[k]));
  const __m512 straight = _mm512_mul_ps(y, _mm512_set1_ps(StraightSlope));
  return _mm512_mask_blend_ps(_mm512_cmp_ps_mask(y, _mm512_set1_ps(StraightEnd), _CMP_LE_OQ), curve,
                              straight);
}

// The matrix and the curve, for 16 pixels whose linear channels are r, g and b; alpha from px.
struct TMatrix16 {
  __m512 M[3][3], Base[3];
};

__attribute__((target("avx512f"))) TMatrix16 LoadMatrix16(const float (&matrix)[3][3],
                                                          const float (&base)[3]) {
  TMatrix16 m;
  for (int k = 0; k < 3; ++k) {
    m.Base[k] = _mm512_set1_ps(base[k]);
    for (int c = 0; c < 3; ++c) m.M[k][c] = _mm512_set1_ps(matrix[k][c]);
  }
  return m;
}

__attribute__((target("avx512f"))) inline __m512i Finish16(const TMatrix16& m, __m512i px, __m512 r, __m512 g,
                                                           __m512 b) {
  __m512i channel[3];
  for (int k = 0; k < 3; ++k) {
    const __m512 y = _mm512_fmadd_ps(m.M[k][0], r,
                                     _mm512_fmadd_ps(m.M[k][1], g, _mm512_fmadd_ps(m.M[k][2], b, m.Base[k])));
    channel[k] = _mm512_cvtps_epi32(Encode16(y));
  }
  // alpha of px | red << 16 | green << 8 | blue, in two three-way bit operations
  const __m512i rg = _mm512_or_si512(_mm512_slli_epi32(channel[0], 16), _mm512_slli_epi32(channel[1], 8));
  return _mm512_ternarylogic_epi32(_mm512_set1_epi32(int(0xFF000000u)), px, _mm512_or_si512(rg, channel[2]),
                                   0xEA);
}

__attribute__((target("avx512f"))) size_t ConvertAvx512(const TRgbKernelTables& tables, TColor32* pixels,
                                                        size_t count) {
  const __m512i byte = _mm512_set1_epi32(255);
  const TMatrix16 m = LoadMatrix16(tables.Matrix, tables.Base);
  size_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m512i px = _mm512_loadu_si512(pixels + i);
    const __m512 r =
        _mm512_i32gather_ps(_mm512_and_si512(_mm512_srli_epi32(px, 16), byte), tables.Linear[0], 4);
    const __m512 g =
        _mm512_i32gather_ps(_mm512_and_si512(_mm512_srli_epi32(px, 8), byte), tables.Linear[1], 4);
    const __m512 b = _mm512_i32gather_ps(_mm512_and_si512(px, byte), tables.Linear[2], 4);
    _mm512_storeu_si512(pixels + i, Finish16(m, px, r, g, b));
  }
  return i;
}

// A 256-byte table as four registers, looked up for all 64 bytes of `index` (`high`: their top bits).
struct TByteTable {
  __m512i Part[4];
};

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) TByteTable LoadByteTable(const uint8_t* table) {
  TByteTable t;
  for (int i = 0; i < 4; ++i) t.Part[i] = _mm512_load_si512(table + 64 * i);
  return t;
}

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline __m512i Look(const TByteTable& t, __m512i index,
                                                                           __mmask64 high) {
  const __m512i low = _mm512_permutex2var_epi8(t.Part[0], index, t.Part[1]);
  return _mm512_mask_blend_epi8(high, low, _mm512_permutex2var_epi8(t.Part[2], index, t.Part[3]));
}

// Where the low and high bytes of channel byte `at` of each pixel go to make it a 32-bit number.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) __m512i Gathering(int at) {
  alignas(64) uint8_t index[64] = {};
  for (int i = 0; i < 64; i += 4) index[i] = uint8_t(i + at), index[i + 1] = uint8_t(64 + i + at);
  return _mm512_load_si512(index);
}

// The 16-bit curve value of a channel, as a float, from the low and high bytes its table gave for
// every byte of the pixels: one permute of the two, the upper half of each number left zero.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline __m512 Curve16(__m512i low, __m512i high,
                                                                             __m512i gathering) {
  constexpr __mmask64 lowHalves = 0x3333333333333333u;
  return _mm512_cvtepi32_ps(_mm512_maskz_permutex2var_epi8(lowHalves, low, gathering, high));
}

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) size_t ConvertAvx512Vbmi(
    const TRgbKernelTables& tables, TColor32* pixels, size_t count) {
  if (!tables.Rising16) return 0;
  const TMatrix16 m = LoadMatrix16(tables.Matrix16, tables.Base);
  const TByteTable low[3] = {LoadByteTable(tables.Low[0]), LoadByteTable(tables.Low[1]),
                             LoadByteTable(tables.Low[2])};
  const TByteTable high[3] = {LoadByteTable(tables.High[0]), LoadByteTable(tables.High[1]),
                              LoadByteTable(tables.High[2])};
  const __m512i red = Gathering(2), green = Gathering(1), blue = Gathering(0);
  size_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m512i px = _mm512_loadu_si512(pixels + i);
    const __mmask64 top = _mm512_movepi8_mask(px);
    // Most profiles have one curve for all three channels: then one lookup serves them all.
    const __m512i low0 = Look(low[0], px, top), high0 = Look(high[0], px, top);
    const __m512 r = Curve16(low0, high0, red);
    const __m512 g = tables.SameCurves ? Curve16(low0, high0, green)
                                       : Curve16(Look(low[1], px, top), Look(high[1], px, top), green);
    const __m512 b = tables.SameCurves ? Curve16(low0, high0, blue)
                                       : Curve16(Look(low[2], px, top), Look(high[2], px, top), blue);
    _mm512_storeu_si512(pixels + i, Finish16(m, px, r, g, b));
  }
  return i;
}

#endif

}  // namespace

void FillRising16(TRgbKernelTables& tables) {
  tables.Rising16 = tables.SameCurves = true;
  for (int c = 0; c < 3; ++c) {
    const float end = tables.Linear[c][255];
    for (int v = 0; v < 256; ++v) {
      const float x = tables.Linear[c][v];
      tables.Rising16 = tables.Rising16 && end > 0 && x >= 0 && x <= end;
      const auto q = uint16_t(end > 0 ? std::lround(std::clamp(x / end, 0.0f, 1.0f) * 65535) : 0);
      tables.Low[c][v] = uint8_t(q), tables.High[c][v] = uint8_t(q >> 8);
    }
    tables.SameCurves = tables.SameCurves && std::equal(tables.Low[c], tables.Low[c] + 256, tables.Low[0]) &&
                        std::equal(tables.High[c], tables.High[c] + 256, tables.High[0]);
    for (int k = 0; k < 3; ++k) tables.Matrix16[k][c] = tables.Matrix[k][c] * end / 65535;
  }
}

bool KernelAvailable(TColourKernel kernel) {
  switch (kernel) {
    case TColourKernel::ckPortable:
      return true;
#ifdef KV_X86_KERNELS
    case TColourKernel::ckAvx2:
      return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    case TColourKernel::ckAvx512:
      return __builtin_cpu_supports("avx512f");
    case TColourKernel::ckAvx512Vbmi:
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
             __builtin_cpu_supports("avx512vbmi");
#endif
    default:
      return false;
  }
}

size_t ConvertWithKernel(TColourKernel kernel, const TRgbKernelTables& tables, TColor32* pixels,
                         size_t count) {
#ifdef KV_X86_KERNELS
  if (kernel == TColourKernel::ckAvx2) return ConvertAvx2(tables, pixels, count);
  if (kernel == TColourKernel::ckAvx512) return ConvertAvx512(tables, pixels, count);
  if (kernel == TColourKernel::ckAvx512Vbmi) return ConvertAvx512Vbmi(tables, pixels, count);
#endif
  (void)kernel, (void)tables, (void)pixels, (void)count;
  return 0;
}
