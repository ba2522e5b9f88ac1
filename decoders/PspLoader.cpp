// Paint Shop Pro images (.psp).
//
// Follows the Jasc "Paint Shop Pro File Format Specification" (version 3 for the files of PSP 5,
// major version 3, and its later revisions for PSP 6 and up). After a 32-byte signature and the
// version, the file is a tree of blocks ("~BK\0", an id, lengths); blocks this decoder does not
// need are skipped by their lengths. The picture is the full-size composite image that PSP 6
// and later may store (uncompressed, RLE, LZ77 or JPEG); without one it is the visible raster
// layers merged with normal blending, their opacity and their transparency masks. Channels are
// read row by row as they are decompressed, so memory beyond the picture stays a few rows.
// Reads 1-, 4- and 8-bit indexed or grey, 24-bit and 48-bit pictures.
#include <zlib.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "decoders/ByteReader.h"
#include "decoders/ColourConvert.h"
#include "decoders/Decoders.h"
#include "decoders/RunLength.h"

namespace {

constexpr char Signature[] = "Paint Shop Pro Image File\n\x1a";  // then zeros up to 32 bytes
constexpr size_t SignatureSize = 32;
constexpr size_t FileHeaderSize = SignatureSize + 4;  // and the major and minor version
constexpr size_t MaxBlockHeaderSize = 14;             // "~BK\0", id, and one or two lengths
constexpr int32_t MaxSide = 65535;
constexpr int32_t MaxCoordinate = 1 << 18;  // layer rectangles beyond this are damage
// The most a zlib stream can expand (its longest match, 258 bytes, in about two bits).
constexpr uint64_t MaxInflateRatio = 1032;

enum TBlockId : uint16_t {
  biImageAttributes = 0,
  biPalette = 2,
  biLayerBank = 3,
  biLayer = 4,
  biChannel = 5,
  biCompositeImage = 9,  // in PSP 5 files, the thumbnail
  biCompositeBank = 16,
  biCompositeAttributes = 17,
  biJpeg = 18,
};
enum TCompression : uint16_t { cpNone = 0, cpRle = 1, cpLz77 = 2, cpJpeg = 3 };

TDecodeError Error(TDecodeErrorKind kind, const std::string& why) {
  return {kind, "Invalid Paint Shop Pro image: " + why};
}
bool Refuse(TDecodeError& error, TDecodeErrorKind kind, const std::string& why) {
  error = Error(kind, why);
  return false;
}

struct TBlock {
  uint16_t Id = 0;
  uint32_t InitialLength = 0;  // PSP 5: the bytes of information before the sub-blocks
  size_t Body = 0;             // just after the header
  size_t End = 0;              // the end of the block, or of the data when that comes first
  bool Cut = false;            // the block runs past the end of the data
};

// Finds blocks and their information chunks. In PSP 5 files a block header gives the length of
// the block's information; later files start each chunk with its own length (which counts
// itself) and may add fields, so a chunk is always read up to that length and no further.
class TBlockReader {
 public:
  TBlockReader(std::span<const uint8_t> data, uint16_t major) : Data_(data), Major_(major) {}

  // The block at `pos` inside a parent ending at `end`; false when there is none.
  bool At(size_t pos, size_t end, TBlock& b) const {
    TByteReader r(Data_.first(end), pos);
    const auto magic = r.Take(4);
    b.Id = r.U16LE();
    b.InitialLength = Major_ <= 3 ? r.U32LE() : 0;
    const uint64_t length = r.U32LE();
    if (r.Failed() || std::memcmp(magic.data(), "~BK", 4) != 0) return false;
    b.Body = r.Pos();
    b.Cut = length > end - b.Body;
    b.End = b.Cut ? end : b.Body + size_t(length);
    return true;
  }

  // The fields of the information chunk at `pos` (the first one of a PSP 5 block); `next` is
  // where what follows the chunk starts. False when the chunk is not all inside the block.
  bool Chunk(const TBlock& b, size_t pos, TByteReader& fields, size_t& next) const {
    size_t start = pos;
    uint64_t length = b.InitialLength;
    if (Major_ > 3) {
      TByteReader r(Data_.first(b.End), pos);
      length = r.U32LE();
      start = r.Pos();
      if (r.Failed() || length < 4) return false;
      length -= 4;
    }
    if (start > b.End || length > b.End - start) return false;
    fields = TByteReader(Data_.subspan(start, size_t(length)));
    next = start + size_t(length);
    return true;
  }

