#include <gtest/gtest.h>

#include "decoders/Decoders.h"
#include "tests/support/DecoderSamples.h"

namespace {

// ImageMagick refuses these files. The reference is a throw-away Python reader written from the
// format notes; it keeps the matte-multiplied colours as they are stored. The 8- and 16-bit
// files decode to the same pixels there, the 10-bit one to within 1 level.
constexpr const char* Ref = "throw-away reader from the format notes, premultiplied as stored";

KV_SAMPLE_TESTS(RlaLoader, DecodeRla, "rla", {
    {"rla/ginsu_a_nc8.rla", 512, 512, "b0efb42762980ca0", Ref},
    {"rla/ginsu_rgb_nc10.rla", 512, 512, "4fae1252abefac18", Ref},
    {"rla/ginsu_rgb_nc16.rla", 512, 512, "65bfb28425a87014", Ref},
    {"rla/ginsu_rgb_nc8.rla", 512, 512, "65bfb28425a87014", Ref},
    {"rla/ginsu_rgba_nc8.rla", 512, 512, "539a538f2d659231", Ref},
    {"rla/imgmake_rgba_nc8.rla", 512, 512, "539a538f2d659231", Ref},
})

struct TRlaSpec {
  int Window[4] = {0, 0, 0, 0};  // left, right, bottom, top
  int Active[4] = {0, 0, 0, 0};
  int Colour = 3, Matte = 0, Aux = 0;
  int ColourBits = 8, MatteBits = 8, ColourType = 0;
  unsigned Revision = 0xFFFE;
};

TBytes RlaHeader(const TRlaSpec& s) {
  TBytes b;
  for (int v : s.Window) b.U16BE(unsigned(v));
  for (int v : s.Active) b.U16BE(unsigned(v));
  b.U16BE(1).U16BE(unsigned(s.ColourType)).U16BE(unsigned(s.Colour)).U16BE(unsigned(s.Matte));
  b.U16BE(unsigned(s.Aux)).U16BE(s.Revision).Fill(658 - 28);
  b.U16BE(unsigned(s.ColourBits)).U16BE(0).U16BE(unsigned(s.MatteBits)).U16BE(0).U16BE(8).Fill(740 - 668);
  return b;
}

// Channel data stored as literal runs.
std::vector<uint8_t> Literal(const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i < bytes.size(); i += 128) {
    const size_t n = std::min<size_t>(128, bytes.size() - i);
    out.push_back(uint8_t(-int(n)));
    out.insert(out.end(), bytes.begin() + i, bytes.begin() + i + n);
  }
  return out;
}

// A file of scanlines given bottom row first, each a list of encoded channel records.
TBytes RlaFile(const TRlaSpec& s, const std::vector<std::vector<std::vector<uint8_t>>>& rows) {
  TBytes b = RlaHeader(s);
  uint32_t offset = uint32_t(b.Size() + 4 * rows.size());
  for (const auto& row : rows) {
    b.U32BE(offset);
    for (const auto& record : row) offset += uint32_t(2 + record.size());
  }
  for (const auto& row : rows)
    for (const auto& record : row) b.U16BE(unsigned(record.size())).Raw(record);
  return b;
}

TRlaSpec Spec(int width, int height) {
  TRlaSpec s;
  s.Window[1] = s.Active[1] = width - 1;
  s.Window[3] = s.Active[3] = height - 1;
  return s;
}

TEST(RlaLoader, ActiveWindowIsPlacedInItsFrameBottomRowFirst) {
  // A 4x3 frame holding a 2x2 window one column in, at the bottom of the frame.
  TRlaSpec s;
  s.Window[1] = 3, s.Window[3] = 2;
  s.Active[0] = 1, s.Active[1] = 2, s.Active[3] = 1;
  const TBytes b = RlaFile(s, {{Literal({1, 2}), Literal({3, 4}), Literal({5, 6})},
                               {Literal({7, 8}), Literal({9, 10}), Literal({11, 12})}});
  const TDecodeResult r = DecodeRla(b.B);
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_FALSE(r.Partial());
  ASSERT_EQ(r.Bitmap().Width(), 4);
  ASSERT_EQ(r.Bitmap().Height(), 3);
  EXPECT_EQ(r.Bitmap().Pixel(1, 2), Color32(255, 1, 3, 5));  // first scanline: the bottom row
  EXPECT_EQ(r.Bitmap().Pixel(2, 2), Color32(255, 2, 4, 6));
  EXPECT_EQ(r.Bitmap().Pixel(1, 1), Color32(255, 7, 9, 11));
  EXPECT_EQ(r.Bitmap().Pixel(0, 0), Color32(255, 0, 0, 0));  // frame outside the window
  EXPECT_EQ(r.Bitmap().Pixel(3, 2), Color32(255, 0, 0, 0));
}

