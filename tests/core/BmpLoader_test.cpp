// BMP/DIB/RLE decoding: real sample files against reference decodes, hand-made variants, and
// malformed or cut files that must fail cleanly.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "decoders/Decoders.h"
#include "tests/support/DibBytes.h"
#include "tests/support/ImageCheck.h"
#include "tests/support/TestSupport.h"

namespace {

// Reference renditions committed beside the tests (ImageMagick 6.9.11, `convert F PNG32:`).
std::string ReferencePng(const std::string& name) {
  return TestDataPath("reference/bmp/" + name);
}

enum TCheck {
  ckDigest,  // pixels equal the reference digest
  ckClose,   // within 1 of the committed reference image
  ckHoles,   // opaque pixels equal the reference image; `Holes` pixels transparent
};

struct TBmpSample {
  const char* File;
  int Width, Height;
  const char* Digest;  // refdigest.py over the tool's RGBA output
  const char* Tool;
  TCheck Check = ckDigest;
  int Holes = 0;
};

// Digests from `convert-im6.q16 FILE -depth 8 rgba:- | refdigest.py W H` unless the tool says
// otherwise. Where the reference reads a file differently from the format notes, the note
// follows the tool's name and the check is of another kind.
const TBmpSample BmpSamples[] = {
    {"pal1.bmp", 127, 64, "5b87dcabe9e9f525", "ImageMagick"},
    {"pal1wb.bmp", 127, 64, "5b87dcabe9e9f525", "ImageMagick"},
    {"pal4.bmp", 127, 64, "2585933a50462a05", "ImageMagick"},
    {"pal4rle.bmp", 127, 64, "2585933a50462a05", "ImageMagick"},
    {"pal8.bmp", 127, 64, "6d129aaf9a912d10", "ImageMagick"},
    {"pal8os2.bmp", 127, 64, "6d129aaf9a912d10", "ImageMagick"},
    {"pal8v5.bmp", 127, 64, "6d129aaf9a912d10", "ImageMagick"},
    {"pal8rle.bmp", 127, 64, "6d129aaf9a912d10", "ImageMagick"},
    {"pal8topdown.bmp", 127, 64, "6d129aaf9a912d10", "ImageMagick"},
    // Top-down RLE is outside the format, but unambiguous: decoded like its bottom-up twin.
    {"rletopdown.bmp", 127, 64, "6d129aaf9a912d10", "ImageMagick"},
    // ImageMagick reads 3-byte palette entries after this 64-byte OS/2 2.x header (they are 4
    // bytes); the file is bmpsuite's pal8 picture, so the reference is its pal8.bmp decode.
    {"pal8os2v2.bmp", 127, 64, "6d129aaf9a912d10", "ImageMagick, of pal8.bmp"},
    {"hopper_rle8.bmp", 128, 128, "045e0727f89bcb98", "ImageMagick"},
    {"rgb24.bmp", 127, 64, "0522323945161fd3", "ImageMagick"},
    {"rgb32.bmp", 127, 64, "0522323945161fd3", "ImageMagick"},
    {"rgb32bf.bmp", 127, 64, "0522323945161fd3", "ImageMagick"},
    {"rgba32.bmp", 127, 64, "2a38b3c86eec5983", "ImageMagick"},
    // The spare byte of this 40-byte BITFIELDS header has no mask, so it is not alpha (it holds
    // screen garbage); ImageMagick shows it as alpha, so the reference is taken with -alpha off.
    {"clipboard.dib", 296, 176, "79be6b714232a9fd", "ImageMagick -alpha off"},
    // ImageMagick widens 5-bit fields by repeating bits; we scale by 255/31 with rounding.
    {"rgb16.bmp", 127, 64, "59081e0f61321f48", "ImageMagick (bit repetition)", ckClose},
    {"rgb16-565.bmp", 127, 64, "3761960032890a8e", "ImageMagick (bit repetition)", ckClose},
    // ImageMagick paints RLE pixels the stream skips with palette entry 0; they are transparent here.
    {"pal8rletrns.bmp", 127, 64, "899e2936b90febcc", "ImageMagick (skipped pixels opaque)", ckHoles, 416},
    {"pal4rletrns.bmp", 127, 64, "a113c4d6a3188815", "ImageMagick (skipped pixels opaque)", ckHoles, 416},
    // Runs overflow their rows: clipped here, so more of the file's holes stay holes.
    {"badrle.bmp", 127, 64, "c1980c9d29f2e84f", "ImageMagick (skipped pixels opaque)", ckHoles, 5070},
};

TEST(BmpLoader, SampleFilesMatchTheirReferenceDecodes) {
  KV_REQUIRE_CORPUS();
  for (const TBmpSample& s : BmpSamples) {
    SCOPED_TRACE(std::string(s.File) + " (" + s.Tool + ")");
    const auto bytes = ReadBytes(CorpusPath(std::string("formats/bmp/") + s.File));
    ASSERT_FALSE(bytes.empty());
    TDecodeResult r = DecodeBmp(bytes);
    ASSERT_TRUE(r) << r.Error().Message;
    EXPECT_FALSE(r.Partial());
    ASSERT_EQ(r.Bitmap().Width(), s.Width);
    ASSERT_EQ(r.Bitmap().Height(), s.Height);
    if (s.Check == ckDigest) {
      EXPECT_EQ(DigestText(PixelDigest(r.Bitmap())), s.Digest);
      continue;
    }
    std::vector<uint8_t> ref;
    int w = 0, h = 0;
    const std::string png = ReferencePng(std::filesystem::path(s.File).stem().string() + ".png");
    ASSERT_TRUE(ReadPngRgba(png, ref, w, h)) << png;
    ASSERT_EQ(DigestText(PixelDigestFromRgba(ref.data(), w, h)), s.Digest) << "reference image is not the recorded one";
    if (s.Check == ckClose) {
      EXPECT_TRUE(MatchesRgba(r.Bitmap(), ref, w, h, 1));
      continue;
    }
    int holes = 0;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const TColor32 c = r.Bitmap().Pixel(x, y);
        const uint8_t* p = &ref[(size_t(y) * w + x) * 4];
        if (c == 0) {
          ++holes;
        } else {
          ASSERT_EQ(c, Color32(p[3], p[0], p[1], p[2])) << "at " << x << "," << y;
        }
      }
    }
    EXPECT_EQ(holes, s.Holes);
  }
}

