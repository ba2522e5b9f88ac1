// PNG decoding: every colour type, bit depth and interlace against an independent decode,
// premultiplied alpha, ancillary colour chunks ignored, truncated and hostile files.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "decoders/Decoders.h"
#include "tests/support/DecoderSamples.h"
#include "tests/support/IccProfiles.h"
#include "tests/support/ImageCheck.h"
#include "tests/support/PngBytes.h"
#include "tests/support/TestSupport.h"

namespace {

std::string Sample(const std::string& name) {
  return TestDataPath("png/" + name);
}

// Made by tests/data/make-decoder-samples.sh from one 29x23 picture. 16-bit files are
// compared with netpbm, which rounds 16-bit samples to 8 bits as this decoder does
// (v * 255 / 65535, to nearest); ImageMagick's rounding differs by one here and there.
// Interlaced files must give the pixels of their progressive twins.
constexpr TDecoderSample Samples[] = {
    {"grey1.png", 29, 23, "73310386361f0ea9", "ImageMagick"},
    {"grey2.png", 29, 23, "87933a11cc1a2f13", "ImageMagick"},
    {"grey2-adam7.png", 29, 23, "87933a11cc1a2f13", "ImageMagick"},
    {"grey4.png", 29, 23, "1d43bd892da75943", "ImageMagick"},
    {"grey4-trns.png", 29, 23, "fc60ec31fb3a3614", "ImageMagick"},
    {"grey8.png", 29, 23, "5402d4ea1374da3f", "ImageMagick"},
    {"grey16.png", 29, 23, "721921c1092ed2ce", "netpbm pngtopam | pamdepth 255"},
    {"rgb8.png", 29, 23, "77c16b8b6650f125", "ImageMagick"},
    {"rgb8-adam7.png", 29, 23, "77c16b8b6650f125", "ImageMagick"},
    {"rgb8-trns.png", 29, 23, "c638e157d9548164", "ImageMagick"},
    {"rgb16.png", 29, 23, "ecf38bf14c1ef887", "netpbm pngtopam | pamdepth 255"},
    {"palette1.png", 29, 23, "077fa361912a45f8", "ImageMagick"},
    {"palette2.png", 29, 23, "0b1145b35e9de18b", "ImageMagick"},
    {"palette4.png", 29, 23, "a78bbfc14ec93c83", "ImageMagick"},
    {"palette4-adam7.png", 29, 23, "a78bbfc14ec93c83", "ImageMagick"},
    {"palette8.png", 29, 23, "c56661133b4640c2", "ImageMagick"},
    {"palette8-trns.png", 29, 23, "4a2baa35bfae77d2", "ImageMagick"},
    {"grey-alpha8.png", 29, 23, "056be924d7adc5f1", "ImageMagick"},
    {"grey-alpha8-adam7.png", 29, 23, "056be924d7adc5f1", "ImageMagick"},
    {"grey-alpha16.png", 29, 23, "fd2400008b5270c5", "netpbm pngtopam | pamdepth 255"},
    {"rgba8.png", 29, 23, "729910e051aaefc5", "ImageMagick"},
    {"rgba16.png", 29, 23, "4ee5bbeb34f65958", "netpbm pngtopam | pamdepth 255"},
    {"rgba16-adam7.png", 29, 23, "4ee5bbeb34f65958", "netpbm pngtopam | pamdepth 255"},
    {"rgba8-adam7-1x1.png", 1, 1, "e83d7cd29e9596fc", "ImageMagick"},
    {"rgba8-adam7-3x2.png", 3, 2, "608983b7dcd19c55", "ImageMagick"},
};

}  // namespace

TEST(PngLoader, EverySampleMatchesItsReferenceDecode) { CheckSamples(DecodePng, Samples, Sample); }

// gAMA describes the display the file was made for; like the other decoders, PNG shows the
// samples as stored.
TEST(PngLoader, GammaChunkDoesNotChangeThePixels) {
  std::vector<uint8_t> plain = ReadBytes(Sample("rgb8.png"));
  std::vector<uint8_t> withGamma(plain.begin(), plain.begin() + 33);  // signature + IHDR
  std::vector<uint8_t> gamma;
  PutPng32(gamma, 100000);  // gamma 1.0, far from the usual 1/2.2
  PutPngChunk(withGamma, "gAMA", gamma);
  withGamma.insert(withGamma.end(), plain.begin() + 33, plain.end());
  TDecodeResult a = DecodePng(plain), b = DecodePng(withGamma);
  ASSERT_TRUE(a.Ok() && b.Ok());
  EXPECT_EQ(PixelDigest(a.Bitmap()), PixelDigest(b.Bitmap()));
}