TEST(RlaLoader, FramesThatCannotHoldTheWindowShowItAlone) {
  struct TCase {
    const char* Name;
    int Window[4];
  } cases[] = {
      {"frame elsewhere", {100, 110, 100, 110}},
      {"empty frame", {5, 0, 0, 0}},
      {"huge frame", {-32768, 32767, -32768, 32767}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TRlaSpec s = Spec(2, 1);
    std::copy(std::begin(c.Window), std::end(c.Window), s.Window);
    const TDecodeResult r = DecodeRla(RlaFile(s, {{Literal({1, 2}), Literal({3, 4}), Literal({5, 6})}}).B);
    ASSERT_TRUE(r.Ok()) << r.Error().Message;
    EXPECT_EQ(r.Bitmap().Width(), 2);
    EXPECT_EQ(r.Bitmap().Height(), 1);
    EXPECT_EQ(r.Bitmap().Pixel(1, 0), Color32(255, 2, 4, 6));
  }
}

TEST(RlaLoader, WideSamplesAreBytePlanesMostSignificantFirst) {
  struct TCase {
    int Bits;
    std::vector<uint8_t> Planes;  // two grey samples
    uint8_t First, Second;
  } cases[] = {
      {8, {255, 128}, 255, 128},
      {10, {0x03, 0x02, 0xFF, 0x00}, 255, 128},  // 1023 and 512 of 1023
      {12, {0x0F, 0x00, 0xFF, 0x80}, 255, 8},    // 4095 and 128 of 4095
      {16, {0xFF, 0x80, 0xFF, 0x80}, 255, 128},  // 65535 and 32896
      {32, {0xFF, 0x80, 0xFF, 0, 0xFF, 0, 0xFF, 0}, 255, 128},
      {10, {0xFF, 0, 0xFF, 0}, 255, 0},  // bits above the depth clamp to white
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Bits);
    TRlaSpec s = Spec(2, 1);
    s.Colour = 1, s.ColourBits = c.Bits;
    const TDecodeResult r = DecodeRla(RlaFile(s, {{Literal(c.Planes)}}).B);
    ASSERT_TRUE(r.Ok()) << r.Error().Message;
    EXPECT_EQ(r.Bitmap().Pixel(0, 0), Color32(255, c.First, c.First, c.First));
    EXPECT_EQ(r.Bitmap().Pixel(1, 0), Color32(255, c.Second, c.Second, c.Second));
  }
}

TEST(RlaLoader, MatteIsPremultipliedAlphaAndAuxChannelsAreSkipped) {
  struct TCase {
    const char* Name;
    int Colour, Matte, Aux;
    TColor32 Pixel;
  } cases[] = {
      {"grey", 1, 0, 0, Color32(255, 10, 10, 10)},
      {"grey with matte", 1, 1, 0, Color32(100, 10, 10, 10)},
      {"RGB with matte", 3, 1, 0, Color32(100, 10, 20, 30)},
      {"RGB plus a fourth colour channel", 4, 0, 0, Color32(255, 10, 20, 30)},
      {"RPF: RGB, matte and two aux channels", 3, 1, 2, Color32(100, 10, 20, 30)},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TRlaSpec s = Spec(1, 1);
    s.Colour = c.Colour, s.Matte = c.Matte, s.Aux = c.Aux;
    std::vector<std::vector<uint8_t>> row;
    for (int i = 0; i < c.Colour; ++i) row.push_back(Literal({uint8_t(10 * (i + 1))}));
    if (c.Matte) row.push_back(Literal({100}));
    for (int i = 0; i < c.Aux; ++i) row.push_back({0x00, 0xEE});
    const TDecodeResult r = DecodeRla(RlaFile(s, {row}).B);
    ASSERT_TRUE(r.Ok()) << r.Error().Message;
    EXPECT_EQ(r.Bitmap().Pixel(0, 0), c.Pixel);
  }
}

TEST(RlaLoader, MatteFieldsOfAFileWithoutMatteAreIgnored) {
  TRlaSpec s = Spec(1000, 1);
  s.Colour = 1, s.MatteBits = -32768;
  const TDecodeResult r =
      DecodeRla(RlaFile(s, {{{0x7F, 1, 0x7F, 2, 0x7F, 3, 0x7F, 4, 0x7F, 5, 0x7F, 6, 0x7F, 7, 0x7F, 8}}}).B);
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_EQ(r.Bitmap().Pixel(999, 0), Color32(255, 8, 8, 8));
}