TEST(BmpLoader, SkippedRlePixelsAreTransparentAndDrawnOnesOpaque) {
  KV_REQUIRE_CORPUS();
  for (const char* file : {"pal8rletrns.bmp", "pal4rletrns.bmp"}) {
    SCOPED_TRACE(file);
    TDecodeResult r = DecodeBmp(ReadBytes(CorpusPath(std::string("formats/bmp/") + file)));
    ASSERT_TRUE(r);
    const TBitmap32& b = r.Bitmap();
    EXPECT_EQ(b.Pixel(0, 0), Color32(255, 255, 0, 0));  // the red corner
    EXPECT_EQ(b.Pixel(27, 21), 0u);                       // first pixel of the first delta hole
    EXPECT_EQ(b.Pixel(82, 42), 0u);                       // last pixel of the last one
    EXPECT_EQ(b.Pixel(60, 30), Color32(255, 0, 0, 0));
  }
}

TEST(BmpLoader, ThirtyTwoBitAlphaOnlyWhereTheFileMeansIt) {
  KV_REQUIRE_CORPUS();
  // V5 header with an alpha mask: translucent red stays translucent (premultiplied).
  TDecodeResult withMask = DecodeBmp(ReadBytes(CorpusPath("formats/bmp/rgba32.bmp")));
  ASSERT_TRUE(withMask);
  EXPECT_EQ(withMask.Bitmap().Pixel(27, 33), PremultipliedColor32(20, 255, 0, 0));
  EXPECT_EQ(withMask.Bitmap().Pixel(27, 21), 0u);
  // Clipboard DIB: spare bytes vary but no mask names them, so every pixel is opaque.
  TDecodeResult clip = DecodeBmp(ReadBytes(CorpusPath("formats/bmp/clipboard.dib")));
  ASSERT_TRUE(clip);
  for (int y = 0; y < clip.Bitmap().Height(); ++y)
    for (int x = 0; x < clip.Bitmap().Width(); ++x) ASSERT_EQ(AlphaOf(clip.Bitmap().Pixel(x, y)), 255);

  // 32-bit BI_RGB: spare bytes all zero mean opaque; any non-zero one makes them alpha.
  TBytes zero, used;
  zero.U32(0x00102030).U32(0x00405060);
  used.U32(0x80102030).U32(0x00405060);
  TDecodeResult opaque = DecodeBmp(BmpFile(DibInfo40(2, 1, 32), zero));
  TDecodeResult alpha = DecodeBmp(BmpFile(DibInfo40(2, 1, 32), used));
  ASSERT_TRUE(opaque && alpha);
  EXPECT_EQ(opaque.Bitmap().Pixel(0, 0), Color32(255, 0x10, 0x20, 0x30));
  EXPECT_EQ(alpha.Bitmap().Pixel(0, 0), PremultipliedColor32(0x80, 0x10, 0x20, 0x30));
  EXPECT_EQ(alpha.Bitmap().Pixel(1, 0), 0u);

  // An explicit alpha mask whose values are all zero is a writer's habit, not an invisible image.
  TBytes masks;
  masks.U32(0x00FF0000).U32(0x0000FF00).U32(0x000000FF).U32(0xFF000000);
  TDecodeResult zeroMask = DecodeBmp(BmpFile(TBytes(DibInfo40(2, 1, 32, 6)).Raw(masks), zero));
  ASSERT_TRUE(zeroMask) << zeroMask.Error().Message;
  EXPECT_EQ(zeroMask.Bitmap().Pixel(1, 0), Color32(255, 0x40, 0x50, 0x60));
}

