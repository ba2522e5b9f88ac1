// ZSoft PC Paintbrush (.pcx .pcc .scr).
//
// Follows "ZSoft PCX File Format Technical Reference Manual" (ZSoft Corporation, 1991);
// the header offsets cited below are that manual's. Reads 1 bit (mono), 1 bit in 2 to 4
// planes (EGA), 2 bits (CGA), 4 bits, 8 bits with the VGA palette or grey, 24-bit RGB in three
// planes and the 32-bit RGBA some tools write in four.
#include <algorithm>
#include <string>
#include <vector>

#include "decoders/ByteReader.h"
#include "decoders/ColourConvert.h"
#include "decoders/Decoders.h"
#include "decoders/RunLength.h"

namespace {

constexpr size_t HeaderSize = 128;
constexpr size_t VgaPaletteSize = 1 + 768;  // the 0x0C marker, then 256 R,G,B triplets

TDecodeError Error(TDecodeErrorKind kind, const std::string& why) {
  return {kind, "Invalid PCX image: " + why};
}
bool Refuse(TDecodeError& error, TDecodeErrorKind kind, const std::string& why) {
  error = Error(kind, why);
  return false;
}

struct TPcxHeader {
  uint8_t Version = 0;
  uint8_t Encoding = 0;
  uint8_t BitsPerPixel = 0;
  uint16_t XMin = 0, YMin = 0, XMax = 0, YMax = 0;
  const uint8_t* EgaPalette = nullptr;  // 16 R,G,B triplets at offset 16
  uint8_t Planes = 0;
  uint16_t BytesPerLine = 0;

