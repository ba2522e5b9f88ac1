#include "bitmap/Resample.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <numbers>
#include <random>

#include "bitmap/ResamplePasses.h"
#include "bitmap/ScaledViewCache.h"
#include "bitmap/StretchFilters.h"

// The replacement allocation functions below pair malloc with free on purpose.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

// The largest single allocation while MeasureAllocations is set: the draw at scale 256 must
// never allocate anything of the size of the scaled image's rows.
namespace {
std::atomic<bool> MeasureAllocations{false};
std::atomic<size_t> LargestAllocation{0};
}  // namespace

void* operator new(size_t size) {
  if (MeasureAllocations && size > LargestAllocation) LargestAllocation = size;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {
constexpr TStretchFilter AllFilters[] = {sfNearest, sfLinear, sfSpline, sfLanczos, sfMitchell};

TBitmap32 MakeBitmap(int w, int h, const std::function<TColor32(int, int)>& pixel) {
  TBitmap32 b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.Pixel(x, y) = pixel(x, y);
  return b;
}

// Valid premultiplied pixels with every alpha.
TBitmap32 RandomBitmap(int w, int h, unsigned seed, bool opaque = false) {
  std::mt19937 rng(seed);
  TBitmap32 b(w, h);
  for (TColor32* p = b.Bits(); p != b.Bits() + size_t(w) * size_t(h); ++p) {
    const uint32_t bits = rng();
    *p = PremultipliedColor32(opaque ? 255 : uint8_t(bits >> 24), uint8_t(bits >> 16), uint8_t(bits >> 8), uint8_t(bits));
  }
  return b;
}

int Channel(TColor32 c, int k) { return int((c >> (8 * k)) & 0xFF); }

// The kernel's weights for destination pixel i of an axis, evaluated from the formulas of the
// filters directly in double precision: centre u, kernel widened by the reduction factor,
// taps outside the image dropped and the rest renormalised.
std::vector<double> FormulaWeights(TStretchFilter f, int srcLen, int dstLen, int i) {
  std::vector<double> w(size_t(srcLen), 0.0);
  const double ratio = double(srcLen) / dstLen, stretch = std::max(1.0, ratio);
  const double u = (i + 0.5) * ratio - 0.5;
  auto kernel = [f](double x) {
    x = std::fabs(x);
    switch (f) {
      case sfLinear: return x < 1 ? 1 - x : 0.0;
      case sfSpline: return x < 1 ? 0.5 * x * x * x - x * x + 2.0 / 3 : x < 2 ? std::pow(2 - x, 3) / 6 : 0.0;
      case sfLanczos: {
        if (x >= 3) return 0.0;
        auto sinc = [](double v) { return v == 0 ? 1.0 : std::sin(std::numbers::pi * v) / (std::numbers::pi * v); };
        return sinc(x) * sinc(x / 3);
      }
      case sfMitchell:
        return x < 1   ? (7 * x * x * x - 12 * x * x + 16.0 / 3) / 6
               : x < 2 ? (-7.0 / 3 * x * x * x + 12 * x * x - 20 * x + 32.0 / 3) / 6
                       : 0.0;
      default: return 0.0;
    }
  };
  if (f == sfNearest || srcLen == dstLen) {
    const int j = srcLen == dstLen ? i : std::min(srcLen - 1, int(std::floor((i + 0.5) * ratio)));
    w[size_t(j)] = 1.0;
    return w;
  }
  double sum = 0;
  for (int j = 0; j < srcLen; ++j) sum += w[size_t(j)] = kernel((j - u) / stretch);
  for (double& v : w) v /= sum;
  return w;
}

// The scaled image computed straight from the formulas (separable, double precision).
std::vector<double> FormulaImage(TStretchFilter f, const TBitmap32& src, int dstW, int dstH, int channel) {
  std::vector<double> out(size_t(dstW) * size_t(dstH));
  for (int j = 0; j < dstH; ++j) {
    const std::vector<double> wy = FormulaWeights(f, src.Height(), dstH, j);
    for (int i = 0; i < dstW; ++i) {
      const std::vector<double> wx = FormulaWeights(f, src.Width(), dstW, i);
      double v = 0;
      for (int y = 0; y < src.Height(); ++y)
        if (wy[size_t(y)] != 0)
          for (int x = 0; x < src.Width(); ++x) v += wy[size_t(y)] * wx[size_t(x)] * Channel(src.Pixel(x, y), channel);
      out[size_t(j) * size_t(dstW) + size_t(i)] = v;
    }
  }
  return out;
}

TBitmap32 Resampled(const TBitmap32& src, TStretchFilter f, int imgW, int imgH) {
  TBitmap32 out(imgW, imgH);
  out.Clear(0xDEADBEEF);
  EXPECT_TRUE(ResampleRegion(src, imgW, imgH, f, 0, 0, imgW, imgH, out, 0, 0));
  return out;
}
}  // namespace

TEST(StretchFilters, KernelsHaveTheirKnownValuesAndSupports) {
  struct TCase {
    TStretchFilter Filter;
    double X, Value;
  };
  const double lanczosHalf = (2 / std::numbers::pi) * (std::sin(std::numbers::pi / 6) / (std::numbers::pi / 6));
  const TCase cases[] = {
      {sfNearest, 0.49, 1},   {sfNearest, 0.5, 0},      {sfLinear, 0, 1},         {sfLinear, -0.25, 0.75},
      {sfLinear, 1, 0},       {sfSpline, 0, 2.0 / 3},   {sfSpline, 1, 1.0 / 6},   {sfSpline, -1.5, 1.0 / 48},
      {sfSpline, 2, 0},       {sfLanczos, 0, 1},        {sfLanczos, 1, 0},        {sfLanczos, 0.5, lanczosHalf},
      {sfLanczos, 3, 0},      {sfMitchell, 0, 8.0 / 9}, {sfMitchell, 1, 1.0 / 18}, {sfMitchell, -2, 0},
      {sfMitchell, 2.5, 0},
  };
  for (const TCase& c : cases)
    EXPECT_NEAR(StretchFilterKernel(c.Filter, c.X), c.Value, 1e-12) << int(c.Filter) << " at " << c.X;
  const double supports[] = {0.5, 1, 2, 3, 2};
  for (TStretchFilter f : AllFilters) EXPECT_EQ(StretchFilterSupport(f), supports[f]);
  EXPECT_EQ(StretchFilterFromInt(7, sfLinear), sfLinear);
  EXPECT_EQ(StretchFilterFromInt(-1, sfNearest), sfNearest);
  EXPECT_EQ(StretchFilterFromInt(3, sfNearest), sfLanczos);
}

TEST(StretchFilters, EveryWindowSumsToOneAndStaysInsideItsSourceRange) {
  const int lengths[][2] = {{1, 1},   {1, 7},    {2, 1},     {3, 8},     {8, 3},    {100, 100},
                            {100, 37}, {37, 100}, {6000, 1920}, {13, 3328}, {4000, 4}, {1000, 999}};
  for (TStretchFilter f : AllFilters) {
    for (const auto& len : lengths) {
      const int src = len[0], dst = len[1];
      TAxisWeights w;
      BuildAxisWeights(f, src, dst, 0, dst, w);
      ASSERT_EQ(w.Count, dst);
      EXPECT_EQ(w.Taps, AxisTaps(f, src, dst));
      EXPECT_EQ(w.Identity, src == dst);
      EXPECT_GE(w.SrcFirst, 0);
      EXPECT_LE(w.SrcFirst + w.SrcCount, src);
      for (int i = 0; i < dst; ++i) {
        int32_t sum = 0;
        for (int t = 0; t < w.Taps; ++t) sum += w.Weights[size_t(i) * size_t(w.Taps) + size_t(t)];
        EXPECT_EQ(sum, WeightOne) << "filter " << int(f) << " " << src << "->" << dst << " pixel " << i;
        EXPECT_GE(w.Start[size_t(i)], 0);
        EXPECT_LE(w.Start[size_t(i)] + w.Taps, w.SrcCount);
      }
    }
  }
}

TEST(StretchFilters, WeightsMatchTheKernelFormulas) {
  // Enlarging and reducing, including the renormalised windows at both edges.
  const int lengths[][2] = {{8, 20}, {40, 12}, {5, 16}, {30, 7}};
  for (TStretchFilter f : AllFilters) {
    for (const auto& len : lengths) {
      TAxisWeights w;
      BuildAxisWeights(f, len[0], len[1], 0, len[1], w);
      for (int i = 0; i < len[1]; ++i) {
        const std::vector<double> expected = FormulaWeights(f, len[0], len[1], i);
        for (int j = 0; j < len[0]; ++j) {
          const int t = j - w.SrcFirst - w.Start[size_t(i)];
          const double got = t >= 0 && t < w.Taps ? w.Weights[size_t(i) * size_t(w.Taps) + size_t(t)] : 0;
          EXPECT_NEAR(got / WeightOne, expected[size_t(j)], 1.0 / WeightOne)
              << "filter " << int(f) << " " << len[0] << "->" << len[1] << " dst " << i << " src " << j;
        }
      }
    }
  }
}

TEST(Resample, ImpulseResampledAlongOneAxisIsTheKernel) {
  // A single bright pixel in a dark row spreads into exactly the kernel's weights.
  for (TStretchFilter f : AllFilters) {
    for (const auto& len : {std::pair{9, 23}, std::pair{45, 14}}) {
      const int n = len.first, m = len.second, spike = n / 2;
      const TBitmap32 src = MakeBitmap(n, 1, [&](int x, int) { return Color32(255, x == spike ? 255 : 0, 0, 0); });
      const TBitmap32 out = Resampled(src, f, m, 1);
      for (int i = 0; i < m; ++i) {
        const double expected = std::clamp(255.0 * FormulaWeights(f, n, m, i)[size_t(spike)], 0.0, 255.0);
        EXPECT_NEAR(RedOf(out.Pixel(i, 0)), expected, 1.0) << "filter " << int(f) << " " << n << "->" << m << " at " << i;
        EXPECT_EQ(AlphaOf(out.Pixel(i, 0)), 255);
      }
    }
  }
}

TEST(Resample, TwoDimensionalResultsMatchTheFormulasInEveryPassOrder) {
  // Mid-range values keep the negative lobes from clipping, so the only differences are the
  // roundings of the fixed-point passes. The sizes cover reducing, enlarging (the linear fast
  // path among them) and one axis each way.
  std::mt19937 rng(5);
  const TBitmap32 src = MakeBitmap(11, 9, [&](int, int) {
    return Color32(255, uint8_t(40 + rng() % 176), uint8_t(40 + rng() % 176), uint8_t(40 + rng() % 176));
  });
  const int sizes[][2] = {{4, 3}, {29, 25}, {30, 4}, {5, 20}, {11, 17}, {23, 9}};
  for (TStretchFilter f : AllFilters) {
    for (const auto& size : sizes) {
      const TBitmap32 out = Resampled(src, f, size[0], size[1]);
      for (int channel = 0; channel < 3; ++channel) {
        const std::vector<double> expected = FormulaImage(f, src, size[0], size[1], channel);
        for (int y = 0; y < size[1]; ++y)
          for (int x = 0; x < size[0]; ++x)
            ASSERT_NEAR(Channel(out.Pixel(x, y), channel), expected[size_t(y) * size_t(size[0]) + size_t(x)], 1.6)
                << "filter " << int(f) << " to " << size[0] << "x" << size[1] << " at " << x << "," << y;
      }
    }
  }
}

TEST(Resample, ScaleOneCopiesPixelsUnfilteredAtWholePixelOffsets) {
  const TBitmap32 src = RandomBitmap(37, 23, 1);
  struct TCase {
    double OffsetX, OffsetY;
    int Left, Top;
  };
  // Offsets round to the nearest whole pixel, halves to even.
  const TCase cases[] = {{0, 0, 0, 0}, {10.4, 3.6, 10, 4}, {10.5, 2.5, 10, 2}, {11.5, -0.5, 12, 0}, {-7.2, -3, -7, -3}};
  for (TStretchFilter f : AllFilters) {
    for (const TCase& c : cases) {
      TBitmap32 dst(60, 40);
      dst.Clear(0x01020304);
      ASSERT_TRUE(DrawScaled(src, 1.0, c.OffsetX, c.OffsetY, f, dst, {0, 0, 60, 40}));
      for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x) {
          const int sx = x - c.Left, sy = y - c.Top;
          const bool inside = sx >= 0 && sy >= 0 && sx < 37 && sy < 23;
          ASSERT_EQ(dst.Pixel(x, y), inside ? src.Pixel(sx, sy) : 0x01020304u)
              << "filter " << int(f) << " offset " << c.OffsetX << "," << c.OffsetY << " at " << x << "," << y;
        }
    }
  }
}