TEST(BmpLoader, HeaderVariantsAndLayouts) {
  // 2x2, 24-bit, bottom-up: stored rows are bottom first, each padded to 8 bytes.
  TBytes rows24;
  rows24.U8(0).U8(0).U8(255).U8(0).U8(255).U8(0).U16(0);   // bottom: red, green
  rows24.U8(255).U8(0).U8(0).U8(255).U8(255).U8(255).U16(0);  // top: blue, white
  const TColor32 red = Color32(255, 255, 0, 0), green = Color32(255, 0, 255, 0), blue = Color32(255, 0, 0, 255),
                 white = Color32(255, 255, 255, 255);
  auto expect2x2 = [&](TDecodeResult r, bool flipped) {
    ASSERT_TRUE(r) << r.Error().Message;
    ASSERT_EQ(r.Bitmap().Width(), 2);
    ASSERT_EQ(r.Bitmap().Height(), 2);
    EXPECT_EQ(r.Bitmap().Pixel(0, flipped ? 0 : 1), red);
    EXPECT_EQ(r.Bitmap().Pixel(1, flipped ? 0 : 1), green);
    EXPECT_EQ(r.Bitmap().Pixel(0, flipped ? 1 : 0), blue);
    EXPECT_EQ(r.Bitmap().Pixel(1, flipped ? 1 : 0), white);
  };
  expect2x2(DecodeBmp(BmpFile(DibInfo40(2, 2, 24), rows24)), false);
  expect2x2(DecodeBmp(BmpFile(DibInfo40(2, -2, 24), rows24)), true);
  // Packed DIB (no file header): the pixels follow the header directly.
  expect2x2(DecodeBmp(TBytes(DibInfo40(2, 2, 24)).Raw(rows24)), false);
  // bfOffBits of 0 points into the headers: the pixels are taken right after the colour table.
  expect2x2(DecodeBmp(BmpFile(DibInfo40(2, 2, 24), rows24).Put32(10, 0)), false);
  // OS/2 2.x header cut to 16 bytes: size, width, height, planes, bit count.
  TBytes os2;
  os2.U32(16).U32(2).U32(2).U16(1).U16(24);
  expect2x2(DecodeBmp(BmpFile(os2, rows24)), false);
  // OS/2 1.x core header with 16-bit sizes.
  TBytes core;
  core.U32(12).U16(2).U16(2).U16(1).U16(24);
  expect2x2(DecodeBmp(BmpFile(core, rows24)), false);
}

