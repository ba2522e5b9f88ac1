// JPEG decoding: every sampling, coding and colour variant against an independent decode, the
// picture a truncated file still gives, and files the decoder must refuse.
#include <gtest/gtest.h>

// jpeglib.h needs FILE and size_t declared first.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "decoders/Decoders.h"
#include "decoders/Orientation.h"
#include "imageview/ZmGraphicExTypes.h"
#include "tests/support/DecoderSamples.h"
#include "tests/support/IccProfiles.h"
#include "tests/support/ImageCheck.h"
#include "tests/support/TestSupport.h"

namespace {

std::string Sample(const std::string& name) {
  return TestDataPath("jpeg/" + name);
}

// Made by tests/data/make-decoder-samples.sh from one 61x47 picture; the digest is that of the
// reference tool's decode (tests/support/refdigest.py). Equal digests in the first block are
// expected: baseline, progressive, arithmetic and restart-marker files carry the same
// coefficients, so every decode path must give the same pixels.
constexpr TDecoderSample Samples[] = {
    {"ycc420-baseline.jpg", 61, 47, "a6f58d562d835987", "ImageMagick"},
    {"ycc420-progressive.jpg", 61, 47, "a6f58d562d835987", "ImageMagick"},
    {"ycc420-arithmetic.jpg", 61, 47, "a6f58d562d835987", "ImageMagick"},
    {"ycc420-progressive-arithmetic.jpg", 61, 47, "a6f58d562d835987", "ImageMagick"},
    {"ycc420-restart.jpg", 61, 47, "a6f58d562d835987", "ImageMagick"},
    {"ycc444-baseline.jpg", 61, 47, "ec7018a0117482e9", "ImageMagick"},
    {"ycc422-baseline.jpg", 61, 47, "8411c1b2b5a48ab2", "ImageMagick"},
    {"ycc440-baseline.jpg", 61, 47, "d4d42a7765db5c3f", "ImageMagick"},
    {"ycc411-baseline.jpg", 61, 47, "496fd12a0340415e", "ImageMagick"},
    {"grey-baseline.jpg", 61, 47, "1dcb560806cd82ac", "ImageMagick"},
    {"grey-progressive.jpg", 61, 47, "1dcb560806cd82ac", "ImageMagick"},
    {"rgb-baseline.jpg", 61, 47, "5f1d112c8466989c", "ImageMagick"},
    {"cmyk-adobe.jpg", 61, 47, "b00abc152473f739", "ImageMagick"},
    {"ycck-adobe.jpg", 61, 47, "33a7a91eedccf0ff", "ImageMagick"},
};

// Offset just past the first SOS header: from there on the file is entropy-coded data.
size_t FirstScanData(const std::vector<uint8_t>& jpeg) {
  for (size_t i = 2; i + 4 <= jpeg.size(); ++i)
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) return i + 2 + (size_t(jpeg[i + 2]) << 8 | jpeg[i + 3]);
  return jpeg.size();
}

size_t FindMarker(const std::vector<uint8_t>& jpeg, uint8_t marker, bool last = false) {
  size_t found = jpeg.size();
  for (size_t i = 0; i + 1 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == marker) {
      found = i;
      if (!last) break;
    }
  }
  return found;
}

// Sets the frame size in the SOF segment at `sof`.
void SetFrameSize(std::vector<uint8_t>& jpeg, size_t sof, int width, int height) {
  jpeg[sof + 5] = uint8_t(height >> 8), jpeg[sof + 6] = uint8_t(height);
  jpeg[sof + 7] = uint8_t(width >> 8), jpeg[sof + 8] = uint8_t(width);
}