  bool Pre6() const { return Major_ <= 3; }
  std::span<const uint8_t> Bytes(size_t from, size_t to) const { return Data_.subspan(from, to - from); }

 private:
  std::span<const uint8_t> Data_;
  uint16_t Major_;
};

// How the pixels of a layer or composite are stored.
struct TPixelFormat {
  uint16_t Depth = 0;  // bits per pixel: 1, 4, 8 (indexed or grey), 24 or 48 (RGB)
  uint16_t Compression = cpNone;
  const TPalette* Palette = nullptr;

  unsigned ColourChannels() const { return Depth >= 24 ? 3 : 1; }
  unsigned ChannelBits() const { return Depth == 24 ? 8 : Depth == 48 ? 16 : Depth; }
};

bool KnownDepth(uint16_t depth) {
  return depth == 1 || depth == 4 || depth == 8 || depth == 24 || depth == 48;
}

// One stored channel: its data in the file and the length it decompresses to.
struct TChannel {
  std::span<const uint8_t> Data;
  uint64_t Uncompressed = 0;
  bool Present = false;
};

// A layer or a composite: where its pixels go on the canvas and where they are.
struct TRaster {
  int64_t X = 0, Y = 0, Width = 0, Height = 0;
  uint8_t Opacity = 255;
  TPixelFormat Format;
  std::array<TChannel, 3> Colour;  // red, green, blue; or the indices of an indexed picture
  TChannel Mask;                   // transparency
};

struct TPspFile {
  uint16_t Major = 0;
  int32_t Width = 0, Height = 0;
  TPixelFormat Format;
  bool Greyscale = false;
  TPalette Palette;
  size_t FirstBlock = 0;  // the block after the attributes
};

// The minimum bytes a canvas needs when a single channel covers it, stored as tightly as
// `compression` can: what a file must plausibly hold before the canvas is allocated.
uint64_t MinimumCanvasBytes(const TPspFile& f) {
  const uint64_t bytes = (uint64_t(f.Width) * f.Format.ChannelBits() + 7) / 8 * uint64_t(f.Height);
  switch (f.Format.Compression) {
    case cpNone:
      return bytes;
    case cpRle:
      return MinimumRunBytes(bytes, 1, 127, 1);
    default:
      return bytes / MaxInflateRatio;
  }
}

// The file header and the General Image Attributes block, which comes first. `data` may be just
// the start of a file of `fileSize` bytes.
bool ReadStart(std::span<const uint8_t> data, uint64_t fileSize, TPspFile& f, TDecodeError& error) {
  TByteReader r(data);
  const auto signature = r.Take(sizeof Signature - 1);
  r.Skip(SignatureSize - signature.size());
  f.Major = r.U16LE();
  r.U16LE();  // minor version
  if (r.Failed()) {
    const size_t n = std::min(data.size(), sizeof Signature - 1);
    const bool prefix = std::equal(data.begin(), data.begin() + n, Signature);
    return Refuse(error, prefix ? TDecodeErrorKind::deTruncated : TDecodeErrorKind::deCorrupt,
                  "no signature");
  }
  if (std::memcmp(signature.data(), Signature, signature.size()) != 0)
    return Refuse(error, TDecodeErrorKind::deCorrupt, "no signature");
  if (f.Major < 3)
    return Refuse(error, TDecodeErrorKind::deUnsupported, "version " + std::to_string(f.Major));

  const TBlockReader blocks(data, f.Major);
  TBlock b;
  TByteReader a({});
  size_t next;
  if (!blocks.At(FileHeaderSize, data.size(), b)) {
    const bool cut = data.size() < FileHeaderSize + MaxBlockHeaderSize;
    return Refuse(error, cut ? TDecodeErrorKind::deTruncated : TDecodeErrorKind::deCorrupt,
                  "no block after the header");
  }
  if (b.Id != biImageAttributes) return Refuse(error, TDecodeErrorKind::deCorrupt, "no image attributes");
  if (!blocks.Chunk(b, b.Body, a, next))
    return Refuse(error, TDecodeErrorKind::deTruncated, "image attributes cut short");
  f.Width = a.I32LE();
  f.Height = a.I32LE();
  a.Skip(8 + 1);  // resolution and its unit
  f.Format.Compression = a.U16LE();
  f.Format.Depth = a.U16LE();
  a.Skip(2 + 4);  // planes, colour count
  f.Greyscale = a.U8() != 0;
  if (a.Failed()) return Refuse(error, TDecodeErrorKind::deCorrupt, "image attributes too short");
  f.FirstBlock = b.End;
  if (f.Width > MaxSide || f.Height > MaxSide)
    return Refuse(error, TDecodeErrorKind::deTooLarge,
                  std::to_string(f.Width) + "x" + std::to_string(f.Height));
  // JPEG is for composites and thumbnails only; layers never use it.
  if (f.Format.Compression > cpLz77)
    return Refuse(error, TDecodeErrorKind::deCorrupt,
                  "layer compression " + std::to_string(f.Format.Compression));
  if (!KnownDepth(f.Format.Depth))
    return Refuse(error, TDecodeErrorKind::deUnsupported, "bit depth " + std::to_string(f.Format.Depth));
  return CheckPictureData(f.Width, f.Height, fileSize - std::min<uint64_t>(fileSize, FileHeaderSize),
                          MinimumCanvasBytes(f), error);
}

// A Colour Palette block: an entry count, then blue, green, red and a reserved byte per entry.
TPalette ReadPalette(const TBlockReader& blocks, const TBlock& b) {
  TByteReader fields({});
  size_t entries;
  TPalette palette;
  if (!blocks.Chunk(b, b.Body, fields, entries)) return palette;
  const size_t count = std::min<uint32_t>(fields.U32LE(), 256);
  TByteReader r(blocks.Bytes(entries, b.End));
  palette.Resize(count);
  for (size_t i = 0; i < count; ++i) {
    const auto e = r.Take(4);
    if (e.empty()) break;
    palette.Set(i, Color32(255, e[2], e[1], e[0]));
  }
  return palette;
}

// Where a channel goes in a raster, by its bitmap type (image, thumbnail or composite, and
// their transparency masks; user masks, selections and the rest are not shown) and, for
// colour, its channel type (0 indices or grey, 1-3 red, green, blue).
TChannel* Slot(TRaster& raster, uint16_t bitmapType, uint16_t channelType) {
  switch (bitmapType) {
    case 0:
    case 5:
    case 8:
      if (raster.Format.ColourChannels() == 1) return channelType == 0 ? &raster.Colour[0] : nullptr;
      return channelType >= 1 && channelType <= 3 ? &raster.Colour[channelType - 1] : nullptr;
    case 1:
    case 6:
    case 9:
      return &raster.Mask;
    default:
      return nullptr;
  }
}

// The Channel sub-blocks of `parent` from `pos` on: compressed and uncompressed lengths, bitmap
// and channel type, then the data. A channel whose data runs past its own block is damage; one
// cut by the end of the file keeps what there is.
bool ReadChannels(const TBlockReader& blocks, const TBlock& parent, size_t pos, TRaster& raster, bool& cut,
                  TDecodeError& error) {
  TBlock b;
  for (; blocks.At(pos, parent.End, b); pos = b.End) {
    cut |= b.Cut;
    if (b.Id != biChannel) continue;
    TByteReader fields({});
    size_t data;
    if (!blocks.Chunk(b, b.Body, fields, data)) {
      if (b.Cut) continue;
      return Refuse(error, TDecodeErrorKind::deCorrupt, "channel information past its block");
    }
    const uint32_t compressed = fields.U32LE(), uncompressed = fields.U32LE();
    const uint16_t bitmapType = fields.U16LE(), channelType = fields.U16LE();
    if (fields.Failed()) return Refuse(error, TDecodeErrorKind::deCorrupt, "channel information too short");
    if (compressed > b.End - data && !b.Cut)
      return Refuse(error, TDecodeErrorKind::deCorrupt, "channel data runs past its block");
    if (TChannel* slot = Slot(raster, bitmapType, channelType))
      *slot = {blocks.Bytes(data, data + std::min<size_t>(compressed, b.End - data)), uncompressed, true};
  }
  return true;
}

// The bytes of one channel, decompressed as they are asked for.
class TChannelStream {
 public:
  TChannelStream() = default;
  TChannelStream(const TChannelStream&) = delete;
  TChannelStream& operator=(const TChannelStream&) = delete;
  ~TChannelStream() {
    if (Inflating_) inflateEnd(&Z_);
  }

