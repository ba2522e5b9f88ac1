// Dr. Halo pictures (.cut) and their palette files (.pal).
//
// A CUT holds palette indices only, one run-length coded row after another; its colours live
// in a palette file of the same name that the load path finds and hands over. Without one, or
// with one that holds no usable colours, the indices are shown as grey levels scaled so that
// the highest index the picture uses is white: many Halo pictures use only 16 colours, which
// would be near black as plain levels.
//
// The format has no magic number, so a file is taken for a CUT only when its structure holds
// from end to end: a zero reserved word, row lengths a row of its width can have, and no more
// than record padding after the last row.
#include <algorithm>
#include <string>
#include <vector>

#include "decoders/ByteReader.h"
#include "decoders/ColourConvert.h"
#include "decoders/Decoders.h"
#include "decoders/RunLength.h"

namespace {

constexpr size_t HeaderSize = 6;
// Old DOS programs padded files to whole 128-byte records.
constexpr size_t MaxTrailingBytes = 128;

// The palette file: a 40-byte header, then 16-bit R, G, B entries kept in 512-byte records that
// no entry straddles.
constexpr size_t PalHeaderSize = 40;
constexpr size_t PalRecordSize = 512;
constexpr size_t PalEntrySize = 6;
constexpr uint8_t PalFileType = 0x0A;

TDecodeError Error(TDecodeErrorKind kind, const std::string& why) {
  return {kind, "Invalid Dr. Halo CUT image: " + why};
}
bool Refuse(TDecodeError& error, TDecodeErrorKind kind, const std::string& why) {
  error = Error(kind, why);
  return false;
}

// The longest row a picture `width` wide can have: every pixel a run of one (two bytes), and
// the end code.
size_t MaxRowBytes(size_t width) {
  return 2 * width + 1;
}

bool ReadHeader(std::span<const uint8_t> data, uint64_t fileSize, int& width, int& height,
                TDecodeError& error) {
  TByteReader r(data);
  width = r.U16LE();
  height = r.U16LE();
  const uint16_t reserved = r.U16LE();
  if (r.Failed() || fileSize < HeaderSize)
    return Refuse(error, TDecodeErrorKind::deTruncated, "file shorter than its header");
  if (reserved != 0)
    return Refuse(error, TDecodeErrorKind::deCorrupt, "reserved word is " + std::to_string(reserved));
  const uint64_t maximum =
      HeaderSize + uint64_t(height) * (2 + MaxRowBytes(size_t(width))) + MaxTrailingBytes;
  if (fileSize > maximum)
    return Refuse(error, TDecodeErrorKind::deCorrupt, "file longer than any picture of its size");
  // Every row needs its length word and runs of at most 127 pixels.
  const uint64_t minimum = uint64_t(height) * (2 + MinimumRunBytes(uint64_t(width), 1, 127, 1));
  return CheckPictureData(width, height, fileSize - HeaderSize, minimum, error);
}

// One row's codes into `row`: 0 (or a run of nothing) ends the row, a code with bit 7 set
// repeats the next byte (code & 0x7F) times, any other copies that many bytes. What the codes
// leave of the row stays as it was; what would overflow it is dropped.
void UnpackRow(std::span<const uint8_t> codes, std::span<uint8_t> row) {
  size_t in = 0, out = 0;
  while (in < codes.size() && out < row.size()) {
    const uint8_t code = codes[in++];
    const size_t count = code & 0x7F;
    if (count == 0) break;
    const size_t room = std::min(count, row.size() - out);
    if (code & 0x80) {
      if (in >= codes.size()) break;
      std::fill_n(row.begin() + out, room, codes[in++]);
      out += room;
    } else {
      const size_t n = std::min(room, codes.size() - in);
      std::copy_n(codes.begin() + in, n, row.begin() + out);
      out += n;
      in += count;
    }
  }
}

// A 16-bit palette sample on a scale of 0..max to 0..255.
uint8_t PaletteLevel(unsigned v, unsigned max) {
  if (max == 0) max = 255;
  return uint8_t((std::min(v, max) * 255 + max / 2) / max);
}

// The colours of a generic palette file. False for anything else (hardware-specific palettes
// included) and for a file that ends before its first entry.
bool ReadPalette(std::span<const uint8_t> pal, TPalette& colours) {
  TByteReader r(pal);
  const bool magic = r.U8() == 'A' && r.U8() == 'H';
  r.Skip(4);  // version, file size
  const uint8_t type = r.U8(), subtype = r.U8();
  r.Skip(4);  // board, graphics mode
  const size_t count = std::min<size_t>(size_t(r.U16LE()) + 1, 256);
  const unsigned maxR = r.U16LE(), maxG = r.U16LE(), maxB = r.U16LE();
  if (!magic || r.Failed() || type != PalFileType || subtype != 0) return false;
  r.Seek(PalHeaderSize);
  colours = TPalette(256);
  size_t read = 0;
  for (; read < count; ++read) {
    const size_t inRecord = r.Pos() % PalRecordSize;
    if (inRecord + PalEntrySize > PalRecordSize) r.Skip(PalRecordSize - inRecord);
    const unsigned red = r.U16LE(), green = r.U16LE(), blue = r.U16LE();
    if (r.Failed()) break;
    colours.Set(read,
                Color32(255, PaletteLevel(red, maxR), PaletteLevel(green, maxG), PaletteLevel(blue, maxB)));
  }
  return read > 0;
}

}  // namespace

