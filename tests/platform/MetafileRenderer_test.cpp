// The metafile renderer: real samples drawn at their size, the two reference renderings made
// on Windows, transparency, raster operations, text placement, truncated and hostile files.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>

#include "decoders/MetafileReader.h"
#include "platform/MetafileRenderer.h"
#include "tests/support/ImageCheck.h"
#include "tests/support/MetafileBytes.h"
#include "tests/support/TestSupport.h"

namespace {

std::vector<uint8_t> Sample(const std::string& file) { return ReadBytes(CorpusPath("formats/" + file)); }

TColor32 StraightPixel(const TBitmap32& bitmap, int x, int y) {
  uint8_t a, r, g, b;
  UnpremultiplyColor32(bitmap.Pixel(x, y), a, r, g, b);
  return Color32(a, r, g, b);
}

// A picture over white, reduced to w x h by averaging, as RGB triples: small offsets, antialiasing
// and font differences wash out, while a missing or misplaced shape still shows.
std::vector<int> Reduced(const std::vector<uint8_t>& rgba, int width, int height, int w, int h) {
  std::vector<int> out(size_t(w) * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int x0 = x * width / w, x1 = (x + 1) * width / w, y0 = y * height / h, y1 = (y + 1) * height / h;
      int64_t sum[3] = {}, n = 0;
      for (int sy = y0; sy < y1; ++sy)
        for (int sx = x0; sx < x1; ++sx, ++n) {
          const uint8_t* p = &rgba[(size_t(sy) * width + sx) * 4];
          for (int c = 0; c < 3; ++c) sum[c] += (p[c] * p[3] + 255 * (255 - p[3])) / 255;
        }
      for (int c = 0; c < 3; ++c) out[(size_t(y) * w + x) * 3 + c] = int(sum[c] / std::max<int64_t>(n, 1));
    }
  return out;
}

std::vector<uint8_t> StraightRgba(const TBitmap32& bitmap) {
  std::vector<uint8_t> rgba;
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x) {
      uint8_t a, r, g, b;
      UnpremultiplyColor32(bitmap.Pixel(x, y), a, r, g, b);
      rgba.insert(rgba.end(), {r, g, b, a});
    }
  return rgba;
}

// The share of cells of a 132 x 99 grid whose colours differ by at most `tolerance`.
double Agreement(const TBitmap32& ours, const std::vector<uint8_t>& theirs, int width, int height, int tolerance) {
  constexpr int W = 132, H = 99;
  const std::vector<int> a = Reduced(StraightRgba(ours), ours.Width(), ours.Height(), W, H);
  const std::vector<int> b = Reduced(theirs, width, height, W, H);
  int close = 0, inked = 0;
  for (size_t i = 0; i < a.size(); i += 3) {
    if (std::min({b[i], b[i + 1], b[i + 2]}) > 250) continue;  // white in the reference
    ++inked;
    close += std::abs(a[i] - b[i]) <= tolerance && std::abs(a[i + 1] - b[i + 1]) <= tolerance &&
             std::abs(a[i + 2] - b[i + 2]) <= tolerance;
  }
  return double(close) / std::max(inked, 1);
}

TEST(MetafileRenderer, SamplesDrawAtTheirSizeAndBrokenOnesFail) {
  KV_REQUIRE_CORPUS();
  namespace fs = std::filesystem;
  for (const char* folder : {"wmf", "emf", "wmf/corrupt", "emf/corrupt"}) {
    for (const auto& e : fs::directory_iterator(CorpusPath(std::string("formats/") + folder))) {
      const std::string name = e.path().filename().string();
      if (!e.is_regular_file() || (e.path().extension() != ".wmf" && e.path().extension() != ".emf")) continue;
      SCOPED_TRACE(name);
      const std::vector<uint8_t> bytes = ReadBytes(e.path().string());
      const TDecodeResult r = RenderMetafile(bytes);
      // The one file whose damage cannot be seen draws a whole chart.
      const bool broken = std::string(folder).ends_with("corrupt") && name.find("140817") == std::string::npos;
      if (broken || name.find("emfplus") != std::string::npos) {
        EXPECT_FALSE(r.Ok());
        continue;
      }
      ASSERT_TRUE(r.Ok()) << r.Error().Message;
      TMetafileFrame frame;
      TDecodeError error;
      ASSERT_TRUE(ReadMetafileFrame(bytes, 96, frame, error));
      EXPECT_EQ(r.Bitmap().Width(), frame.Width);
      EXPECT_EQ(r.Bitmap().Height(), frame.Height);
      const TColor32* px = r.Bitmap().Bits();
      const bool drawn = std::any_of(px, px + size_t(frame.Width) * frame.Height, [](TColor32 c) { return AlphaOf(c); });
      EXPECT_EQ(drawn, name.find("030_empty") == std::string::npos);
    }
  }
}