TEST(PngLoader, TransparentPixelsArePremultiplied) {
  // Two palette entries, the second fully transparent red, the first half-transparent white.
  std::vector<uint8_t> png = MakePng(2, 1, 8, 3, {0, 0, 1}, {255, 255, 255, 255, 0, 0});
  std::vector<uint8_t> withTrns(png.begin(), png.begin() + 33 + 18);  // up to the PLTE chunk
  PutPngChunk(withTrns, "tRNS", {128, 0});
  withTrns.insert(withTrns.end(), png.begin() + 33 + 18, png.end());
  TDecodeResult r = DecodePng(withTrns);
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_EQ(r.Bitmap().Pixel(0, 0), Color32(128, 128, 128, 128));
  EXPECT_EQ(r.Bitmap().Pixel(1, 0), Color32(0, 0, 0, 0));
}

// libpng refuses more than a million pixels per side by default; only the pixel count limits.
TEST(PngLoader, LongThinStripDecodes) {
  std::vector<uint8_t> raw(1 + (1000001 + 7) / 8, 0xFF);
  raw[0] = 0;  // filter: none
  TDecodeResult r = DecodePng(MakePng(1000001, 1, 1, 0, raw));
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_EQ(r.Bitmap().Width(), 1000001);
  EXPECT_EQ(r.Bitmap().Pixel(1000000, 0), Color32(255, 255, 255, 255));
}

