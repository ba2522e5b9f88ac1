// Truevision Targa (.tga .icb .vda .vst .win).
//
// Follows the Truevision TGA File Format Specification, version 2.0 (Technical Manual 2.2,
// January 1991); section numbers below are that document's field numbers. Reads colour-mapped
// (8-bit indices), true-colour (15/16/24/32 bits) and grey (8 bits, or 16 with alpha) images,
// raw or run-length encoded, in any of the four origin corners.
#include <cstring>
#include <string>

#include "decoders/ByteReader.h"
#include "decoders/ColourConvert.h"
#include "decoders/Decoders.h"
#include "decoders/RunLength.h"

namespace {

constexpr size_t HeaderSize = 18;
constexpr size_t FooterSize = 26;
constexpr size_t ExtensionAreaSize = 495;
constexpr char FooterSignature[] = "TRUEVISION-XFILE.";  // followed by its terminating zero

TDecodeError Error(TDecodeErrorKind kind, const std::string& why) {
  return {kind, "Invalid TGA image: " + why};
}
bool Refuse(TDecodeError& error, TDecodeErrorKind kind, const std::string& why) {
  error = Error(kind, why);
  return false;
}

struct TTgaHeader {
  uint8_t IdLength = 0;
  uint8_t ColourMapType = 0;
  uint8_t ImageType = 0;
  uint16_t MapFirst = 0;
  uint16_t MapLength = 0;
  uint8_t MapEntryBits = 0;
  uint16_t Width = 0;
  uint16_t Height = 0;
  uint8_t PixelBits = 0;
  uint8_t Descriptor = 0;
  bool UseAlpha = false;
  bool Premultiplied = false;
  TPalette Palette;  // of a colour-mapped image