TEST(Resample, ConstantImageStaysConstantUnderEveryFilterAndScale) {
  for (const TColor32 colour : {Color32(255, 10, 200, 99), PremultipliedColor32(128, 200, 100, 50), TColor32(0)}) {
    const TBitmap32 src = MakeBitmap(53, 31, [&](int, int) { return colour; });
    for (TStretchFilter f : AllFilters) {
      for (double scale : {0.013, 0.1, 0.37, 0.5, 0.999, 1.7, 2.0, 4.0, 13.3, 256.0}) {
        TBitmap32 dst(300, 200);
        dst.Clear(0x11223344);
        ASSERT_TRUE(DrawScaled(src, scale, 0, 0, f, dst, {0, 0, 300, 200}));
        const int64_t w = std::min<int64_t>(300, ScaledLength(53, scale)), h = std::min<int64_t>(200, ScaledLength(31, scale));
        for (int y = 0; y < 200; ++y)
          for (int x = 0; x < 300; ++x)
            ASSERT_EQ(dst.Pixel(x, y), x < w && y < h ? colour : 0x11223344u)
                << "filter " << int(f) << " scale " << scale << " at " << x << "," << y;
      }
    }
  }
}

TEST(Resample, TransparentNeighboursLeaveNoColourFringe) {
  // Opaque red beside fully transparent pixels (straight colour green before premultiplying,
  // as a decoder may hand it over); a checkerboard makes the negative lobes ring.
  const TBitmap32 halves = MakeBitmap(20, 12, [](int x, int) {
    return x < 10 ? PremultipliedColor32(255, 255, 0, 0) : PremultipliedColor32(0, 0, 255, 0);
  });
  const TBitmap32 checker = MakeBitmap(16, 16, [](int x, int y) {
    return (x + y) % 2 ? PremultipliedColor32(255, 255, 255, 255) : TColor32(0);
  });
  for (TStretchFilter f : AllFilters) {
    for (double scale : {0.3, 0.7, 1.6, 3.0, 7.5}) {
      TBitmap32 dst(130, 130);
      ASSERT_TRUE(DrawScaled(halves, scale, 0, 0, f, dst, {0, 0, 130, 130}));
      for (int y = 0; y < int(ScaledLength(12, scale)); ++y)
        for (int x = 0; x < int(ScaledLength(20, scale)); ++x) {
          uint8_t a, r, g, b;
          UnpremultiplyColor32(dst.Pixel(x, y), a, r, g, b);
          if (a == 0) continue;
          // Red and alpha go through identical arithmetic, so the straight colour is exact.
          EXPECT_EQ(r, 255) << "filter " << int(f) << " scale " << scale << " at " << x << " alpha " << int(a);
          EXPECT_EQ(g, 0);
          EXPECT_EQ(b, 0);
        }
      ASSERT_TRUE(DrawScaled(checker, scale, 0, 0, f, dst, {0, 0, 130, 130}));
      for (int y = 0; y < 130; ++y)
        for (int x = 0; x < 130; ++x) {
          const TColor32 c = dst.Pixel(x, y);
          ASSERT_LE(RedOf(c), AlphaOf(c)) << "premultiplied colour above alpha, filter " << int(f);
          ASSERT_LE(GreenOf(c), AlphaOf(c));
          ASSERT_LE(BlueOf(c), AlphaOf(c));
        }
    }
  }
}

