// Autodesk Animator pictures and cels (.pic .cel), all 8-bit indexed:
// - the original Animator's PIC and CEL (magic 0x9119 at 0): a 32-byte header, a palette of
//   6-bit components and the raw pixels;
// - Animator Pro's PIC (0x9500 at 4): a 64-byte header, then blocks for the colour map and the
//   pixels, 1-bit pixels making a black-and-white mask (MSK);
// - Animator Pro's CEL (0xAF12 at 4), a one-frame FLC animation: the first frame's colour,
//   run-length, copy and black chunks are drawn; delta chunks and other chunks are skipped.
// Files of other kinds share the .pic extension; anything without one of these magics is
// refused.
#include <algorithm>
#include <string>
#include <vector>

#include "decoders/ByteReader.h"
#include "decoders/ColourConvert.h"
#include "decoders/Decoders.h"
#include "decoders/RunLength.h"

namespace {

constexpr uint16_t OriginalMagic = 0x9119, ProPicMagic = 0x9500, FlcMagic = 0xAF12;
constexpr size_t OriginalHeaderSize = 32, ProPicHeaderSize = 64, FlcHeaderSize = 128;
constexpr size_t ChunkHeaderSize = 6;  // u32 size (header included), u16 type
constexpr size_t FrameHeaderSize = 16;
constexpr uint16_t FrameChunk = 0xF1FA;
constexpr size_t PaletteBytes = 768;

enum TBlockType : uint16_t { btColourMap = 0, btBytePixels = 1, btBitPixels = 2 };
enum TFlcChunk : uint16_t { fcColour256 = 4, fcColour64 = 11, fcBlack = 13, fcByteRun = 15, fcCopy = 16 };

enum class TVariant { Original, ProPic, Flc };

struct TAnimatorHeader {
  TVariant Variant = TVariant::Original;
  int Width = 0, Height = 0;
  int Bits = 8;  // 1 only in a Pro mask
  size_t DataStart = 0;
};

TDecodeResult Fail(TDecodeErrorKind kind, const std::string& why) {
  return TDecodeResult::Fail(kind, "Invalid Autodesk Animator image: " + why);
}
bool Refuse(TDecodeError& error, TDecodeErrorKind kind, const std::string& why) {
  error = {kind, "Invalid Autodesk Animator image: " + why};
  return false;
}

// A palette component of 0-63 (the VGA's six bits; higher bits are ignored) to 0-255.
uint8_t Expand6To8(uint8_t v) {
  return uint8_t((v & 63) << 2 | (v & 63) >> 4);
}

// Which variant the file is, its size, and whether the file can hold such a picture.
bool ReadHeader(std::span<const uint8_t> data, uint64_t fileSize, TAnimatorHeader& h, TDecodeError& error) {
  TByteReader r(data);
  const uint16_t magic0 = r.U16LE();
  r.Seek(4);
  const uint16_t magic4 = r.U16LE();
  if (r.Failed()) return Refuse(error, TDecodeErrorKind::deTruncated, "file shorter than its header");
  uint64_t minimum = 0;
  if (magic0 == OriginalMagic && (magic4 != ProPicMagic && magic4 != FlcMagic)) {
    r.Seek(2);
    h = {TVariant::Original, r.U16LE(), r.U16LE(), 8, OriginalHeaderSize + PaletteBytes};
    r.Skip(4);  // screen position
    const uint8_t bits = r.U8(), compression = r.U8();
    const uint32_t dataSize = r.U32LE();
    if (r.Failed() || fileSize < OriginalHeaderSize)
      return Refuse(error, TDecodeErrorKind::deTruncated, "file shorter than its header");
    if (bits != 8 || compression != 0)
      return Refuse(error, TDecodeErrorKind::deUnsupported,
                    std::to_string(bits) + " bits with compression " + std::to_string(compression));
    if (dataSize != uint32_t(h.Width) * uint32_t(h.Height))
      return Refuse(error, TDecodeErrorKind::deCorrupt, "pixel data size disagrees with the picture size");
    if (fileSize < h.DataStart) return Refuse(error, TDecodeErrorKind::deTruncated, "palette cut short");
    minimum = dataSize;
  } else if (magic4 == ProPicMagic) {
    r.Seek(6);
    h = {TVariant::ProPic, r.U16LE(), r.U16LE(), 8, ProPicHeaderSize};
    r.Seek(18);
    h.Bits = r.U8();
    if (r.Failed() || fileSize < ProPicHeaderSize)
      return Refuse(error, TDecodeErrorKind::deTruncated, "file shorter than its header");
    if (h.Bits != 8 && h.Bits != 1)
      return Refuse(error, TDecodeErrorKind::deUnsupported, std::to_string(h.Bits) + " bits per pixel");
    minimum = h.Bits == 8 ? uint64_t(h.Width) * h.Height : (uint64_t(h.Width) + 7) / 8 * h.Height;
  } else if (magic4 == FlcMagic) {
    r.Seek(8);
    h = {TVariant::Flc, r.U16LE(), r.U16LE(), r.U16LE(), FlcHeaderSize};
    if (r.Failed() || fileSize < FlcHeaderSize)
      return Refuse(error, TDecodeErrorKind::deTruncated, "file shorter than its header");
    if (h.Bits != 8)
      return Refuse(error, TDecodeErrorKind::deUnsupported, std::to_string(h.Bits) + "-bit FLC");
    // Every row of run-length data takes at least a packet count and runs of 127.
    minimum = (1 + MinimumRunBytes(uint64_t(h.Width), 1, 127, 1)) * h.Height;
  } else {
    return Refuse(error, TDecodeErrorKind::deCorrupt, "no Animator magic number");
  }
  return CheckPictureData(h.Width, h.Height, fileSize > h.DataStart ? fileSize - h.DataStart : 0, minimum,
                          error);
}

// The picture as colour indices, one byte per pixel, and its palette.
struct TIndexedPicture {
  int Width = 0, Height = 0;
  std::vector<uint8_t> Pixels;
  TPalette Palette{256};
  int Rows = 0;  // rows the data held
  bool Drawn = false;

