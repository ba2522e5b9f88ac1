// Colour profiles: the transforms against Little CMS's own answers, and their cache.
#include <gtest/gtest.h>

#include <thread>

#include "decoders/ColourProfile.h"
#include "tests/support/IccProfiles.h"

namespace {

int LargestDifference(const std::vector<TColor32>& a, const std::vector<TColor32>& b) {
  int largest = 0;
  for (size_t i = 0; i < a.size(); ++i)
    for (int shift : {0, 8, 16, 24})
      largest = std::max(largest, std::abs(int((a[i] >> shift) & 255) - int((b[i] >> shift) & 255)));
  return largest;
}

// An RGB profile of D65 white with the given primaries and gamma.
icc::TBytes RgbProfile(cmsCIExyYTRIPLE primaries, double gamma) {
  const cmsCIExyY white = {0.3127, 0.3290, 1.0};
  cmsToneCurve* curve = cmsBuildGamma(nullptr, gamma);
  cmsToneCurve* curves[3] = {curve, curve, curve};
  icc::TBytes bytes = icc::Save(cmsCreateRGBProfile(&white, &primaries, curves));
  cmsFreeToneCurve(curve);
  return bytes;
}

}  // namespace

// Through the whole cube, for profiles near and far from sRGB, alpha untouched, with every kernel
// the processor can run.
TEST(ColourProfile, RgbColoursAreLittleCmsColours) {
  const struct {
    const char* Name;
    icc::TBytes Profile;
  } cases[] = {
      {"Adobe RGB", icc::AdobeRgb()},
      {"wide gamut, gamma 1.8",
       RgbProfile({{0.7347, 0.2653, 1}, {0.1596, 0.8404, 1}, {0.0366, 0.0001, 1}}, 1.8)},
      {"sRGB primaries, linear", RgbProfile({{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}}, 1.0)},
  };
  std::vector<TColor32> cube;
  for (int r = 0; r < 256; r += 5)
    for (int g = 0; g < 256; g += 3)
      for (int b = 0; b < 256; b += 7)
        cube.push_back(Color32(uint8_t(r + g), uint8_t(r), uint8_t(g), uint8_t(b)));
  const TColourKernel best = ColourKernel();
  for (TColourKernel kernel : {TColourKernel::ckPortable, TColourKernel::ckAvx2, TColourKernel::ckAvx512,
                               TColourKernel::ckAvx512Vbmi}) {
    if (!UseColourKernel(kernel)) continue;  // not on this processor
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.Name) + ", kernel " + std::to_string(int(kernel)));
      const TColourTransformPtr t = ColourTransformFor(c.Profile, TColourModel::cmRgb);
      ASSERT_TRUE(t);
      std::vector<TColor32> mine = cube;
      t->Convert(mine.data(), mine.size());
      std::vector<TColor32> expected = icc::ConvertPixels(c.Profile, cube.data(), cube.size());
      for (size_t i = 0; i < cube.size(); ++i)
        expected[i] = (expected[i] & 0xFFFFFFu) | (cube[i] & 0xFF000000u);
      EXPECT_LE(LargestDifference(mine, expected), 1);
    }
  }
  UseColourKernel(best);
}