TEST(Resample, DrawingAClipRectangleEqualsTheSameRegionOfAFullDraw) {
  const TBitmap32 src = RandomBitmap(97, 61, 7);
  struct TCase {
    double Scale, OffsetX, OffsetY;
  };
  const TCase cases[] = {{0.31, 3.7, -2.2}, {1.0, -20, 5}, {2.6, -40.5, -17.5}, {7.0, -300, -101}, {0.9, 10, 10}};
  std::mt19937 rng(3);
  for (TStretchFilter f : AllFilters) {
    for (const TCase& c : cases) {
      TBitmap32 full(400, 300);
      full.Clear(0);
      ASSERT_TRUE(DrawScaled(src, c.Scale, c.OffsetX, c.OffsetY, f, full, {0, 0, 400, 300}));
      for (int k = 0; k < 6; ++k) {
        TBitmap32 part(400, 300);
        part.Clear(0xFEEDFACE);
        const int l = int(rng() % 400), t = int(rng() % 300);
        const TPixelRect clip{l, t, l + 1 + int(rng() % 150), t + 1 + int(rng() % 120)};
        ASSERT_TRUE(DrawScaled(src, c.Scale, c.OffsetX, c.OffsetY, f, part, clip));
        for (int y = 0; y < 300; ++y)
          for (int x = 0; x < 400; ++x) {
            const bool in = x >= clip.Left && x < clip.Right && y >= clip.Top && y < clip.Bottom;
            const bool image = full.Pixel(x, y) != 0 || part.Pixel(x, y) != 0xFEEDFACE;
            if (in && image) {
              ASSERT_EQ(part.Pixel(x, y), full.Pixel(x, y)) << "filter " << int(f) << " scale " << c.Scale << " at " << x << "," << y;
            } else if (!in) {
              ASSERT_EQ(part.Pixel(x, y), 0xFEEDFACEu) << "drawn outside the clip at " << x << "," << y;
            }
          }
      }
    }
  }
}