  unsigned AlphaBits() const { return Descriptor & 0x0F; }
  bool RightToLeft() const { return Descriptor & 0x10; }
  bool TopToBottom() const { return Descriptor & 0x20; }
  unsigned BaseType() const { return ImageType & 7u; }  // 1 mapped, 2 true colour, 3 grey
  bool Compressed() const { return ImageType & 8u; }
  size_t PixelBytes() const { return (PixelBits + 7u) / 8; }
  size_t MapBytes() const { return ColourMapType == 1 ? size_t(MapLength) * ((MapEntryBits + 7u) / 8) : 0; }
  // The fewest bytes of image data that hold the whole picture.
  uint64_t MinimumImageBytes() const {
    const uint64_t pixelCount = uint64_t(Width) * Height;
    return Compressed() ? MinimumRunBytes(pixelCount, unsigned(PixelBytes()), 128, 1)
                        : pixelCount * PixelBytes();
  }
};

// The TGA 2.0 extension area's "Attributes Type" (field 24): 3 = alpha, 4 = premultiplied
// alpha. Returns -1 when the file has no footer or no usable extension area.
int ExtensionAttributesType(std::span<const uint8_t> data) {
  if (data.size() < HeaderSize + FooterSize) return -1;
  const auto footer = data.subspan(data.size() - FooterSize);
  if (std::memcmp(footer.data() + 8, FooterSignature, sizeof FooterSignature) != 0) return -1;
  TByteReader r(footer);
  const uint32_t offset = r.U32LE();
  // The area must lie between the header and the footer, and say it has the 2.0 size.
  if (offset < HeaderSize || uint64_t(offset) + ExtensionAreaSize > data.size() - FooterSize) return -1;
  TByteReader ext(data, offset);
  if (ext.U16LE() < ExtensionAreaSize) return -1;
  return data[offset + ExtensionAreaSize - 1];
}

// A 16-bit A1R5G5B5 value (little-endian).
TColor32 From16(const uint8_t* p, bool useAlpha) {
  const unsigned v = p[0] | (unsigned(p[1]) << 8);
  const uint8_t a = useAlpha ? ((v & 0x8000) ? 255 : 0) : 255;
  return Color32(a, Expand5To8(v >> 10), Expand5To8(v >> 5), Expand5To8(v));
}

// One stored pixel or colour-map entry of `bits` bits in B,G,R(,A) order.
TColor32 FromTrueColour(const uint8_t* p, unsigned bits, bool useAlpha) {
  switch (bits) {
    case 15:
    case 16:
      return From16(p, useAlpha && bits == 16);
    case 24:
      return Color32(255, p[2], p[1], p[0]);
    default:
      return Color32(useAlpha ? p[3] : 255, p[2], p[1], p[0]);
  }
}

bool ValidEntryBits(unsigned bits) { return bits == 15 || bits == 16 || bits == 24 || bits == 32; }

// Fields 1 to 5, which have to pass every check: the format has no magic number.
bool ReadHeader(TByteReader& r, TTgaHeader& h, TDecodeError& error) {
  h.IdLength = r.U8();
  h.ColourMapType = r.U8();
  h.ImageType = r.U8();
  h.MapFirst = r.U16LE();
  h.MapLength = r.U16LE();
  h.MapEntryBits = r.U8();
  r.Skip(4);  // x and y origin: only meaningful for screen placement
  h.Width = r.U16LE();
  h.Height = r.U16LE();
  h.PixelBits = r.U8();
  h.Descriptor = r.U8();
  if (r.Failed()) return Refuse(error, TDecodeErrorKind::deTruncated, "file shorter than its header");

  if (h.ColourMapType > 1)
    return Refuse(error, TDecodeErrorKind::deCorrupt, "colour map type " + std::to_string(h.ColourMapType));
  if (h.ImageType == 0) return Refuse(error, TDecodeErrorKind::deUnsupported, "file holds no image data");
  if (h.ImageType == 32 || h.ImageType == 33)
    return Refuse(error, TDecodeErrorKind::deUnsupported, "Huffman/delta/quadtree compression");
  if (h.BaseType() < 1 || h.BaseType() > 3 || (h.ImageType & ~11u))
    return Refuse(error, TDecodeErrorKind::deCorrupt, "image type " + std::to_string(h.ImageType));
  if (h.Descriptor & 0xC0) return Refuse(error, TDecodeErrorKind::deUnsupported, "interleaved rows");
  if (h.ColourMapType == 1 && !ValidEntryBits(h.MapEntryBits))
    return Refuse(error, TDecodeErrorKind::deCorrupt,
                  "colour map entries of " + std::to_string(h.MapEntryBits) + " bits");

  const unsigned bits = h.PixelBits;
  switch (h.BaseType()) {
    case 1:
      if (h.ColourMapType != 1 || h.MapLength == 0)
        return Refuse(error, TDecodeErrorKind::deCorrupt, "colour-mapped image without a colour map");
      if (bits != 8)
        return Refuse(error, TDecodeErrorKind::deUnsupported,
                      std::to_string(bits) + "-bit colour-map indices");
      return true;
    case 2:
      if (!ValidEntryBits(bits))
        return Refuse(error, TDecodeErrorKind::deCorrupt, std::to_string(bits) + "-bit true colour");
      return true;
    default:
      if (bits != 8 && bits != 16)
        return Refuse(error, TDecodeErrorKind::deCorrupt, std::to_string(bits) + "-bit grey");
      return true;
  }
}

// Alpha (field 5.6 and extension field 24). The descriptor's attribute bits are the primary
// signal; an extension area saying "alpha" (3) or "premultiplied" (4) adds alpha to a file
// whose descriptor forgot it. Its other values are not trusted to remove alpha: sample files
// from Truevision and others mark meaningful alpha as "undefined" or "none" there.
void ReadAlphaKind(std::span<const uint8_t> data, TTgaHeader& h) {
  const int attributes = ExtensionAttributesType(data);
  const bool extAlpha = attributes == 3 || attributes == 4;
  h.Premultiplied = attributes == 4;
  if (h.BaseType() == 1)
    h.UseAlpha = h.MapEntryBits == 32 || (h.MapEntryBits == 16 && (h.AlphaBits() > 0 || extAlpha));
  // 16-bit files declaring 8 attribute bits exist: any count means the top bit.
  else if (h.PixelBits == 32 || h.PixelBits == 16)
    h.UseAlpha = h.AlphaBits() > 0 || extAlpha;
}

// Image ID (field 6), then the colour map (field 7); leaves `r` at the image data.
bool ReadColourMap(TByteReader& r, TTgaHeader& h, TDecodeError& error) {
  r.Skip(h.IdLength);
  if (h.ColourMapType == 1) {
    const size_t entryBytes = (h.MapEntryBits + 7u) / 8;
    auto map = r.Take(h.MapBytes());
    if (r.Failed())
      return Refuse(error, TDecodeErrorKind::deTruncated, "colour map runs past the end of the file");
    if (h.BaseType() == 1) {  // a true-colour file may carry a map it does not use
      h.Palette.Resize(h.MapLength);
      for (size_t i = 0; i < h.MapLength; ++i)
        h.Palette.Set(i, FromTrueColour(map.data() + i * entryBytes, h.MapEntryBits, h.UseAlpha));
    }
  }
  if (r.Failed())
    return Refuse(error, TDecodeErrorKind::deTruncated, "image ID runs past the end of the file");
  return true;
}

// Image data (field 8): pixels run left to right, rows bottom to top unless the descriptor's
// bits 4 and 5 say otherwise. Packets may cross rows, so the stream is read as one. Returns
// the number of whole rows the data held.
template <typename TConvert>
int ReadRows(TPixelPacketReader& pixels, const TTgaHeader& h, TBitmap32& bitmap, TConvert convert) {
  const int w = h.Width, ht = h.Height;
  for (int row = 0; row < ht; ++row) {
    TColor32* line = bitmap.ScanLine(h.TopToBottom() ? row : ht - 1 - row);
    for (int col = 0; col < w; ++col) {
      const uint8_t* p = pixels.Next();
      if (!p) return row;
      line[h.RightToLeft() ? w - 1 - col : col] = convert(p);
    }
  }
  return ht;
}

// ReadRows with the conversion of the image's type and depth, chosen once.
int ReadPixels(std::span<const uint8_t> data, const TTgaHeader& h, TBitmap32& bitmap) {
  TPixelPacketReader pixels(data, h.PixelBytes(), h.Compressed());
  const unsigned bits = h.PixelBits;
  const bool useAlpha = h.UseAlpha;
  switch (h.BaseType()) {
    case 1:  // out-of-range indices clamp
      return ReadRows(pixels, h, bitmap, [&h](const uint8_t* p) {
        return h.Palette.At(p[0] >= h.MapFirst ? p[0] - h.MapFirst : 0);
      });
    case 2:
      return ReadRows(pixels, h, bitmap,
                        [=](const uint8_t* p) { return FromTrueColour(p, bits, useAlpha); });
    default: {
      const bool greyAlpha = bits == 16 && useAlpha;
      return ReadRows(pixels, h, bitmap,
                        [=](const uint8_t* p) { return Color32(greyAlpha ? p[1] : 255, p[0], p[0], p[0]); });
    }
  }
}

// Whether `available` bytes of image data can be a picture of the header's size.
bool CheckImageData(const TTgaHeader& h, uint64_t available, TDecodeError& error) {
  if (available == 0) return Refuse(error, TDecodeErrorKind::deTruncated, "no pixel data");
  return CheckPictureData(h.Width, h.Height, available, h.MinimumImageBytes(), error);
}

}  // namespace