// `jpeg` with an Exif segment after its start marker whose first directory holds `entry`
// (tag, type, count, value as 12 bytes in the byte order of `order`, "II" or "MM").
std::vector<uint8_t> WithExif(const std::vector<uint8_t>& jpeg, const char* order, uint16_t tag, uint16_t type,
                              uint16_t value) {
  const bool little = order[0] == 'I';
  std::vector<uint8_t> tiff = {uint8_t(order[0]), uint8_t(order[1])};
  auto put16 = [&](uint32_t v) {
    tiff.insert(tiff.end(), little ? std::initializer_list<uint8_t>{uint8_t(v), uint8_t(v >> 8)}
                                   : std::initializer_list<uint8_t>{uint8_t(v >> 8), uint8_t(v)});
  };
  auto put32 = [&](uint32_t v) { little ? (put16(v), put16(v >> 16)) : (put16(v >> 16), put16(v)); };
  put16(42), put32(8), put16(1);                      // header, one entry in the first directory
  put16(tag), put16(type), put32(1), put16(value), put16(0);
  put32(0);                                           // no next directory
  std::vector<uint8_t> app1 = {'E', 'x', 'i', 'f', 0, 0};
  app1.insert(app1.end(), tiff.begin(), tiff.end());
  const size_t length = app1.size() + 2;
  std::vector<uint8_t> out = {0xFF, 0xD8, 0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length)};
  out.insert(out.end(), app1.begin(), app1.end());
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

// `jpeg` with `profile` after its start marker, cut into APP2 chunks of at most `chunkBytes`,
// written in the order of `numbers` (1-based; all of them in order when empty), each saying there
// are `count` chunks (0: as many as there are).
std::vector<uint8_t> WithProfile(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& profile,
                                 size_t chunkBytes, std::vector<int> numbers = {}, int count = 0) {
  const size_t chunks = (profile.size() + chunkBytes - 1) / chunkBytes;
  if (numbers.empty())
    for (size_t i = 1; i <= chunks; ++i) numbers.push_back(int(i));
  std::vector<uint8_t> out = {0xFF, 0xD8};
  for (const int n : numbers) {
    const size_t from = n > 0 ? std::min(profile.size(), size_t(n - 1) * chunkBytes) : 0;
    const size_t to = std::min(profile.size(), from + chunkBytes);
    const size_t length = 2 + 14 + (to - from);
    out.insert(out.end(), {0xFF, 0xE2, uint8_t(length >> 8), uint8_t(length)});
    const char id[] = "ICC_PROFILE";
    out.insert(out.end(), id, id + sizeof id);
    out.insert(out.end(), {uint8_t(n), uint8_t(count ? count : int(chunks))});
    out.insert(out.end(), profile.begin() + long(from), profile.begin() + long(to));
  }
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

// The CMYK samples of a four-component file as libjpeg gives them, and whether an Adobe marker
// says they are stored inverted.
std::vector<uint8_t> CmykSamples(const std::vector<uint8_t>& jpeg, bool& adobe) {
  jpeg_decompress_struct info{};
  jpeg_error_mgr err{};
  info.err = jpeg_std_error(&err);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_CMYK;
  adobe = info.saw_Adobe_marker;
  jpeg_start_decompress(&info);
  std::vector<uint8_t> samples(size_t(info.output_width) * info.output_height * 4);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = samples.data() + size_t(info.output_scanline) * info.output_width * 4;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return samples;
}

bool WithinOneLevel(TColor32 a, TColor32 b) {
  auto near = [](int x, int y) { return std::abs(x - y) <= 1; };
  return AlphaOf(a) == AlphaOf(b) && near(RedOf(a), RedOf(b)) && near(GreenOf(a), GreenOf(b)) &&
         near(BlueOf(a), BlueOf(b));
}

}  // namespace

TEST(JpegLoader, EverySampleMatchesItsReferenceDecode) { CheckSamples(DecodeJpeg, Samples, Sample); }

// Without an Adobe marker the samples mean ink as stored (0 = none); Adobe files store them
// inverted, which the digests above cover.
TEST(JpegLoader, CmykWithoutAdobeMarkerIsReadAsPlainInk) {
  TDecodeResult r = DecodeJpeg(ReadBytes(Sample("cmyk-plain-patches.jpg")));
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  ASSERT_EQ(r.Bitmap().Width(), 64);
  const struct {
    int X;
    TColor32 Expected;
  } patches[] = {{8, Color32(255, 255, 255, 255)},
                 {24, Color32(255, 0, 255, 255)},
                 {40, Color32(255, 255, 0, 255)},
                 {56, Color32(255, 0, 0, 0)}};
  for (const auto& p : patches) {
    const TColor32 c = r.Bitmap().Pixel(p.X, 8);
    SCOPED_TRACE("patch at x=" + std::to_string(p.X));
    EXPECT_EQ(AlphaOf(c), 255);
    EXPECT_NEAR(RedOf(c), RedOf(p.Expected), 3);
    EXPECT_NEAR(GreenOf(c), GreenOf(p.Expected), 3);
    EXPECT_NEAR(BlueOf(c), BlueOf(p.Expected), 3);
  }
}

