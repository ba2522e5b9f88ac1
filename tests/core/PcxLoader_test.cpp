#include <gtest/gtest.h>

#include "decoders/ColourConvert.h"
#include "decoders/Decoders.h"
#include "tests/support/DecoderSamples.h"

namespace {

constexpr const char* IM = "ImageMagick 6.9.11 convert -depth 8 rgba:-";
// ImageMagick shows 1-bit PCX files with 0 as white; both samples (a signature, a grey-scale
// chart labelled 100% at its black end) read right only with 0 as black, as the format says.
constexpr const char* IMNegate = "ImageMagick convert -negate -depth 8 rgba:- (it inverts 1-bit files)";

TEST(PcxLoader, SamplesMatchReferenceDecodes) {
  KV_REQUIRE_CORPUS();
  CheckSamples(DecodePcx, {
      // 8 bits declared but 12 bytes per line for 88 pixels: a line cannot hold its pixels.
      {"pcx/01r_00.pcx", 0, 0, nullptr, "meant to fail"},
      {"pcx/16color.pcx", 200, 168, "478e6a877147b782", IM},
      {"pcx/CGA_FSD.pcx", 320, 200, "15d10d87872213b7", IM},
      {"pcx/dice_rgba.pcx", 63, 47, "48497e9ad24ff4e1", IM},
      {"pcx/indexed4.pcx", 32, 32, "43ec0fa62182f8cc", IM},
      {"pcx/indexed8.pcx", 32, 32, "3324348640feba1d", IM},
      {"pcx/mono.pcx", 581, 400, "d07fe9e8d5c08c1c", IMNegate},
      {"pcx/odd_stride.pcx", 371, 150, "1af31c82b6628b3d", IM},
      {"pcx/p_4_planes.pcx", 1, 1, "4a3d077f9b55736b", IM},
      {"pcx/pil184.pcx", 447, 144, "d12cb0b4c2029f64", IMNegate},
      {"pcx/rgb.pcx", 32, 32, "5c1d14aa15586d04", IM},
  });
}

TEST(PcxLoader, MonoSampleIsBlackInkOnWhite) {
  KV_REQUIRE_CORPUS();
  // The chart's first box is labelled 100% and its last 0%.
  const TDecodeResult r = DecodePcx(ReadBytes(CorpusPath("formats/pcx/mono.pcx")));
  ASSERT_TRUE(r.Ok());
  EXPECT_EQ(r.Bitmap().Pixel(60, 60), Color32(255, 0, 0, 0));
  EXPECT_EQ(r.Bitmap().Pixel(540, 370), Color32(255, 255, 255, 255));
}

TEST(PcxLoader, TruncatedSamplesFailOrDecodePartially) {
  KV_REQUIRE_CORPUS();
  SweepSampleFolder(DecodePcx, "pcx");
}

struct TPcx {
  unsigned Version = 5, Encoding = 1, Bits = 8, Width = 1, Height = 1, Planes = 1, BytesPerLine = 0;
  std::vector<uint8_t> Palette = std::vector<uint8_t>(48, 0);
};

std::vector<uint8_t> Pcx(const TPcx& p, std::initializer_list<uint8_t> body) {
  TBytes b;
  b.U8(0x0A).U8(p.Version).U8(p.Encoding).U8(p.Bits);
  b.U16LE(0).U16LE(0).U16LE(p.Width - 1).U16LE(p.Height - 1).U16LE(72).U16LE(72);
  b.Raw(p.Palette).U8(0).U8(p.Planes);
  b.U16LE(p.BytesPerLine ? p.BytesPerLine : (p.Width * p.Bits + 7) / 8).U16LE(1).Fill(58).Raw(body);
  return b.B;
}

std::vector<uint8_t> Triplets(std::initializer_list<TColor32> colours) {
  std::vector<uint8_t> pal(48, 0);
  size_t i = 0;
  for (TColor32 c : colours) pal[i++] = RedOf(c), pal[i++] = GreenOf(c), pal[i++] = BlueOf(c);
  return pal;
}

TEST(PcxLoader, RunsCarryOverFromOneLineToTheNext) {
  // 3x2, 8-bit grey (no VGA palette): one run of 5 covers line 0 and most of line 1.
  TPcx p;
  p.Width = 3, p.Height = 2;
  const TDecodeResult r = DecodePcx(Pcx(p, {0xC5, 40, 0xC1, 0xC7}));
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  for (int i = 0; i < 5; ++i) EXPECT_EQ(r.Bitmap().Pixel(i % 3, i / 3), Color32(255, 40, 40, 40)) << i;
  EXPECT_EQ(r.Bitmap().Pixel(2, 1), Color32(255, 0xC7, 0xC7, 0xC7));  // a literal >= 0xC0 as a run of 1
  EXPECT_FALSE(r.Partial());
}

TEST(PcxLoader, EmptyRunsAndUncompressedFiles) {
  TPcx p;
  p.Width = 2;
  const TDecodeResult zeroRun = DecodePcx(Pcx(p, {0xC0, 99, 10, 20}));
  ASSERT_TRUE(zeroRun.Ok());
  EXPECT_EQ(zeroRun.Bitmap().Pixel(0, 0), Color32(255, 10, 10, 10));
  p.Encoding = 0;
  const TDecodeResult raw = DecodePcx(Pcx(p, {0xC3, 20}));
  ASSERT_TRUE(raw.Ok());
  EXPECT_EQ(raw.Bitmap().Pixel(0, 0), Color32(255, 0xC3, 0xC3, 0xC3));
  EXPECT_EQ(raw.Bitmap().Pixel(1, 0), Color32(255, 20, 20, 20));
}

TEST(PcxLoader, VgaPaletteNeedsVersion5AndItsMarker) {
  TPcx p;
  std::vector<uint8_t> file = Pcx(p, {0xC1, 2});
  file.push_back(0x0C);
  for (int i = 0; i < 256; ++i) file.insert(file.end(), {uint8_t(i), 0, uint8_t(255 - i)});
  const TDecodeResult withPalette = DecodePcx(file);
  ASSERT_TRUE(withPalette.Ok());
  EXPECT_EQ(withPalette.Bitmap().Pixel(0, 0), Color32(255, 2, 0, 253));
  file[1] = 4;  // an older version: the trailing bytes are not a palette
  const TDecodeResult grey = DecodePcx(file);
  ASSERT_TRUE(grey.Ok());
  EXPECT_EQ(grey.Bitmap().Pixel(0, 0), Color32(255, 2, 2, 2));
}

TEST(PcxLoader, PlanarEgaIndexTakesOneBitFromEachPlane) {
  // 8x1 in 1 bit x 4 planes, uncompressed: plane p holds bit p of the index.
  TPcx p;
  p.Encoding = 0, p.Bits = 1, p.Width = 8, p.Planes = 4, p.BytesPerLine = 2;  // one padding byte per plane
  std::vector<TColor32> colours(16);
  for (unsigned i = 0; i < 16; ++i) colours[i] = Color32(255, uint8_t(i * 16), 1, 2);
  p.Palette = Triplets({colours[0], colours[1], colours[2], colours[3], colours[4], colours[5], colours[6],
                        colours[7], colours[8], colours[9], colours[10], colours[11], colours[12], colours[13],
                        colours[14], colours[15]});
  const TDecodeResult r = DecodePcx(Pcx(p, {0xFF, 0, 0x0F, 0, 0x33, 0, 0x55, 0}));
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  const unsigned expected[8] = {1, 9, 5, 13, 3, 11, 7, 15};
  for (int x = 0; x < 8; ++x) EXPECT_EQ(r.Bitmap().Pixel(x, 0), colours[expected[x]]) << x;
}

TEST(PcxLoader, HeaderPaletteFallsBackToTheEgaDefaults) {
  // 4-bit indices 1 and 14: with an empty header palette (or version 3) the EGA colours apply.
  TPcx p;
  p.Bits = 4, p.Width = 2, p.Encoding = 0;
  for (unsigned version : {5u, 3u}) {
    p.Version = version;
    p.Palette = version == 3 ? Triplets({Color32(255, 9, 9, 9)}) : std::vector<uint8_t>(48, 0);
    const TDecodeResult r = DecodePcx(Pcx(p, {0x1E}));
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(r.Bitmap().Pixel(0, 0), DefaultEgaPalette[1]) << version;
    EXPECT_EQ(r.Bitmap().Pixel(1, 0), DefaultEgaPalette[14]) << version;
  }
  p.Version = 5;
  p.Palette = Triplets({Color32(255, 0, 0, 0), Color32(255, 1, 2, 3)});
  const TDecodeResult own = DecodePcx(Pcx(p, {0x10}));
  ASSERT_TRUE(own.Ok());
  EXPECT_EQ(own.Bitmap().Pixel(0, 0), Color32(255, 1, 2, 3));
}

TEST(PcxLoader, CgaColoursFromTripletsOrFromTheCgaSetUp) {
  TPcx p;
  p.Bits = 2, p.Width = 4, p.Encoding = 0;
  const std::initializer_list<uint8_t> pixels = {0x1B};  // indices 0, 1, 2, 3
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Palette;
    TColor32 Expected[4];
  } cases[] = {
      {"triplets", Triplets({Color32(255, 0, 0, 0), Color32(255, 0, 255, 255), Color32(255, 255, 0, 255),
                             Color32(255, 255, 255, 255)}),
       {0xFF000000, 0xFF00FFFF, 0xFFFF00FF, 0xFFFFFFFF}},
      // Background blue (1), palette 1 bright: light cyan, light magenta, white.
      {"CGA palette 1 bright", [] {
         std::vector<uint8_t> v(48, 0);
         v[0] = 0x10, v[3] = 0x60;
         return v;
       }(),
       {DefaultEgaPalette[1], DefaultEgaPalette[11], DefaultEgaPalette[13], DefaultEgaPalette[15]}},
      // Background black, palette 0 dim: green, red, brown.
      {"CGA palette 0 dim", std::vector<uint8_t>(48, 0),
       {DefaultEgaPalette[0], DefaultEgaPalette[2], DefaultEgaPalette[4], DefaultEgaPalette[6]}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    p.Palette = c.Palette;
    const TDecodeResult r = DecodePcx(Pcx(p, pixels));
    ASSERT_TRUE(r.Ok()) << r.Error().Message;
    for (int x = 0; x < 4; ++x) EXPECT_EQ(r.Bitmap().Pixel(x, 0), c.Expected[x]) << x;
  }
}

TEST(PcxLoader, FourPlanesCarryAlphaUnlessItIsAllZero) {
  TPcx p;
  p.Width = 2, p.Planes = 4, p.Encoding = 0;
  const TDecodeResult alpha = DecodePcx(Pcx(p, {200, 100, 50, 60, 10, 70, 255, 0}));
  ASSERT_TRUE(alpha.Ok());
  EXPECT_EQ(alpha.Bitmap().Pixel(0, 0), Color32(255, 200, 50, 10));
  EXPECT_EQ(alpha.Bitmap().Pixel(1, 0), Color32(0, 0, 0, 0));
  const TDecodeResult none = DecodePcx(Pcx(p, {200, 100, 50, 60, 10, 70, 0, 0}));
  ASSERT_TRUE(none.Ok());
  EXPECT_EQ(none.Bitmap().Pixel(1, 0), Color32(255, 100, 60, 70));
}

TEST(PcxLoader, MalformedHeadersFail) {
  TPcx good;
  auto with = [&](auto change) {
    TPcx p = good;
    change(p);
    return Pcx(p, {0xC1, 0});
  };
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Bytes;
    TDecodeErrorKind Kind;
  } cases[] = {
      {"empty", {}, TDecodeErrorKind::deCorrupt},
      {"wrong manufacturer", [] { auto v = Pcx(TPcx(), {0}); v[0] = 0x0B; return v; }(), TDecodeErrorKind::deCorrupt},
      {"header cut short", std::vector<uint8_t>{0x0A, 5, 1, 8, 0, 0}, TDecodeErrorKind::deTruncated},
      {"encoding 2", with([](TPcx& p) { p.Encoding = 2; }), TDecodeErrorKind::deCorrupt},
      {"xmax before xmin", [] { auto v = Pcx(TPcx(), {0}); v[4] = 5; return v; }(), TDecodeErrorKind::deCorrupt},
      {"ymax before ymin", [] { auto v = Pcx(TPcx(), {0}); v[6] = 5; return v; }(), TDecodeErrorKind::deCorrupt},
      {"3 bits", with([](TPcx& p) { p.Bits = 3; }), TDecodeErrorKind::deUnsupported},
      {"8 bits x 2 planes", with([](TPcx& p) { p.Planes = 2; }), TDecodeErrorKind::deUnsupported},
      {"4 bits x 4 planes", with([](TPcx& p) { p.Bits = 4, p.Planes = 4; }), TDecodeErrorKind::deUnsupported},
      {"no planes", with([](TPcx& p) { p.Planes = 0; }), TDecodeErrorKind::deUnsupported},
      {"line too short", with([](TPcx& p) { p.Width = 9, p.BytesPerLine = 8; }), TDecodeErrorKind::deCorrupt},
      {"no pixel data", Pcx(TPcx(), {}), TDecodeErrorKind::deTruncated},
      {"tiny file, huge picture", with([](TPcx& p) { p.Width = 16000, p.Height = 16000; }), TDecodeErrorKind::deTruncated},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TDecodeResult r = DecodePcx(c.Bytes);
    ASSERT_FALSE(r.Ok());
    EXPECT_EQ(r.Error().Kind, c.Kind) << r.Error().Message;
  }
}

TEST(PcxLoader, DataEndingEarlyGivesThePartialPicture) {
  TPcx p;
  p.Width = 2, p.Height = 3;
  const TDecodeResult r = DecodePcx(Pcx(p, {0xC3, 50}));
  ASSERT_TRUE(r.Ok());
  EXPECT_TRUE(r.Partial());
  EXPECT_EQ(r.Bitmap().Pixel(1, 0), Color32(255, 50, 50, 50));
  EXPECT_EQ(r.Bitmap().Pixel(0, 1), Color32(255, 50, 50, 50));
}

}  // namespace
