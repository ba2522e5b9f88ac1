// No real Paint Shop Pro file is known to be public; every file here is built from the Jasc
// format description.
#include <gtest/gtest.h>
#include <zlib.h>

#include "decoders/Decoders.h"
#include "tests/support/DecoderSamples.h"

namespace {

using TRaw = std::vector<uint8_t>;

TRaw Cat(std::initializer_list<TRaw> parts) {
  TRaw all;
  for (const TRaw& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// Channel data as a file stores it: raw, in runs (c > 128: the next byte c - 128 times; else
// c literal bytes; runs go on across rows), or as a zlib stream.
TRaw Compress(const TRaw& raw, unsigned compression) {
  if (compression == 0) return raw;
  if (compression == 2) {
    uLongf size = compressBound(uLong(raw.size()));
    TRaw out(size);
    compress2(out.data(), &size, raw.data(), uLong(raw.size()), 9);
    out.resize(size);
    return out;
  }
  TBytes b;
  for (size_t i = 0; i < raw.size();) {
    size_t n = 1;
    while (i + n < raw.size() && raw[i + n] == raw[i] && n < 127) ++n;
    if (n > 1)
      b.U8(128 + unsigned(n)).U8(raw[i]);
    else
      b.U8(1).U8(raw[i]);
    i += n;
  }
  return b.B;
}

struct TRect {
  int32_t Left, Top, Right, Bottom;
};

struct TLayer {
  TRect Image, Saved;                               // Saved is in the image rectangle's coordinates
  std::vector<std::pair<unsigned, TRaw>> Channels;  // (bitmap type << 8 | channel type, raw data)
  unsigned Opacity = 255, Visible = 1, Type = 1;
};

// Writes blocks in the layout of one major version: 3 (PSP 5) gives each block header the
// length of its information; later versions begin each chunk with its own length.
struct TPspWriter {
  unsigned Major = 5;
  unsigned Compression = 0;

  TRaw Chunk(const TBytes& fields) const {
    if (Major <= 3) return fields.B;
    TBytes c;
    c.U32LE(uint32_t(fields.Size()) + 4).Raw(fields.B);
    return c.B;
  }
  TRaw Block(unsigned id, const TRaw& info, const TRaw& rest = {}) const {
    TBytes b;
    b.Str("~BK").U8(0).U16LE(id);
    if (Major <= 3) b.U32LE(uint32_t(info.size()));
    b.U32LE(uint32_t(info.size() + rest.size())).Raw(info).Raw(rest);
    return b.B;
  }
  TRaw Start(int32_t width, int32_t height, unsigned depth, bool grey = false) const {
    TBytes b;
    b.Str("Paint Shop Pro Image File\n\x1a").Fill(5).U16LE(Major).U16LE(0);
    TBytes f;
    f.U32LE(uint32_t(width))
        .U32LE(uint32_t(height))
        .Fill(8, 0)
        .U8(1)
        .U16LE(Compression)
        .U16LE(depth)
        .U16LE(1);
    f.U32LE(depth >= 24 ? 1u << 24 : 1u << depth).U8(grey).U32LE(0).U32LE(0).U16LE(1);
    if (Major > 3) f.U32LE(1);
    return Cat({b.B, Block(0, Chunk(f))});
  }
  TRaw Channel(unsigned bitmapType, unsigned channelType, const TRaw& raw, unsigned compression) const {
    const TRaw data = Compress(raw, compression);
    TBytes f;
    f.U32LE(uint32_t(data.size())).U32LE(uint32_t(raw.size())).U16LE(bitmapType).U16LE(channelType);
    return Block(5, Chunk(f), data);
  }
  TRaw Channels(const std::vector<std::pair<unsigned, TRaw>>& channels, unsigned compression) const {
    TRaw all;
    for (const auto& [type, raw] : channels)
      all = Cat({all, Channel(type >> 8, type & 0xFF, raw, compression)});
    return all;
  }
  TRaw Layer(const TLayer& l) const {
    TBytes f;
    if (Major <= 3)
      f.Str("layer").Fill(251);
    else
      f.U16LE(5).Str("layer");
    f.U8(l.Type);
    for (const TRect& r : {l.Image, l.Saved}) f.U32LE(r.Left).U32LE(r.Top).U32LE(r.Right).U32LE(r.Bottom);
    f.U8(l.Opacity).U8(0).U8(l.Visible).U8(0).U8(0).Fill(32).U8(0).U8(0);
    TBytes counts;
    counts.U16LE(1).U16LE(unsigned(l.Channels.size()));
    TRaw rest;
    if (Major <= 3) {
      f.Fill(43).Raw(counts.B);
    } else {
      // The newest versions put a sub-block of their own before the counts.
      if (Major > 8) rest = Block(30, {1, 2, 3});
      rest = Cat({rest, Chunk(counts)});
    }
    return Block(4, Chunk(f), Cat({rest, Channels(l.Channels, Compression)}));
  }
  TRaw LayerBank(std::initializer_list<TLayer> layers) const {
    TRaw all;
    for (const TLayer& l : layers) all = Cat({all, Layer(l)});
    return Block(3, {}, all);
  }
  TRaw Palette(const std::vector<TColor32>& colours) const {
    TBytes count, entries;
    count.U32LE(uint32_t(colours.size()));
    for (TColor32 c : colours) entries.U8(BlueOf(c)).U8(GreenOf(c)).U8(RedOf(c)).U8(0);
    return Block(2, Chunk(count), entries.B);
  }
  // A Composite Image Bank: for each composite, its attributes, then its image block.
  TRaw CompositeBank(const std::vector<TRaw>& composites) const {
    TBytes count;
    count.U32LE(uint32_t(composites.size()));
    TRaw all;
    for (const TRaw& c : composites) all = Cat({all, c});
    return Block(16, Chunk(count), all);
  }
  TRaw Composite(int32_t width, int32_t height, unsigned depth, unsigned compression,
                 const TRaw& image) const {
    TBytes attributes;
    attributes.U32LE(uint32_t(width))
        .U32LE(uint32_t(height))
        .U16LE(depth)
        .U16LE(compression)
        .U16LE(1)
        .U32LE(0)
        .U16LE(0);
    return Cat({Block(17, Chunk(attributes)), image});
  }
  TRaw CompositeImage(const std::vector<std::pair<unsigned, TRaw>>& channels, unsigned compression) const {
    TBytes counts;
    counts.U16LE(1).U16LE(unsigned(channels.size()));
    return Block(9, Chunk(counts), Channels(channels, compression));
  }
};

constexpr unsigned Red = 1, Green = 2, Blue = 3, Mask = 1 << 8;

// A 4x3 picture whose red has runs across rows, and its expected pixels.
const TRaw R = {10, 10, 10, 10, 10, 10, 20, 30, 40, 40, 40, 40};
const TRaw G = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
const TRaw B = {255, 250, 245, 240, 235, 230, 225, 220, 215, 210, 205, 200};
TColor32 Expected(int x, int y) {
  return Color32(255, R[size_t(y * 4 + x)], G[size_t(y * 4 + x)], B[size_t(y * 4 + x)]);
}

TRaw OneLayerFile(const TPspWriter& w) {
  return Cat(
      {w.Start(4, 3, 24), w.LayerBank({{{0, 0, 4, 3}, {0, 0, 4, 3}, {{Red, R}, {Green, G}, {Blue, B}}}})});
}

void ExpectPicture(const TDecodeResult& r) {
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_FALSE(r.Partial());
  ASSERT_EQ(r.Bitmap().Width(), 4);
  ASSERT_EQ(r.Bitmap().Height(), 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(r.Bitmap().Pixel(x, y), Expected(x, y)) << x << "," << y;
}

TEST(PspLoader, EveryVersionAndCompressionGivesThePicture) {
  for (unsigned major : {3, 4, 5, 6, 10})
    for (unsigned compression : {0, 1, 2}) {
      SCOPED_TRACE(testing::Message() << "major " << major << ", compression " << compression);
      ExpectPicture(DecodePsp(OneLayerFile({major, compression})));
    }
}

TEST(PspLoader, VisibleRasterLayersAreMergedBottomUp) {
  const TPspWriter w{5, 1};
  TLayer background{{0, 0, 4, 3}, {0, 0, 3, 3}, {{Red, TRaw(9, 0)}, {Green, TRaw(9, 0)}, {Blue, TRaw(9, 0)}}};
  TLayer hidden{
      {0, 0, 4, 3}, {0, 0, 4, 3}, {{Red, TRaw(12, 99)}, {Green, TRaw(12, 99)}, {Blue, TRaw(12, 99)}}};
  hidden.Visible = 0;
  TLayer vector = hidden;
  vector.Visible = 1, vector.Type = 3;
  // 2x2 at (1, 0) + (1, 1) with a transparency mask; a half-opaque one hanging off the left edge.
  TLayer masked{{1, 0, 4, 3},
                {1, 1, 3, 3},
                {{Red, TRaw(4, 255)}, {Green, TRaw(4, 0)}, {Blue, TRaw(4, 0)}, {Mask, {255, 0, 128, 255}}}};
  TLayer faint{{-1, 0, 1, 1}, {0, 0, 2, 1}, {{Red, {7, 0}}, {Green, {7, 0}}, {Blue, {7, 255}}}};
  faint.Opacity = 128;
  const TDecodeResult r =
      DecodePsp(Cat({w.Start(4, 3, 24), w.LayerBank({background, hidden, vector, masked, faint})}));
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_FALSE(r.Partial());
  const TBitmap32& bmp = r.Bitmap();
  EXPECT_EQ(StraightPixel(bmp, 3, 0), 0u);              // no layer there
  EXPECT_EQ(bmp.Pixel(2, 1), Color32(255, 255, 0, 0));  // the masked layer, opaque
  EXPECT_EQ(bmp.Pixel(3, 1), Color32(0, 0, 0, 0));      // masked out, nothing under it
  EXPECT_EQ(bmp.Pixel(2, 2), Color32(255, 128, 0, 0));  // half over the black background
  EXPECT_EQ(bmp.Pixel(3, 2), Color32(255, 255, 0, 0));
  EXPECT_EQ(bmp.Pixel(0, 0), Color32(255, 0, 0, 128));  // half of the faint layer's second column
  EXPECT_EQ(bmp.Pixel(1, 1), Color32(255, 0, 0, 0));    // the background alone
}

TEST(PspLoader, FullSizeCompositeIsShownInsteadOfTheLayers) {
  const TPspWriter w{5, 2};
  const TRaw layers = w.LayerBank(
      {{{0, 0, 4, 3}, {0, 0, 4, 3}, {{Red, TRaw(12, 1)}, {Green, TRaw(12, 1)}, {Blue, TRaw(12, 1)}}}});
  // A thumbnail first, then the full-size composite.
  const TRaw bank = w.CompositeBank({
      w.Composite(2, 1, 24, 0, w.CompositeImage({{Red, {9, 9}}, {Green, {9, 9}}, {Blue, {9, 9}}}, 0)),
      w.Composite(4, 3, 24, 2,
                  w.CompositeImage({{8 << 8 | Red, R}, {8 << 8 | Green, G}, {8 << 8 | Blue, B}}, 2)),
  });
  ExpectPicture(DecodePsp(Cat({w.Start(4, 3, 24), layers, bank})));

  // A JPEG composite is the picture as the JPEG decoder makes it.
  const TRaw jpeg = ReadBytes(TestDataPath("jpeg/ycc444-baseline.jpg"));
  TBytes jpegInfo;
  jpegInfo.U32LE(uint32_t(jpeg.size())).U32LE(61 * 47 * 3).U16LE(0);
  const TRaw jpegFile =
      Cat({w.Start(61, 47, 24),
           w.CompositeBank({w.Composite(61, 47, 24, 3, w.Block(18, w.Chunk(jpegInfo), jpeg))})});
  const TDecodeResult r = DecodePsp(jpegFile);
  ASSERT_TRUE(r.Ok()) << r.Error().Message;
  EXPECT_EQ(PixelDigest(r.Bitmap()), PixelDigest(DecodeJpeg(jpeg).Bitmap()));
}

TEST(PspLoader, IndexedGreyAndSixteenBitPictures) {
  const std::vector<TColor32> palette = {Color32(255, 200, 0, 0), Color32(255, 0, 200, 0),
                                         Color32(255, 0, 0, 200)};
  struct TCase {
    const char* Name;
    unsigned Depth;
    bool Grey;
    std::vector<std::pair<unsigned, TRaw>> Channels;  // of a 3x2 picture
    TColor32 At20, At01;                              // pixels (2, 0) and (0, 1)
  } cases[] = {
      // Rows of fewer than 8 bits are padded to 4 bytes.
      {"1-bit", 1, false, {{0, {0x20, 0, 0, 0, 0x80, 0, 0, 0}}}, palette[1], palette[1]},
      {"4-bit", 4, false, {{0, {0x00, 0x20, 0, 0, 0x10, 0, 0, 0}}}, palette[2], palette[1]},
      {"8-bit", 8, false, {{0, {0, 0, 2, 1, 0, 0}}}, palette[2], palette[1]},
      {"8-bit rows padded after all", 8, false, {{0, {0, 0, 2, 0, 1, 0, 0, 0}}}, palette[2], palette[1]},
      {"8-bit grey",
       8,
       true,
       {{0, {0, 0, 64, 200, 0, 0}}},
       Color32(255, 64, 64, 64),
       Color32(255, 200, 200, 200)},
      {"48-bit",
       48,
       false,
       {{Red, {0, 0, 0, 0, 0xFF, 0xFF, 0, 0x80, 0, 0, 0, 0}},
        {Green, TRaw(12, 0)},
        {Blue, {0, 0, 0, 0, 0x80, 0x80, 0, 0, 0, 0, 0, 0}}},
       Color32(255, 255, 0, 128),
       Color32(255, 128, 0, 0)},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TPspWriter w{5, 0};
    TLayer layer{{0, 0, 3, 2}, {0, 0, 3, 2}, c.Channels};
    const TDecodeResult r =
        DecodePsp(Cat({w.Start(3, 2, c.Depth, c.Grey), w.Palette(palette), w.LayerBank({layer})}));
    ASSERT_TRUE(r.Ok()) << r.Error().Message;
    EXPECT_FALSE(r.Partial());
    EXPECT_EQ(r.Bitmap().Pixel(2, 0), c.At20);
    EXPECT_EQ(r.Bitmap().Pixel(0, 1), c.At01);
  }
}

TEST(PspLoader, MissingChannelDataGivesAPartialPicture) {
  for (unsigned compression : {0, 1, 2}) {
    SCOPED_TRACE(compression);
    const TPspWriter w{5, compression};
    TRaw file = OneLayerFile(w);
    file.resize(file.size() - 3);  // into the blue channel's data
    const TDecodeResult r = DecodePsp(file);
    ASSERT_TRUE(r.Ok()) << r.Error().Message;
    EXPECT_TRUE(r.Partial());
    EXPECT_EQ(RedOf(r.Bitmap().Pixel(0, 0)), 10);
  }
  SweepTruncations(DecodePsp, OneLayerFile({3, 1}), "PSP 5, RLE");
  SweepTruncations(DecodePsp, OneLayerFile({10, 2}), "PSP 10, LZ77");
}

// Layers are drawn as they decompress, never held whole: a few bytes declaring a layer of 2^28
// pixels, on the canvas or far above it (where its data ends before it reaches the canvas),
// cost a few rows.
TEST(PspLoader, AHugeLayerCostsOnlyItsRows) {
  for (int32_t top : {0, -16000}) {
    SCOPED_TRACE(top);
    const TPspWriter w{5, 1};
    const TRaw sevens(300, 7);
    TLayer huge{
        {0, top, 16384, top + 16384}, {0, 0, 16384, 16384}, {{Red, sevens}, {Green, sevens}, {Blue, sevens}}};
    const TRaw file = Cat({w.Start(4, 3, 24), w.LayerBank({huge})});
    EXPECT_TRUE(RunsWithinMemory(uint64_t(64) << 20, [&] {
      const TDecodeResult r = DecodePsp(file);
      return top == 0 ? r.Ok() && r.Partial() && r.Bitmap().Pixel(0, 0) == Color32(255, 7, 7, 7)
                      : r.Error().Kind == TDecodeErrorKind::deTruncated;
    }));
  }
}

TEST(PspLoader, MalformedFilesFail) {
  const TPspWriter w{5, 0};
  auto with = [&](unsigned depth, unsigned compression, TRect saved, int32_t width = 4, int32_t height = 3) {
    TPspWriter cw = w;
    cw.Compression = compression;
    TLayer layer{{0, 0, 4, 3}, saved, {{Red, R}, {Green, G}, {Blue, B}}};
    return Cat({cw.Start(width, height, depth), cw.LayerBank({layer})});
  };
  const TRaw good = with(24, 0, {0, 0, 4, 3});
  auto changed = [&](size_t at, uint8_t v) {
    TRaw b = good;
    b[at] = v;
    return b;
  };
  struct TCase {
    const char* Name;
    TRaw Bytes;
    TDecodeErrorKind Kind;
  } cases[] = {
      {"empty", {}, TDecodeErrorKind::deTruncated},
      {"signature cut short", TRaw(good.begin(), good.begin() + 10), TDecodeErrorKind::deTruncated},
      {"bad signature", changed(0, 'p'), TDecodeErrorKind::deCorrupt},
      {"version 2", changed(32, 2), TDecodeErrorKind::deUnsupported},
      {"no attributes first", Cat({TRaw(good.begin(), good.begin() + 36), w.LayerBank({})}),
       TDecodeErrorKind::deCorrupt},
      {"zero width", with(24, 0, {0, 0, 4, 3}, 0), TDecodeErrorKind::deCorrupt},
      {"too wide", with(24, 0, {0, 0, 4, 3}, 70000, 1), TDecodeErrorKind::deTooLarge},
      {"tiny file, huge canvas", with(24, 2, {0, 0, 4, 3}, 16000, 16000), TDecodeErrorKind::deTruncated},
      {"JPEG layers", with(24, 3, {0, 0, 4, 3}), TDecodeErrorKind::deCorrupt},
      {"depth 16", with(16, 0, {0, 0, 4, 3}), TDecodeErrorKind::deUnsupported},
      {"layer rectangle out of range", with(24, 0, {0, 0, 1 << 19, 3}), TDecodeErrorKind::deCorrupt},
      {"negative layer size", with(24, 0, {4, 0, 0, 3}), TDecodeErrorKind::deCorrupt},
      {"channel data past its block",
       [&] {
         TRaw b = good;
         b[good.size() - 12 - 12] = 200;  // the blue channel's compressed length
         return b;
       }(),
       TDecodeErrorKind::deCorrupt},
      {"no layers", w.Start(4, 3, 24), TDecodeErrorKind::deCorrupt},
      {"no pixel data", Cat({w.Start(4, 3, 24), w.LayerBank({{{0, 0, 4, 3}, {0, 0, 4, 3}, {}}})}),
       TDecodeErrorKind::deTruncated},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TDecodeResult r = DecodePsp(c.Bytes);
    ASSERT_FALSE(r.Ok());
    EXPECT_EQ(r.Error().Kind, c.Kind) << r.Error().Message;
    TDecodeError probed;
    if (!ProbePsp(c.Bytes, c.Bytes.size(), probed)) {
      EXPECT_EQ(probed.Kind, c.Kind) << probed.Message;
    }
  }
}

}  // namespace
