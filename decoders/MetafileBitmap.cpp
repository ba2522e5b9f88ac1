// Bitmaps inside metafile records. Format documents: [MS-WMF] 2.2.2.9 DeviceIndependentBitmap
// and 2.2.2.1 Bitmap16, [MS-EMF] 2.2.2 (the BITMAPINFO of EMF records); the DIB header, colour
// table and rows are read by DibLoader, RLE by BmpRle.
#include <algorithm>

#include "decoders/BmpRle.h"
#include "decoders/ByteReader.h"
#include "decoders/DibLoader.h"
#include "decoders/MetafileData.h"

namespace {

bool Refuse(TDecodeError& error, TDecodeErrorKind kind, const std::string& why) {
  error = {kind, "metafile bitmap: " + why};
  return false;
}

TColor32 Opaque(TMfColor c) { return Color32(255, uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)); }

bool Allocate(TBitmap32& bitmap, int64_t width, int64_t height, TDecodeError& error) {
  if (width * height > MaxMetafileBitmapPixels)
    return Refuse(error, TDecodeErrorKind::deTooLarge,
                  std::to_string(width) + "x" + std::to_string(height) + " pixels");
  if (!AllocateBitmap(bitmap, width, height, error)) return false;
  bitmap.Clear(0);
  return true;
}

// Bitmap16: type, width, height, bytes per row, planes, bits per pixel; rows top down without
// a colour table. One-bit rows are black and white (the painter colours monochrome bitmaps).
bool DecodeBitmap16(const TMfBitmap& source, TMfPixels& out, TDecodeError& error) {
  TByteReader r(source.Info);
  r.Skip(2);
  const int16_t width = r.I16LE(), height = r.I16LE(), rowBytes = r.I16LE();
  const uint8_t planes = r.U8(), bits = r.U8();
  if (r.Failed()) return Refuse(error, TDecodeErrorKind::deTruncated, "Bitmap16 header cut short");
  if (width <= 0 || height <= 0 || planes != 1 || (bits != 1 && bits != 8 && bits != 24 && bits != 32) ||
      int64_t(rowBytes) * 8 < int64_t(width) * bits)
    return Refuse(error, TDecodeErrorKind::deUnsupported, "Bitmap16 of " + std::to_string(width) + "x" +
                                                              std::to_string(height) + " at " + std::to_string(bits) + " bits");
  const std::span<const uint8_t> data = source.Bits;
  const int rows = int(std::min<size_t>(size_t(height), data.size() / size_t(rowBytes)));
  if (rows == 0) return Refuse(error, TDecodeErrorKind::deTruncated, "no Bitmap16 rows");
  if (!Allocate(out.Bitmap, width, height, error)) return false;
  for (int y = 0; y < rows; ++y) {
    const uint8_t* row = data.data() + size_t(y) * size_t(rowBytes);
    TColor32* dst = out.Bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      if (bits == 1) {
        dst[x] = (row[x / 8] >> (7 - x % 8)) & 1 ? 0xFFFFFFFFu : 0xFF000000u;
      } else if (bits == 8) {
        dst[x] = Color32(255, row[x], row[x], row[x]);  // no palette to go by: a grey ramp
      } else {
        const uint8_t* p = row + size_t(x) * (bits / 8);
        dst[x] = Color32(255, p[2], p[1], p[0]);
      }
    }
  }
  out.Monochrome = bits == 1;
  return true;
}

// The colour table of a DIB_PAL_COLORS DIB: 16-bit indexes into the selected palette.
std::vector<TColor32> PaletteIndexColours(std::span<const uint8_t> info, size_t offset, const TDibHeader& header,
                                          std::span<const TMfColor> palette) {
  const size_t full = size_t(1) << header.BitCount;
  std::vector<TColor32> colours(full, Color32(255, 0, 0, 0));
  TByteReader r(info, offset);
  const size_t count = std::min<size_t>(header.ColorsUsed ? header.ColorsUsed : full, full);
  for (size_t i = 0; i < count; ++i) {
    const uint16_t index = r.U16LE();
    if (r.Failed()) break;
    const uint8_t grey = uint8_t(index * 255 / (full - 1 ? full - 1 : 1));
    colours[i] = index < palette.size() ? Opaque(palette[index]) : Color32(255, grey, grey, grey);
  }
  return colours;
}

}  // namespace

bool DecodeMfBitmap(const TMfBitmap& source, std::span<const TMfColor> palette, bool premultipliedAlpha,
                    TMfPixels& out, TDecodeError& error) {
  out = TMfPixels{};
  if (source.Ddb) return DecodeBitmap16(source, out, error);
  TDibHeader header;
  if (!ReadDibHeader(source.Info, 0, header, error)) return false;
  // AlphaBlend's per-pixel alpha is the top byte, whatever masks the header gives.
  if (premultipliedAlpha && header.BitCount == 32 && !header.Masks[3]) header.Masks[3] = 0xFF000000u;
  const size_t tableOffset = size_t(header.HeaderSize) + header.MasksSize;
  std::vector<TColor32> colours;
  uint64_t tableBytes = header.PaletteBytes();
  if (header.Indexed() && source.Usage == 1) {
    const uint64_t entries = std::min<uint64_t>(header.ColorsUsed ? header.ColorsUsed : 1u << header.BitCount,
                                                1u << header.BitCount);
    tableBytes = entries * 2;
    colours = PaletteIndexColours(source.Info, tableOffset, header, palette);
  } else {
    colours = ReadDibPalette(source.Info, tableOffset, source.Info.size(), header);
  }
  // A packed DIB has its pixels right after the colour table.
  std::span<const uint8_t> bits = source.Bits;
  if (bits.empty()) {
    const uint64_t start = tableOffset + tableBytes;
    if (start >= source.Info.size()) return Refuse(error, TDecodeErrorKind::deTruncated, "no pixels");
    bits = source.Info.subspan(size_t(start));
  }
  if (!PlausibleDataSize(bits.size(), header.MinimumPixelBytes()))
    return Refuse(error, TDecodeErrorKind::deTruncated, std::to_string(bits.size()) + " bytes of pixels");
  if (!Allocate(out.Bitmap, header.Width, header.Height, error)) return false;
  out.BottomUp = !header.TopDown;
  out.Monochrome = header.BitCount == 1;
  if (header.Rle()) {
    const TRleOutcome rle = DecodeDibRle(bits, header, colours, out.Bitmap);
    if (!rle.Drawn) return Refuse(error, TDecodeErrorKind::deTruncated, "no RLE pixels");
    return true;
  }
  TDibRows rows;
  if (!DecodeDibRows(bits, 0, header, colours, out.Bitmap, rows, error)) return false;
  if (premultipliedAlpha && header.BitCount == 32) {
    // AlphaBlend's source alpha: the colours are premultiplied already.
    for (int y = rows.FirstY; y < rows.LastY; ++y) {
      TColor32* p = out.Bitmap.ScanLine(y);
      for (int x = 0; x < out.Bitmap.Width(); ++x) {
        const uint8_t a = AlphaOf(p[x]);
        p[x] = Color32(a, std::min(RedOf(p[x]), a), std::min(GreenOf(p[x]), a), std::min(BlueOf(p[x]), a));
      }
    }
  } else {
    FinishDibAlpha(out.Bitmap, rows, false);
  }
  return true;
}
