#include <gtest/gtest.h>

#include "decoders/Decoders.h"
#include "tests/support/DecoderSamples.h"

namespace {

constexpr const char* IM = "ImageMagick 6.9.11 convert -depth 8 rgba:-";
// ImageMagick truncates when it reduces 16-bit samples to 8 bits; we round to nearest. The
// reference is its 16-bit output rounded with (v * 255 + 32767) / 65535.
constexpr const char* IM16 = "ImageMagick convert -endian MSB -depth 16 rgba:-, rounded to 8 bits";

KV_SAMPLE_TESTS(SgiLoader, DecodeSgi, "sgi", {
    {"sgi/bw.rgb", 32, 32, "7c95ce5bfce24d57", IM},
    {"sgi/hopper.bw", 128, 128, "9bb091b967b4679d", IM},
    {"sgi/hopper.rgb", 128, 128, "47e1ded0bed9f1a3", IM},
    {"sgi/hopper.sgi", 128, 128, "47e1ded0bed9f1a3", IM},
    {"sgi/hopper16.rgb", 128, 128, "264b9ef175d8b4cc", IM16},
    {"sgi/rgb-gimp-2.8.10-aggressive-rle.rgb", 32, 32, "5c1d14aa15586d04", IM},
    {"sgi/rgb-gimp-2.8.10-rle.rgb", 32, 32, "5c1d14aa15586d04", IM},
    {"sgi/rgb-gimp-2.8.10-uncompressed.rgb", 32, 32, "5c1d14aa15586d04", IM},
    {"sgi/testcard_rgba.rgb", 256, 256, "774efd89cb4f1293", IM},
    {"sgi/transparent.sgi", 200, 150, "16998f520c17fc8c", IM},
})

TBytes SgiHeader(unsigned storage, unsigned bpc, unsigned dimension, unsigned x, unsigned y, unsigned z,
                 uint32_t colourMap = 0) {
  TBytes b;
  b.U16BE(474).U8(storage).U8(bpc).U16BE(dimension).U16BE(x).U16BE(y).U16BE(z);
  b.U32BE(0).U32BE(bpc == 1 ? 255 : 65535).U32BE(0).Fill(80).U32BE(colourMap).Fill(404);
  return b;
}

TEST(SgiLoader, VerbatimChannelsArePlanarAndRowsBottomUp) {
  // 2x2 RGB: channel planes R, G, B, each with the bottom row first.
  TBytes b = SgiHeader(0, 1, 3, 2, 2, 3);
  b.Raw({1, 2, 3, 4}).Raw({10, 20, 30, 40}).Raw({100, 110, 120, 130});
  const TDecodeResult r = DecodeSgi(b.B);
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_EQ(r.Bitmap().Pixel(0, 1), Color32(255, 1, 10, 100));
  EXPECT_EQ(r.Bitmap().Pixel(1, 1), Color32(255, 2, 20, 110));
  EXPECT_EQ(r.Bitmap().Pixel(0, 0), Color32(255, 3, 30, 120));
  EXPECT_EQ(r.Bitmap().Pixel(1, 0), Color32(255, 4, 40, 130));
  EXPECT_FALSE(r.Partial());
}

TEST(SgiLoader, ChannelCountsGiveGreyAlphaRgbAndRgba) {
  struct TCase {
    unsigned Dimension, Channels;
    TColor32 Pixel;
  } cases[] = {
      {2, 1, Color32(255, 10, 10, 10)},
      {3, 2, PremultipliedColor32(20, 10, 10, 10)},
      {3, 3, Color32(255, 10, 20, 30)},
      {3, 4, PremultipliedColor32(40, 10, 20, 30)},
      {3, 5, PremultipliedColor32(40, 10, 20, 30)},  // a fifth channel is not shown
      {2, 4, Color32(255, 10, 10, 10)},              // dimension 2 has one channel whatever ZSIZE says
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Dimension << "/" << c.Channels);
    TBytes b = SgiHeader(0, 1, c.Dimension, 1, 1, c.Channels);
    b.Raw({10, 20, 30, 40, 50});
    const TDecodeResult r = DecodeSgi(b.B);
    ASSERT_TRUE(r.Ok()) << r.Error().Message;
    EXPECT_EQ(r.Bitmap().Pixel(0, 0), c.Pixel);
  }
}

TEST(SgiLoader, SixteenBitSamplesAreBigEndianAndRounded) {
  TBytes b = SgiHeader(0, 2, 2, 3, 1, 1);
  b.U16BE(0xFFFF).U16BE(0x8080).U16BE(0x0D00);  // 255, 128, 12.95 -> 13
  const TDecodeResult r = DecodeSgi(b.B);
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_EQ(BlueOf(r.Bitmap().Pixel(0, 0)), 255);
  EXPECT_EQ(BlueOf(r.Bitmap().Pixel(1, 0)), 128);
  EXPECT_EQ(BlueOf(r.Bitmap().Pixel(2, 0)), 13);
}

// An RLE file of one channel, `rows` rows, with tables pointing at the given row records.
TBytes RleGrey(unsigned width, const std::vector<std::pair<uint32_t, uint32_t>>& table, unsigned bpc = 1) {
  TBytes b = SgiHeader(1, bpc, 2, width, unsigned(table.size()), 1);
  for (const auto& e : table) b.U32BE(e.first);
  for (const auto& e : table) b.U32BE(e.second);
  return b;
}