TEST(RlaLoader, RunsRepeatOneMoreThanTheirCountAndStopAtTheRowEnd) {
  TRlaSpec s = Spec(3, 1);
  s.Colour = 1;
  // A run of 2, then a literal that claims 5 bytes where one fits.
  const TDecodeResult r = DecodeRla(RlaFile(s, {{{0x01, 40, 0xFB, 50, 60, 70}}}).B);
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_EQ(r.Bitmap().Pixel(1, 0), Color32(255, 40, 40, 40));
  EXPECT_EQ(r.Bitmap().Pixel(2, 0), Color32(255, 50, 50, 50));
  // An overlong run fills the row and no more.
  const TDecodeResult run = DecodeRla(RlaFile(s, {{{0x7F, 9}}}).B);
  ASSERT_TRUE(run.Ok()) << run.Error().Message;
  EXPECT_EQ(run.Bitmap().Pixel(2, 0), Color32(255, 9, 9, 9));
}

TEST(RlaLoader, ScanlinesOutsideTheFileMakeAPartialPicture) {
  TRlaSpec s = Spec(1, 2);
  s.Colour = 1;
  TBytes b = RlaFile(s, {{Literal({7})}, {Literal({8})}});
  b.B[740 + 4] = 0xF0;  // the top scanline's offset points past the end
  const TDecodeResult r = DecodeRla(b.B);
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_TRUE(r.Partial());
  EXPECT_EQ(r.Bitmap().Pixel(0, 1), Color32(255, 7, 7, 7));
  b.B[740] = 0xF0;  // now neither is in the file
  const TDecodeResult none = DecodeRla(b.B);
  ASSERT_FALSE(none.Ok());
  EXPECT_EQ(none.Error().Kind, TDecodeErrorKind::deTruncated);
}

TEST(RlaLoader, MalformedHeadersFail) {
  auto file = [](auto edit) {
    TRlaSpec s = Spec(1, 1);
    edit(s);
    return RlaFile(s, {{Literal({1}), Literal({2}), Literal({3})}}).B;
  };
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Bytes;
    TDecodeErrorKind Kind;
  } cases[] = {
      {"empty", {}, TDecodeErrorKind::deTruncated},
      {"header cut short",
       [] {
         auto v = RlaHeader(Spec(1, 1)).B;
         v.resize(700);
         return v;
       }(),
       TDecodeErrorKind::deTruncated},
      {"older revision", file([](TRlaSpec& s) { s.Revision = 0; }), TDecodeErrorKind::deUnsupported},
      {"right of left", file([](TRlaSpec& s) { s.Active[0] = 2; }), TDecodeErrorKind::deCorrupt},
      {"top below bottom", file([](TRlaSpec& s) { s.Active[2] = 1; }), TDecodeErrorKind::deCorrupt},
      {"no colour channel", file([](TRlaSpec& s) { s.Colour = 0; }), TDecodeErrorKind::deCorrupt},
      {"five colour channels", file([](TRlaSpec& s) { s.Colour = 5; }), TDecodeErrorKind::deCorrupt},
      {"two mattes", file([](TRlaSpec& s) { s.Matte = 2; }), TDecodeErrorKind::deCorrupt},
      {"negative aux count", file([](TRlaSpec& s) { s.Aux = -1; }), TDecodeErrorKind::deCorrupt},
      {"no bits", file([](TRlaSpec& s) { s.ColourBits = 0; }), TDecodeErrorKind::deCorrupt},
      {"33 bits", file([](TRlaSpec& s) { s.ColourBits = 33; }), TDecodeErrorKind::deCorrupt},
      {"matte of 40 bits", file([](TRlaSpec& s) { s.Matte = 1, s.MatteBits = 40; }),
       TDecodeErrorKind::deCorrupt},
      {"float colour", file([](TRlaSpec& s) { s.ColourType = 4, s.ColourBits = 32; }),
       TDecodeErrorKind::deUnsupported},
      {"table past the end", RlaHeader(Spec(4, 300)).B, TDecodeErrorKind::deTruncated},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TDecodeResult r = DecodeRla(c.Bytes);
    ASSERT_FALSE(r.Ok());
    EXPECT_EQ(r.Error().Kind, c.Kind) << r.Error().Message;
    TDecodeError probed;
    EXPECT_FALSE(ProbeRla(c.Bytes, c.Bytes.size(), probed));
  }
}

TEST(RlaLoader, TinyFileDeclaringAHugePictureIsRefusedWithinMemory) {
  // The whole scanline table is there, but not the rows it points to.
  TBytes b = RlaHeader(Spec(20000, 9000));
  b.Fill(9000 * 4 + 64);
  ExpectRefusedWithinMemory(DecodeRla, b.B, TDecodeErrorKind::deTruncated);
}

}  // namespace