TEST(Resample, RegionsOfOneAxisUpAndTheOtherDownAgreeWithTheWholeImage) {
  // Unequal axis ratios pick the pass order by cost; large regions use both threads, small
  // ones one: the pixels must not depend on either.
  const TBitmap32 src = RandomBitmap(300, 500, 11);
  for (TStretchFilter f : {sfLinear, sfLanczos, sfMitchell}) {
    for (const auto& size : {std::pair{900, 160}, std::pair{120, 1400}}) {
      const TBitmap32 whole = Resampled(src, f, size.first, size.second);
      TBitmap32 part(37, 41);
      const int64_t x0 = size.first / 3, y0 = size.second / 2;
      ASSERT_TRUE(ResampleRegion(src, size.first, size.second, f, x0, y0, 37, 41, part, 0, 0));
      for (int y = 0; y < 41; ++y)
        for (int x = 0; x < 37; ++x) ASSERT_EQ(part.Pixel(x, y), whole.Pixel(int(x0) + x, int(y0) + y));
    }
  }
}

TEST(Resample, TwoThreadsDrawTheSamePixelsAsOne) {
  // Large draws split their rows between threads; each band must be what one thread draws, in
  // either pass order and when blending.
  const TBitmap32 src = RandomBitmap(1200, 800, 13);
  TResampleScratch single;
  single.LimitThreads(1);
  for (TStretchFilter f : AllFilters) {
    for (const auto& size : {std::pair{401, 263}, std::pair{1500, 1000}, std::pair{250, 1100}}) {
      for (TDrawMode mode : {dmOpaque, dmBlend}) {
        TBitmap32 one(size.first, size.second), two(size.first, size.second);
        one.Clear(Color32(255, 9, 99, 199));
        two.Clear(Color32(255, 9, 99, 199));
        ASSERT_TRUE(ResampleRegion(src, size.first, size.second, f, 0, 0, size.first, size.second, one, 0, 0, mode,
                                   &single));
        ASSERT_TRUE(ResampleRegion(src, size.first, size.second, f, 0, 0, size.first, size.second, two, 0, 0, mode));
        ASSERT_EQ(std::memcmp(one.Bits(), two.Bits(), one.Stride() * size_t(size.second)), 0)
            << "filter " << int(f) << " to " << size.first << "x" << size.second << " mode " << int(mode);
      }
    }
  }
}