TEST(BmpLoader, BitfieldMasksOfAnyWidth) {
  // 10-bit fields in a 32-bit pixel (R at 20, G at 10, B at 0) and a 1-bit alpha at 30.
  TBytes masks;
  masks.U32(0x3FF00000).U32(0x000FFC00).U32(0x000003FF).U32(0x40000000);
  TBytes px;
  px.U32(0x40000000 | (1023u << 20) | (512u << 10) | 0u).U32((0u << 20) | (1u << 10) | 1023u);
  TDecodeResult r = DecodeBmp(BmpFile(TBytes(DibInfo40(2, 1, 32, 6)).Raw(masks), px));
  ASSERT_TRUE(r) << r.Error().Message;
  EXPECT_EQ(r.Bitmap().Pixel(0, 0), Color32(255, 255, 128, 0));  // 512 * 255 / 1023 = 127.6
  EXPECT_EQ(r.Bitmap().Pixel(1, 0), 0u);                         // alpha bit clear: transparent

  // A field as wide as the pixel.
  TBytes wideMasks;
  wideMasks.U32(0xFFFFFFFF).U32(0).U32(0);
  TDecodeResult wide = DecodeBmp(BmpFile(TBytes(DibInfo40(2, 1, 32, 3)).Raw(wideMasks), TBytes().U32(0x80000000).U32(~0u)));
  ASSERT_TRUE(wide) << wide.Error().Message;
  EXPECT_EQ(wide.Bitmap().Pixel(0, 0), Color32(255, 128, 0, 0));
  EXPECT_EQ(wide.Bitmap().Pixel(1, 0), Color32(255, 255, 0, 0));

  // 16-bit 5-6-5 through three masks after a 40-byte header.
  TBytes m565;
  m565.U32(0xF800).U32(0x07E0).U32(0x001F);
  TBytes p565;
  p565.U16(0xF800).U16(0x0400);  // pure red; green 32 of 63
  TDecodeResult r565 = DecodeBmp(BmpFile(TBytes(DibInfo40(2, 1, 16, 3)).Raw(m565), p565));
  ASSERT_TRUE(r565);
  EXPECT_EQ(r565.Bitmap().Pixel(0, 0), Color32(255, 255, 0, 0));
  EXPECT_EQ(r565.Bitmap().Pixel(1, 0), Color32(255, 0, 130, 0));
}

TEST(BmpLoader, IndexedDepthsIncludingTwoBits) {
  TBytes palette;
  palette.U32(0x000000).U32(0xFF0000).U32(0x00FF00).U32(0x0000FF);
  TBytes px;
  px.U8(0b00011011).U8(0).U16(0);  // indices 0 1 2 3
  TDecodeResult r = DecodeBmp(BmpFile(TBytes(DibInfo40(4, 1, 2, 0, 4)).Raw(palette), px));
  ASSERT_TRUE(r) << r.Error().Message;
  EXPECT_EQ(r.Bitmap().Pixel(0, 0), Color32(255, 0, 0, 0));
  EXPECT_EQ(r.Bitmap().Pixel(1, 0), Color32(255, 255, 0, 0));
  EXPECT_EQ(r.Bitmap().Pixel(3, 0), Color32(255, 0, 0, 255));
  // An index beyond a short colour table reads as black rather than outside the table.
  TDecodeResult shortTable = DecodeBmp(BmpFile(TBytes(DibInfo40(4, 1, 2, 0, 2)).Raw(TBytes().U32(0xFFFFFF).U32(0xFFFFFF)), px));
  ASSERT_TRUE(shortTable);
  EXPECT_EQ(shortTable.Bitmap().Pixel(3, 0), Color32(255, 0, 0, 0));
}

TEST(BmpLoader, RleCodesDeltaEndOfLineAndClipping) {
  TBytes palette;
  for (uint32_t c : {0x000000u, 0xFF0000u, 0x00FF00u, 0x0000FFu}) palette.U32(c);
  palette.Fill(12 * 4, 0);
  // RLE4 on 6x3, stored rows bottom first. Row 0: a run of 4 alternating nibbles 1 and 2,
  // then end of line. Row 1: absolute nibbles 3, 2, 1 (padded to a word), then a run of 9
  // that overflows and is clipped, end of line. Row 2: a delta 4 to the right, a run of 2 of
  // colour 3, end of bitmap.
  TBytes rle{4, 0x12, 0, 0, 0, 3, 0x32, 0x10, 9, 0x11, 0, 0, 0, 2, 4, 0, 2, 0x33, 0, 1};
  TDecodeResult r = DecodeBmp(BmpFile(TBytes(DibInfo40(6, 3, 4, 2, 16)).Raw(palette), rle));
  ASSERT_TRUE(r) << r.Error().Message;
  const TBitmap32& b = r.Bitmap();
  const TColor32 R = Color32(255, 255, 0, 0), G = Color32(255, 0, 255, 0),
                 B = Color32(255, 0, 0, 255);
  const TColor32 expect[3][6] = {
      {0, 0, 0, 0, B, B},  // stored row 2 (top): only the run after the delta
      {B, G, R, R, R, R},  // stored row 1: absolute 3,2,1 then the clipped run of 1s
      {R, G, R, G, 0, 0},  // stored row 0 (bottom): ended early by end of line
  };
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(b.Pixel(x, y), expect[y][x]) << x << "," << y;
}