// Every sample cut at many points. A file cut inside its entropy-coded data still shows what it
// had, marked Partial, at the full size; a file cut before its first scan's data has no picture
// at all. A progressive file cut inside the header of a later scan is a libjpeg error, reported
// as truncation.
TEST(JpegLoader, TruncatedFilesGiveThePartTheyHaveOrFail) {
  std::vector<std::string> names = {"cmyk-plain-patches.jpg"};
  for (const TDecoderSample& s : Samples) names.push_back(s.File);
  for (const std::string& name : names) {
    const std::vector<uint8_t> whole = ReadBytes(Sample(name));
    const bool singleScan = FindMarker(whole, 0xC2) == whole.size() && FindMarker(whole, 0xCA) == whole.size();
    const size_t scanData = FirstScanData(whole), firstScan = FindMarker(whole, 0xDA);
    ASSERT_LT(scanData, whole.size()) << name;
    TDecodeResult full = DecodeJpeg(whole);
    ASSERT_TRUE(full.Ok());
    std::vector<size_t> cuts = {0, 1, 2, 3, 4, 20, firstScan, scanData, scanData + 1};
    for (int i = 1; i < 16; ++i) cuts.push_back(whole.size() * size_t(i) / 16);
    for (size_t cut : cuts) {
      SCOPED_TRACE(name + " cut at " + std::to_string(cut) + " of " + std::to_string(whole.size()));
      const std::vector<uint8_t> part(whole.begin(), whole.begin() + std::ptrdiff_t(cut));
      TDecodeResult r = DecodeJpeg(part);
      if (cut <= firstScan) {
        EXPECT_FALSE(r.Ok());
      } else if (r.Ok()) {
        EXPECT_TRUE(r.Partial());
        EXPECT_EQ(r.Bitmap().Width(), full.Bitmap().Width());
        EXPECT_EQ(r.Bitmap().Height(), full.Bitmap().Height());
      } else {
        EXPECT_FALSE(singleScan && cut > scanData) << r.Error().Message;
        EXPECT_EQ(r.Error().Kind, TDecodeErrorKind::deTruncated) << r.Error().Message;
      }
    }
  }
}

// A baseline file whose data stops half-way, at the end of the file or at an end-of-image
// marker: the top is there, the rows the data never reached are transparent.
TEST(JpegLoader, RowsBeyondTheEndOfABaselineFileAreTransparent) {
  for (const char* name : {"ycc444-baseline.jpg", "cmyk-adobe.jpg"}) {
    const std::vector<uint8_t> whole = ReadBytes(Sample(name));
    const size_t half = FirstScanData(whole) + (whole.size() - FirstScanData(whole)) / 2;
    std::vector<uint8_t> cut(whole.begin(), whole.begin() + std::ptrdiff_t(half)), closed = cut;
    closed.insert(closed.end(), {0xFF, 0xD9});
    TDecodeResult full = DecodeJpeg(whole);
    ASSERT_TRUE(full.Ok());
    for (const auto* part : {&cut, &closed}) {
      SCOPED_TRACE(std::string(name) + (part == &cut ? " cut" : " cut, then end marker"));
      TDecodeResult r = DecodeJpeg(*part);
      ASSERT_TRUE(r.Ok()) << r.Error().Message;
      EXPECT_TRUE(r.Partial());
      for (int x = 0; x < 61; ++x) {
        EXPECT_EQ(r.Bitmap().Pixel(x, 0), full.Bitmap().Pixel(x, 0));
        EXPECT_EQ(r.Bitmap().Pixel(x, 46), Color32(0, 0, 0, 0));
      }
    }
  }
}