  void Open(std::span<const uint8_t> src, uint16_t compression) {
    Src_ = src;
    Compression_ = compression;
    if (compression == cpLz77) Inflating_ = inflateInit(&Z_) == Z_OK;
  }

  // Fills `dst`, zero where the data has run out; returns the bytes the data gave.
  size_t Read(std::span<uint8_t> dst) {
    const size_t got = Compression_ == cpRle    ? ReadRuns(dst)
                       : Compression_ == cpLz77 ? Inflate(dst)
                                                : Copy(dst);
    std::fill(dst.begin() + got, dst.end(), uint8_t(0));
    return got;
  }

 private:
  size_t Copy(std::span<uint8_t> dst) {
    const size_t n = std::min(dst.size(), Src_.size() - Pos_);
    std::copy_n(Src_.begin() + Pos_, n, dst.begin());
    Pos_ += n;
    return n;
  }

  // A byte c over 128 repeats the next byte c - 128 times; any other is followed by c literal
  // bytes. Runs carry on from one row into the next.
  size_t ReadRuns(std::span<uint8_t> dst) {
    size_t out = 0;
    while (out < dst.size()) {
      if (Left_ == 0) {
        if (Pos_ >= Src_.size()) break;
        const uint8_t c = Src_[Pos_++];
        Repeat_ = c > 128;
        Left_ = Repeat_ ? c - 128u : c;
        if (Repeat_ && Pos_ >= Src_.size()) {
          Left_ = 0;
          break;
        }
        if (Repeat_) Value_ = Src_[Pos_++];
        continue;
      }
      size_t n = std::min<size_t>(Left_, dst.size() - out);
      if (Repeat_) {
        std::fill_n(dst.begin() + out, n, Value_);
      } else {
        n = std::min(n, Src_.size() - Pos_);
        if (n == 0) break;
        std::copy_n(Src_.begin() + Pos_, n, dst.begin() + out);
        Pos_ += n;
      }
      out += n;
      Left_ -= unsigned(n);
    }
    return out;
  }

