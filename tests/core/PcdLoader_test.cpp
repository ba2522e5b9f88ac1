#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "decoders/Decoders.h"
#include "tests/support/DecoderSamples.h"

namespace {

constexpr size_t BaseOffset = 0x30000, RowPairBytes = 768 * 3, FileSize = BaseOffset + RowPairBytes * 256;

TEST(PcdLoader, SampleDecodesToTheBaseSize) {
  KV_REQUIRE_CORPUS();
  // Its colours are wrong in every reader (it was written from RGB as if that were PhotoYCC).
  CheckSamples(DecodePcd, {{"pcd/hopper.pcd", 768, 512, nullptr, "size only: colours unreliable"}});
}

TEST(PcdLoader, TruncatedSamplesFailOrDecodePartially) {
  KV_REQUIRE_CORPUS();
  SweepSampleFolder(DecodePcd, "pcd");
}

// An image pack of zeros with its signature and orientation, and YCC samples set by `set`.
struct TPcd {
  std::vector<uint8_t> B = std::vector<uint8_t>(FileSize);
  explicit TPcd(int orientation = 0) {
    std::memcpy(B.data() + 2048, "PCD_IPI", 7);
    B[0xE02] = uint8_t(orientation);
  }
  uint8_t* Pair(int y) { return B.data() + BaseOffset + size_t(y / 2) * RowPairBytes; }
  void SetY(int x, int y, uint8_t v) { Pair(y)[(y % 2) * 768 + x] = v; }
  // The chroma shared by the 2x2 block holding (x, y).
  void SetC(int x, int y, uint8_t c1, uint8_t c2) {
    Pair(y)[2 * 768 + x / 2] = c1;
    Pair(y)[2 * 768 + 384 + x / 2] = c2;
  }
};

testing::AssertionResult Near(TColor32 got, TColor32 want) {
  auto d = [](uint8_t a, uint8_t b) { return std::abs(int(a) - int(b)); };
  if (d(RedOf(got), RedOf(want)) <= 1 && d(GreenOf(got), GreenOf(want)) <= 1 &&
      d(BlueOf(got), BlueOf(want)) <= 1 && AlphaOf(got) == 255)
    return testing::AssertionSuccess();
  return testing::AssertionFailure() << std::hex << got << " is not near " << want;
}

TEST(PcdLoader, PhotoYccIsConvertedWithKodaksConstantsAndClipped) {
  struct TCase {
    uint8_t Y, C1, C2;
    TColor32 Rgb;  // from the formula, worked by hand
  } cases[] = {
      {100, 156, 137, Color32(255, 136, 136, 136)},  // neutral: Y scaled by 1.3584
      {0, 156, 137, Color32(255, 0, 0, 0)},
      {255, 156, 137, Color32(255, 255, 255, 255)},  // highlight headroom clipped
      {100, 200, 137, Color32(255, 136, 117, 233)},  // C1 drives blue
      {100, 156, 180, Color32(255, 214, 96, 136)},   // C2 drives red
  };
  TPcd pcd;
  for (int i = 0; i < 5; ++i) {
    for (int y : {2, 3})
      for (int x : {2 * i, 2 * i + 1}) pcd.SetY(x, y, cases[i].Y);
    pcd.SetC(2 * i, 2, cases[i].C1, cases[i].C2);
  }
  const TDecodeResult r = DecodePcd(pcd.B);
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_FALSE(r.Partial());
  for (int i = 0; i < 5; ++i)
    for (int y : {2, 3})
      for (int x : {2 * i, 2 * i + 1})
        EXPECT_TRUE(Near(r.Bitmap().Pixel(x, y), cases[i].Rgb)) << x << "," << y;
}

TEST(PcdLoader, ThePacksOrientationTurnsThePictureUpright) {
  struct TCase {
    int Code;
    int Width, Height;
    int X, Y;  // where the stored top right pixel goes
  } cases[] = {
      {0, 768, 512, 767, 0},   {1, 512, 768, 0, 0},  // a quarter turn counter-clockwise
      {2, 768, 512, 0, 511},                         // half a turn
      {3, 512, 768, 511, 767},                       // a quarter turn clockwise
      {4 + 1, 512, 768, 0, 0},                       // only the low two bits count
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Code);
    TPcd pcd(c.Code);
    pcd.SetY(767, 0, 100);
    pcd.SetC(767, 0, 156, 137);
    const TDecodeResult r = DecodePcd(pcd.B);
    ASSERT_TRUE(r.Ok()) << r.Error().Message;
    ASSERT_EQ(r.Bitmap().Width(), c.Width);
    ASSERT_EQ(r.Bitmap().Height(), c.Height);
    EXPECT_TRUE(Near(r.Bitmap().Pixel(c.X, c.Y), Color32(255, 136, 136, 136)));
    // Its neighbour in the stored row shares its chroma but has no luma.
    const int nx = c.Code % 4 == 0 ? 766 : c.Code % 4 == 2 ? 1 : c.X;
    const int ny = c.Code % 4 == 1 ? 1 : c.Code % 4 == 3 ? 766 : c.Y;
    EXPECT_TRUE(Near(r.Bitmap().Pixel(nx, ny), Color32(255, 0, 0, 0)));
  }
}

TEST(PcdLoader, CutPacksShowTheRowsTheyHoldAndBadPacksFail) {
  TPcd pcd;
  pcd.SetY(0, 0, 100);
  pcd.SetC(0, 0, 156, 137);
  std::vector<uint8_t> cut(pcd.B.begin(), pcd.B.begin() + BaseOffset + 10 * RowPairBytes + 5);
  const TDecodeResult r = DecodePcd(cut);
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_TRUE(r.Partial());
  EXPECT_TRUE(Near(r.Bitmap().Pixel(0, 0), Color32(255, 136, 136, 136)));
  EXPECT_EQ(r.Bitmap().Pixel(0, 20), 0u);  // not in the file

  struct TCase {
    const char* Name;
    std::vector<uint8_t> Bytes;
    TDecodeErrorKind Kind;
  } cases[] = {
      {"empty", {}, TDecodeErrorKind::deTruncated},
      {"no signature", std::vector<uint8_t>(FileSize), TDecodeErrorKind::deCorrupt},
      {"no Base picture", std::vector<uint8_t>(pcd.B.begin(), pcd.B.begin() + BaseOffset + 100),
       TDecodeErrorKind::deTruncated},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TDecodeResult bad = DecodePcd(c.Bytes);
    ASSERT_FALSE(bad.Ok());
    EXPECT_EQ(bad.Error().Kind, c.Kind) << bad.Error().Message;
    TDecodeError probed;
    EXPECT_FALSE(
        ProbePcd(std::span(c.Bytes).first(std::min<size_t>(c.Bytes.size(), 4096)), c.Bytes.size(), probed));
  }
}

}  // namespace