// Damage that leaves every marker in place: the picture still comes, and with restart markers
// the decoder finds its feet again, so the bottom rows are as in the undamaged file.
TEST(JpegLoader, DamagedEntropyDataStillGivesThePicture) {
  for (const char* name : {"ycc420-baseline.jpg", "ycc420-restart.jpg"}) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> whole = ReadBytes(Sample(name));
    std::vector<uint8_t> jpeg = whole;
    const size_t from = FirstScanData(jpeg), to = FindMarker(jpeg, 0xD9, true);
    for (size_t i = from + 8; i < from + (to - from) / 4; i += 7) {
      const uint8_t damaged = uint8_t(jpeg[i] ^ 0x5A);
      if (jpeg[i] != 0xFF && jpeg[i - 1] != 0xFF && damaged != 0xFF) jpeg[i] = damaged;
    }
    TDecodeResult r = DecodeJpeg(jpeg), full = DecodeJpeg(whole);
    ASSERT_TRUE(r.Ok() && full.Ok()) << r.Error().Message;
    EXPECT_EQ(r.Bitmap().Width(), 61);
    EXPECT_EQ(AlphaOf(r.Bitmap().Pixel(0, 0)), 255);
    if (std::string(name) == "ycc420-restart.jpg") {
      for (int x = 0; x < 61; ++x) EXPECT_EQ(r.Bitmap().Pixel(x, 46), full.Bitmap().Pixel(x, 46));
    }
  }
}