TEST(MetafileRenderer, DrawingsMatchTheReferenceRenderingsFromWindows) {
  KV_REQUIRE_CORPUS();
  // Of the reduced cells where the reference has ink, the share that our picture matches: about
  // 0.88 for both files (fonts and antialiasing differ); a blank picture scores 0.1, ours
  // shifted by six pixels 0.4. Windows drew only part of the EMF's last row of panels, which
  // this measure leaves out.
  for (const char* file : {"wmf/wmf2svg_fulltest.wmf", "emf/wmf2svg_fulltest.emf"}) {
    SCOPED_TRACE(file);
    const TDecodeResult r = RenderMetafile(Sample(file));
    ASSERT_TRUE(r.Ok()) << r.Error().Message;
    std::vector<uint8_t> reference;
    int width = 0, height = 0;
    const std::string png = std::filesystem::path(file).replace_extension(".reference.png");
    ASSERT_TRUE(ReadPngRgba(CorpusPath("formats/" + png), reference, width, height));
    EXPECT_GT(Agreement(r.Bitmap(), reference, width, height, 24), 0.8);
  }
}

TEST(MetafileRenderer, OneDrawingInThreeMappingModesLooksTheSame) {
  KV_REQUIRE_CORPUS();
  // Anisotropic with a flipped window, twips and 0.01 mm with the y axis up.
  const TDecodeResult anisotropic = RenderMetafile(Sample("emf/libuemf_test_mm_anisotropic_ref.emf"));
  ASSERT_TRUE(anisotropic.Ok());
  const std::vector<uint8_t> rgba = StraightRgba(anisotropic.Bitmap());
  for (const char* file : {"emf/libuemf_test_mm_twips_ref.emf", "emf/libuemf_test_mm_himetric_ref.emf"}) {
    SCOPED_TRACE(file);
    const TDecodeResult r = RenderMetafile(Sample(file));
    ASSERT_TRUE(r.Ok()) << r.Error().Message;
    EXPECT_GT(Agreement(r.Bitmap(), rgba, anisotropic.Bitmap().Width(), anisotropic.Bitmap().Height(), 8), 0.98);
  }
}

// A red rectangle, then a blue and black bitmap put through the XOR, AND, XOR transparency idiom
// with a mask that keeps its left half, then a rectangle drawn twice with an XOR pen and brush.
TEST(MetafileRenderer, WhatIsNotDrawnStaysTransparentThroughRasterOperations) {
  auto blit = [](uint32_t rop, std::initializer_list<uint8_t> pixels) {
    TBytes b;  // StretchDIB: rop, usage, source 2 x 1 at (0, 0), destination 96 x 40 at (0, 50)
    b.U32(rop).U16(0).U16(1).U16(2).U16(0).U16(0).U16(40).U16(96).U16(50).U16(0).Raw(DibInfo40(2, 1, 24));
    for (uint8_t p : pixels) b.U8(p);
    return b.U16(0);
  };
  TWmfBytes w;
  w.Rec(0x02FC, {0, 0x00FF, 0, 0})                       // red brush
      .Rec(0x02FA, {5, 0, 0, 0, 0})                      // null pen
      .Rec(0x012D, {0})
      .Rec(0x012D, {1})
      .Rec(0x041B, {40, 40, 10, 10})                     // Rectangle (10, 10)-(40, 40)
      .Rec(0x0F43, blit(0x00660046, {255, 0, 0, 0, 0, 0}))  // SRCINVERT: blue, black
      .Rec(0x0F43, blit(0x008800C6, {0, 0, 0, 255, 255, 255}))  // SRCAND: black keeps, white passes
      .Rec(0x0F43, blit(0x00660046, {255, 0, 0, 0, 0, 0}))
      .Rec(0x0104, {7})                                  // R2_XORPEN
      .Rec(0x041B, {40, 90, 10, 60})
      .Rec(0x041B, {40, 90, 10, 60});
  const TDecodeResult r = RenderMetafile(w.Bytes());
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  ASSERT_EQ(r.Bitmap().Width(), 96);
  EXPECT_EQ(StraightPixel(r.Bitmap(), 25, 25), Color32(255, 255, 0, 0));
  EXPECT_EQ(AlphaOf(r.Bitmap().Pixel(5, 5)), 0);
  EXPECT_EQ(StraightPixel(r.Bitmap(), 20, 70), Color32(255, 0, 0, 255));
  EXPECT_EQ(AlphaOf(r.Bitmap().Pixel(70, 70)), 0);
  EXPECT_EQ(AlphaOf(r.Bitmap().Pixel(75, 25)), 0);
}

// The box of the pixels a picture has ink in (left, top, right, bottom), or an empty box.
std::array<int, 4> InkBox(const TBitmap32& bitmap) {
  std::array<int, 4> box{bitmap.Width(), bitmap.Height(), -1, -1};
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x)
      if (AlphaOf(bitmap.Pixel(x, y)) > 128)
        box = {std::min(box[0], x), std::min(box[1], y), std::max(box[2], x), std::max(box[3], y)};
  return box;
}

