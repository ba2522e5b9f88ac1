// Netpbm decoding: the six kinds, plain and raw, header comments, maxval scaling, and headers
// that must be refused before any pixel memory is taken.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "decoders/Decoders.h"
#include "tests/support/ImageCheck.h"
#include "tests/support/TestSupport.h"

namespace {

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

TDecodeResult Decode(std::string_view text) { return DecodePnm(Bytes(text)); }

struct TPnmSample {
  const char* File;
  int Width, Height;
  const char* Digest;
  const char* Tool;
};

// `convert-im6.q16 FILE -depth 8 rgba:- | refdigest.py W H`. ImageMagick truncates 16-bit
// samples to 8 bits where the samples must be rounded, so the 16-bit files are first brought to
// maxval 255 by netpbm's pnmdepth, which rounds (hopper_16bit* come out the same either way).
const TPnmSample PnmSamples[] = {
    {"hopper_1bit.pbm", 128, 128, "5c2856e8c0ca87dc", "ImageMagick"},
    {"hopper_1bit_plain.pbm", 128, 128, "5c2856e8c0ca87dc", "ImageMagick"},
    {"hopper_8bit.pgm", 128, 128, "fbfee2fcf714334d", "ImageMagick"},
    {"hopper_8bit_plain.pgm", 128, 128, "fbfee2fcf714334d", "ImageMagick"},
    {"hopper_16bit.pgm", 128, 128, "fbfee2fcf714334d", "pnmdepth 255 | ImageMagick"},
    {"hopper_16bit_plain.pgm", 128, 128, "fbfee2fcf714334d", "pnmdepth 255 | ImageMagick"},
    {"16_bit_binary.pgm", 20, 100, "0f29878cbf99d795", "pnmdepth 255 | ImageMagick"},
    {"hopper_8bit.ppm", 128, 128, "48ed8002b10872a8", "ImageMagick"},
    {"hopper_8bit_plain.ppm", 128, 128, "48ed8002b10872a8", "ImageMagick"},
};

TEST(PnmLoader, SampleFilesMatchTheirReferenceDecodes) {
  KV_REQUIRE_CORPUS();
  for (const TPnmSample& s : PnmSamples) {
    SCOPED_TRACE(std::string(s.File) + " (" + s.Tool + ")");
    TDecodeResult r = DecodePnm(ReadBytes(CorpusPath(std::string("formats/netpbm/") + s.File)));
    ASSERT_TRUE(r) << r.Error().Message;
    ASSERT_EQ(r.Bitmap().Width(), s.Width);
    ASSERT_EQ(r.Bitmap().Height(), s.Height);
    EXPECT_EQ(DigestText(PixelDigest(r.Bitmap())), s.Digest);
  }
  // "P632 358888888632!": no blank after the magic, and a height no image can have.
  TDecodeResult bad = DecodePnm(ReadBytes(CorpusPath("formats/netpbm/negative_size.ppm")));
  EXPECT_FALSE(bad);
}

TEST(PnmLoader, SixKindsGiveTheSamePicture) {
  // A 3x2 picture: black white black / white black white.
  const char* texts[] = {
      "P1\n3 2\n101\n010\n",  // 1 is black
      "P1 3 2 101010",        // digits need no blanks between them
      "P2\n3 2\n1\n0 1 0 1 0 1\n",
      "P3\n3 2\n255\n0 0 0 255 255 255 0 0 0\n255 255 255 0 0 0 255 255 255\n",
  };
  auto check = [](TDecodeResult r, const std::string& what) {
    ASSERT_TRUE(r) << what << ": " << r.Error().Message;
    ASSERT_EQ(r.Bitmap().Width(), 3) << what;
    ASSERT_EQ(r.Bitmap().Height(), 2) << what;
    const TColor32 k = Color32(255, 0, 0, 0), w = Color32(255, 255, 255, 255);
    const TColor32 expect[2][3] = {{k, w, k}, {w, k, w}};
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) EXPECT_EQ(r.Bitmap().Pixel(x, y), expect[y][x]) << what << " at " << x << "," << y;
  };
  for (const char* t : texts) check(Decode(t), t);
  // Raw: P4 rows padded to whole bytes (1 = black), P5 one byte, P6 three bytes per pixel.
  check(Decode(std::string_view("P4\n3 2\n\xA0\x40", 9)), "P4");
  check(Decode(std::string_view("P5 3 2 255\n\x00\xFF\x00\xFF\x00\xFF", 17)), "P5");
  std::string p6 = "P6 3 2 255\n";
  for (int i = 0; i < 6; ++i) p6.append(3, i % 2 ? '\xFF' : '\x00');
  check(Decode(p6), "P6");
}