TEST(ResamplePasses, VectorPassesGiveTheExactSumsOfEveryWindowAndWidth) {
  // The vector passes take taps in pairs and bytes in blocks: odd windows, ragged widths and
  // negative weights must still give each byte's own rounded, clamped sum.
  std::mt19937 rng(12);
  auto rounded = [](int64_t sum) { return int(std::clamp<int64_t>((sum + WeightOne / 2) >> WeightBits, 0, 255)); };
  for (int taps : {1, 2, 3, 8, 9, 17}) {
    for (int bytes : {4, 60, 100, 1028}) {
      std::vector<std::vector<uint8_t>> data(static_cast<size_t>(taps), std::vector<uint8_t>(static_cast<size_t>(bytes)));
      std::vector<const uint8_t*> rows;
      std::vector<int16_t> w;
      for (auto& row : data) {
        for (uint8_t& b : row) b = uint8_t(rng());
        rows.push_back(row.data());
        w.push_back(int16_t(int(rng() % 12000) - 3000));
      }
      std::vector<uint8_t> out(static_cast<size_t>(bytes));
      VerticalPass(rows.data(), w.data(), taps, bytes, out.data());
      for (size_t x = 0; x < size_t(bytes); ++x) {
        int64_t sum = 0;
        for (size_t t = 0; t < size_t(taps); ++t) sum += w[t] * data[t][x];
        ASSERT_EQ(out[x], rounded(sum)) << taps << " taps, byte " << x << " of " << bytes;
      }
    }
  }
  // Real windows: reductions (long ones) and enlargements, with the negative lobes of Lanczos.
  for (TStretchFilter f : {sfLinear, sfSpline, sfLanczos}) {
    for (const auto& len : {std::pair{6000, 1454}, std::pair{1001, 97}, std::pair{53, 7}, std::pair{40, 90}}) {
      TAxisWeights h;
      BuildAxisWeights(f, len.first, len.second, 0, len.second, h);
      std::vector<uint8_t> in(size_t(h.SrcCount) * 4), out(size_t(h.Count) * 4);
      for (uint8_t& b : in) b = uint8_t(rng());
      HorizontalPass(in.data(), h, out.data());
      for (size_t i = 0; i < size_t(h.Count); ++i)
        for (size_t c = 0; c < 4; ++c) {
          int64_t sum = 0;
          for (size_t t = 0; t < size_t(h.Taps); ++t)
            sum += h.Weights[i * size_t(h.Taps) + t] * in[(size_t(h.Start[i]) + t) * 4 + c];
          ASSERT_EQ(out[i * 4 + c], rounded(sum)) << "filter " << int(f) << " " << len.first << "->" << len.second;
        }
    }
  }
}