  size_t Inflate(std::span<uint8_t> dst) {
    if (!Inflating_ || Ended_) return 0;
    Z_.next_in = const_cast<Bytef*>(Src_.data() + Pos_);
    Z_.avail_in = uInt(std::min<size_t>(Src_.size() - Pos_, UINT_MAX));
    Z_.next_out = dst.data();
    Z_.avail_out = uInt(dst.size());
    // Anything but progress (the stream's end, damage, no more input) ends the channel.
    while (Z_.avail_out > 0 && !Ended_) Ended_ = inflate(&Z_, Z_NO_FLUSH) != Z_OK;
    Pos_ = size_t(Z_.next_in - Src_.data());
    return dst.size() - Z_.avail_out;
  }

  std::span<const uint8_t> Src_;
  size_t Pos_ = 0;
  uint16_t Compression_ = cpNone;
  unsigned Left_ = 0;  // bytes left of the current run or literal
  bool Repeat_ = false;
  uint8_t Value_ = 0;
  z_stream Z_{};
  bool Inflating_ = false, Ended_ = false;
};

// Bytes per stored row. Jasc's text pads every row to 4 bytes, but files pad only rows of fewer
// than 8 bits per pixel; a channel's uncompressed length tells which a file did.
size_t RowStride(uint64_t uncompressed, int64_t width, int64_t height, unsigned bits) {
  const uint64_t tight = (uint64_t(width) * bits + 7) / 8, padded = (tight + 3) / 4 * 4;
  if (uncompressed == padded * uint64_t(height)) return size_t(padded);
  if (uncompressed == tight * uint64_t(height)) return size_t(tight);
  return size_t(bits < 8 ? padded : tight);
}

// Sample x of a row: an index of 1, 4 or 8 bits (most significant bits first), or 8 bits of a
// little-endian 16-bit sample.
unsigned Sample(const uint8_t* row, int64_t x, unsigned bits) {
  switch (bits) {
    case 1:
      return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4:
      return (row[x >> 1] >> (x & 1 ? 0 : 4)) & 15;
    case 8:
      return row[x];
    default:
      return Scale16To8(uint16_t(row[2 * x] | row[2 * x + 1] << 8));
  }
}

// An opaque colour at `alpha` over a straight-alpha pixel.
void Blend(TColor32& dst, TColor32 colour, unsigned alpha) {
  if (alpha == 0) return;
  if (alpha == 255) {
    dst = colour;
    return;
  }
  const unsigned under = (AlphaOf(dst) * (255 - alpha) + 127) / 255, total = alpha + under;
  auto mix = [&](uint8_t s, uint8_t d) { return uint8_t((s * alpha + d * under + total / 2) / total); };
  dst = Color32(uint8_t(total), mix(RedOf(colour), RedOf(dst)), mix(GreenOf(colour), GreenOf(dst)),
                mix(BlueOf(colour), BlueOf(dst)));
}

struct TDrawn {
  bool Any = false;    // some pixels came from the data
  bool Short = false;  // some data was missing
};

// Draws a raster over the canvas (straight ARGB), row by row as its channels decompress. Rows
// above the canvas are decoded and dropped, rows below it never decoded. Drawing stops where
// every colour channel has run out, so a cut layer does not paint black over the layers under it.
TDrawn DrawRaster(TBitmap32& canvas, const TRaster& raster) {
  const TPixelFormat& f = raster.Format;
  const unsigned colours = f.ColourChannels();
  const int64_t x0 = std::max<int64_t>(0, -raster.X),
                x1 = std::min<int64_t>(raster.Width, canvas.Width() - raster.X);
  TDrawn drawn;
  if (x1 <= x0 || raster.Y >= canvas.Height() || raster.Y + raster.Height <= 0) return drawn;

  struct TSource {
    TChannelStream Stream;
    std::vector<uint8_t> Row;
    unsigned Bits = 8;
  };
  std::array<TSource, 4> sources;  // the colour channels, then the mask
  auto open = [&](TSource& s, const TChannel& c, unsigned bits) {
    s.Bits = bits;
    s.Row.resize(std::max(RowStride(c.Uncompressed, raster.Width, raster.Height, bits),
                          size_t((raster.Width * bits + 7) / 8)));
    if (c.Present)
      s.Stream.Open(c.Data, f.Compression);
    else
      drawn.Short = true;
  };
  for (unsigned c = 0; c < colours; ++c) open(sources[c], raster.Colour[c], f.ChannelBits());
  const TChannel& mask = raster.Mask;
  const bool masked = mask.Present;
  if (masked)
    open(sources[3], mask,
         f.Depth == 48 && mask.Uncompressed == uint64_t(raster.Width) * 2 * raster.Height ? 16 : 8);

  for (int64_t y = 0; y < raster.Height && raster.Y + y < canvas.Height(); ++y) {
    size_t got = 0, wanted = 0;
    for (unsigned c = 0; c < colours; ++c) {
      got += sources[c].Stream.Read(sources[c].Row);
      wanted += sources[c].Row.size();
    }
    // Where the mask runs out the layer is transparent.
    if (masked && sources[3].Stream.Read(sources[3].Row) < sources[3].Row.size()) drawn.Short = true;
    if (got < wanted) drawn.Short = true;
    if (got == 0) break;
    if (raster.Y + y < 0) continue;
    TColor32* line = canvas.ScanLine(int(raster.Y + y));
    const uint8_t* row[4] = {sources[0].Row.data(), sources[1].Row.data(), sources[2].Row.data(),
                             sources[3].Row.data()};
    const unsigned bits = sources[0].Bits;
    for (int64_t x = x0; x < x1; ++x) {
      const TColor32 colour =
          colours == 3 ? Color32(255, uint8_t(Sample(row[0], x, bits)), uint8_t(Sample(row[1], x, bits)),
                                 uint8_t(Sample(row[2], x, bits)))
                       : f.Palette->At(Sample(row[0], x, bits));
      const unsigned alpha = (masked ? Sample(row[3], x, sources[3].Bits) : 255) * raster.Opacity;
      Blend(line[raster.X + x], colour, (alpha + 127) / 255);
    }
    drawn.Any = true;
  }
  return drawn;
}

// A Layer block: the layer's information (name, type, image rectangle and the rectangle of it
// that was saved, opacity, visibility, masks), then its channels. `shown` tells whether it is
// a visible raster layer with pixels; only such a layer's channels are read.
bool ReadLayer(const TBlockReader& blocks, const TBlock& b, TRaster& layer, bool& shown, bool& cut,
               TDecodeError& error) {
  shown = false;
  TByteReader info({});
  size_t next;
  if (!blocks.Chunk(b, b.Body, info, next)) {
    cut |= b.Cut;
    return b.Cut || Refuse(error, TDecodeErrorKind::deCorrupt, "layer information past its block");
  }
  info.Skip(blocks.Pre6() ? 256 : info.U16LE());  // the name
  const uint8_t type = info.U8();
  int32_t rect[8];  // image rectangle, saved rectangle: left, top, right, bottom
  for (int32_t& v : rect) v = info.I32LE();
  layer.Opacity = info.U8();
  info.U8();  // blend mode: every layer is drawn as normal
  const bool visible = info.U8() & 1;
  if (info.Failed()) return Refuse(error, TDecodeErrorKind::deCorrupt, "layer information too short");
  for (int32_t v : rect)
    if (v < -MaxCoordinate || v > MaxCoordinate)
      return Refuse(error, TDecodeErrorKind::deCorrupt, "layer rectangle out of range");
  // The saved rectangle is within the image rectangle, in its coordinates.
  layer.X = int64_t(rect[0]) + rect[4];
  layer.Y = int64_t(rect[1]) + rect[5];
  layer.Width = int64_t(rect[6]) - rect[4];
  layer.Height = int64_t(rect[7]) - rect[5];
  if (layer.Width < 0 || layer.Height < 0)
    return Refuse(error, TDecodeErrorKind::deCorrupt, "negative layer size");
  if (!TBitmap32::IsAcceptableSize(layer.Width, layer.Height))
    return Refuse(error, TDecodeErrorKind::deTooLarge, "layer too large");
  // PSP 5 has normal layers (0) and floating selections (1); later versions raster layers (1),
  // floating selections (2), and vector, adjustment, group and mask layers that have no pixels
  // of their own.
  const bool raster = blocks.Pre6() ? type <= 1 : type == 1 || type == 2;
  if (!raster || !visible || layer.Width == 0 || layer.Height == 0) return true;

  // Later versions follow with a chunk of bitmap and channel counts, which the newest precede
  // with a sub-block of their own; the channels come after.
  size_t channels = next;
  if (!blocks.Pre6()) {
    TBlock extra;
    if (blocks.At(channels, b.End, extra)) channels = extra.End;
    TByteReader counts({});
    if (!blocks.Chunk(b, channels, counts, channels)) {
      cut |= b.Cut;
      return b.Cut || Refuse(error, TDecodeErrorKind::deCorrupt, "layer bitmap information past its block");
    }
  }
  shown = true;
  return ReadChannels(blocks, b, channels, layer, cut, error);
}

// A full-size composite from the Composite Image Bank, if there is one that can be read: after
// the bank's count, each composite is a Composite Image Attributes sub-block followed by the
// image, either channels (with a palette of their own) or a JPEG stream. A JPEG composite is
// the picture itself; any other is drawn on the canvas.
std::optional<TDecodeResult> ReadComposite(const TBlockReader& blocks, const TBlock& bank, const TPspFile& f,
                                           TBitmap32& canvas, bool& cut) {
  TByteReader info({});
  size_t pos;
  if (!blocks.Chunk(bank, bank.Body, info, pos)) return std::nullopt;
  TPixelFormat format;
  bool fullSize = false;
  TBlock b;
  for (; blocks.At(pos, bank.End, b); pos = b.End) {
    cut |= b.Cut;
    TByteReader fields({});
    size_t next;
    if (!blocks.Chunk(b, b.Body, fields, next)) continue;
    if (b.Id == biCompositeAttributes) {
      const int32_t width = fields.I32LE(), height = fields.I32LE();
      format.Depth = fields.U16LE();
      format.Compression = fields.U16LE();
      fullSize = !fields.Failed() && width == f.Width && height == f.Height && KnownDepth(format.Depth);
    } else if (fullSize && b.Id == biJpeg && format.Compression == cpJpeg) {
      const uint32_t length = fields.U32LE();
      TDecodeResult jpeg = DecodeJpeg(blocks.Bytes(next, next + std::min<size_t>(length, b.End - next)));
      if (jpeg && jpeg.Bitmap().Width() == f.Width && jpeg.Bitmap().Height() == f.Height) {
        jpeg.SetPartial(jpeg.Partial() || cut);
        return jpeg;
      }
    } else if (fullSize && b.Id == biCompositeImage && format.Compression <= cpLz77) {
      TPalette palette = f.Palette;
      TRaster composite{0, 0, f.Width, f.Height, 255, format, {}, {}};
      TBlock sub;
      if (blocks.At(next, b.End, sub) && sub.Id == biPalette) palette = ReadPalette(blocks, sub);
      composite.Format.Palette = &palette;
      TDecodeError ignored;
      bool compositeCut = false;
      if (!ReadChannels(blocks, b, next, composite, compositeCut, ignored)) continue;
      const TDrawn drawn = DrawRaster(canvas, composite);
      if (drawn.Any) {
        FinishStraightAlpha(canvas, TAlphaMode::amStraight);
        TDecodeResult result(std::move(canvas));
        result.SetPartial(drawn.Short || compositeCut || cut);
        return result;
      }
      canvas.Clear(0);
    }
  }
  return std::nullopt;
}

}  // namespace