bool ProbeCut(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error) {
  int width, height;
  return ReadHeader(head, fileSize, width, height, error);
}

TDecodeResult DecodeCut(std::span<const uint8_t> data) {
  return DecodeCut(data, {});
}

TDecodeResult DecodeCut(std::span<const uint8_t> data, std::span<const uint8_t> palette) {
  int width, height;
  TDecodeError error;
  TBitmap32 bitmap;
  if (!ReadHeader(data, data.size(), width, height, error) || !AllocateBitmap(bitmap, width, height, error))
    return error;
  // Indices first, in the pixels' low bytes: the grey fallback needs the highest one.
  std::vector<uint8_t> row(static_cast<size_t>(width));
  TByteReader r(data, HeaderSize);
  unsigned maxIndex = 0;
  bool cut = false;
  int rows = 0;
  for (; rows < height && !cut; ++rows) {
    const size_t length = r.U16LE();
    if (r.Failed()) break;
    if (length == 0 || length > MaxRowBytes(size_t(width)))
      return Error(TDecodeErrorKind::deCorrupt,
                   "row " + std::to_string(rows) + " is " + std::to_string(length) + " bytes long");
    // The length word, not the codes, says where the next row starts.
    cut = length > r.Remaining();
    std::fill(row.begin(), row.end(), uint8_t(0));
    UnpackRow(r.Take(std::min(length, r.Remaining())), row);
    TColor32* out = bitmap.ScanLine(rows);
    for (int x = 0; x < width; ++x) {
      out[x] = row[size_t(x)];
      maxIndex = std::max<unsigned>(maxIndex, row[size_t(x)]);
    }
  }
  if (rows == 0) return Error(TDecodeErrorKind::deTruncated, "no rows in the file");
  if (r.Remaining() > MaxTrailingBytes)
    return Error(TDecodeErrorKind::deCorrupt, std::to_string(r.Remaining()) + " bytes after the last row");
  for (int y = rows; y < height; ++y) std::fill_n(bitmap.ScanLine(y), width, TColor32(0));

  TPalette colours;
  if (!ReadPalette(palette, colours)) colours = TPalette::GreyRamp(maxIndex + 1);
  TColor32* px = bitmap.Bits();
  for (size_t i = 0, n = size_t(width) * size_t(height); i < n; ++i) px[i] = colours.At(px[i]);
  FinishStraightAlpha(bitmap, TAlphaMode::amOpaque);
  TDecodeResult result(std::move(bitmap));
  result.SetPartial(rows < height || cut);
  return result;
}