TEST(Resample, ScaleTwoHundredFiftySixComputesOnlyTheViewport) {
  const TBitmap32 src = RandomBitmap(4000, 3000, 2, true);
  TBitmap32 dst(1920, 1080);
  TResampleScratch scratch;
  for (TStretchFilter f : AllFilters) {
    LargestAllocation = 0;
    MeasureAllocations = true;
    const bool ok = DrawScaled(src, 256.0, -500000.3, -380000.7, f, dst, {0, 0, 1920, 1080}, dmOpaque, &scratch);
    MeasureAllocations = false;
    ASSERT_TRUE(ok);
    // A row of the scaled image is 1,024,000 pixels; nothing near that size may be allocated.
    EXPECT_LT(LargestAllocation.load(), size_t(256) * 1024) << "filter " << int(f);
  }
  // The visible part is 7.5 x 4.2 source pixels enlarged: pixel (0, 0) is source (1953, 1484).
  TBitmap32 one(1, 1);
  ASSERT_TRUE(DrawScaled(src, 256.0, -500000.3, -380000.7, sfNearest, one, {0, 0, 1, 1}));
  EXPECT_EQ(one.Pixel(0, 0), src.Pixel(500000 / 256, 380001 / 256));
}

TEST(Resample, ExtremeReductionsTileTheirWeightsWithoutChangingThePixels) {
  // 1,000,000 x 1 at 0.001: a thousand destination pixels with 6000 Lanczos taps each.
  std::mt19937 rng(9);
  TBitmap32 src(1000000, 1);
  for (int x = 0; x < src.Width(); ++x) src.Pixel(x, 0) = Color32(255, uint8_t(rng()), 0, 0);
  const TBitmap32 whole = Resampled(src, sfLanczos, 1000, 1);
  TBitmap32 half(500, 1);
  ASSERT_TRUE(ResampleRegion(src, 1000, 1, sfLanczos, 500, 0, 500, 1, half, 0, 0));
  for (int x = 0; x < 500; ++x) ASSERT_EQ(half.Pixel(x, 0), whole.Pixel(500 + x, 0));
  // Averages of random bytes over 1000 pixels sit near the middle.
  for (int x = 0; x < 1000; ++x) EXPECT_NEAR(RedOf(whole.Pixel(x, 0)), 127.5, 20);
}