TEST(PnmLoader, CommentsWhereverBlanksMayStand) {
  const std::string texts[] = {
      "P2#right after the magic\n2 1 255 10 20",
      "P2\n# a full line\n2 # after width\n1\n#before maxval\n255\n10 20",
      "P2 2 1 255\r\n10 20",  // CR LF line ends
      "P2\t2\v1\f255 10\n20",
      std::string("P5 2 1 255# ends at the line break, which is the one blank\n\x0A\x14"),
  };
  for (const std::string& t : texts) {
    TDecodeResult r = Decode(t);
    ASSERT_TRUE(r) << t << ": " << r.Error().Message;
    EXPECT_EQ(r.Bitmap().Pixel(0, 0), Color32(255, 10, 10, 10)) << t;
    EXPECT_EQ(r.Bitmap().Pixel(1, 0), Color32(255, 20, 20, 20)) << t;
  }
  // A comment ends a number: this is 1 wide and 2 high, not 12 wide.
  TDecodeResult split = Decode("P2 1#c\n2 1 255 10 20");
  ASSERT_TRUE(split);
  EXPECT_EQ(split.Bitmap().Width(), 1);
  EXPECT_EQ(split.Bitmap().Height(), 2);
}

TEST(PnmLoader, SamplesScaleToEightBitsWithRounding) {
  struct TCase {
    const char* Text;
    uint8_t Expect;
  } cases[] = {
      {"P2 1 1 1 1", 255},         {"P2 1 1 3 1", 85},
      {"P2 1 1 1000 500", 128},    // 127.5 rounds up
      {"P2 1 1 1000 498", 127},    // 126.99
      {"P2 1 1 65535 64211", 250}, // 249.85: rounded, not truncated
      {"P2 1 1 65535 257", 1},     {"P2 1 1 10 99", 255},  // above maxval counts as maxval
      {"P2 1 1 7 00000000000000000000000000000000000004", 146},
  };
  for (const TCase& c : cases) {
    TDecodeResult r = Decode(c.Text);
    ASSERT_TRUE(r) << c.Text << ": " << r.Error().Message;
    EXPECT_EQ(RedOf(r.Bitmap().Pixel(0, 0)), c.Expect) << c.Text;
  }
  // 16-bit raw samples are big-endian.
  TDecodeResult wide = DecodePnm(Bytes(std::string_view("P5 2 1 65535\n\xFF\xFF\x80\x00", 17)));
  ASSERT_TRUE(wide);
  EXPECT_EQ(RedOf(wide.Bitmap().Pixel(0, 0)), 255);
  EXPECT_EQ(RedOf(wide.Bitmap().Pixel(1, 0)), 128);
}

TEST(PnmLoader, OnlyTheFirstImageOfAFileIsRead) {
  TDecodeResult r = Decode("P2 1 1 255 7\nP2 2 2 255 1 2 3 4\n");
  ASSERT_TRUE(r);
  EXPECT_EQ(r.Bitmap().Width(), 1);
  EXPECT_EQ(RedOf(r.Bitmap().Pixel(0, 0)), 7);
  TDecodeResult raw = DecodePnm(Bytes(std::string_view("P5 1 1 255\n\x09P5 1 1 255\n\x01", 24)));
  ASSERT_TRUE(raw);
  EXPECT_EQ(RedOf(raw.Bitmap().Pixel(0, 0)), 9);
}