TEST(MetafileRenderer, JapaneseTextIsDrawnAlignedToItsReferencePoint) {
  // A 20-pixel Shift-JIS font named "ＭＳ ゴシック" and the text "日本", green, at (100, 50) of a
  // 200 x 100 picture, in three alignments.
  TBytes font;
  font.U16(uint16_t(-20)).U16(0).U16(0).U16(0).U16(400).U8(0).U8(0).U8(0).U8(128).U32(0);
  font.Raw(std::vector<uint8_t>{0x82, 0x6C, 0x82, 0x72, 0x20, 0x83, 0x53, 0x83, 0x56, 0x83, 0x62, 0x83, 0x4E, 0});
  const struct {
    int Align;  // TA_* flags
    const char* Name;
    bool AbovePoint;
  } cases[] = {
      {0, "left, top", false},
      {2 | 8, "right, bottom", true},
      {6 | 24, "centre, baseline", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TWmfBytes w(200, 96);
    w.Rec(0x02FB, font).Rec(0x012D, {0}).Rec(0x0209, {0xFF00, 0}).Rec(0x0102, {1}).Rec(0x012E, {c.Align});
    w.Rec(0x0521, TBytes().U16(4).U8(0x93).U8(0xFA).U8(0x96).U8(0x7B).U16(50).U16(100));
    const TDecodeResult r = RenderMetafile(w.Bytes());
    ASSERT_TRUE(r.Ok()) << r.Error().Message;
    const auto [left, top, right, bottom] = InkBox(r.Bitmap());
    ASSERT_GE(right, left);
    EXPECT_GE(right - left, 30);  // two characters of about 20 pixels each
    EXPECT_LE(bottom - top, 22);
    // Horizontally the ink starts at the point, ends there or straddles it; vertically it hangs
    // from the point or stands on it.
    if ((c.Align & 6) == 2) {
      EXPECT_LE(right, 101);
      EXPECT_LE(left, 80);
    } else {
      EXPECT_GE(right, 115);
      EXPECT_GE(left, c.Align & 4 ? 70 : 99);
      EXPECT_LE(left, c.Align & 4 ? 86 : 103);
    }
    if (c.AbovePoint) {
      EXPECT_LE(bottom, 52);
    } else {
      EXPECT_GE(top, 49);
    }
    const TColor32 ink = StraightPixel(r.Bitmap(), (left + right) / 2, (top + bottom) / 2);
    EXPECT_TRUE(AlphaOf(ink) == 0 || (GreenOf(ink) > RedOf(ink) && GreenOf(ink) > BlueOf(ink)));
  }
}

TEST(MetafileRenderer, TruncatedSamplesFailOrKeepTheirSize) {
  KV_REQUIRE_CORPUS();
  for (const char* file : {"wmf/wmf2svg_fulltest.wmf", "emf/wmf2svg_fulltest.emf", "emf/poi_SimpleEMF_windows.emf"}) {
    const std::vector<uint8_t> bytes = Sample(file);
    for (size_t cut = 0; cut < bytes.size(); cut += bytes.size() / 29 + 1) {
      SCOPED_TRACE(std::string(file) + " cut at " + std::to_string(cut));
      const TDecodeResult r = RenderMetafile(std::span<const uint8_t>(bytes).first(cut));
      if (!r.Ok()) continue;
      TMetafileFrame frame;
      TDecodeError error;
      ASSERT_TRUE(ReadMetafileFrame(bytes, 96, frame, error));
      EXPECT_EQ(r.Bitmap().Width(), frame.Width);
      EXPECT_EQ(r.Bitmap().Height(), frame.Height);
    }
  }
}

TEST(MetafileRenderer, HugeDeclaredPicturesAndEndlessDrawingAreBounded) {
  // 65535 units at one per inch: drawn at the largest size allowed, whatever the header asks.
  auto huge = [](int fills) {
    TBytes b;
    b.U32(0x9AC6CDD7).U16(0).U16(0x8000).U16(0x8000).U16(0x7FFF).U16(0x7FFF).U16(1).U32(0).U16(0);
    b.U16(1).U16(9).U16(0x300).U32(0).U16(8).U32(0).U16(0);
    b.U32(7).U16(0x02FC).U16(0).U32(0xFF).U16(0).U32(4).U16(0x012D).U16(0);
    for (int i = 0; i < fills; ++i) b.U32(7).U16(0x041B).U16(0x7FFF).U16(0x7FFF).U16(0x8000).U16(0x8000);
    return b.U32(3).U16(0);
  };
  TDecodeResult r = RenderMetafile(huge(1));
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_EQ(r.Bitmap().Width(), 4096);
  EXPECT_EQ(r.Bitmap().Height(), 4096);
  // A hundred thousand fills of the whole picture stop at the work limit.
  const auto start = std::chrono::steady_clock::now();
  r = RenderMetafile(huge(100000));
  EXPECT_FALSE(r.Ok());
  EXPECT_EQ(r.Error().Kind, TDecodeErrorKind::deTooLarge);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

}  // namespace