TEST(SgiLoader, RleRowsMayShareDataAndComeInAnyOrder) {
  // Two rows share one record at 528 (after the two 8-byte tables), the record being a run of 3
  // and two literal samples, then the end code.
  TBytes b = RleGrey(5, {{528, 6}, {528, 6}});
  b.Raw({0x03, 9, 0x82, 1, 2, 0x00});
  const TDecodeResult r = DecodeSgi(b.B);
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  for (int y = 0; y < 2; ++y) {
    EXPECT_EQ(BlueOf(r.Bitmap().Pixel(2, y)), 9);
    EXPECT_EQ(BlueOf(r.Bitmap().Pixel(3, y)), 1);
    EXPECT_EQ(BlueOf(r.Bitmap().Pixel(4, y)), 2);
  }
  EXPECT_FALSE(r.Partial());
}

TEST(SgiLoader, RleRowsAreClampedToTheirWidthAndTableLength) {
  // Row 0 claims 100 repeats (clipped to 3); row 1's length stops it before its literal ends.
  TBytes b = RleGrey(3, {{528, 3}, {531, 3}});
  b.Raw({0x64, 7, 0, 0x83, 5, 6, 8});
  const TDecodeResult r = DecodeSgi(b.B);
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_EQ(r.Bitmap().Pixel(2, 1), Color32(255, 7, 7, 7));
  EXPECT_EQ(r.Bitmap().Pixel(1, 0), Color32(255, 6, 6, 6));
  EXPECT_EQ(r.Bitmap().Pixel(2, 0), Color32(255, 0, 0, 0));
}

TEST(SgiLoader, SixteenBitRleRepeatsWholeSamples) {
  TBytes b = RleGrey(2, {{520, 6}}, 2);
  b.U16BE(0x0002).U16BE(0x4000).U16BE(0);
  const TDecodeResult r = DecodeSgi(b.B);
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_EQ(r.Bitmap().Pixel(1, 0), Color32(255, 64, 64, 64));
}

TEST(SgiLoader, RowsOutsideTheFileMakeAPartialPicture) {
  TBytes b = RleGrey(1, {{528, 2}, {5000, 2}});
  b.Raw({0x81, 77});
  const TDecodeResult r = DecodeSgi(b.B);
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_TRUE(r.Partial());
  EXPECT_EQ(r.Bitmap().Pixel(0, 1), Color32(255, 77, 77, 77));
  // No row inside the file at all: nothing to show.
  EXPECT_FALSE(DecodeSgi(RleGrey(1, {{5000, 2}}).B).Ok());
}

TEST(SgiLoader, MalformedHeadersFail) {
  auto withByte = [](size_t at, uint8_t v) {
    TBytes b = SgiHeader(0, 1, 2, 1, 1, 1);
    b.U8(1);
    b.B[at] = v;
    return b.B;
  };
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Bytes;
    TDecodeErrorKind Kind;
  } cases[] = {
      {"empty", {}, TDecodeErrorKind::deTruncated},
      {"bad magic", withByte(1, 0xDB), TDecodeErrorKind::deCorrupt},
      {"header cut short", [] { auto v = SgiHeader(0, 1, 2, 1, 1, 1).B; v.resize(300); return v; }(),
       TDecodeErrorKind::deTruncated},
      {"storage 2", withByte(2, 2), TDecodeErrorKind::deCorrupt},
      {"3 bytes per channel", withByte(3, 3), TDecodeErrorKind::deCorrupt},
      {"dimension 4", withByte(5, 4), TDecodeErrorKind::deCorrupt},
      {"zero width", withByte(7, 0), TDecodeErrorKind::deCorrupt},
      {"zero height", withByte(9, 0), TDecodeErrorKind::deCorrupt},
      {"indexed colour map", withByte(107, 2), TDecodeErrorKind::deUnsupported},
      {"tables past the end", SgiHeader(1, 1, 3, 10, 100, 4).B, TDecodeErrorKind::deTruncated},
      {"no pixel data", SgiHeader(0, 1, 2, 1, 1, 1).B, TDecodeErrorKind::deTruncated},
      {"tiny file, huge picture", [] { TBytes b = SgiHeader(0, 1, 3, 16000, 16000, 3); b.U8(0); return b.B; }(),
       TDecodeErrorKind::deTruncated},
      {"too large", [] { TBytes b = SgiHeader(0, 1, 3, 65535, 65535, 1); b.U8(0); return b.B; }(),
       TDecodeErrorKind::deTooLarge},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TDecodeResult r = DecodeSgi(c.Bytes);
    ASSERT_FALSE(r.Ok());
    EXPECT_EQ(r.Error().Kind, c.Kind) << r.Error().Message;
  }
}

TEST(SgiLoader, DimensionOneIsASingleRow) {
  TBytes b = SgiHeader(0, 1, 1, 3, 50, 3);  // YSIZE and ZSIZE are ignored
  b.Raw({5, 6, 7});
  const TDecodeResult r = DecodeSgi(b.B);
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_EQ(r.Bitmap().Height(), 1);
  EXPECT_EQ(r.Bitmap().Pixel(2, 0), Color32(255, 7, 7, 7));
}

}  // namespace