TEST(Resample, BlendModeCompositesOverTheDestination) {
  const TBitmap32 src = MakeBitmap(3, 1, [](int x, int) {
    const TColor32 px[] = {Color32(255, 10, 20, 30), PremultipliedColor32(128, 255, 0, 0), 0};
    return px[x];
  });
  TBitmap32 dst(3, 1);
  dst.Clear(Color32(255, 255, 255, 255));
  ASSERT_TRUE(DrawScaled(src, 1.0, 0, 0, sfLinear, dst, {0, 0, 3, 1}, dmBlend));
  EXPECT_EQ(dst.Pixel(0, 0), Color32(255, 10, 20, 30));
  EXPECT_EQ(dst.Pixel(1, 0), Color32(255, 255, 127, 127));
  EXPECT_EQ(dst.Pixel(2, 0), Color32(255, 255, 255, 255));
}

TEST(Resample, RefusesBadArgumentsAndDrawsNothingForEmptyOrOffscreenImages) {
  TBitmap32 src = RandomBitmap(10, 10, 4);
  TBitmap32 dst(20, 20);
  dst.Clear(7);
  EXPECT_FALSE(DrawScaled(src, 1.0, 0, 0, sfLinear, src, {0, 0, 10, 10}));
  EXPECT_TRUE(DrawScaled(TBitmap32(), 2.0, 0, 0, sfLinear, dst, {0, 0, 20, 20}));
  EXPECT_TRUE(DrawScaled(src, 2.0, 500, 0, sfLinear, dst, {0, 0, 20, 20}));
  EXPECT_TRUE(DrawScaled(src, 2.0, 0, 0, sfLinear, dst, {30, 30, 10, 10}));
  EXPECT_TRUE(DrawScaled(src, std::nan(""), std::nan(""), 1e300, sfLanczos, dst, {0, 0, 20, 20}));
  EXPECT_TRUE(DrawScaled(src, 1e300, -1e300, 0, sfLanczos, dst, {-5, -5, 1 << 30, 1 << 30}));
  EXPECT_TRUE(DrawScaled(src, 0.0001, 0, 0, sfMitchell, dst, {0, 0, 20, 20}));  // 0.001: 0 x 0 pixels
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(dst.Pixel(x, y), 7u);
  EXPECT_FALSE(DrawScaled(src, 1.0, 0, 0, TStretchFilter(9), dst, {0, 0, 20, 20}));
  EXPECT_FALSE(ResampleRegion(src, 20, 20, sfLinear, 15, 0, 10, 10, dst, 0, 0));   // region leaves the image
  EXPECT_FALSE(ResampleRegion(src, 20, 20, sfLinear, 0, 0, 10, 10, dst, 15, 0));   // target leaves dst
  EXPECT_FALSE(ResampleRegion(src, 0, 20, sfLinear, 0, 0, 0, 10, dst, 0, 0));
  EXPECT_EQ(ScaledLength(301, 0.5), 150);  // 150.5 to even
  EXPECT_EQ(ScaledLength(303, 0.5), 152);  // 151.5 to even
  EXPECT_EQ(ScaledLength(0, 3.0), 0);
  EXPECT_EQ(ScaledLength(7, -1.0), 0);     // 0.007 rounds to nothing
}