TEST(JpegLoader, RefusesFilesItCannotOrMustNotDecode) {
  const std::vector<uint8_t> baseline = ReadBytes(Sample("ycc420-baseline.jpg"));
  const std::vector<uint8_t> progressive = ReadBytes(Sample("ycc420-progressive.jpg"));
  const size_t sof0 = FindMarker(baseline, 0xC0), sof2 = FindMarker(progressive, 0xC2);
  ASSERT_LT(sof0, baseline.size());
  ASSERT_LT(sof2, progressive.size());

  auto patched = [](std::vector<uint8_t> bytes, auto&& edit) {
    edit(bytes);
    return bytes;
  };
  const struct {
    const char* What;
    std::vector<uint8_t> Bytes;
    TDecodeErrorKind Kind;
  } cases[] = {
      {"empty", {}, TDecodeErrorKind::deTruncated},
      {"not a JPEG", {'G', 'I', 'F', '8', '9', 'a', 0, 0}, TDecodeErrorKind::deCorrupt},
      {"start marker only", {0xFF, 0xD8, 0xFF, 0xD9}, TDecodeErrorKind::deCorrupt},
      {"tables only", patched(baseline, [&](auto& b) { b.resize(sof0); b.insert(b.end(), {0xFF, 0xD9}); }),
       TDecodeErrorKind::deCorrupt},
      {"65000 x 65000 pixels",
       patched(baseline, [&](auto& b) { SetFrameSize(b, sof0, 65000, 65000); }), TDecodeErrorKind::deTooLarge},
      // 2^28 pixels is allowed for the bitmap, but a progressive file also needs its coefficients.
      {"progressive 16384 x 16384",
       patched(progressive, [&](auto& b) { SetFrameSize(b, sof2, 16384, 16384); }), TDecodeErrorKind::deTooLarge},
      {"12-bit samples", patched(baseline, [&](auto& b) { b[sof0 + 4] = 12; }), TDecodeErrorKind::deUnsupported},
      {"lossless process", patched(baseline, [&](auto& b) { b[sof0 + 1] = 0xC3; }), TDecodeErrorKind::deUnsupported},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    const auto start = std::chrono::steady_clock::now();
    TDecodeResult r = DecodeJpeg(c.Bytes);
    ASSERT_FALSE(r.Ok());
    EXPECT_EQ(r.Error().Kind, c.Kind) << r.Error().Message;
    // Decoding at a reduced scale refuses the same files.
    EXPECT_EQ(DecodeJpeg(c.Bytes, TDecodeHint{8, 8}).Error().Kind, c.Kind);
    // Refused from the header, before any pixel memory is touched.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  }
}

// Huffman coding spends at least a bit on every 8x8 block, so 1 KB cannot hold the blocks of a
// 16384 x 16000 picture: it is refused before the bitmap (or a progressive file's coefficients)
// is allocated, not shown as a huge picture of the few rows it has.
TEST(JpegLoader, TinyFilesDeclaringHugePicturesAreRefusedBeforeAllocating) {
  const struct {
    const char* File;
    uint8_t Sof;
    int Width, Height;
  } cases[] = {{"grey-baseline.jpg", 0xC0, 16384, 16000},
               {"ycc420-baseline.jpg", 0xC0, 16384, 16000},
               {"grey-progressive.jpg", 0xC2, 8192, 8192}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    std::vector<uint8_t> jpeg = ReadBytes(Sample(c.File));
    SetFrameSize(jpeg, FindMarker(jpeg, c.Sof), c.Width, c.Height);
    jpeg.resize(std::min<size_t>(jpeg.size(), 1024));
    ExpectRefusedWithinMemory(DecodeJpeg, jpeg, TDecodeErrorKind::deTruncated);
  }
}

// Each scan makes libjpeg walk the image's blocks again, so a small file of endless scan
// headers would keep the decoder busy for minutes on a large frame.
TEST(JpegLoader, StopsAtAbsurdNumbersOfScans) {
  const std::vector<uint8_t> jpeg = ReadBytes(Sample("ycc420-progressive.jpg"));
  const size_t lastScan = FindMarker(jpeg, 0xDA, true), end = FindMarker(jpeg, 0xD9, true);
  ASSERT_LT(lastScan, end);
  std::vector<uint8_t> many(jpeg.begin(), jpeg.begin() + std::ptrdiff_t(end));
  for (int i = 0; i < 1200; ++i) many.insert(many.end(), jpeg.begin() + std::ptrdiff_t(lastScan), jpeg.begin() + std::ptrdiff_t(end));
  many.insert(many.end(), {0xFF, 0xD9});
  TDecodeResult r = DecodeJpeg(many);
  ASSERT_FALSE(r.Ok());
  EXPECT_EQ(r.Error().Kind, TDecodeErrorKind::deTooLarge);

  // A few repeated scans are only odd, not hostile.
  std::vector<uint8_t> few(jpeg.begin(), jpeg.begin() + std::ptrdiff_t(end));
  for (int i = 0; i < 20; ++i) few.insert(few.end(), jpeg.begin() + std::ptrdiff_t(lastScan), jpeg.begin() + std::ptrdiff_t(end));
  few.insert(few.end(), {0xFF, 0xD9});
  EXPECT_TRUE(DecodeJpeg(few).Ok());
}

TEST(JpegLoader, UpperCaseExtensionLoadsThroughTheJpegClass) {
  EXPECT_EQ(FindGraphicClass(PictureExtension("/photos/PHOTO.JPG")), &GraphicClasses::TJPEGImage);
  TTempDir dir;
  const std::string path = dir.Path() + "PHOTO.JPG";
  WriteBytes(path, ReadBytes(Sample("ycc420-progressive.jpg")));
  TDecodeResult r = LoadPicture(path);
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_EQ(DigestText(PixelDigest(r.Bitmap())), Samples[0].Digest);
}

// The picture comes upright: where the stored top-left pixel ends up for each Exif orientation,
// in either byte order; an orientation that cannot be read leaves the picture as stored.
TEST(JpegLoader, ExifOrientationTurnsThePictureUpright) {
  const std::vector<uint8_t> plain = ReadBytes(Sample("ycc444-baseline.jpg"));
  const TDecodeResult stored = DecodeJpeg(plain);
  ASSERT_TRUE(stored.Ok());
  const TBitmap32& bmp = stored.Bitmap();
  const TColor32 topLeft = bmp.Pixel(0, 0);
  for (TColor32 other : {bmp.Pixel(60, 0), bmp.Pixel(0, 46), bmp.Pixel(60, 46)}) ASSERT_NE(topLeft, other);
  const struct {
    uint16_t Type, Value;
    int CornerX, CornerY;  // where the stored top-left pixel is in the upright picture
    bool Turned;
  } cases[] = {
      {3, 1, 0, 0, false},   {3, 2, 1, 0, false}, {3, 3, 1, 1, false}, {3, 4, 0, 1, false},
      {3, 5, 0, 0, true},    {3, 6, 1, 0, true},  {3, 7, 1, 1, true},  {3, 8, 0, 1, true},
      {3, 9, 0, 0, false},   {3, 0, 0, 0, false},  // out of range
      {4, 6, 0, 0, false},                         // a LONG is not the tag's type
  };
  for (const char* order : {"II", "MM"}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(order) + " orientation " + std::to_string(c.Value) + " type " + std::to_string(c.Type));
      const TDecodeResult r = DecodeJpeg(WithExif(plain, order, 0x0112, c.Type, c.Value));
      ASSERT_TRUE(r.Ok()) << r.Error().Message;
      const int width = c.Turned ? 47 : 61, height = c.Turned ? 61 : 47;
      ASSERT_EQ(r.Bitmap().Width(), width);
      ASSERT_EQ(r.Bitmap().Height(), height);
      EXPECT_EQ(r.Bitmap().Pixel(c.CornerX * (width - 1), c.CornerY * (height - 1)), topLeft);
    }
  }
}