bool ProbeTga(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error) {
  TByteReader r(head);
  TTgaHeader h;
  if (!ReadHeader(r, h, error)) return false;
  const uint64_t imageData = HeaderSize + h.IdLength + h.MapBytes();
  return CheckImageData(h, fileSize > imageData ? fileSize - imageData : 0, error);
}

TDecodeResult DecodeTga(std::span<const uint8_t> data) {
  TByteReader r(data);
  TTgaHeader h;
  TDecodeError error;
  if (!ReadHeader(r, h, error)) return error;
  ReadAlphaKind(data, h);
  if (!ReadColourMap(r, h, error) || !CheckImageData(h, r.Remaining(), error)) return error;

  TBitmap32 bitmap;
  if (!AllocateBitmap(bitmap, h.Width, h.Height, error)) return error;
  const int rowsDone = ReadPixels(data.subspan(r.Pos()), h, bitmap);
  if (rowsDone == 0) return Error(TDecodeErrorKind::deTruncated, "pixel data ends in the first row");

  // Writers that do not know about alpha leave the bytes at 0; such pictures are opaque.
  FinishStraightAlpha(bitmap, !h.UseAlpha       ? TAlphaMode::amOpaque
                              : h.Premultiplied ? TAlphaMode::amPremultipliedZeroIsNone
                                                : TAlphaMode::amStraightZeroIsNone);
  TDecodeResult result(std::move(bitmap));
  result.SetPartial(rowsDone < h.Height);
  return result;
}
