#include <gtest/gtest.h>

#include <cstring>

#include "decoders/Decoders.h"
#include "tests/support/DecoderSamples.h"
#include "tests/support/IccProfiles.h"

namespace {

// ImageMagick reads a PSD's layers as further frames; FILE[0] is the merged composite.
constexpr const char* IM = "ImageMagick 6.9.11 convert FILE[0] -depth 8 rgba:-";
// ImageMagick truncates 16-bit samples; its 16-bit output rounded to nearest is the reference.
constexpr const char* IM16 = "ImageMagick convert FILE[0] -endian MSB -depth 16 rgba:-, rounded to 8 bits";
// Photoshop's merged picture with transparency is blended over white. ImageMagick takes the
// white out too but rounds twice (its result differs by 1 in some pixels), so the reference
// is its raw reading (-define psd:alpha-unblend=off) with c = 255 - (255 - c) * 255 / a applied.
constexpr const char* IMUnmatted = "ImageMagick -define psd:alpha-unblend=off, white matte removed as above";

TEST(PsdLoader, SamplesMatchReferenceDecodes) {
  KV_REQUIRE_CORPUS();
  CheckSamples(
      DecodePsd,
      {
          {"psd/16bit-rle.psd", 485, 484, "d2defec4c98280ef", IM16},
          {"psd/birthday.pdd", 300, 300, "b2d8e7c5f9c14735", IMUnmatted},
          {"psd/cmyk8_testcard.psd", 256, 256, nullptr, "converted through its CMYK profile; see below"},
          {"psd/five_channels.psd", 1, 1, "4a3d077f9b55736b", IM},
          {"psd/hopper.psd", 128, 128, "1343f451533a0e95", IM},
          {"psd/hopper_merged.psd", 128, 128, "1343f451533a0e95", IM},
          {"psd/laba_8bit.psd", 300, 300, nullptr,
           "Lab: ImageMagick's conversion differs by a few levels; see below"},
          {"psd/psd_123.psd", 257, 126, "3038a0b17c8d5af2", IMUnmatted},
          {"psd/psd_123_nomaxcompat.psd", 257, 126, nullptr,
           "ImageMagick composites the layers; we show the stored composite; see below"},
          {"psd/psd_bitmap.psd", 320, 240, "45ccb82c4d859cbd", IM},
          {"psd/psd_indexed_trans.psd", 320, 240, nullptr, "ImageMagick cannot read it; see below"},
          {"psd/psd_rgb_16.psd", 320, 240, "2f4f113ed6056da1", IM16},
          {"psd/psd_rgba_8.psd", 320, 240, "bea94a72dc4bca9d", IMUnmatted},
          {"psd/rgb-gimp-2.8.10.psd", 32, 32, "5c1d14aa15586d04", IM},
          {"psd/rgb16-raw-affinityphoto-1.8.5.psd", 32, 32, "42cacd6e28b60651", IM16},
          {"psd/rgba.psd", 100, 100, "822db975da75c285", IM},
      });
}

TDecodeResult DecodeSample(const char* name) {
  return DecodePsd(ReadBytes(CorpusPath(std::string("formats/psd/") + name)));
}

TEST(PsdLoader, LabSampleIsCloseToTheReference) {
  KV_REQUIRE_CORPUS();
  const TDecodeResult r = DecodeSample("laba_8bit.psd");
  ASSERT_TRUE(r.Ok());
  struct TProbe {
    int X, Y;
    TColor32 Reference;  // ImageMagick's straight RGBA
  } probes[] = {
      {150, 150, 0xFFFFFFFE}, {100, 200, 0xFF2D0200}, {150, 60, 0xFFFFFD00},
      {220, 180, 0xFFFF17D2}, {60, 100, 0xFF370700},  {0, 0, 0x00FFFFFE},
  };
  for (const TProbe& p : probes) {
    const TColor32 got = StraightPixel(r.Bitmap(), p.X, p.Y);
    SCOPED_TRACE(testing::Message() << p.X << "," << p.Y << " got " << std::hex << got);
    EXPECT_EQ(AlphaOf(got), AlphaOf(p.Reference));
    if (AlphaOf(got) == 0) continue;
    EXPECT_NEAR(RedOf(got), RedOf(p.Reference), 5);
    EXPECT_NEAR(GreenOf(got), GreenOf(p.Reference), 5);
    EXPECT_NEAR(BlueOf(got), BlueOf(p.Reference), 5);
  }
  // A soft edge: ImageMagick leaves the white matte in (255, 201, 185); without it the colour
  // is darker and more saturated.
  const TColor32 edge = StraightPixel(r.Bitmap(), 121, 2);
  EXPECT_EQ(AlphaOf(edge), 153);
  EXPECT_LT(GreenOf(edge), 190);
  EXPECT_LT(BlueOf(edge), 170);
}

// The test card carries a CMYK profile: its colours are those ImageMagick gives through Little CMS
// (`convert FILE[0] -intent Perceptual -profile sRGB.icc`), far from the plain ink formula's.
TEST(PsdLoader, CmykSampleIsShownThroughItsProfile) {
  KV_REQUIRE_CORPUS();
  const TDecodeResult r = DecodeSample("cmyk8_testcard.psd");
  ASSERT_TRUE(r.Ok());
  const struct {
    int X, Y;
    TColor32 Reference;
  } probes[] = {
      {130, 50, 0xFF41A62A}, {160, 50, 0xFFBF0B1C}, {80, 170, 0xFF4D4492},  {128, 212, 0xFFE64441},
      {30, 60, 0xFF579F89},  {230, 60, 0xFF7D8645}, {110, 100, 0xFF41403F},
  };
  for (const auto& p : probes) {
    const TColor32 got = r.Bitmap().Pixel(p.X, p.Y);
    SCOPED_TRACE(testing::Message() << p.X << "," << p.Y << " got " << std::hex << got);
    EXPECT_NEAR(RedOf(got), RedOf(p.Reference), 2);
    EXPECT_NEAR(GreenOf(got), GreenOf(p.Reference), 2);
    EXPECT_NEAR(BlueOf(got), BlueOf(p.Reference), 2);
  }
}

TEST(PsdLoader, CompositeWithoutMaximizedCompatibilityIsShownAsStored) {
  KV_REQUIRE_CORPUS();
  // Its three-channel composite holds only black and white; the layers are not composited.
  const TDecodeResult r = DecodeSample("psd_123_nomaxcompat.psd");
  ASSERT_TRUE(r.Ok());
  EXPECT_EQ(r.Bitmap().Pixel(0, 0), Color32(255, 0, 0, 0));
  EXPECT_EQ(r.Bitmap().Pixel(12, 6), Color32(255, 255, 255, 255));
  EXPECT_EQ(r.Bitmap().Pixel(13, 6), Color32(255, 0, 0, 0));
  EXPECT_EQ(r.Bitmap().Pixel(6, 40), Color32(255, 255, 255, 255));
  EXPECT_EQ(r.Bitmap().Pixel(200, 100), Color32(255, 0, 0, 0));
}

TEST(PsdLoader, IndexedSampleUsesPaletteAndTransparencyIndex) {
  KV_REQUIRE_CORPUS();
  // Palette entries read by hand from the file: index 21 = (219,222,226), 133 = (44,45,30),
  // 153 = (96,96,94); index 255 is transparent and covers 2220 pixels.
  const TDecodeResult r = DecodeSample("psd_indexed_trans.psd");
  ASSERT_TRUE(r.Ok());
  EXPECT_EQ(r.Bitmap().Pixel(0, 0), Color32(255, 219, 222, 226));
  EXPECT_EQ(r.Bitmap().Pixel(160, 120), Color32(255, 44, 45, 30));
  EXPECT_EQ(r.Bitmap().Pixel(319, 239), Color32(255, 96, 96, 94));
  const TColor32* px = r.Bitmap().Bits();
  EXPECT_EQ(std::count(px, px + 320 * 240, TColor32(0)), 2220);
}

TEST(PsdLoader, TruncatedSamplesFailOrDecodePartially) {
  KV_REQUIRE_CORPUS();
  SweepSampleFolder(DecodePsd, "psd");
}

// A hand-made document. Channel data is given per channel (all rows), raw or PackBits.
struct TPsd {
  unsigned Version = 1, Channels = 3, Width = 2, Height = 1, Depth = 8, Mode = 3;
  std::vector<uint8_t> ModeData, Resources;
  bool LayerSection = false;  // with a layer info block holding LayerCount
  int LayerCount = 0;
  unsigned Compression = 0;
  std::vector<std::vector<uint8_t>> Rows;  // raw: one entry per channel; RLE: one per row, in order
};

std::vector<uint8_t> Psd(const TPsd& p) {
  TBytes b;
  const bool psb = p.Version == 2;
  auto length = [&](uint64_t n) {
    if (psb) b.U32BE(uint32_t(n >> 32));
    b.U32BE(uint32_t(n));
  };
  b.Str("8BPS").U16BE(p.Version).Fill(6).U16BE(p.Channels).U32BE(p.Height).U32BE(p.Width);
  b.U16BE(p.Depth).U16BE(p.Mode);
  b.U32BE(uint32_t(p.ModeData.size())).Raw(p.ModeData);
  b.U32BE(uint32_t(p.Resources.size())).Raw(p.Resources);
  if (p.LayerSection) {
    length(psb ? 8 + 2 : 4 + 2);
    length(2);
    b.U16BE(uint16_t(int16_t(p.LayerCount)));
  } else {
    length(0);
  }
  b.U16BE(p.Compression);
  if (p.Compression == 1)
    for (const auto& row : p.Rows) psb ? b.U32BE(uint32_t(row.size())) : b.U16BE(unsigned(row.size()));
  for (const auto& row : p.Rows) b.Raw(row);
  return b.B;
}

TEST(PsdLoader, RawAndPackBitsGiveTheSamePicture) {
  TPsd raw;
  raw.Width = 3, raw.Height = 2;
  raw.Rows = {{10, 10, 10, 20, 30, 40}, {1, 2, 3, 4, 5, 6}, {200, 200, 200, 200, 200, 200}};
  TPsd rle = raw;
  rle.Compression = 1;
  // Per channel and row: a run, literals, and a -128 no-op that must be skipped.
  rle.Rows = {{0xFE, 10},       {0x02, 20, 30, 40}, {0x80, 0x02, 1, 2, 3},
              {0x02, 4, 5, 6},  {0xFE, 200},        {0xFE, 200, 0x00, 99}};  // the last byte pair overruns
  for (const TPsd* p : {&raw, &rle}) {
    SCOPED_TRACE(p->Compression);
    const TDecodeResult r = DecodePsd(Psd(*p));
    ASSERT_TRUE(r.Ok()) << r.Error().Message;
    EXPECT_EQ(r.Bitmap().Pixel(0, 0), Color32(255, 10, 1, 200));
    EXPECT_EQ(r.Bitmap().Pixel(2, 1), Color32(255, 40, 6, 200));
    EXPECT_FALSE(r.Partial());
  }
}

TEST(PsdLoader, LargeDocumentVariantHasWiderLengthsAndCounts) {
  TPsd p;
  p.Version = 2, p.Compression = 1, p.Channels = 3, p.Width = 4;
  p.Rows = {{0xFD, 7}, {0xFD, 8}, {0x03, 1, 2, 3, 4}};
  const TDecodeResult r = DecodePsd(Psd(p));
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_EQ(r.Bitmap().Pixel(3, 0), Color32(255, 7, 8, 4));
}

TEST(PsdLoader, ColourModes) {
  struct TCase {
    const char* Name;
    TPsd Doc;
    TColor32 First, Second;
  } cases[] = {
      {"bitmap: 1 is black", [] { TPsd p; p.Mode = 0, p.Depth = 1, p.Channels = 1, p.Rows = {{0x80}}; return p; }(),
       0xFF000000, 0xFFFFFFFF},
      {"grey 16", [] { TPsd p; p.Mode = 1, p.Depth = 16, p.Channels = 1, p.Rows = {{0xFF, 0xFF, 0x80, 0x80}}; return p; }(),
       0xFFFFFFFF, 0xFF808080},
      {"CMYK, stored inverted", [] {
         TPsd p;
         p.Mode = 4, p.Channels = 4;
         p.Rows = {{255, 0}, {255, 255}, {255, 255}, {255, 127}};  // no ink; cyan over half black
         return p;
       }(),
       0xFFFFFFFF, Color32(255, 0, 127, 127)},
      {"Lab", [] {
         TPsd p;
         p.Mode = 9, p.Rows = {{255, 0}, {128, 128}, {128, 128}};
         return p;
       }(),
       0xFFFFFFFF, 0xFF000000},
      {"multichannel: first channel as grey", [] {
         TPsd p;
         p.Mode = 7, p.Channels = 2, p.Rows = {{9, 200}, {0, 0}};
         return p;
       }(),
       Color32(255, 9, 9, 9), Color32(255, 200, 200, 200)},
      {"RGB 32-bit float, sRGB encoded", [] {
         TPsd p;
         p.Depth = 32;
         auto floats = [](float a, float b) {
           std::vector<uint8_t> v;
           for (float f : {a, b}) {
             uint32_t u;
             std::memcpy(&u, &f, 4);
             v.insert(v.end(), {uint8_t(u >> 24), uint8_t(u >> 16), uint8_t(u >> 8), uint8_t(u)});
           }
           return v;
         };
         p.Rows = {floats(1.0f, 0.2159f), floats(0.0f, 2.0f), floats(-1.0f, 0.0f)};
         return p;
       }(),
       Color32(255, 255, 0, 0), Color32(255, 128, 255, 0)},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TDecodeResult r = DecodePsd(Psd(c.Doc));
    ASSERT_TRUE(r.Ok()) << r.Error().Message;
    EXPECT_EQ(r.Bitmap().Pixel(0, 0), c.First);
    EXPECT_EQ(r.Bitmap().Pixel(1, 0), c.Second);
  }
}

TEST(PsdLoader, IndexedPaletteIsPlanarAndTransparencyComesFromResource1047) {
  TPsd p;
  p.Mode = 2, p.Channels = 1, p.Width = 3;
  p.ModeData.assign(768, 0);
  p.ModeData[1] = 10, p.ModeData[256 + 1] = 20, p.ModeData[512 + 1] = 30;  // entry 1
  TBytes res;
  res.Str("8BIM").U16BE(0x03ED).U8(0).U8(0).U32BE(3).Raw({1, 2, 3}).U8(0);  // odd size, padded
  res.Str("8BIM").U16BE(0x0417).U8(1).Str("x").U32BE(2).U16BE(2);           // name "x", padded
  p.Resources = res.B;
  p.Rows = {{1, 2, 0}};
  const TDecodeResult r = DecodePsd(Psd(p));
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_EQ(r.Bitmap().Pixel(0, 0), Color32(255, 10, 20, 30));
  EXPECT_EQ(r.Bitmap().Pixel(1, 0), TColor32(0));
  EXPECT_EQ(r.Bitmap().Pixel(2, 0), Color32(255, 0, 0, 0));
}

TEST(PsdLoader, ExtraChannelIsAlphaOnlyWhereTheLayerSectionSaysSo) {
  // RGB + one extra channel; pixel 0 half transparent, stored blended over white.
  const std::vector<std::vector<uint8_t>> rows = {{191, 0}, {127, 0}, {255, 0}, {128, 255}};
  struct TCase {
    const char* Name;
    unsigned Mode, Channels;
    bool LayerSection;
    int LayerCount;
    TColor32 Pixel;
  } cases[] = {
      // Negative count: merged alpha, and the white matte is taken out: 191 -> 127, 127 -> 0.
      {"negative layer count", 3, 4, true, -1, PremultipliedColor32(128, 127, 0, 255)},
      {"positive layer count: a saved selection", 3, 4, true, 2, Color32(255, 191, 127, 255)},
      {"no layer section, RGBA from another program", 3, 4, false, 0, PremultipliedColor32(128, 191, 127, 255)},
      {"no layer section, grey + extra", 1, 2, false, 0, Color32(255, 191, 191, 191)},
      {"negative count, grey + alpha", 1, 2, true, -1, PremultipliedColor32(127, 127, 127, 127)},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TPsd p;
    p.Mode = c.Mode, p.Channels = c.Channels, p.LayerSection = c.LayerSection, p.LayerCount = c.LayerCount;
    p.Rows = c.Channels == 4 ? rows : std::vector<std::vector<uint8_t>>{{191, 0}, {127, 0}};
    const TDecodeResult r = DecodePsd(Psd(p));
    ASSERT_TRUE(r.Ok()) << r.Error().Message;
    EXPECT_EQ(r.Bitmap().Pixel(0, 0), c.Pixel);
  }
}

TEST(PsdLoader, MalformedHeadersFail) {
  auto with = [](auto change) {
    TPsd p;
    p.Rows = {{1, 2}, {3, 4}, {5, 6}};
    change(p);
    return Psd(p);
  };
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Bytes;
    TDecodeErrorKind Kind;
  } cases[] = {
      {"empty", {}, TDecodeErrorKind::deCorrupt},
      {"no signature", [&] { auto v = with([](TPsd&) {}); v[3] = 'T'; return v; }(), TDecodeErrorKind::deCorrupt},
      {"header cut short", [&] { auto v = with([](TPsd&) {}); v.resize(20); return v; }(), TDecodeErrorKind::deTruncated},
      {"version 3", with([](TPsd& p) { p.Version = 3; }), TDecodeErrorKind::deUnsupported},
      {"no channels", with([](TPsd& p) { p.Channels = 0; }), TDecodeErrorKind::deCorrupt},
      {"57 channels", with([](TPsd& p) { p.Channels = 57; }), TDecodeErrorKind::deCorrupt},
      {"zero width", with([](TPsd& p) { p.Width = 0; }), TDecodeErrorKind::deCorrupt},
      {"too wide", with([](TPsd& p) { p.Width = 65536; }), TDecodeErrorKind::deTooLarge},
      {"too many pixels", with([](TPsd& p) { p.Width = 30000, p.Height = 30000; }), TDecodeErrorKind::deTooLarge},
      {"depth 12", with([](TPsd& p) { p.Depth = 12; }), TDecodeErrorKind::deCorrupt},
      {"bitmap of depth 8", with([](TPsd& p) { p.Mode = 0; }), TDecodeErrorKind::deCorrupt},
      {"RGB of depth 1", with([](TPsd& p) { p.Depth = 1; }), TDecodeErrorKind::deCorrupt},
      {"indexed without palette", with([](TPsd& p) { p.Mode = 2; }), TDecodeErrorKind::deCorrupt},
      {"CMYK in three channels", with([](TPsd& p) { p.Mode = 4; }), TDecodeErrorKind::deCorrupt},
      {"colour mode 5", with([](TPsd& p) { p.Mode = 5; }), TDecodeErrorKind::deUnsupported},
      {"32-bit Lab", with([](TPsd& p) { p.Mode = 9, p.Depth = 32; }), TDecodeErrorKind::deUnsupported},
      {"ZIP composite", with([](TPsd& p) { p.Compression = 2; }), TDecodeErrorKind::deUnsupported},
      {"compression 9", with([](TPsd& p) { p.Compression = 9; }), TDecodeErrorKind::deCorrupt},
      {"mode data past the end", [&] {
         auto v = with([](TPsd&) {});
         v[26] = 0x7F;
         return v;
       }(),
       TDecodeErrorKind::deTruncated},
      {"layer section past the end", [&] {
         auto v = with([](TPsd&) {});
         v[34] = 0x10;
         return v;
       }(),
       TDecodeErrorKind::deTruncated},
      {"row counts past the end", [] {
         TPsd p;
         p.Compression = 1, p.Height = 1000;
         return Psd(p);
       }(),
       TDecodeErrorKind::deTruncated},
      {"tiny file, huge picture", with([](TPsd& p) { p.Width = 16000, p.Height = 16000; }), TDecodeErrorKind::deTruncated},
      {"no image data section", [&] { auto v = with([](TPsd&) {}); v.resize(38); return v; }(),
       TDecodeErrorKind::deTruncated},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TDecodeResult r = DecodePsd(c.Bytes);
    ASSERT_FALSE(r.Ok());
    EXPECT_EQ(r.Error().Kind, c.Kind) << r.Error().Message;
  }
}

