#include <gtest/gtest.h>

#include <set>

#include "decoders/Decoders.h"
#include "tests/support/DecoderSamples.h"

namespace {

constexpr const char* IM = "ImageMagick 6.9.11 convert -depth 8 rgba:-";
// The four 32/16-bit Truevision samples store alpha 0 in every pixel. ImageMagick shows them
// fully transparent; we treat an all-zero alpha channel as absent, so the reference for them
// is ImageMagick with -alpha off (the same digest as the 24-bit sample of the same picture).
// ImageMagick shows these two bottom-left files upside down (the picture's text reads upright
// only the way the origin bit says), so their reference is ImageMagick with -flip.
constexpr const char* IMFlip = "ImageMagick convert -flip -depth 8 rgba:- (it ignores the origin here)";
// ImageMagick reads 16-bit grey+alpha as noise; the pixels are checked by hand below.
constexpr const char* NoRef = "no reference: ImageMagick misreads 16-bit grey with alpha";
constexpr const char* IMAlphaOff = "ImageMagick convert -alpha off -depth 8 rgba:- (all alpha 0 means opaque)";

TEST(TgaLoader, SamplesMatchReferenceDecodes) {
  KV_REQUIRE_CORPUS();
  CheckSamples(DecodeTga, {
      {"tga/200x32_la_bl_rle.tga", 200, 32, nullptr, NoRef},
      {"tga/200x32_p_tl_rle.tga", 200, 32, "3167da62e711955f", IM},
      {"tga/200x32_rgba_tl_rle.tga", 200, 32, "a3b3f796212751d9", IM},
      {"tga/CBW8.TGA", 128, 128, "8289daa956f8c325", IM},
      {"tga/CCM8.TGA", 128, 128, "dabcf40747dc4325", IM},
      {"tga/CTC16.TGA", 128, 128, "dabcf40747dc4325", IMAlphaOff},
      {"tga/CTC24.TGA", 128, 128, "dabcf40747dc4325", IM},
      {"tga/CTC32.TGA", 128, 128, "dabcf40747dc4325", IMAlphaOff},
      {"tga/UBW8.TGA", 128, 128, "8289daa956f8c325", IM},
      {"tga/UCM8.TGA", 128, 128, "dabcf40747dc4325", IM},
      {"tga/UTC16.TGA", 128, 128, "dabcf40747dc4325", IMAlphaOff},
      {"tga/UTC24.TGA", 128, 128, "dabcf40747dc4325", IM},
      {"tga/UTC32.TGA", 128, 128, "dabcf40747dc4325", IMAlphaOff},
      {"tga/colormapped.tga", 48, 48, "c0dd6ef0e7175720", IM},
      {"tga/cross_scan_line.tga", 2, 2, "d7fd3f5d608d8c0d", IMFlip},
      {"tga/devarea.tga", 131, 131, "0f50c65ecf86978e", IM},
      {"tga/extarea.tga", 131, 131, "0f50c65ecf86978e", IM},
      {"tga/rgba16.tga", 2, 1, "36622fa539c4348f", IM},
      {"tga/tga_id_field.tga", 100, 100, "1c9add91e906019b", IMFlip},
  });
}

TEST(TgaLoader, AllZeroAlphaSamplesShowTheirColoursOpaque) {
  KV_REQUIRE_CORPUS();
  for (const char* name : {"tga/UTC32.TGA", "tga/UTC16.TGA"}) {
    SCOPED_TRACE(name);
    const TDecodeResult r = DecodeTga(ReadBytes(CorpusPath(std::string("formats/") + name)));
    ASSERT_TRUE(r.Ok());
    for (int y = 0; y < 128; y += 9)
      for (int x = 0; x < 128; x += 7) ASSERT_EQ(AlphaOf(r.Bitmap().Pixel(x, y)), 255);
    // The colour bars are all there.
    std::set<TColor32> colours(r.Bitmap().Bits(), r.Bitmap().Bits() + 128 * 128);
    EXPECT_GE(colours.size(), 5u);
  }
}

TEST(TgaLoader, GreyWithAlphaSampleKeepsBothBytes) {
  KV_REQUIRE_CORPUS();
  // Each 16-bit pixel is a grey byte then an alpha byte; rows are stored bottom-up.
  const TDecodeResult r = DecodeTga(ReadBytes(CorpusPath("formats/tga/200x32_la_bl_rle.tga")));
  ASSERT_TRUE(r.Ok());
  EXPECT_EQ(StraightPixel(r.Bitmap(), 0, 31), Color32(253, 2, 2, 2));    // first stored pixel
  EXPECT_EQ(StraightPixel(r.Bitmap(), 1, 31), Color32(250, 4, 4, 4));
  EXPECT_EQ(StraightPixel(r.Bitmap(), 0, 0), Color32(252, 0, 0, 0));     // last stored row
  EXPECT_EQ(AlphaOf(r.Bitmap().Pixel(100, 0)), 6);  // the alpha ramp's low point
}

TEST(TgaLoader, TruncatedSamplesFailOrDecodePartially) {
  KV_REQUIRE_CORPUS();
  SweepSampleFolder(DecodeTga, "tga");
}

// An 18-byte header followed by `body`.
std::vector<uint8_t> Tga(unsigned type, unsigned bits, unsigned descriptor, unsigned w, unsigned h,
                         std::initializer_list<uint8_t> body, unsigned mapType = 0, unsigned mapFirst = 0,
                         unsigned mapLength = 0, unsigned mapBits = 0) {
  TBytes b;
  b.U8(0).U8(mapType).U8(type).U16LE(mapFirst).U16LE(mapLength).U8(mapBits);
  b.U16LE(0).U16LE(0).U16LE(w).U16LE(h).U8(bits).U8(descriptor).Raw(body);
  return b.B;
}

TEST(TgaLoader, OriginBitsPlaceRowsAndColumns) {
  // Four grey pixels 10, 20, 30, 40 in storage order, 2x2.
  struct TCase {
    unsigned Descriptor;
    uint8_t TopLeft, TopRight, BottomLeft, BottomRight;
  } cases[] = {
      {0x00, 30, 40, 10, 20},  // bottom-left origin: first stored row is the bottom one
      {0x10, 40, 30, 20, 10},  // bottom-right
      {0x20, 10, 20, 30, 40},  // top-left
      {0x30, 20, 10, 40, 30},  // top-right
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Descriptor);
    const TDecodeResult r = DecodeTga(Tga(3, 8, c.Descriptor, 2, 2, {10, 20, 30, 40}));
    ASSERT_TRUE(r.Ok()) << r.Error().Message;
    const TBitmap32& b = r.Bitmap();
    EXPECT_EQ(BlueOf(b.Pixel(0, 0)), c.TopLeft);
    EXPECT_EQ(BlueOf(b.Pixel(1, 0)), c.TopRight);
    EXPECT_EQ(BlueOf(b.Pixel(0, 1)), c.BottomLeft);
    EXPECT_EQ(BlueOf(b.Pixel(1, 1)), c.BottomRight);
  }
}