TEST(PngLoader, RefusesDamagedAndHostileFiles) {
  const std::vector<uint8_t> good = ReadBytes(Sample("rgb8.png"));
  auto edited = [&](auto&& edit) {
    std::vector<uint8_t> b = good;
    edit(b);
    return b;
  };
  std::vector<uint8_t> huge;  // a valid header for 65536 x 65536, then nothing useful
  {
    std::vector<uint8_t> raw = {0, 0};
    huge = MakePng(65536, 65536, 8, 0, raw);
  }
  const struct {
    const char* What;
    std::vector<uint8_t> Bytes;
    TDecodeErrorKind Kind;
  } cases[] = {
      {"empty", {}, TDecodeErrorKind::deTruncated},
      {"JPEG bytes", {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1}, TDecodeErrorKind::deCorrupt},
      {"signature only", std::vector<uint8_t>(good.begin(), good.begin() + 8), TDecodeErrorKind::deTruncated},
      {"header CRC wrong", edited([](auto& b) { b[29] ^= 1; }), TDecodeErrorKind::deCorrupt},
      {"image data CRC wrong", edited([](auto& b) { b[b.size() - 13] ^= 1; }), TDecodeErrorKind::deCorrupt},
      {"zero width", MakePng(0, 5, 8, 0, {0}), TDecodeErrorKind::deCorrupt},
      {"65536 x 65536 pixels", huge, TDecodeErrorKind::deTooLarge},
      {"image data too short", MakePng(4, 4, 8, 0, {0, 1, 2, 3, 4}), TDecodeErrorKind::deCorrupt},
      {"bad filter type", MakePng(2, 1, 8, 0, {9, 1, 2}), TDecodeErrorKind::deCorrupt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    const auto start = std::chrono::steady_clock::now();
    TDecodeResult r = DecodePng(c.Bytes);
    ASSERT_FALSE(r.Ok());
    EXPECT_EQ(r.Error().Kind, c.Kind) << r.Error().Message;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  }
}

// Deflate expands at most 1032 times, so a file can be far too small for the picture its header
// declares; it is refused before the bitmap (or a table of its rows) is allocated.
TEST(PngLoader, TinyFilesDeclaringHugePicturesAreRefusedBeforeAllocating) {
  const std::vector<uint8_t> tall = MakePng(1, 1u << 28, 1, 0, std::vector<uint8_t>(8, 0));
  ASSERT_EQ(tall.size(), 68u);
  const std::vector<uint8_t> wide = MakePng(16384, 16000, 8, 2, std::vector<uint8_t>(100000, 0));
  ASSERT_LT(wide.size(), 1024u);
  ExpectRefusedWithinMemory(DecodePng, tall, TDecodeErrorKind::deTruncated);
  ExpectRefusedWithinMemory(DecodePng, wide, TDecodeErrorKind::deTruncated);
}

TEST(PngLoader, PaletteIndexBeyondThePaletteIsNotACrash) {
  TDecodeResult r = DecodePng(MakePng(3, 1, 8, 3, {0, 0, 1, 200}, {10, 20, 30, 40, 50, 60}));
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_EQ(r.Bitmap().Pixel(1, 0), Color32(255, 40, 50, 60));
}

// Every sample cut at many points: a failure or the full-size picture, never a crash (the
// sanitizer build checks the memory side).
TEST(PngLoader, TruncatedFilesFailCleanly) {
  for (const TDecoderSample& s : Samples) {
    const std::vector<uint8_t> whole = ReadBytes(Sample(s.File));
    for (int i = 0; i < 24; ++i) {
      const size_t cut = whole.size() * size_t(i) / 24;
      SCOPED_TRACE(std::string(s.File) + " cut at " + std::to_string(cut));
      TDecodeResult r = DecodePng(std::vector<uint8_t>(whole.begin(), whole.begin() + std::ptrdiff_t(cut)));
      if (r.Ok()) EXPECT_EQ(r.Bitmap().Width(), s.Width);
      else EXPECT_TRUE(r.Error().Kind == TDecodeErrorKind::deTruncated || r.Error().Kind == TDecodeErrorKind::deCorrupt);
    }
  }
}

// An iCCP profile gives Little CMS's colours, for colour and grey pictures; one
// libpng finds unfit for the colour type, or cannot inflate, leaves the pixels as stored.
TEST(PngLoader, IccProfileGivesLittleCmsColours) {
  auto withProfile = [](std::vector<uint8_t> png, const std::vector<uint8_t>& profile, bool damage = false) {
    uLongf size = compressBound(uLong(profile.size()));
    std::vector<uint8_t> body = {'I', 'C', 'C', 0, 0}, packed(size);
    compress(packed.data(), &size, profile.data(), uLong(profile.size()));
    packed.resize(damage ? size / 2 : size);
    body.insert(body.end(), packed.begin(), packed.end());
    std::vector<uint8_t> chunk;
    PutPngChunk(chunk, "iCCP", body);
    png.insert(png.begin() + 33, chunk.begin(), chunk.end());  // after the signature and IHDR
    return png;
  };
  std::vector<uint8_t> rgba, grey;  // rows of 4 and 1 pixels, each after its filter byte
  for (int y = 0; y < 16; ++y) {
    rgba.push_back(0);
    for (int x = 0; x < 4; ++x)
      rgba.insert(rgba.end(), {uint8_t(y * 16 + x), uint8_t(255 - y * 9), uint8_t(x * 60), 255});
  }
  for (int y = 0; y < 64; ++y) grey.insert(grey.end(), {0, uint8_t(y * 4)});
  const std::vector<uint8_t> colourPng = MakePng(4, 16, 8, 6, rgba), greyPng = MakePng(1, 64, 8, 0, grey);
  const std::vector<uint8_t> adobe = icc::AdobeRgb(), linearGrey = icc::Grey(1.0);
  const struct {
    const char* Name;
    std::vector<uint8_t> Plain, Tagged, Profile;
    bool Applies;
  } cases[] = {
      {"RGBA, Adobe RGB", colourPng, withProfile(colourPng, adobe), adobe, true},
      {"grey, linear", greyPng, withProfile(greyPng, linearGrey), linearGrey, true},
      {"grey, RGB profile", greyPng, withProfile(greyPng, adobe), {}, false},
      {"damaged compression", colourPng, withProfile(colourPng, adobe, true), {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const TDecodeResult plain = DecodePng(c.Plain), tagged = DecodePng(c.Tagged);
    ASSERT_TRUE(plain.Ok() && tagged.Ok()) << tagged.Error().Message;
    const TBitmap32& in = plain.Bitmap();
    const size_t count = size_t(in.Width()) * size_t(in.Height());
    if (!c.Applies) {
      EXPECT_EQ(PixelDigest(tagged.Bitmap()), PixelDigest(in));
      continue;
    }
    std::vector<uint8_t> levels;
    for (size_t i = 0; i < count; ++i) levels.push_back(BlueOf(in.Bits()[i]));
    const std::vector<TColor32> expected = c.Profile == adobe
                                               ? icc::ConvertPixels(adobe, in.Bits(), count)
                                               : icc::Convert(linearGrey, TYPE_GRAY_8, levels.data(), count);
    for (size_t i = 0; i < count; ++i) {
      const TColor32 got = tagged.Bitmap().Bits()[i], want = expected[i];
      EXPECT_LE(std::abs(RedOf(got) - RedOf(want)), 1) << i;
      EXPECT_LE(std::abs(GreenOf(got) - GreenOf(want)), 1) << i;
      EXPECT_LE(std::abs(BlueOf(got) - BlueOf(want)), 1) << i;
    }
    EXPECT_NE(PixelDigest(tagged.Bitmap()), PixelDigest(in));
  }
}