  std::span<uint8_t> Row(int y) {
    return std::span(Pixels).subspan(size_t(y) * size_t(Width), size_t(Width));
  }
  // Rows of raw indices from `src`, as many as it holds.
  void CopyRows(std::span<const uint8_t> src) {
    const size_t n = std::min(src.size(), Pixels.size());
    std::copy_n(src.begin(), n, Pixels.begin());
    Rows = Width ? int(n / size_t(Width)) : 0;
    Drawn = true;
  }
};

// Original Animator: the palette, then the rows.
void ReadOriginal(std::span<const uint8_t> data, TIndexedPicture& pic) {
  const uint8_t* pal = data.data() + OriginalHeaderSize;
  for (size_t i = 0; i < 256; ++i)
    pic.Palette.Set(
        i, Color32(255, Expand6To8(pal[3 * i]), Expand6To8(pal[3 * i + 1]), Expand6To8(pal[3 * i + 2])));
  pic.CopyRows(data.subspan(OriginalHeaderSize + PaletteBytes));
}

// Walks chunks of {u32 size including the header, u16 type}; a chunk cut by the end of `data`
// gives what it holds. Stops at a size too small to make progress.
template <typename TVisit>
void ForEachChunk(std::span<const uint8_t> data, size_t pos, size_t limit, TVisit visit) {
  for (size_t n = 0; n < limit && pos <= data.size() && data.size() - pos >= ChunkHeaderSize; ++n) {
    TByteReader r(data, pos);
    const uint32_t size = r.U32LE();
    const uint16_t type = r.U16LE();
    if (size < ChunkHeaderSize) break;
    const size_t end = size_t(std::min<uint64_t>(uint64_t(pos) + size, data.size()));
    if (!visit(type, data.subspan(pos + ChunkHeaderSize, end - pos - ChunkHeaderSize))) break;
    pos = end;
  }
}

// Animator Pro PIC: blocks for the colour map (u16 version, 256 R,G,B of 8 bits) and the
// pixels, bytes or (in a mask) bits, most significant first.
void ReadProPic(std::span<const uint8_t> data, TIndexedPicture& pic, int bits) {
  if (bits == 1) pic.Palette = TPalette::GreyRamp(2);
  ForEachChunk(data, ProPicHeaderSize, SIZE_MAX, [&](uint16_t type, std::span<const uint8_t> body) {
    if (type == btColourMap && bits == 8 && body.size() >= 2 + PaletteBytes) {
      pic.Palette.SetFromRgbTriplets(body.data() + 2, 256);
    } else if (type == btBytePixels && bits == 8) {
      pic.CopyRows(body);
    } else if (type == btBitPixels && bits == 1) {
      // Rows are padded: to the length a whole block gives them, or else to an even length.
      const size_t minRow = (size_t(pic.Width) + 7) / 8, h = size_t(pic.Height);
      const bool whole = body.size() % h == 0 && body.size() / h >= minRow;
      const size_t stride = whole ? body.size() / h : (minRow + 1) & ~size_t(1);
      pic.Rows = int(std::min<size_t>(pic.Height, body.size() / stride));
      for (int y = 0; y < pic.Rows; ++y) {
        const uint8_t* packed = body.data() + size_t(y) * stride;
        const auto row = pic.Row(y);
        for (size_t x = 0; x < row.size(); ++x) row[x] = (packed[x / 8] >> (7 - x % 8)) & 1;
      }
      pic.Drawn = true;
    }
    return true;
  });
}

// FLC palette packets: a u16 count, then {skip u8, count u8 (0 = 256), count R,G,B}.
void ReadFlcColours(std::span<const uint8_t> body, TPalette& palette, bool sixBit) {
  TByteReader r(body);
  const unsigned packets = r.U16LE();
  size_t index = 0;
  for (unsigned p = 0; p < packets && !r.Failed(); ++p) {
    index += r.U8();
    const unsigned n = r.U8();
    const size_t count = n ? n : 256;
    for (size_t i = 0; i < count && r.Remaining() >= 3; ++i, ++index) {
      uint8_t c[3] = {r.U8(), r.U8(), r.U8()};
      if (sixBit)
        for (uint8_t& v : c) v = Expand6To8(v);
      palette.Set(index, Color32(255, c[0], c[1], c[2]));
    }
  }
}

// FLC BYTE_RUN: each row starts with an unused packet count, then runs until the row is full.
void ReadByteRun(std::span<const uint8_t> body, TIndexedPicture& pic) {
  size_t pos = 0;
  pic.Rows = 0;
  pic.Drawn = true;
  for (int y = 0; y < pic.Height && pos < body.size(); ++y) {
    const TRunResult run = UnpackSignedRuns(body.subspan(pos + 1), pic.Row(y), 0);
    pos += 1 + run.Consumed;
    if (run.Written < size_t(pic.Width)) break;
    pic.Rows = y + 1;
  }
}

// A chunk of the first frame of an FLC.
void ReadFrameChunk(uint16_t type, std::span<const uint8_t> body, TIndexedPicture& pic) {
  switch (type) {
    case fcColour256:
      ReadFlcColours(body, pic.Palette, false);
      break;
    case fcColour64:
      ReadFlcColours(body, pic.Palette, true);
      break;
    case fcByteRun:
      ReadByteRun(body, pic);
      break;
    case fcCopy:
      pic.CopyRows(body);
      break;
    case fcBlack:
      std::fill(pic.Pixels.begin(), pic.Pixels.end(), uint8_t(0));
      pic.Rows = pic.Height, pic.Drawn = true;
      break;
    default:
      break;  // postage stamp, deltas (only in later frames), ...
  }
}

// Animator Pro CEL: the first frame of an FLC (after any prefix chunk).
void ReadFlc(std::span<const uint8_t> data, TIndexedPicture& pic) {
  TByteReader r(data, 80);
  const uint32_t firstFrame = r.U32LE();
  const size_t start = firstFrame >= FlcHeaderSize && firstFrame < data.size() ? firstFrame : FlcHeaderSize;
  // A cel holds a prefix chunk and its frame; a few chunks more are looked at, not all.
  ForEachChunk(data, start, 8, [&](uint16_t type, std::span<const uint8_t> frame) {
    if (type != FrameChunk) return true;
    TByteReader f(frame);
    const unsigned chunks = f.U16LE();
    ForEachChunk(frame, FrameHeaderSize - ChunkHeaderSize, chunks,
                 [&](uint16_t sub, std::span<const uint8_t> body) {
                   ReadFrameChunk(sub, body, pic);
                   return true;
                 });
    return false;
  });
}

}  // namespace