TEST(ScaledViewCache, ScrollingCopiesWhatItHasAndEqualsDirectDrawing) {
  const TBitmap32 src = RandomBitmap(300, 200, 8);
  TScaledViewCache cache(32);
  TBitmap32 cached(160, 120), direct(160, 120);
  struct TStep {
    double Scale, X, Y;
    bool ExpectResample;
  };
  const TStep steps[] = {
      {2.3, -100, -80, true},   // first draw
      {2.3, -110, -85, false},  // within the margin: copies only
      {2.3, -150, -85, true},   // beyond it on the right: a strip
      {2.3, -150, -85, false},
      {1.7, -150, -85, true},   // new scale: everything
      {1.7, 20.4, 10.6, true},  // image moved into the view, its top-left corner now visible
  };
  for (TStretchFilter f : {sfNearest, sfLanczos}) {
    cache.Invalidate();
    for (const TStep& s : steps) {
      cached.Clear(0x55555555);
      direct.Clear(0x55555555);
      ASSERT_TRUE(cache.Draw(src, s.Scale, s.X, s.Y, f, cached, {0, 0, 160, 120}));
      ASSERT_TRUE(DrawScaled(src, s.Scale, s.X, s.Y, f, direct, {0, 0, 160, 120}));
      EXPECT_EQ(cache.LastResampledPixels() > 0, s.ExpectResample) << "step at " << s.X << "," << s.Y;
      if (s.X == -150 && s.Scale == 2.3 && s.ExpectResample) {
        EXPECT_LE(cache.LastResampledPixels(), int64_t(40 + 32) * (120 + 64)) << "only the new strip";
      }
      for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x) ASSERT_EQ(cached.Pixel(x, y), direct.Pixel(x, y)) << x << "," << y;
    }
  }
  // A changed bitmap is only noticed after Invalidate.
  TBitmap32 other = RandomBitmap(300, 200, 9);
  cache.Invalidate();
  ASSERT_TRUE(cache.Draw(other, 1.0, 0, 0, sfLinear, cached, {0, 0, 160, 120}));
  EXPECT_EQ(cached.Pixel(5, 5), other.Pixel(5, 5));
}