struct TBadBmp {
  const char* Name;
  std::vector<uint8_t> Bytes;
  TDecodeErrorKind Kind;
};

TEST(BmpLoader, MalformedHeadersFailWithTheirReason) {
  const TBytes px = TBytes().Fill(16, 0);
  const TBadBmp cases[] = {
      {"empty", {}, TDecodeErrorKind::deCorrupt},
      {"magic only", TBytes{'B', 'M'}, TDecodeErrorKind::deTruncated},
      {"file header only", TBytes().Text("BM").U32(0).U32(0).U32(54), TDecodeErrorKind::deTruncated},
      {"unknown header size", BmpFile(TBytes().U32(100).Fill(96, 0), px), TDecodeErrorKind::deUnsupported},
      {"header cut short", TBytes().Text("BM").U32(0).U32(0).U32(54).U32(40).U32(1), TDecodeErrorKind::deTruncated},
      {"planes 2", BmpFile(DibInfo40(1, 1, 24).Put32(12, 0x00180002), px), TDecodeErrorKind::deCorrupt},
      {"bit count 3", BmpFile(DibInfo40(1, 1, 3), px), TDecodeErrorKind::deUnsupported},
      {"bit count 64", BmpFile(DibInfo40(1, 1, 64), px), TDecodeErrorKind::deUnsupported},
      {"zero width", BmpFile(DibInfo40(0, 1, 24), px), TDecodeErrorKind::deCorrupt},
      {"negative width", BmpFile(DibInfo40(-5, 1, 24), px), TDecodeErrorKind::deCorrupt},
      {"zero height", BmpFile(DibInfo40(1, 0, 24), px), TDecodeErrorKind::deCorrupt},
      {"most negative height", BmpFile(DibInfo40(1, INT32_MIN, 24), px), TDecodeErrorKind::deTooLarge},
      {"too wide", BmpFile(DibInfo40(40000, 1, 24), px), TDecodeErrorKind::deTooLarge},
      {"over 2^28 pixels", BmpFile(DibInfo40(32768, 32768, 1), px), TDecodeErrorKind::deTooLarge},
      {"RLE8 at 4 bits", BmpFile(DibInfo40(1, 1, 4, 1), px), TDecodeErrorKind::deCorrupt},
      {"RLE4 at 8 bits", BmpFile(DibInfo40(1, 1, 8, 2), px), TDecodeErrorKind::deCorrupt},
      {"bit fields at 24 bits", BmpFile(DibInfo40(1, 1, 24, 3), px), TDecodeErrorKind::deCorrupt},
      {"masks cut short", TBytes(DibInfo40(1, 1, 32, 3)).U32(0xFF), TDecodeErrorKind::deTruncated},
      {"embedded JPEG", BmpFile(DibInfo40(1, 1, 0, 4), px), TDecodeErrorKind::deUnsupported},
      {"unknown compression", BmpFile(DibInfo40(1, 1, 24, 11), px), TDecodeErrorKind::deUnsupported},
      {"OS/2 Huffman", BmpFile(TBytes().U32(64).U32(1).U32(1).U16(1).U16(1).U32(3).Fill(44, 0), px),
       TDecodeErrorKind::deUnsupported},
      {"pixels past the end", BmpFile(DibInfo40(1, 1, 24), px).Put32(10, 1u << 30), TDecodeErrorKind::deTruncated},
      {"no pixel data", BmpFile(DibInfo40(4, 4, 24), {}), TDecodeErrorKind::deTruncated},
      // A few kilobytes must not make the decoder build a picture of a gigabyte.
      {"RLE8, 1 KB for 16384x16000", BmpFile(DibInfo40(16384, 16000, 8, 1), TBytes().Fill(1024, 0xFF)),
       TDecodeErrorKind::deTruncated},
      {"RLE4, 1 KB for 16384x16000", BmpFile(DibInfo40(16384, 16000, 4, 2), TBytes().Fill(1024, 0xFF)),
       TDecodeErrorKind::deTruncated},
      {"1 bit, 3 KB for 16384x16000", BmpFile(DibInfo40(16384, 16000, 1), TBytes().Fill(3072, 0xFF)),
       TDecodeErrorKind::deTruncated},
      {"RLE8 cut before its first pixel", BmpFile(DibInfo40(4, 3, 8, 1), TBytes{0, 0}),
       TDecodeErrorKind::deTruncated},
      {"OS/2 bitmap array", TBytes().Text("BA").Fill(40, 0), TDecodeErrorKind::deUnsupported},
      {"text", TBytes().Text("hello, world"), TDecodeErrorKind::deCorrupt},
  };
  for (const TBadBmp& c : cases) {
    TDecodeResult r = DecodeBmp(c.Bytes);
    ASSERT_FALSE(r) << c.Name;
    EXPECT_EQ(int(r.Error().Kind), int(c.Kind)) << c.Name << ": " << r.Error().Message;
  }
}