bool ProbeAutodesk(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error) {
  TAnimatorHeader h;
  return ReadHeader(head, fileSize, h, error);
}

TDecodeResult DecodeAutodesk(std::span<const uint8_t> data) {
  TAnimatorHeader h;
  TDecodeError error;
  TBitmap32 bitmap;
  if (!ReadHeader(data, data.size(), h, error) || !AllocateBitmap(bitmap, h.Width, h.Height, error))
    return error;
  TIndexedPicture pic;
  pic.Width = h.Width, pic.Height = h.Height;
  pic.Pixels.resize(size_t(h.Width) * size_t(h.Height));
  switch (h.Variant) {
    case TVariant::Original:
      ReadOriginal(data, pic);
      break;
    case TVariant::ProPic:
      ReadProPic(data, pic, h.Bits);
      break;
    case TVariant::Flc:
      ReadFlc(data, pic);
      break;
  }
  // Animator Pro files start with their own length: a file without pixels may have been cut.
  TByteReader size(data);
  if (!pic.Drawn && size.U32LE() <= data.size())
    return Fail(TDecodeErrorKind::deUnsupported, "no picture in the file");
  if (pic.Rows == 0) return Fail(TDecodeErrorKind::deTruncated, "pixel data cut short");

  for (int y = 0; y < h.Height; ++y) {
    TColor32* out = bitmap.ScanLine(y);
    const auto row = pic.Row(y);
    for (int x = 0; x < h.Width; ++x) out[x] = pic.Palette.At(row[size_t(x)]);
  }
  TDecodeResult result(std::move(bitmap));
  result.SetPartial(pic.Rows < h.Height);
  return result;
}