TEST(PsdLoader, MissingChannelDataGivesAPartialPicture) {
  TPsd p;
  p.Rows = {{10, 20}, {30}};  // green cut short, blue missing
  const TDecodeResult r = DecodePsd(Psd(p));
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_TRUE(r.Partial());
  EXPECT_EQ(r.Bitmap().Pixel(0, 0), Color32(255, 10, 30, 0));
  EXPECT_EQ(r.Bitmap().Pixel(1, 0), Color32(255, 20, 0, 0));
  p.Rows.clear();
  EXPECT_EQ(DecodePsd(Psd(p)).Error().Kind, TDecodeErrorKind::deTruncated);
}

}  // namespace

// The profile of image resource 1039 gives Little CMS's colours: CMYK from the ink the inverted
// samples mean, with the picture's alpha; RGB; and none for a 32-bit picture, which is linear light.
TEST(PsdLoader, EmbeddedProfileGivesLittleCmsColours) {
  auto withProfile = [](TPsd p, const std::vector<uint8_t>& profile) {
    TBytes r;
    r.Str("8BIM").U16BE(0x040F).U16BE(0).U32BE(uint32_t(profile.size())).Raw(profile);
    if (profile.size() & 1) r.U8(0);
    p.Resources = r.B;
    return Psd(p);
  };
  const std::vector<uint8_t> cmyk = icc::Cmyk(), adobe = icc::AdobeRgb();
  TPsd ink;  // two pixels with alpha: no ink, opaque; cyan and some black, half transparent
  ink.Mode = 4, ink.Channels = 5, ink.Width = 2, ink.LayerSection = true, ink.LayerCount = -1;
  ink.Rows = {{255, 55}, {255, 255}, {255, 255}, {255, 200}, {255, 128}};
  const uint8_t inks[] = {0, 0, 0, 0, 200, 0, 0, 55};
  const std::vector<TColor32> expected = icc::Convert(cmyk, TYPE_CMYK_8, inks, 2);
  const TDecodeResult r = DecodePsd(withProfile(ink, cmyk));
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_EQ(r.Bitmap().Pixel(0, 0), expected[0]);
  EXPECT_EQ(StraightPixel(r.Bitmap(), 1, 0) & 0xFF000000u, 0x80000000u);
  // Photoshop blended the half-transparent pixel over white: taken out again before the profile.
  EXPECT_NE(StraightPixel(r.Bitmap(), 1, 0) | 0xFF000000u, expected[1]);

  TPsd rgb;
  rgb.Rows = {{200, 30}, {40, 220}, {90, 10}};
  const TColor32 stored[] = {Color32(255, 200, 40, 90), Color32(255, 30, 220, 10)};
  const std::vector<TColor32> converted = icc::ConvertPixels(adobe, stored, 2);
  const TDecodeResult tagged = DecodePsd(withProfile(rgb, adobe));
  ASSERT_TRUE(tagged.Ok());
  for (int x = 0; x < 2; ++x)
    for (int shift : {0, 8, 16})
      EXPECT_LE(std::abs(int((tagged.Bitmap().Pixel(x, 0) >> shift) & 255) -
                         int((converted[size_t(x)] >> shift) & 255)),
                1);

  TPsd linear = rgb;
  linear.Depth = 32;
  linear.Rows = {std::vector<uint8_t>(8, 0), std::vector<uint8_t>(8, 0), std::vector<uint8_t>(8, 0)};
  EXPECT_EQ(PixelDigest(DecodePsd(withProfile(linear, adobe)).Bitmap()),
            PixelDigest(DecodePsd(Psd(linear)).Bitmap()));
}
