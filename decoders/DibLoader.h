// The device-independent bitmap (DIB) core shared by the BMP and ICO decoders: the info header
// in all its sizes, the colour table and the uncompressed pixel rows.
//
// Format documents: Microsoft BITMAPINFOHEADER and BITMAPV5HEADER references, the OS/2 1.x and
// 2.x bitmap headers. All functions are pure and bounds-checked: they read only inside `data`
// and report a typed error instead of touching anything outside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "decoders/DecodeResult.h"

// biCompression values.
enum TDibCompression : uint32_t {
  dcRgb = 0,
  dcRle8 = 1,
  dcRle4 = 2,
  dcBitfields = 3,
  dcJpeg = 4,
  dcPng = 5,
  dcAlphaBitfields = 6,
};

struct TDibHeader {
  uint32_t HeaderSize = 0;
  int64_t Width = 0;
  int64_t Height = 0;  // always positive; TopDown tells the row order
  bool TopDown = false;
  uint16_t BitCount = 0;
  uint32_t Compression = dcRgb;
  uint32_t ColorsUsed = 0;
  // Red, green, blue and alpha masks of 16- and 32-bit pixels (the defaults for BI_RGB).
  // For 32-bit BI_RGB the alpha mask names the spare byte, which callers treat as alpha only
  // when it holds something (see TDibRows::AlphaSeen).
  uint32_t Masks[4] = {};
  size_t PaletteEntrySize = 4;  // 3 for the OS/2 1.x core header
  size_t MasksSize = 0;         // bytes of masks stored after the header (40-byte BITFIELDS)
  bool IsOs2 = false;

  bool Indexed() const { return BitCount <= 8; }
  // Bytes of a row's pixels, and of a stored row (its bits rounded up to a multiple of 32).
  uint64_t RowBytes() const { return (uint64_t(Width) * BitCount + 7) / 8; }
  uint64_t Stride() const { return ((uint64_t(Width) * BitCount + 31) / 32) * 4; }
  // Bytes of the colour table the header announces (before clamping to the data).
  uint64_t PaletteBytes() const;
  bool Rle() const { return Compression == dcRle8 || Compression == dcRle4; }
  // The fewest bytes of pixel data that can hold the whole picture: every row, the last one
  // without its padding, or for RLE one 2-byte run per 255 pixels of each row (pixels an RLE
  // stream skips are holes, not picture, so they do not count).
  uint64_t MinimumPixelBytes() const;
};

// Whether `size` is the size of an info header this decoder reads (OS/2 1.x and 2.x, Windows
// 40 to 124 bytes).
bool IsDibHeaderSize(uint32_t size);

// Largest side the BMP family accepts; with the bitmap's pixel limit this keeps every
// offset computation far from overflow.
constexpr int64_t MaxDibSide = 32768;

// Parses the info header (and the masks that follow a 40-byte BITFIELDS header) at `offset`.
// Validates the size, planes, bit count, compression and dimensions; fails with deCorrupt or
// deUnsupported and a reason. Does not look at the colour table or the pixels.
bool ReadDibHeader(std::span<const uint8_t> data, size_t offset, TDibHeader& header, TDecodeError& error);

// Reads the colour table of an indexed DIB that starts at `offset` and may not reach past
// `end`. Entries beyond the data or beyond 2^bitcount are dropped; the result always has
// 2^bitcount entries, the missing ones opaque black, so any index read from the pixels is valid.
std::vector<TColor32> ReadDibPalette(std::span<const uint8_t> data, size_t offset, size_t end,
                                     const TDibHeader& header);

struct TDibRows {
  int FirstY = 0;  // bitmap rows [FirstY, LastY) were decoded; the others are left untouched
  int LastY = 0;
  int Height = 0;          // of the whole bitmap
  bool AlphaSeen = false;  // some pixel had a non-zero value under the alpha mask
  bool Complete() const { return Height > 0 && FirstY == 0 && LastY == Height; }
};

// Decodes the uncompressed (BI_RGB, BITFIELDS, ALPHABITFIELDS) pixels of `header` stored at
// `offset` into `bitmap`, already allocated at header.Width x header.Height. Pixels are left
// straight (not premultiplied) with the alpha-mask value in their alpha byte; FinishDibAlpha
// turns them into the bitmap's form. When the data ends early the rows present are decoded;
// without a single complete row the call fails with deTruncated.
bool DecodeDibRows(std::span<const uint8_t> data, size_t offset, const TDibHeader& header,
                   const std::vector<TColor32>& palette, TBitmap32& bitmap, TDibRows& rows,
                   TDecodeError& error);

// Premultiplies the decoded rows when `useAlpha`, otherwise makes them opaque.
void FinishDibAlpha(TBitmap32& bitmap, const TDibRows& rows, bool useAlpha);

// One n-bit field (1, 2, 4 or 8 bits) of a packed row, most significant bits first.
inline unsigned DibIndexAt(const uint8_t* row, int64_t x, unsigned bitCount) {
  const uint64_t bit = uint64_t(x) * bitCount;
  const unsigned shift = 8 - bitCount - unsigned(bit & 7);
  return (row[bit >> 3] >> shift) & ((1u << bitCount) - 1);
}
