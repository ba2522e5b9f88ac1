// Icon decoding: which image of the directory is shown, how its transparency is found, PNG
// images inside icons, and directories that lie or break.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bitmap/PngWriter.h"
#include "decoders/Decoders.h"
#include "tests/support/DibBytes.h"
#include "tests/support/ImageCheck.h"
#include "tests/support/PngBytes.h"
#include "tests/support/TestSupport.h"

namespace {

struct TIcoSample {
  const char* File;
  int Width, Height;
  const char* Digest;
  const char* Tool;
};

// `convert-im6.q16 'FILE[i]' -depth 8 rgba:- | refdigest.py W H` with i the image shown.
const TIcoSample IcoSamples[] = {
    {"black_and_white.ico", 16, 16, "aeb7b4613494b515", "ImageMagick"},
    {"hopper.ico", 16, 16, "745f5406b8731d89", "ImageMagick"},
    {"hopper_256x256.ico", 256, 256, "1749d912942dda34", "ImageMagick"},
    {"hopper_mask.ico", 16, 16, "62d55f3ddd470784", "ImageMagick"},
    {"python.ico", 48, 48, "4349d1899f146eba", "ImageMagick, image [2] of 3"},
};
// Its largest image is a 256x256 PNG (image [6]); the next best a 48x48 32-bit DIB ([7]).
const TIcoSample OiioPng = {"oiio.ico", 256, 256, "333344f7b2cbfa57", "ImageMagick, image [6] of 10"};

// One directory entry per image; the directory's own size fields are given separately because
// real files often get them wrong.
struct TIconImage {
  TBytes Data;
  uint8_t DirWidth = 16, DirHeight = 16;
};

TBytes IcoFile(const std::vector<TIconImage>& images, uint16_t type = 1) {
  TBytes b;
  b.U16(0).U16(type).U16(uint16_t(images.size()));
  uint32_t offset = uint32_t(6 + 16 * images.size());
  for (const TIconImage& im : images) {
    b.U8(im.DirWidth).U8(im.DirHeight).U8(0).U8(0).U16(1).U16(32).U32(uint32_t(im.Data.Size())).U32(offset);
    offset += uint32_t(im.Data.Size());
  }
  for (const TIconImage& im : images) b.Raw(im.Data);
  return b;
}

// An icon DIB: header of doubled height, colour table, colour rows, AND-mask rows.
TBytes IconDib(int w, int h, unsigned bpp, const TBytes& palette, const TBytes& colour, const TBytes& mask) {
  return TBytes(DibInfo40(w, 2 * h, bpp)).Raw(palette).Raw(colour).Raw(mask);
}

// 2x2 24-bit colour rows (bottom row first, each padded to 8 bytes): red, green / blue, white.
TBytes Colour2x2() {
  TBytes b;
  b.U8(0).U8(0).U8(255).U8(0).U8(255).U8(0).U16(0);
  b.U8(255).U8(0).U8(0).U8(255).U8(255).U8(255).U16(0);
  return b;
}
// AND mask rows for 2x2 (bottom first, 4 bytes each); bit set = transparent.
TBytes Mask2x2(uint8_t bottom, uint8_t top) { return TBytes().U8(bottom).Fill(3, 0).U8(top).Fill(3, 0); }

// DecodePng is written separately; the PNG paths are only judged once it reads a plain PNG.
bool PngDecoderWorks(std::string& why) {
  TTempDir dir;
  TBitmap32 b(3, 2);
  b.Clear(Color32(255, 10, 20, 30));
  if (!WritePng(b, dir.Path() + "probe.png")) return why = "WritePng failed", false;
  TDecodeResult r = DecodePng(ReadBytes(dir.Path() + "probe.png"));
  if (!r || r.Bitmap().Pixel(2, 1) != Color32(255, 10, 20, 30))
    return why = "DecodePng does not read a plain PNG yet (" + (r ? std::string("wrong pixels") : r.Error().Message) +
                 "); PNG-in-icon check skipped",
           false;
  return true;
}

TEST(IcoLoader, SampleFilesShowTheirLargestImage) {
  KV_REQUIRE_CORPUS();
  for (const TIcoSample& s : IcoSamples) {
    SCOPED_TRACE(std::string(s.File) + " (" + s.Tool + ")");
    TDecodeResult r = DecodeIco(ReadBytes(CorpusPath(std::string("formats/ico/") + s.File)));
    ASSERT_TRUE(r) << r.Error().Message;
    ASSERT_EQ(r.Bitmap().Width(), s.Width);
    ASSERT_EQ(r.Bitmap().Height(), s.Height);
    EXPECT_EQ(DigestText(PixelDigest(r.Bitmap())), s.Digest);
  }
}

TEST(IcoLoader, PngImageInsideAnIcon) {
  KV_REQUIRE_CORPUS();
  std::string why;
  if (!PngDecoderWorks(why)) GTEST_SKIP() << why;
  TDecodeResult r = DecodeIco(ReadBytes(CorpusPath("formats/ico/oiio.ico")));
  ASSERT_TRUE(r) << r.Error().Message;
  ASSERT_EQ(r.Bitmap().Width(), OiioPng.Width);
  ASSERT_EQ(r.Bitmap().Height(), OiioPng.Height);
  EXPECT_EQ(DigestText(PixelDigest(r.Bitmap())), OiioPng.Digest);

  // A PNG is chosen by its own IHDR size, bigger here than the DIB beside it.
  TTempDir dir;
  TBitmap32 png(20, 20);
  png.Clear(PremultipliedColor32(128, 0, 0, 255));
  ASSERT_TRUE(WritePng(png, dir.Path() + "i.png"));
  TIconImage pngImage{TBytes().Raw(ReadBytes(dir.Path() + "i.png")), 1, 1};
  TIconImage dib{IconDib(2, 2, 24, {}, Colour2x2(), Mask2x2(0, 0)), 0, 0};
  TDecodeResult mixed = DecodeIco(IcoFile({dib, pngImage}));
  ASSERT_TRUE(mixed) << mixed.Error().Message;
  EXPECT_EQ(mixed.Bitmap().Width(), 20);
  EXPECT_EQ(mixed.Bitmap().Pixel(19, 19), PremultipliedColor32(128, 0, 0, 255));
}

TEST(IcoLoader, WhenTheBestImageFailsTheNextOneIsShown) {
  KV_REQUIRE_CORPUS();
  // Independent of the PNG decoder: oiio.ico's PNG entry made unreadable.
  std::vector<uint8_t> bytes = ReadBytes(CorpusPath("formats/ico/oiio.ico"));
  ASSERT_GT(bytes.size(), 6u + 16 * 7);
  const size_t pngOffset = bytes[6 + 16 * 6 + 12] | bytes[6 + 16 * 6 + 13] << 8 | bytes[6 + 16 * 6 + 14] << 16;
  bytes.at(pngOffset + 12) ^= 0xFF;  // IHDR chunk type
  TDecodeResult r = DecodeIco(bytes);
  ASSERT_TRUE(r) << r.Error().Message;
  EXPECT_EQ(r.Bitmap().Width(), 48);
  EXPECT_EQ(DigestText(PixelDigest(r.Bitmap())), "476728ba7fc58ac9");  // ImageMagick, 'oiio.ico[7]'

  // A DIB cut in the middle of its colour rows loses to a whole smaller one.
  TBytes cut = IconDib(4, 4, 24, {}, TBytes().Fill(10, 0x40), {});
  TIconImage small{IconDib(2, 2, 24, {}, Colour2x2(), Mask2x2(0, 0))};
  TDecodeResult fallback = DecodeIco(IcoFile({{cut}, small}));
  ASSERT_TRUE(fallback) << fallback.Error().Message;
  EXPECT_EQ(fallback.Bitmap().Width(), 2);
}

TEST(IcoLoader, LargestThenDeepestByTheImagesOwnHeaders) {
  const TBytes pal1 = TBytes().U32(0).U32(0xFFFFFF);
  // The directory claims 64x64 for a 2x2 image and 1x1 for the 4x4 ones.
  TIconImage tiny{IconDib(2, 2, 24, {}, Colour2x2(), Mask2x2(0, 0)), 64, 64};
  TIconImage mono{IconDib(4, 4, 1, pal1, TBytes().Fill(16, 0xFF), TBytes().Fill(16, 0)), 1, 1};
  TIconImage deep{IconDib(4, 4, 24, {}, TBytes().Fill(48, 0x80), TBytes().Fill(16, 0)), 1, 1};
  TDecodeResult r1 = DecodeIco(IcoFile({tiny, mono}));
  ASSERT_TRUE(r1);
  EXPECT_EQ(r1.Bitmap().Width(), 4);
  EXPECT_EQ(r1.Bitmap().Pixel(0, 0), Color32(255, 255, 255, 255));
  TDecodeResult r2 = DecodeIco(IcoFile({tiny, mono, deep}));
  ASSERT_TRUE(r2);
  EXPECT_EQ(r2.Bitmap().Pixel(0, 0), Color32(255, 128, 128, 128));
  // Cursors share the layout.
  EXPECT_TRUE(DecodeIco(IcoFile({mono}, 2)));
}

TEST(IcoLoader, TransparencyFromTheAndMaskOrTheAlphaBytes) {
  const TColor32 red = Color32(255, 255, 0, 0), blue = Color32(255, 0, 0, 255), white = Color32(255, 255, 255, 255);
  // 24-bit: the mask's set bits (MSB = leftmost) clear those pixels.
  TDecodeResult masked = DecodeIco(IcoFile({{IconDib(2, 2, 24, {}, Colour2x2(), Mask2x2(0x80, 0x40))}}));
  ASSERT_TRUE(masked);
  EXPECT_EQ(masked.Bitmap().Pixel(0, 1), 0u);   // bottom left
  EXPECT_EQ(masked.Bitmap().Pixel(1, 0), 0u);   // top right
  EXPECT_EQ(masked.Bitmap().Pixel(0, 0), blue);
  // No room for the mask after the colour rows: the icon is opaque.
  TDecodeResult noMask = DecodeIco(IcoFile({{IconDib(2, 2, 24, {}, Colour2x2(), {})}}));
  ASSERT_TRUE(noMask);
  EXPECT_EQ(noMask.Bitmap().Pixel(0, 1), red);
  EXPECT_EQ(noMask.Bitmap().Pixel(1, 0), white);

  // 32-bit with alpha: the alpha bytes rule and the mask is ignored.
  TBytes alpha;
  alpha.U32(0x80FF0000).U32(0xFF00FF00).U32(0x00000000).U32(0xFFFFFFFF);
  TDecodeResult own = DecodeIco(IcoFile({{IconDib(2, 2, 32, {}, alpha, Mask2x2(0xC0, 0xC0))}}));
  ASSERT_TRUE(own);
  EXPECT_EQ(own.Bitmap().Pixel(0, 1), PremultipliedColor32(0x80, 255, 0, 0));
  EXPECT_EQ(own.Bitmap().Pixel(1, 0), white);
  // 32-bit whose alpha bytes are all zero: the mask stands in.
  TBytes zero;
  zero.U32(0x00FF0000).U32(0x0000FF00).U32(0x000000FF).U32(0x00FFFFFF);
  TDecodeResult fallback = DecodeIco(IcoFile({{IconDib(2, 2, 32, {}, zero, Mask2x2(0x40, 0x00))}}));
  ASSERT_TRUE(fallback);
  EXPECT_EQ(fallback.Bitmap().Pixel(0, 1), red);
  EXPECT_EQ(fallback.Bitmap().Pixel(1, 1), 0u);
  EXPECT_EQ(fallback.Bitmap().Pixel(1, 0), white);
}

struct TBadIco {
  const char* Name;
  std::vector<uint8_t> Bytes;
  TDecodeErrorKind Kind;
};

TEST(IcoLoader, MalformedDirectoriesFailWithTheirReason) {
  const TBytes good = IconDib(2, 2, 24, {}, Colour2x2(), Mask2x2(0, 0));
  const TBytes huge = IconDib(4, 4, 24, {}, Colour2x2(), {}).Put32(4, 1000).Put32(8, 2000);
  const TBadIco cases[] = {
      {"empty", {}, TDecodeErrorKind::deTruncated},
      {"reserved set", TBytes().U16(1).U16(1).U16(1), TDecodeErrorKind::deCorrupt},
      {"type 3", TBytes().U16(0).U16(3).U16(1), TDecodeErrorKind::deCorrupt},
      {"no images", TBytes().U16(0).U16(1).U16(0), TDecodeErrorKind::deCorrupt},
      {"directory cut short", TBytes().U16(0).U16(1).U16(1).Fill(10, 0), TDecodeErrorKind::deCorrupt},
      {"offset past the end", TBytes().U16(0).U16(1).U16(1).Fill(8, 0).U32(40).U32(9999), TDecodeErrorKind::deCorrupt},
      {"zero-sized entry", TBytes().U16(0).U16(1).U16(1).Fill(8, 0).U32(0).U32(22).Raw(good), TDecodeErrorKind::deCorrupt},
      {"image over 256", IcoFile({{huge}}), TDecodeErrorKind::deCorrupt},
      {"not a DIB or PNG", IcoFile({{TBytes().Text("GIF89a").Fill(40, 0)}}), TDecodeErrorKind::deCorrupt},
      {"a single row for image and mask", IcoFile({{TBytes(DibInfo40(2, 1, 24)).Fill(16, 0)}}), TDecodeErrorKind::deCorrupt},
      {"RLE image", IcoFile({{TBytes(DibInfo40(2, 4, 8, 1)).Fill(1024 + 16, 0)}}), TDecodeErrorKind::deUnsupported},
  };
  for (const TBadIco& c : cases) {
    TDecodeResult r = DecodeIco(c.Bytes);
    ASSERT_FALSE(r) << c.Name;
    EXPECT_EQ(int(r.Error().Kind), int(c.Kind)) << c.Name << ": " << r.Error().Message;
  }
}

// An icon's PNG is held to the PNG decoder's limits: 68 bytes declaring 1 x 2^28 pixels, in an
// icon of 90, allocate nothing of that size.
TEST(IcoLoader, TinyPngDeclaringAHugePictureIsRefusedBeforeAllocating) {
  const TBytes ico = IcoFile({{TBytes().Raw(MakePng(1, 1u << 28, 1, 0, std::vector<uint8_t>(8, 0)))}});
  ASSERT_EQ(ico.Size(), 90u);
  ExpectRefusedWithinMemory(DecodeIco, ico.Vec(), TDecodeErrorKind::deTruncated);
}

TEST(IcoLoader, EverySampleCutAnywhereFailsOrDecodes) {
  KV_REQUIRE_CORPUS();
  std::vector<const char*> files;
  for (const TIcoSample& s : IcoSamples) files.push_back(s.File);
  files.push_back(OiioPng.File);
  for (const char* file : files) {
    const auto bytes = ReadBytes(CorpusPath(std::string("formats/ico/") + file));
    for (size_t cut = 0; cut < bytes.size(); cut += cut < 200 ? 1 : bytes.size() / 29 + 1) {
      TDecodeResult r = DecodeIco(std::span(bytes.data(), cut));
      if (r) {
        EXPECT_GT(r.Bitmap().Width(), 0) << file << " cut at " << cut;
        EXPECT_LE(r.Bitmap().Width(), 256) << file << " cut at " << cut;
      }
    }
  }
}

}  // namespace