TEST(TgaLoader, RunLengthPacketsMayCrossRows) {
  // 3x2 true colour 24-bit, top-left origin: a run of 4 red pixels, then a raw packet of 2.
  const TDecodeResult r = DecodeTga(Tga(10, 24, 0x20, 3, 2,
                                        {0x83, 0, 0, 255, 0x01, 255, 0, 0, 0, 255, 0}));
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  const TBitmap32& b = r.Bitmap();
  for (int i = 0; i < 4; ++i) EXPECT_EQ(b.Pixel(i % 3, i / 3), Color32(255, 255, 0, 0)) << i;
  EXPECT_EQ(b.Pixel(1, 1), Color32(255, 0, 0, 255));
  EXPECT_EQ(b.Pixel(2, 1), Color32(255, 0, 255, 0));
  EXPECT_FALSE(r.Partial());
}

TEST(TgaLoader, SixteenBitPixelsAndTheirAlphaBit) {
  // 0x7C00 = opaque-bit clear, pure red; 0x83E0 = alpha bit set, pure green.
  const std::initializer_list<uint8_t> px = {0x00, 0x7C, 0xE0, 0x83};
  struct TCase {
    unsigned Bits, Descriptor;
    TColor32 First, Second;
  } cases[] = {
      {16, 0x20, 0xFFFF0000, 0xFF00FF00},  // no attribute bits: opaque
      {16, 0x21, 0x00000000, 0xFF00FF00},  // one attribute bit: the top bit is alpha
      {16, 0x28, 0x00000000, 0xFF00FF00},  // eight declared: still the top bit
      {15, 0x21, 0xFFFF0000, 0xFF00FF00},  // 15-bit never has alpha
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Bits << "/" << c.Descriptor);
    const TDecodeResult r = DecodeTga(Tga(2, c.Bits, c.Descriptor, 2, 1, px));
    ASSERT_TRUE(r.Ok()) << r.Error().Message;
    EXPECT_EQ(r.Bitmap().Pixel(0, 0), c.First);
    EXPECT_EQ(r.Bitmap().Pixel(1, 0), c.Second);
  }
}