// Equal bytes share one transform, wherever they lie; a profile that changes nothing, does not
// fit the pixels or cannot be read gives none.
TEST(ColourProfile, TransformsAreMadeOncePerProfile) {
  const icc::TBytes adobe = icc::AdobeRgb(), copy = adobe, grey = icc::Grey(1.0);
  const TColourTransformPtr first = ColourTransformFor(adobe, TColourModel::cmRgb);
  ASSERT_TRUE(first);
  EXPECT_EQ(ColourTransformFor(copy, TColourModel::cmRgb), first);
  EXPECT_NE(ColourTransformFor(grey, TColourModel::cmGrey), first);
  EXPECT_FALSE(ColourTransformFor(icc::Srgb(), TColourModel::cmRgb));
  EXPECT_FALSE(ColourTransformFor(icc::Grey(2.2), TColourModel::cmGrey) == nullptr);
  EXPECT_FALSE(ColourTransformFor(adobe, TColourModel::cmGrey));
  EXPECT_FALSE(ColourTransformFor(icc::TBytes(adobe.begin(), adobe.begin() + 128), TColourModel::cmRgb));
  EXPECT_FALSE(ColourTransformFor({}, TColourModel::cmRgb));

  // Decoders on several threads asking for a profile not seen before all get the same one.
  const icc::TBytes wide = RgbProfile({{0.68, 0.32, 1}, {0.265, 0.69, 1}, {0.15, 0.06, 1}}, 2.4);
  std::vector<TColourTransformPtr> got(4);
  std::vector<std::thread> threads;
  for (auto& g : got)
    threads.emplace_back([&wide, &g] { g = ColourTransformFor(wide, TColourModel::cmRgb); });
  for (auto& t : threads) t.join();
  ASSERT_TRUE(got[0]);
  for (const auto& g : got) EXPECT_EQ(g, got[0]);
}

TEST(ColourProfile, GreyAndCmykAreLittleCmsColours) {
  const icc::TBytes grey = icc::Grey(1.0), cmyk = icc::Cmyk();
  uint8_t levels[256];
  std::vector<TColor32> greys;
  for (int v = 0; v < 256; ++v)
    levels[v] = uint8_t(v), greys.push_back(Color32(uint8_t(255 - v), uint8_t(v), uint8_t(v), uint8_t(v)));
  const TColourTransformPtr g = ColourTransformFor(grey, TColourModel::cmGrey);
  ASSERT_TRUE(g);
  std::vector<TColor32> expected = icc::Convert(grey, TYPE_GRAY_8, levels, 256);
  for (int v = 0; v < 256; ++v)
    expected[size_t(v)] = (expected[size_t(v)] & 0xFFFFFFu) | (greys[size_t(v)] & 0xFF000000u);
  g->Convert(greys.data(), greys.size());
  EXPECT_EQ(greys, expected);

  std::vector<uint8_t> ink;
  for (int i = 0; i < 4 * 300; ++i) ink.push_back(uint8_t(i * 37 % 256));
  const TColourTransformPtr c = ColourTransformFor(cmyk, TColourModel::cmCmyk);
  ASSERT_TRUE(c);
  std::vector<TColor32> mine(300);
  c->ConvertCmyk(ink.data(), mine.data(), mine.size());
  EXPECT_EQ(mine, icc::Convert(cmyk, TYPE_CMYK_8, ink.data(), 300));  // opaque, too
}

// Premultiplied pixels are converted as their straight colour; transparent ones stay empty.
TEST(ColourProfile, PremultipliedPixelsKeepTheirAlpha) {
  const icc::TBytes adobe = icc::AdobeRgb();
  const TColourTransformPtr t = ColourTransformFor(adobe, TColourModel::cmRgb);
  ASSERT_TRUE(t);
  TBitmap32 bitmap(3, 1);
  bitmap.Pixel(0, 0) = Color32(255, 200, 40, 90);
  bitmap.Pixel(1, 0) = PremultipliedColor32(128, 200, 40, 90);
  bitmap.Pixel(2, 0) = 0;
  ConvertBitmap(t.get(), bitmap, /*premultiplied=*/true);
  const TColor32 opaque = bitmap.Pixel(0, 0);
  EXPECT_NE(opaque, Color32(255, 200, 40, 90));
  uint8_t a, r, g, b;
  UnpremultiplyColor32(bitmap.Pixel(1, 0), a, r, g, b);
  EXPECT_EQ(a, 128);
  EXPECT_LE(LargestDifference({Color32(255, r, g, b)}, {opaque}), 2);
  EXPECT_EQ(bitmap.Pixel(2, 0), 0u);
}