TEST(BmpLoader, MissingRowsGiveAPartialImage) {
  // 2x4 24-bit with only the bottom two rows present: they are decoded, the rest transparent.
  TBytes rows;
  rows.Fill(8, 0xFF).Fill(8, 0x00);
  TDecodeResult r = DecodeBmp(BmpFile(DibInfo40(2, 4, 24), rows));
  ASSERT_TRUE(r) << r.Error().Message;
  EXPECT_TRUE(r.Partial());
  EXPECT_EQ(r.Bitmap().Pixel(0, 3), Color32(255, 255, 255, 255));
  EXPECT_EQ(r.Bitmap().Pixel(0, 2), Color32(255, 0, 0, 0));
  EXPECT_EQ(r.Bitmap().Pixel(1, 1), 0u);
  EXPECT_EQ(r.Bitmap().Pixel(1, 0), 0u);
}

TEST(BmpLoader, PixelDataEndingEarlyIsMarkedPartial) {
  const TBytes rows = TBytes().Fill(16, 0x80);  // two of four 2-pixel 24-bit rows
  const struct {
    const char* Name;
    TBytes Bytes;
    bool Partial;
  } cases[] = {
      {"bottom-up rows", BmpFile(DibInfo40(2, 4, 24), rows), true},
      {"top-down rows", BmpFile(DibInfo40(2, -4, 24), rows), true},
      // RLE8 on 4x3: runs of 4, end of line between rows.
      {"RLE8 cut in the second row", BmpFile(DibInfo40(4, 3, 8, 1), TBytes{4, 1, 0, 0, 2, 1}), true},
      {"RLE8 ending after the last pixel",
       BmpFile(DibInfo40(4, 3, 8, 1), TBytes{4, 1, 0, 0, 4, 1, 0, 0, 4, 1}), false},
      {"RLE8 ending with end of bitmap", BmpFile(DibInfo40(4, 3, 8, 1), TBytes{4, 1, 0, 1}), false},
  };
  for (const auto& c : cases) {
    TDecodeResult r = DecodeBmp(c.Bytes);
    ASSERT_TRUE(r) << c.Name << ": " << r.Error().Message;
    EXPECT_EQ(r.Partial(), c.Partial) << c.Name;
  }
}

TEST(BmpLoader, EverySampleCutAnywhereFailsOrDecodesAtItsSize) {
  KV_REQUIRE_CORPUS();
  for (const TBmpSample& s : BmpSamples) {
    const auto bytes = ReadBytes(CorpusPath(std::string("formats/bmp/") + s.File));
    for (size_t cut = 0; cut < bytes.size(); cut += cut < 160 ? 1 : bytes.size() / 23 + 1) {
      TDecodeResult r = DecodeBmp(std::span(bytes.data(), cut));
      if (r) {
        EXPECT_EQ(r.Bitmap().Width(), s.Width) << s.File << " cut at " << cut;
        EXPECT_EQ(r.Bitmap().Height(), s.Height) << s.File << " cut at " << cut;
      }
    }
  }
}

}  // namespace