bool ProbePsp(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error) {
  TPspFile f;
  return ReadStart(head, fileSize, f, error);
}

TDecodeResult DecodePsp(std::span<const uint8_t> data) {
  TPspFile f;
  TDecodeError error;
  TBitmap32 canvas;
  if (!ReadStart(data, data.size(), f, error) || !AllocateBitmap(canvas, f.Width, f.Height, error))
    return error;
  canvas.Clear(0);

  const TBlockReader blocks(data, f.Major);
  TBlock b, layerBank, compositeBank;
  bool haveLayers = false, haveComposite = false, cut = false;
  for (size_t pos = f.FirstBlock; blocks.At(pos, data.size(), b); pos = b.End) {
    cut |= b.Cut;
    if (b.Id == biPalette) {
      f.Palette = ReadPalette(blocks, b);
    } else if (b.Id == biLayerBank && !haveLayers) {
      layerBank = b, haveLayers = true;
    } else if (b.Id == biCompositeBank && !blocks.Pre6() && !haveComposite) {
      compositeBank = b, haveComposite = true;
    }
  }
  if (f.Greyscale || f.Palette.Size() == 0)
    f.Palette = TPalette::GreyRamp(size_t(1) << std::min<uint16_t>(f.Format.Depth, 8));
  f.Format.Palette = &f.Palette;

  if (haveComposite)
    if (auto composite = ReadComposite(blocks, compositeBank, f, canvas, cut)) return std::move(*composite);
  if (!haveLayers)
    return Error(cut ? TDecodeErrorKind::deTruncated : TDecodeErrorKind::deCorrupt, "no layers");

  // The layers, from the bottom one up.
  TDrawn all;
  bool anyLayer = false;
  for (size_t pos = layerBank.Body + layerBank.InitialLength; blocks.At(pos, layerBank.End, b); pos = b.End) {
    cut |= b.Cut;
    if (b.Id != biLayer) continue;
    anyLayer = true;
    TRaster layer;
    layer.Format = f.Format;
    bool shown;
    if (!ReadLayer(blocks, b, layer, shown, cut, error)) return error;
    if (!shown) continue;
    const TDrawn drawn = DrawRaster(canvas, layer);
    all.Any |= drawn.Any;
    all.Short |= drawn.Short;
  }
  if (!anyLayer) return Error(cut ? TDecodeErrorKind::deTruncated : TDecodeErrorKind::deCorrupt, "no layers");
  if (!all.Any && (all.Short || cut))
    return Error(TDecodeErrorKind::deTruncated, "no pixel data in the file");
  FinishStraightAlpha(canvas, TAlphaMode::amStraight);
  TDecodeResult result(std::move(canvas));
  result.SetPartial(all.Short || cut);
  return result;
}