  int64_t Width() const { return int64_t(XMax) - XMin + 1; }
  int64_t Height() const { return int64_t(YMax) - YMin + 1; }
  bool Compressed() const { return Encoding == 1; }
  uint64_t ImageBytes() const { return uint64_t(Height()) * Planes * BytesPerLine; }
  uint64_t MinimumImageBytes() const {
    return Compressed() ? MinimumRunBytes(ImageBytes(), 1, 63, 1) : ImageBytes();
  }
};

// True when the 16-entry header palette is all zero, which writers leave behind when they
// rely on the default EGA colours.
bool HeaderPaletteEmpty(const uint8_t* pal) {
  return std::all_of(pal, pal + 48, [](uint8_t b) { return b == 0; });
}

// The four colours of a 2-bit CGA picture. Most writers store them as R,G,B triplets in the
// header palette like any other; the original PC Paintbrush stored the CGA set-up instead:
// the background colour in the high nibble of byte 16 and, in byte 19, the palette (bit 6:
// green/red/brown or cyan/magenta/white) and intensity (bit 5). Only a header whose first
// four triplets hold nothing but those two bytes is read the CGA way.
TPalette CgaPalette(const uint8_t* pal) {
  TPalette p;
  const bool cgaCoded = pal[1] == 0 && pal[2] == 0 && std::all_of(pal + 4, pal + 12, [](uint8_t b) { return b == 0; });
  if (!cgaCoded) {
    p.SetFromRgbTriplets(pal, 4);
    return p;
  }
  const unsigned bright = (pal[3] & 0x20) ? 8 : 0;
  const unsigned base = (pal[3] & 0x40) ? 3 : 2;  // cyan, magenta, grey  or  green, red, brown
  p.Resize(4);
  p.Set(0, DefaultEgaPalette[pal[0] >> 4]);
  for (unsigned i = 0; i < 3; ++i) p.Set(i + 1, DefaultEgaPalette[base + 2 * i + bright]);
  return p;
}

// The bits of pixel x in one plane's bytes, most significant first.
unsigned PackedValue(const uint8_t* plane, unsigned x, unsigned bits) {
  const size_t bit = size_t(x) * bits;
  return (plane[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
}

// The 128-byte header, offsets 0 to 127, checked for a layout this decoder reads.
bool ReadHeader(std::span<const uint8_t> data, TPcxHeader& h, TDecodeError& error) {
  TByteReader r(data);
  if (r.U8() != 0x0A) return Refuse(error, TDecodeErrorKind::deCorrupt, "not a ZSoft file (byte 0)");
  h.Version = r.U8();
  h.Encoding = r.U8();
  h.BitsPerPixel = r.U8();
  h.XMin = r.U16LE();
  h.YMin = r.U16LE();
  h.XMax = r.U16LE();
  h.YMax = r.U16LE();
  r.Skip(4);  // resolution
  auto egaPalette = r.Take(48);
  r.Skip(1);
  h.Planes = r.U8();
  h.BytesPerLine = r.U16LE();
  r.Seek(HeaderSize);
  if (r.Failed()) return Refuse(error, TDecodeErrorKind::deTruncated, "file shorter than its header");
  h.EgaPalette = egaPalette.data();

  if (h.Encoding > 1)
    return Refuse(error, TDecodeErrorKind::deCorrupt, "encoding " + std::to_string(h.Encoding));
  if (h.XMax < h.XMin || h.YMax < h.YMin)
    return Refuse(error, TDecodeErrorKind::deCorrupt, "window ends before it starts");
  const unsigned bpp = h.BitsPerPixel, planes = h.Planes;
  const bool supported = (bpp == 1 && planes >= 1 && planes <= 4) || (bpp == 2 && planes == 1) ||
                         (bpp == 4 && planes == 1) || (bpp == 8 && (planes == 1 || planes == 3 || planes == 4));
  if (!supported)
    return Refuse(error, TDecodeErrorKind::deUnsupported,
                  std::to_string(bpp) + " bits in " + std::to_string(planes) + " planes");
  // Odd line lengths exist and are used as stored, but a line must hold its pixels.
  if (h.BytesPerLine < (h.Width() * bpp + 7) / 8)
    return Refuse(error, TDecodeErrorKind::deCorrupt,
                  "BytesPerLine " + std::to_string(h.BytesPerLine) + " too small for " +
                      std::to_string(h.Width()) + " pixels");
  return true;
}

// Colours: the 256-colour palette sits after the pixels behind a 0x0C marker (version 5
// only), and is then cut off `pixelData`; everything up to 16 colours uses the header palette
// at offset 16. True colour has none.
TPalette ReadPalette(std::span<const uint8_t> data, const TPcxHeader& h,
                     std::span<const uint8_t>& pixelData) {
  TPalette palette;
  const unsigned bpp = h.BitsPerPixel, planes = h.Planes;
  if (planes == 1 && bpp == 8) {
    const bool vga = h.Version == 5 && data.size() >= HeaderSize + VgaPaletteSize &&
                     data[data.size() - VgaPaletteSize] == 0x0C;
    if (vga) {
      palette.SetFromRgbTriplets(data.data() + data.size() - 768, 256);
      pixelData = pixelData.first(pixelData.size() - VgaPaletteSize);
    } else {
      palette = TPalette::GreyRamp(256);
    }
  } else if (planes == 1 && bpp == 1) {
    // Mono: the header palette is usually stale EGA colours, so it is not consulted.
    palette.Resize(2);
    palette.Set(1, Color32(255, 255, 255, 255));
  } else if (planes == 1 && bpp == 2) {
    palette = CgaPalette(h.EgaPalette);
  } else if (planes * bpp <= 4) {
    // Version 3 means "no palette"; an all-zero one says the same.
    if (h.Version == 3 || HeaderPaletteEmpty(h.EgaPalette)) {
      palette.Resize(16);
      for (unsigned i = 0; i < 16; ++i) palette.Set(i, DefaultEgaPalette[i]);
    } else {
      palette.SetFromRgbTriplets(h.EgaPalette, 16);
    }
  }
  return palette;
}

// A decoded scan line: BytesPerLine bytes of plane 0, then of plane 1 and so on.
struct TLine {
  const uint8_t* Planes;
  size_t BytesPerLine;
};
// Turns a scan line of one layout into pixels; chosen once per picture.
using TLineConverter = void (*)(const TLine& line, const TPalette& palette, int width, TColor32* out);

void TrueColourLine(const TLine& line, const TPalette&, int width, TColor32* out) {
  const uint8_t* red = line.Planes;
  const size_t bpl = line.BytesPerLine;
  for (int x = 0; x < width; ++x) out[x] = Color32(255, red[x], red[bpl + x], red[2 * bpl + x]);
}

void TrueColourAlphaLine(const TLine& line, const TPalette&, int width, TColor32* out) {
  const uint8_t* red = line.Planes;
  const size_t bpl = line.BytesPerLine;
  for (int x = 0; x < width; ++x) out[x] = Color32(red[3 * bpl + x], red[x], red[bpl + x], red[2 * bpl + x]);
}

template <unsigned Bits>
void PackedLine(const TLine& line, const TPalette& palette, int width, TColor32* out) {
  for (int x = 0; x < width; ++x) out[x] = palette.At(PackedValue(line.Planes, unsigned(x), Bits));
}

// 1 bit per plane: plane p supplies bit p of the colour index.
template <unsigned Planes>
void PlanarLine(const TLine& line, const TPalette& palette, int width, TColor32* out) {
  for (int x = 0; x < width; ++x) {
    unsigned index = 0;
    for (unsigned p = 0; p < Planes; ++p)
      index |= PackedValue(line.Planes + p * line.BytesPerLine, unsigned(x), 1) << p;
    out[x] = palette.At(index);
  }
}

TLineConverter LineConverter(const TPcxHeader& h) {
  if (h.BitsPerPixel == 8 && h.Planes >= 3) return h.Planes == 4 ? TrueColourAlphaLine : TrueColourLine;
  if (h.Planes == 1) {
    switch (h.BitsPerPixel) {
      case 1:
        return PackedLine<1>;
      case 2:
        return PackedLine<2>;
      case 4:
        return PackedLine<4>;
      default:
        return PackedLine<8>;
    }
  }
  switch (h.Planes) {
    case 2:
      return PlanarLine<2>;
    case 3:
      return PlanarLine<3>;
    default:
      return PlanarLine<4>;
  }
}

// Whether `available` bytes of pixel data can be a picture of the header's size.
bool CheckImageData(const TPcxHeader& h, uint64_t available, TDecodeError& error) {
  if (available == 0) return Refuse(error, TDecodeErrorKind::deTruncated, "no pixel data");
  return CheckPictureData(h.Width(), h.Height(), available, h.MinimumImageBytes(), error);
}

}  // namespace

// The 256-colour palette at the end of a file is not known here, so it counts as pixel data.
bool ProbePcx(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error) {
  TPcxHeader h;
  return ReadHeader(head, h, error) && CheckImageData(h, fileSize - HeaderSize, error);
}

TDecodeResult DecodePcx(std::span<const uint8_t> data) {
  TPcxHeader h;
  TDecodeError error;
  if (!ReadHeader(data, h, error)) return error;
  std::span<const uint8_t> pixelData = data.subspan(HeaderSize);
  const TPalette palette = ReadPalette(data, h, pixelData);
  TBitmap32 bitmap;
  if (!CheckImageData(h, pixelData.size(), error) || !AllocateBitmap(bitmap, h.Width(), h.Height(), error))
    return error;

  // Runs may carry over from one line to the next, so the whole image is one stream.
  const TLineConverter convert = LineConverter(h);
  std::vector<uint8_t> line(size_t(h.BytesPerLine) * h.Planes);
  TPcxRunReader stream(pixelData, h.Compressed());
  int rowsDone = 0;
  for (int y = 0; y < bitmap.Height(); ++y) {
    const size_t got = stream.Read(line);
    if (got == 0) break;
    std::fill(line.begin() + got, line.end(), 0);
    convert({line.data(), h.BytesPerLine}, palette, bitmap.Width(), bitmap.ScanLine(y));
    if (got < line.size()) break;
    ++rowsDone;
  }
  if (rowsDone == 0) return Error(TDecodeErrorKind::deTruncated, "pixel data ends in the first line");

  // The fourth plane is non-standard alpha; a writer that filled it with zeros meant none.
  const bool alpha = h.Planes == 4 && h.BitsPerPixel == 8;
  FinishStraightAlpha(bitmap, alpha ? TAlphaMode::amStraightZeroIsNone : TAlphaMode::amOpaque);
  TDecodeResult result(std::move(bitmap));
  result.SetPartial(rowsDone < h.Height());
  return result;
}