struct TBadPnm {
  std::string_view Text;
  TDecodeErrorKind Kind;
};

TEST(PnmLoader, MalformedHeadersFailBeforeAllocating) {
  const TBadPnm cases[] = {
      {"", TDecodeErrorKind::deCorrupt},
      {"P", TDecodeErrorKind::deCorrupt},
      {"P8 1 1 255 0", TDecodeErrorKind::deCorrupt},
      {"Q6 1 1 255 0", TDecodeErrorKind::deCorrupt},
      {"P7\nWIDTH 1\n", TDecodeErrorKind::deUnsupported},
      {"Pf\n1 1\n-1\n", TDecodeErrorKind::deUnsupported},
      {"P632 358888888632!", TDecodeErrorKind::deCorrupt},  // the sample file's bytes
      {"P6 32 358888888632 255\n", TDecodeErrorKind::deTooLarge},
      {"P6 99999999999999999999999999999 1 255\n", TDecodeErrorKind::deTooLarge},
      {"P6 -3 1 255\n", TDecodeErrorKind::deCorrupt},
      {"P6 0 1 255\n", TDecodeErrorKind::deCorrupt},
      {"P6 1 0 255\n", TDecodeErrorKind::deCorrupt},
      {"P6 1 1 0\n", TDecodeErrorKind::deCorrupt},
      {"P6 1 1 65536\n", TDecodeErrorKind::deCorrupt},
      {"P6 1 1", TDecodeErrorKind::deTruncated},
      {"P6 1 1 255", TDecodeErrorKind::deTruncated},
      {"P6 1 1 255# comment", TDecodeErrorKind::deTruncated},
      {"P6 1 1 255x123", TDecodeErrorKind::deCorrupt},
      {"P6 1.5 1 255\n", TDecodeErrorKind::deCorrupt},
      // Sizes within the limit on a file far too short for them: refused before allocating.
      {"P6 16384 16384 255\n\x01\x02\x03", TDecodeErrorKind::deTruncated},
      {"P1 16384 16384 0101", TDecodeErrorKind::deTruncated},
      {"P6 65535 65535 255\n", TDecodeErrorKind::deTooLarge},
      {"P6 2 1 255\n\x01\x02\x03\x04\x05", TDecodeErrorKind::deTruncated},
      {"P5 2 1 256\n\x01\x02\x03", TDecodeErrorKind::deTruncated},
      {"P2 2 2 255 1 2 3", TDecodeErrorKind::deTruncated},
      {"P2 2 1 255 1 x2", TDecodeErrorKind::deCorrupt},
      {"P2 2 1 255 1 -2", TDecodeErrorKind::deCorrupt},
      {"P1 3 1 012", TDecodeErrorKind::deCorrupt},
  };
  for (const TBadPnm& c : cases) {
    TDecodeResult r = DecodePnm(Bytes(c.Text));
    ASSERT_FALSE(r) << c.Text;
    EXPECT_EQ(int(r.Error().Kind), int(c.Kind)) << c.Text << ": " << r.Error().Message;
  }
}

TEST(PnmLoader, EverySampleCutAnywhereFailsOrDecodesAtItsSize) {
  KV_REQUIRE_CORPUS();
  for (const TPnmSample& s : PnmSamples) {
    const auto bytes = ReadBytes(CorpusPath(std::string("formats/netpbm/") + s.File));
    for (size_t cut = 0; cut < bytes.size(); cut += cut < 64 ? 1 : bytes.size() / 31 + 1) {
      TDecodeResult r = DecodePnm(std::span(bytes.data(), cut));
      if (r) {
        EXPECT_EQ(r.Bitmap().Width(), s.Width) << s.File << " cut at " << cut;
        EXPECT_EQ(r.Bitmap().Height(), s.Height) << s.File << " cut at " << cut;
      }
    }
  }
}

}  // namespace