// With a box to fit, the picture is decoded at the smallest N/8 at which it still covers the box's
// width or height once upright; the real size is still known. Other formats ignore the box.
TEST(JpegLoader, ABoxToFitPicksTheSmallestScaleThatCoversIt) {
  const std::vector<uint8_t> plain = ReadBytes(Sample("ycc420-baseline.jpg"));  // 61 x 47
  const std::vector<uint8_t> turned = WithExif(plain, "MM", 0x0112, 3, 6);     // 47 x 61 upright
  const struct {
    bool Turned;
    TDecodeHint Hint;
    int Width, Height;
  } cases[] = {
      {false, {8, 6}, 8, 6},       // 1/8
      {false, {20, 100}, 23, 18},  // 3/8: the width covers the box
      {false, {100, 20}, 31, 24},  // 4/8: the height covers it
      {false, {62, 48}, 61, 47},   // larger than the picture: full size
      {false, {}, 61, 47},         // no box
      {true, {20, 100}, 24, 31},   // the box is for the upright picture
      {true, {100, 20}, 18, 23},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.Hint.FitWidth) + "x" + std::to_string(c.Hint.FitHeight) + (c.Turned ? " turned" : ""));
    const TDecodeResult r = DecodeJpeg(c.Turned ? turned : plain, c.Hint);
    ASSERT_TRUE(r.Ok()) << r.Error().Message;
    EXPECT_EQ(r.Bitmap().Width(), c.Width);
    EXPECT_EQ(r.Bitmap().Height(), c.Height);
    EXPECT_EQ(r.FullWidth(), c.Turned ? 47 : 61);
    EXPECT_EQ(r.FullHeight(), c.Turned ? 61 : 47);
  }

  TTempDir dir;
  const std::string jpeg = dir.Path() + "a.jpg", png = dir.Path() + "a.png";
  WriteBytes(jpeg, plain);
  WriteBytes(png, ReadBytes(TestDataPath("png/grey8.png")));
  EXPECT_EQ(LoadPicture(jpeg, {8, 6}).Bitmap().Width(), 8);
  const TDecodeResult other = LoadPicture(png, {8, 6});
  ASSERT_TRUE(other.Ok());
  EXPECT_EQ(other.Bitmap().Width(), other.FullWidth());
}

