// DIB core. Format documents: Microsoft "BITMAPINFOHEADER structure" and "BITMAPV5HEADER
// structure" (learn.microsoft.com), the OS/2 1.x BITMAPCOREHEADER and OS/2 2.x
// BITMAPINFOHEADER2 layouts.
#include "decoders/DibLoader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <string>

#include "decoders/ByteReader.h"
#include "decoders/RunLength.h"

namespace {

TDecodeError Error(TDecodeErrorKind kind, const std::string& what) { return {kind, "BMP: " + what}; }

bool IsWindowsHeaderSize(uint32_t size) {
  return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

// OS/2 2.x headers may be cut anywhere from 16 to 64 bytes; the missing fields read as zero.
bool IsOs2v2HeaderSize(uint32_t size) { return size >= 16 && size <= 64 && !IsWindowsHeaderSize(size); }

// One colour channel of a 16- or 32-bit pixel: the masked bits scaled to 0..255 with rounding,
// whatever the mask's width (1-bit, 5-bit, 10-bit and 32-bit masks all occur). Fields wider
// than 16 bits lose their lowest bits first, which cannot change an 8-bit result by more than
// one step, so every channel goes through a table of at most 65536 entries.
class TChannel {
 public:
  explicit TChannel(uint32_t mask) : Mask_(mask) {
    if (!mask) return;
    Shift_ = unsigned(std::countr_zero(mask));
    const uint32_t max = mask >> Shift_;
    const unsigned width = unsigned(std::bit_width(max));
    const unsigned drop = width > 16 ? width - 16 : 0;
    Shift_ += drop;
    const uint32_t top = max >> drop;
    Lut_.resize(size_t(top) + 1);
    for (uint32_t v = 0; v <= top; ++v) Lut_[v] = uint8_t((uint64_t(v) * 255 + top / 2) / top);
  }
  uint8_t Get(uint32_t pixel) const {
    if (!Mask_) return 0;
    const uint32_t v = (pixel & Mask_) >> Shift_;
    return v < Lut_.size() ? Lut_[v] : 255;
  }

 private:
  uint32_t Mask_;
  unsigned Shift_ = 0;
  std::vector<uint8_t> Lut_;
};

}  // namespace

bool IsDibHeaderSize(uint32_t size) { return size == 12 || IsWindowsHeaderSize(size) || IsOs2v2HeaderSize(size); }

uint64_t TDibHeader::PaletteBytes() const {
  uint64_t entries = ColorsUsed;
  if (Indexed() && entries == 0) entries = uint64_t(1) << BitCount;
  return entries * PaletteEntrySize;
}

uint64_t TDibHeader::MinimumPixelBytes() const {
  if (Rle()) return uint64_t(Height) * MinimumRunBytes(uint64_t(Width), 1, 255, 1);
  return Stride() * uint64_t(Height - 1) + RowBytes();
}

namespace {

// The fields of a whole info header of `size` bytes, zero-padded to the largest size.
void ReadFields(std::span<const uint8_t, 124> bytes, uint32_t size, TDibHeader& header, uint16_t& planes) {
  TByteReader h(bytes, 4);
  header.HeaderSize = size;
  header.IsOs2 = size == 12 || IsOs2v2HeaderSize(size);
  if (size == 12) {
    // BITMAPCOREHEADER: unsigned 16-bit sizes, always bottom-up, 3-byte palette entries.
    header.Width = h.U16LE();
    header.Height = h.U16LE();
    planes = h.U16LE();
    header.BitCount = h.U16LE();
    header.PaletteEntrySize = 3;
    return;
  }
  // BITMAPINFOHEADER fields, shared by the OS/2 2.x header.
  header.Width = h.I32LE();
  const int64_t height = h.I32LE();
  planes = h.U16LE();
  header.BitCount = h.U16LE();
  header.Compression = h.U32LE();
  h.Skip(12);  // image size (unreliable), resolution
  header.ColorsUsed = h.U32LE();
  // A negative height stores the rows top-down.
  header.TopDown = height < 0;
  header.Height = height < 0 ? -height : height;
}

// Whether the fields describe a bitmap this decoder reads.
bool CheckFields(const TDibHeader& header, uint16_t planes, TDecodeError& error) {
  if (planes != 1) {
    error = Error(TDecodeErrorKind::deCorrupt, "planes is " + std::to_string(planes) + ", not 1");
    return false;
  }
  switch (header.BitCount) {
    case 1: case 2: case 4: case 8: case 16: case 24: case 32:
      break;
    default:
      error = Error(TDecodeErrorKind::deUnsupported, std::to_string(header.BitCount) + " bits per pixel");
      return false;
  }
  const uint32_t c = header.Compression;
  // OS/2 2.x reuses 3 and 4 for Huffman 1-D and RLE24, which nobody writes any more.
  if (header.IsOs2 && c > dcRle4) {
    error = Error(TDecodeErrorKind::deUnsupported, "OS/2 compression " + std::to_string(c));
    return false;
  }
  if (c == dcJpeg || c == dcPng || c > dcAlphaBitfields) {
    error = Error(TDecodeErrorKind::deUnsupported, "compression " + std::to_string(c));
    return false;
  }
  if ((c == dcRle8 && header.BitCount != 8) || (c == dcRle4 && header.BitCount != 4) ||
      ((c == dcBitfields || c == dcAlphaBitfields) && header.BitCount != 16 && header.BitCount != 32)) {
    error = Error(TDecodeErrorKind::deCorrupt, "compression " + std::to_string(c) + " with " +
                                                   std::to_string(header.BitCount) + " bits per pixel");
    return false;
  }
  const std::string size = std::to_string(header.Width) + "x" + std::to_string(header.Height);
  if (header.Width <= 0 || header.Height == 0) {
    error = Error(TDecodeErrorKind::deCorrupt, "bad size " + size);
    return false;
  }
  if (header.Width > MaxDibSide || header.Height > MaxDibSide) {
    error = Error(TDecodeErrorKind::deTooLarge, "size " + size);
    return false;
  }
  return true;
}

// The red, green, blue and alpha masks of 16- and 32-bit pixels: from the header, from
// after a header too short to hold them, or the defaults of BI_RGB.
bool ReadMasks(std::span<const uint8_t> data, size_t offset, std::span<const uint8_t, 124> bytes,
               TDibHeader& header, TDecodeError& error) {
  const uint32_t c = header.Compression;
  if (c == dcBitfields || c == dcAlphaBitfields) {
    // Masks live in the header from the 52-byte variant on; a shorter header is followed by
    // as many masks as the compression needs (three, or four with alpha).
    const uint32_t size = header.HeaderSize;
    const unsigned inHeader = size >= 56 ? 4 : size >= 52 ? 3 : 0;
    const unsigned needed = c == dcAlphaBitfields ? 4 : 3;
    TByteReader m(bytes, 40);
    for (unsigned i = 0; i < inHeader; ++i) header.Masks[i] = m.U32LE();
    if (needed > inHeader) {
      TByteReader after(data, offset + size);
      for (unsigned i = inHeader; i < needed; ++i) header.Masks[i] = after.U32LE();
      if (after.Failed()) {
        error = Error(TDecodeErrorKind::deTruncated, "bit-field masks cut short");
        return false;
      }
      header.MasksSize = 4 * (needed - inHeader);
    }
  } else if (header.BitCount == 16) {
    const uint32_t x1r5g5b5[4] = {0x7C00, 0x03E0, 0x001F, 0};
    std::memcpy(header.Masks, x1r5g5b5, sizeof x1r5g5b5);
  } else if (header.BitCount == 32) {
    const uint32_t bgrx[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    std::memcpy(header.Masks, bgrx, sizeof bgrx);
  }
  return true;
}

}  // namespace

bool ReadDibHeader(std::span<const uint8_t> data, size_t offset, TDibHeader& header, TDecodeError& error) {
  header = TDibHeader{};
  TByteReader reader(data, offset);
  const uint32_t size = reader.U32LE();
  if (reader.Failed()) {
    error = Error(TDecodeErrorKind::deTruncated, "no info header");
    return false;
  }
  if (!IsDibHeaderSize(size)) {
    error = Error(TDecodeErrorKind::deUnsupported, "unknown info header size " + std::to_string(size));
    return false;
  }
  // The whole header is copied into a zeroed buffer so that cut OS/2 2.x headers read as zero.
  reader.Seek(offset);
  std::array<uint8_t, 124> bytes{};
  if (!reader.Read(bytes.data(), size)) {
    error = Error(TDecodeErrorKind::deTruncated, "info header cut short");
    return false;
  }
  uint16_t planes = 0;
  ReadFields(bytes, size, header, planes);
  return CheckFields(header, planes, error) && ReadMasks(data, offset, bytes, header, error);
}

std::vector<TColor32> ReadDibPalette(std::span<const uint8_t> data, size_t offset, size_t end,
                                     const TDibHeader& header) {
  if (!header.Indexed()) return {};
  const size_t full = size_t(1) << header.BitCount;
  std::vector<TColor32> palette(full, Color32(255, 0, 0, 0));
  // More entries than 2^bitcount, or a count that runs past the pixels, are both seen in the
  // wild: read only what can be indexed and what is really there.
  uint64_t count = header.ColorsUsed ? header.ColorsUsed : full;
  count = std::min<uint64_t>(count, full);
  end = std::min(end, data.size());
  const size_t available = offset < end ? (end - offset) / header.PaletteEntrySize : 0;
  count = std::min<uint64_t>(count, available);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* e = data.data() + offset + i * header.PaletteEntrySize;
    palette[i] = Color32(255, e[2], e[1], e[0]);  // B, G, R (, reserved)
  }
  return palette;
}

bool DecodeDibRows(std::span<const uint8_t> data, size_t offset, const TDibHeader& header,
                   const std::vector<TColor32>& palette, TBitmap32& bitmap, TDibRows& rows,
                   TDecodeError& error) {
  rows = TDibRows{};
  const int width = int(header.Width);
  const int height = int(header.Height);
  const uint64_t stride = header.Stride();
  // The last row's padding is often missing; a row counts once its pixels are there.
  const uint64_t rowBytes = header.RowBytes();
  const uint64_t available = offset <= data.size() ? data.size() - offset : 0;
  const uint64_t present = available < rowBytes ? 0 : (available - rowBytes) / stride + 1;
  const int count = int(std::min<uint64_t>(present, uint64_t(height)));
  if (count == 0) {
    error = Error(TDecodeErrorKind::deTruncated, "no pixel data");
    return false;
  }
  if (header.Indexed() && palette.size() < (size_t(1) << header.BitCount)) {
    error = Error(TDecodeErrorKind::deCorrupt, "colour table missing");
    return false;
  }

  const bool direct = header.BitCount == 16 || header.BitCount == 32;
  const TChannel red(direct ? header.Masks[0] : 0), green(direct ? header.Masks[1] : 0),
      blue(direct ? header.Masks[2] : 0), alpha(direct ? header.Masks[3] : 0);
  bool alphaSeen = false;
  for (int r = 0; r < count; ++r) {
    const uint8_t* src = data.data() + offset + uint64_t(r) * stride;
    TColor32* dst = bitmap.ScanLine(header.TopDown ? r : height - 1 - r);
    switch (header.BitCount) {
      case 1: case 2: case 4: case 8:
        for (int x = 0; x < width; ++x) dst[x] = palette[DibIndexAt(src, x, header.BitCount)];
        break;
      case 24:
        for (int x = 0; x < width; ++x, src += 3) dst[x] = Color32(0, src[2], src[1], src[0]);
        break;
      default:
        for (int x = 0; x < width; ++x) {
          uint32_t px;
          if (header.BitCount == 16) {
            px = uint32_t(src[0]) | uint32_t(src[1]) << 8;
            src += 2;
          } else {
            px = uint32_t(src[0]) | uint32_t(src[1]) << 8 | uint32_t(src[2]) << 16 | uint32_t(src[3]) << 24;
            src += 4;
          }
          const uint8_t a = alpha.Get(px);
          alphaSeen |= a != 0;
          dst[x] = Color32(a, red.Get(px), green.Get(px), blue.Get(px));
        }
        break;
    }
  }
  rows.FirstY = header.TopDown ? 0 : height - count;
  rows.LastY = header.TopDown ? count : height;
  rows.Height = height;
  rows.AlphaSeen = alphaSeen;
  return true;
}

void FinishDibAlpha(TBitmap32& bitmap, const TDibRows& rows, bool useAlpha) {
  for (int y = rows.FirstY; y < rows.LastY; ++y) {
    TColor32* p = bitmap.ScanLine(y);
    for (int x = 0; x < bitmap.Width(); ++x) {
      const TColor32 c = p[x];
      p[x] = useAlpha ? PremultipliedColor32(AlphaOf(c), RedOf(c), GreenOf(c), BlueOf(c)) : c | 0xFF000000u;
    }
  }
}