TEST(TgaLoader, ColourMapStartsAtItsFirstEntryIndexAndClampsStrayIndices) {
  // Map entries 5 and 6 (24-bit): blue, red. Index 7 is past the map, 2 before it.
  const TDecodeResult r = DecodeTga(Tga(1, 8, 0x20, 4, 1, {255, 0, 0, 0, 0, 255, 5, 6, 7, 2}, 1, 5, 2, 24));
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  const TBitmap32& b = r.Bitmap();
  EXPECT_EQ(b.Pixel(0, 0), Color32(255, 0, 0, 255));
  EXPECT_EQ(b.Pixel(1, 0), Color32(255, 255, 0, 0));
  EXPECT_EQ(b.Pixel(2, 0), Color32(255, 255, 0, 0));
  EXPECT_EQ(b.Pixel(3, 0), Color32(255, 0, 0, 255));
}

// A 1x1 32-bit pixel (B,G,R,A) = (40, 80, 120, 128), with attribute bits `alphaBits` and,
// when `attributes` >= 0, a TGA 2.0 extension area carrying that attributes type.
std::vector<uint8_t> TgaWithExtension(unsigned alphaBits, int attributes) {
  TBytes b;
  b.Raw(Tga(2, 32, alphaBits, 1, 1, {40, 80, 120, 128}));
  if (attributes >= 0) {
    const size_t ext = b.Size();
    b.U16LE(495).Fill(492).U8(unsigned(attributes));
    b.U32LE(uint32_t(ext)).U32LE(0).Str("TRUEVISION-XFILE.").U8(0);
  }
  return b.B;
}

TEST(TgaLoader, AlphaFollowsAttributeBitsAndExtensionArea) {
  struct TCase {
    unsigned AlphaBits;
    int Attributes;
    TColor32 Pixel;  // premultiplied result
  } cases[] = {
      {0, -1, Color32(255, 120, 80, 40)},  // no attribute bits, no extension: opaque
      {8, -1, PremultipliedColor32(128, 120, 80, 40)},
      {0, 3, PremultipliedColor32(128, 120, 80, 40)},  // the extension adds alpha
      {8, 0, PremultipliedColor32(128, 120, 80, 40)},  // but does not take it away
      {0, 4, Color32(128, 120, 80, 40)},               // already premultiplied
      {0, 2, Color32(255, 120, 80, 40)},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.AlphaBits << "/" << c.Attributes);
    const TDecodeResult r = DecodeTga(TgaWithExtension(c.AlphaBits, c.Attributes));
    ASSERT_TRUE(r.Ok()) << r.Error().Message;
    EXPECT_EQ(r.Bitmap().Pixel(0, 0), c.Pixel);
  }
}