// An embedded profile gives Little CMS's colours for the pixels as stored, whether the profile
// comes in one chunk or several in any order, the picture is turned or reduced.
TEST(JpegLoader, EmbeddedProfileGivesLittleCmsColours) {
  const std::vector<uint8_t> plain = ReadBytes(Sample("ycc444-baseline.jpg"));
  const std::vector<uint8_t> adobe = icc::AdobeRgb();
  const struct {
    const char* Name;
    std::vector<uint8_t> File;
    int Orientation;
    TDecodeHint Hint;
  } cases[] = {
      {"one chunk", WithProfile(plain, adobe, 65519), 1, {}},
      {"three chunks, shuffled", WithProfile(plain, adobe, adobe.size() / 3 + 1, {2, 3, 1}), 1, {}},
      {"turned", WithExif(WithProfile(plain, adobe, 65519), "II", 0x0112, 3, 6), 6, {}},
      {"reduced", WithProfile(plain, adobe, 65519), 1, {8, 6}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const TDecodeResult stored = DecodeJpeg(plain, c.Hint);
    const TDecodeResult r = DecodeJpeg(c.File, c.Hint);
    ASSERT_TRUE(stored.Ok() && r.Ok()) << r.Error().Message;
    const TBitmap32& in = stored.Bitmap();
    const size_t count = size_t(in.Width()) * size_t(in.Height());
    const std::vector<TColor32> expected = icc::ConvertPixels(adobe, in.Bits(), count);
    int mismatches = 0, moved = 0;
    for (int y = 0; y < in.Height(); ++y) {
      for (int x = 0; x < in.Width(); ++x) {
        const auto [ux, uy] =
            Oriented(c.Orientation, uint32_t(x), uint32_t(y), uint32_t(in.Width()), uint32_t(in.Height()));
        const TColor32 got = r.Bitmap().Pixel(int(ux), int(uy));
        mismatches += !WithinOneLevel(got, expected[size_t(y) * size_t(in.Width()) + size_t(x)]);
        moved += !WithinOneLevel(got, in.Pixel(x, y));
      }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(moved, int(count / 4));  // Adobe RGB is not sRGB: most colours change
  }
}

// A profile that is damaged, incomplete, contradicts itself or does not fit the picture's colours
// is ignored: the pixels are those of the file without it.
TEST(JpegLoader, UnusableProfileLeavesThePixelsAsStored) {
  const std::vector<uint8_t> plain = ReadBytes(Sample("ycc420-baseline.jpg"));
  const std::vector<uint8_t> adobe = icc::AdobeRgb();
  std::vector<uint8_t> scrambled = adobe;
  for (size_t i = 0; i < scrambled.size(); i += 7) scrambled[i] ^= 0x5A;
  const size_t third = adobe.size() / 3 + 1;
  const struct {
    const char* Name;
    std::vector<uint8_t> File;
  } cases[] = {
      {"cut short", WithProfile(plain, std::vector<uint8_t>(adobe.begin(), adobe.begin() + 300), 65519)},
      {"scrambled", WithProfile(plain, scrambled, 65519)},
      {"a chunk missing", WithProfile(plain, adobe, third, {1, 3})},
      {"a chunk twice", WithProfile(plain, adobe, third, {1, 2, 2, 3})},
      {"number zero", WithProfile(plain, adobe, third, {0, 1, 2})},
      {"number over the count", WithProfile(plain, adobe, third, {1, 2, 3}, 2)},
      {"grey profile on colour", WithProfile(plain, icc::Grey(1.0), 65519)},
  };
  const TDecodeResult stored = DecodeJpeg(plain);
  ASSERT_TRUE(stored.Ok());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const TDecodeResult r = DecodeJpeg(c.File);
    ASSERT_TRUE(r.Ok()) << r.Error().Message;
    EXPECT_EQ(PixelDigest(r.Bitmap()), PixelDigest(stored.Bitmap()));
  }
}

// A CMYK profile turns the ink into colours, whether the samples are stored inverted (Adobe) or
// not, and the picture is turned as usual.
TEST(JpegLoader, CmykProfileConvertsTheInk) {
  const std::vector<uint8_t> cmyk = icc::Cmyk();
  for (const char* name : {"cmyk-adobe.jpg", "cmyk-plain-patches.jpg"}) {
    for (const int orientation : {1, 6}) {
      SCOPED_TRACE(std::string(name) + " orientation " + std::to_string(orientation));
      const std::vector<uint8_t> plain = ReadBytes(Sample(name));
      bool adobe = false;
      std::vector<uint8_t> ink = CmykSamples(plain, adobe);
      if (adobe)
        for (uint8_t& v : ink) v = uint8_t(255 - v);
      const std::vector<TColor32> expected = icc::Convert(cmyk, TYPE_CMYK_8, ink.data(), ink.size() / 4);
      const std::vector<uint8_t> file = WithProfile(plain, cmyk, 65519);
      const TDecodeResult r = DecodeJpeg(orientation == 1 ? file : WithExif(file, "MM", 0x0112, 3, 6));
      ASSERT_TRUE(r.Ok()) << r.Error().Message;
      const TBitmap32& bmp = r.Bitmap();
      const uint32_t width = uint32_t(orientation == 1 ? bmp.Width() : bmp.Height());
      const uint32_t height = uint32_t(ink.size() / 4 / width);
      int mismatches = 0;
      for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
          const auto [ux, uy] = Oriented(orientation, x, y, width, height);
          mismatches += !WithinOneLevel(bmp.Pixel(int(ux), int(uy)), expected[size_t(y) * width + x]);
        }
      EXPECT_EQ(mismatches, 0);
    }
  }
}
