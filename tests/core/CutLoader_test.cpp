// No real Dr. Halo CUT and palette pair is known to be public; every file here is built from
// the format description.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "decoders/Decoders.h"
#include "imageview/ZmGraphicExTypes.h"
#include "tests/support/DecoderSamples.h"

namespace {

// A CUT of `width` x rows.size(): each row is its length word and its codes.
std::vector<uint8_t> Cut(unsigned width, const std::vector<std::vector<uint8_t>>& rows) {
  TBytes b;
  b.U16LE(width).U16LE(unsigned(rows.size())).U16LE(0);
  for (const auto& codes : rows) b.U16LE(unsigned(codes.size())).Raw(codes);
  return b.B;
}

// 5 x 3: a run of 3 and two literals; a short row; a row whose codes run on past its width.
std::vector<uint8_t> Sample() {
  return Cut(5, {{0x83, 80, 0x02, 1, 15, 0x00}, {0x02, 2, 3, 0x00}, {0x84, 4, 0x83, 5, 0x00}});
}

// A palette file of 256 entries, where entry i is (i, 255 - i, i / 2) on a scale of 0..`max`,
// kept in 512-byte records.
std::vector<uint8_t> Palette(unsigned max = 255, unsigned subtype = 0) {
  TBytes b;
  b.Str("AH").U16LE(0xE3).U16LE(0).U8(0x0A).U8(subtype).U16LE(0).U16LE(0).U16LE(255);
  b.U16LE(max).U16LE(max).U16LE(max).Str("grey and more").Fill(7);
  for (unsigned i = 0; i < 256; ++i) {
    if (b.Size() % 512 + 6 > 512) b.Fill(512 - b.Size() % 512);
    b.U16LE(i * max / 255).U16LE((255 - i) * max / 255).U16LE(i / 2 * max / 255);
  }
  return b.B;
}
TColor32 Entry(unsigned i) {
  return Color32(255, uint8_t(i), uint8_t(255 - i), uint8_t(i / 2));
}

TEST(CutLoader, RowsOfRunsAndLiteralsTakeTheirColoursFromThePalette) {
  const TDecodeResult r = DecodeCut(Sample(), Palette());
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_FALSE(r.Partial());
  const TBitmap32& bmp = r.Bitmap();
  ASSERT_EQ(bmp.Width(), 5);
  ASSERT_EQ(bmp.Height(), 3);
  const unsigned indices[3][5] = {{80, 80, 80, 1, 15}, {2, 3, 0, 0, 0}, {4, 4, 4, 4, 5}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(bmp.Pixel(x, y), Entry(indices[y][x])) << x << "," << y;
}

TEST(CutLoader, WithoutAUsablePaletteIndicesAreGreyUpToTheHighest) {
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Palette;
    TColor32 At80, At15;
  } cases[] = {
      {"no palette", {}, Color32(255, 255, 255, 255), Color32(255, 48, 48, 48)},
      {"hardware-specific palette", Palette(255, 1), Color32(255, 255, 255, 255), Color32(255, 48, 48, 48)},
      {"not a palette", {'A', 'I', 0, 0, 0, 0, 0x0A}, Color32(255, 255, 255, 255), Color32(255, 48, 48, 48)},
      {"samples of 0..63", Palette(63), Entry(80), Entry(15)},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TDecodeResult r = DecodeCut(Sample(), c.Palette);
    ASSERT_TRUE(r.Ok()) << r.Error().Message;
    // Within what 6-bit samples lose.
    for (auto [x, expected] : {std::pair{0, c.At80}, std::pair{4, c.At15}})
      for (int shift : {0, 8, 16})
        EXPECT_NEAR(int(r.Bitmap().Pixel(x, 0) >> shift & 255), int(expected >> shift & 255), 4);
  }
}

TEST(CutLoader, StructureMustHoldFromEndToEnd) {
  auto withTail = [](size_t n) {
    std::vector<uint8_t> b = Sample();
    b.resize(b.size() + n, 0x1A);
    return b;
  };
  EXPECT_TRUE(DecodeCut(withTail(128)).Ok());  // record padding
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Bytes;
    TDecodeErrorKind Kind;
  } cases[] = {
      {"empty", {}, TDecodeErrorKind::deTruncated},
      {"header cut short", {5, 0, 3}, TDecodeErrorKind::deTruncated},
      {"reserved word set",
       [] {
         auto b = Sample();
         b[4] = 1;
         return b;
       }(),
       TDecodeErrorKind::deCorrupt},
      {"zero width", Cut(0, {{0}}), TDecodeErrorKind::deCorrupt},
      {"zero height", Cut(5, {}), TDecodeErrorKind::deCorrupt},
      {"empty row", Cut(5, {{}}), TDecodeErrorKind::deCorrupt},
      {"row longer than any of its width", Cut(1, {{0x01, 9, 0x01, 9}}), TDecodeErrorKind::deCorrupt},
      {"more than padding after the last row", withTail(129), TDecodeErrorKind::deCorrupt},
      {"longer than any picture of its size",
       [] {
         auto b = Cut(1, {{0x81, 1, 0}});
         b.resize(300);
         return b;
       }(),
       TDecodeErrorKind::deCorrupt},
      {"tiny file, huge picture", Cut(60000, {{0x81, 1, 0}}), TDecodeErrorKind::deTruncated},
      {"too many pixels",
       [] {
         auto b = Cut(65535, {{0x81, 1, 0}});
         b[2] = b[3] = 0xFF;
         b.resize(1 << 20);
         return b;
       }(),
       TDecodeErrorKind::deTooLarge},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TDecodeResult r = DecodeCut(c.Bytes);
    ASSERT_FALSE(r.Ok());
    EXPECT_EQ(r.Error().Kind, c.Kind) << r.Error().Message;
  }
}

TEST(CutLoader, CutFilesDecodePartiallyOrFail) {
  std::vector<uint8_t> b = Sample();
  b.resize(b.size() - 3);
  const TDecodeResult r = DecodeCut(b);
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_TRUE(r.Partial());
  SweepTruncations(DecodeCut, Sample(), "sample");
}

// The palette is the file of the picture's name with the extension .pal in any letter case.
TEST(CutLoader, LoadPictureFindsThePaletteBesideThePicture) {
  TTempDir dir;
  auto text = [](const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); };
  const std::string sample = text(Sample()), palette = text(Palette());
  const std::string grey = text(Palette(255, 1));  // unusable, so grey
  dir.File("lower.cut", sample), dir.File("lower.pal", palette);
  dir.File("upper.cut", sample), dir.File("UPPER.PAL", palette);
  dir.File("Both.cut", sample), dir.File("BOTH.pal", grey), dir.File("Both.PAL", palette);
  dir.File("alone.cut", sample), dir.File("alone.cut.pal", palette), dir.File("lone.pal", palette);
  dir.File("fifo.cut", sample);
  ASSERT_EQ(mkfifo((dir.Path() + "fifo.pal").c_str(), 0600), 0);
  const struct {
    const char* Name;
    TColor32 At00;
  } cases[] = {
      {"lower.cut", Entry(80)},
      {"upper.cut", Entry(80)},
      {"Both.cut", Entry(80)},  // the name that keeps the picture's own letter case
      {"alone.cut", Color32(255, 255, 255, 255)},
      {"fifo.cut", Color32(255, 255, 255, 255)},  // never opened, so nothing waits for a writer
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const TDecodeResult r = LoadPicture(dir.Path() + c.Name);
    ASSERT_TRUE(r.Ok()) << r.Error().Message;
    EXPECT_EQ(r.Bitmap().Pixel(0, 0), c.At00);
  }
}

}  // namespace