TEST(TgaLoader, PremultipliedDataNeverExceedsItsAlpha) {
  // Attributes type 4, but the colour bytes are larger than alpha (damaged data).
  TBytes b;
  b.Raw(Tga(2, 32, 8, 1, 1, {200, 200, 200, 100}));
  b.U16LE(495).Fill(492).U8(4).U32LE(22).U32LE(0).Str("TRUEVISION-XFILE.").U8(0);
  const TDecodeResult r = DecodeTga(b.B);
  ASSERT_TRUE(r.Ok());
  EXPECT_EQ(r.Bitmap().Pixel(0, 0), Color32(100, 100, 100, 100));
}

TEST(TgaLoader, MalformedHeadersFail) {
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Bytes;
    TDecodeErrorKind Kind;
  } cases[] = {
      {"empty", {}, TDecodeErrorKind::deTruncated},
      {"header cut short", {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0}, TDecodeErrorKind::deTruncated},
      {"colour map type 2", Tga(2, 24, 0, 1, 1, {1, 2, 3}, 2), TDecodeErrorKind::deCorrupt},
      {"no image data", Tga(0, 24, 0, 1, 1, {1, 2, 3}), TDecodeErrorKind::deUnsupported},
      {"image type 5", Tga(5, 24, 0, 1, 1, {1, 2, 3}), TDecodeErrorKind::deCorrupt},
      {"image type 18", Tga(18, 24, 0, 1, 1, {1, 2, 3}), TDecodeErrorKind::deCorrupt},
      {"Huffman compressed", Tga(32, 8, 0, 1, 1, {1}), TDecodeErrorKind::deUnsupported},
      {"interleaved", Tga(2, 24, 0x40, 1, 1, {1, 2, 3}), TDecodeErrorKind::deUnsupported},
      {"true colour of 12 bits", Tga(2, 12, 0, 1, 1, {1, 2}), TDecodeErrorKind::deCorrupt},
      {"grey of 24 bits", Tga(3, 24, 0, 1, 1, {1, 2, 3}), TDecodeErrorKind::deCorrupt},
      {"mapped without map", Tga(1, 8, 0, 1, 1, {0}), TDecodeErrorKind::deCorrupt},
      {"map entries of 8 bits", Tga(1, 8, 0, 1, 1, {0, 0}, 1, 0, 1, 8), TDecodeErrorKind::deCorrupt},
      {"map past the end", Tga(1, 8, 0, 1, 1, {0, 0, 0}, 1, 0, 200, 24), TDecodeErrorKind::deTruncated},
      {"zero width", Tga(3, 8, 0, 0, 1, {1}), TDecodeErrorKind::deCorrupt},
      {"zero height", Tga(3, 8, 0, 1, 0, {1}), TDecodeErrorKind::deCorrupt},
      {"no pixels", Tga(3, 8, 0, 1, 1, {}), TDecodeErrorKind::deTruncated},
      {"too large", Tga(3, 8, 0, 65535, 65535, {1}), TDecodeErrorKind::deTooLarge},
      // A few bytes must not make the decoder build a picture of hundreds of megabytes.
      {"tiny file, huge picture", Tga(2, 24, 0, 8960, 9984, {1, 2, 3, 4, 5, 6}), TDecodeErrorKind::deTruncated},
      {"tiny RLE file, huge picture", Tga(10, 24, 0, 16000, 16000, {0xFF, 1, 2, 3}), TDecodeErrorKind::deTruncated},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TDecodeResult r = DecodeTga(c.Bytes);
    ASSERT_FALSE(r.Ok());
    EXPECT_EQ(r.Error().Kind, c.Kind) << r.Error().Message;
  }
}

TEST(TgaLoader, DataEndingEarlyGivesThePartialPicture) {
  // 2x3 grey, bottom-left origin, only the first stored row and a half are present.
  const TDecodeResult r = DecodeTga(Tga(3, 8, 0, 2, 3, {7, 8, 9}));
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_TRUE(r.Partial());
  EXPECT_EQ(r.Bitmap().Pixel(0, 2), Color32(255, 7, 7, 7));
  EXPECT_EQ(r.Bitmap().Pixel(1, 2), Color32(255, 8, 8, 8));
  // A run packet whose pixel is cut off yields nothing more.
  EXPECT_FALSE(DecodeTga(Tga(11, 8, 0, 2, 1, {0x81})).Ok());
}

}  // namespace
