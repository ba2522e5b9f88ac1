// Windows icons and cursors (.ico). Format documents: R. Chen, "The evolution of the ICO file
// format" (The Old New Thing, 2010) and the Kaitai Struct description ico.ksy for the
// directory; the DIB layout as in BmpLoader (shared through DibLoader). PNG images inside an
// icon go to the PNG decoder.
//
// The viewer shows one image per file: the largest, then the deepest, judged by the image's
// own header because directory sizes and depths are often wrong. When that image cannot be
// decoded the next best one is shown instead.
#include <algorithm>
#include <string>
#include <vector>

#include "decoders/ByteReader.h"
#include "decoders/Decoders.h"
#include "decoders/DibLoader.h"

namespace {

// A DIB entry larger than this is a malformed or hostile directory: the format cannot describe it.
constexpr int64_t MaxDibIconSide = 256;
// Fallbacks tried after the best image fails, so that a directory of thousands of broken
// entries costs a bounded amount of work.
constexpr size_t MaxAttempts = 4;
constexpr uint8_t PngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

TDecodeResult Fail(TDecodeErrorKind kind, const std::string& what) {
  return TDecodeResult::Fail(kind, "ICO: " + what);
}

struct TCandidate {
  size_t Index = 0;
  std::span<const uint8_t> Data;
  bool Png = false;
  int64_t Width = 0, Height = 0;
  unsigned Depth = 0;
};

bool IsPng(std::span<const uint8_t> data) {
  return data.size() >= sizeof PngSignature && std::equal(PngSignature, PngSignature + 8, data.begin());
}

// Fills the candidate's size and depth from the image's own header; false for an entry that
// cannot be an image at all.
bool Inspect(TCandidate& c) {
  if (c.Png) {
    // IHDR: width, height (big-endian), bit depth, colour type.
    TByteReader r(c.Data, 16);
    c.Width = r.U32BE();
    c.Height = r.U32BE();
    const unsigned bitDepth = r.U8();
    const unsigned colourType = r.U8();
    const unsigned channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
    c.Depth = bitDepth * channels;
    return !r.Failed() && c.Width > 0 && c.Height > 0 && TBitmap32::IsAcceptableSize(c.Width, c.Height);
  }
  TDibHeader header;
  TDecodeError ignored;
  if (!ReadDibHeader(c.Data, 0, header, ignored)) return false;
  c.Width = header.Width;
  c.Height = header.Height / 2;
  c.Depth = header.BitCount;
  return c.Height > 0 && c.Width <= MaxDibIconSide && c.Height <= MaxDibIconSide;
}

// Clears the pixels whose AND-mask bit is set (1 = transparent). The mask is 1 bit per pixel,
// bottom-up, rows padded to 4 bytes, right after the colour image.
void ApplyAndMask(std::span<const uint8_t> mask, TBitmap32& bitmap) {
  const size_t stride = ((size_t(bitmap.Width()) + 31) / 32) * 4;
  for (int y = 0; y < bitmap.Height(); ++y) {
    const uint8_t* row = mask.data() + size_t(bitmap.Height() - 1 - y) * stride;
    TColor32* px = bitmap.ScanLine(y);
    for (int x = 0; x < bitmap.Width(); ++x)
      if (DibIndexAt(row, x, 1)) px[x] = 0;
  }
}

TDecodeResult DecodeDibIcon(std::span<const uint8_t> data) {
  TDibHeader header;
  TDecodeError error;
  if (!ReadDibHeader(data, 0, header, error)) return error;
  // The header describes the colour image and the AND mask stacked: twice the icon's height.
  if (header.TopDown || header.Height < 2)
    return Fail(TDecodeErrorKind::deCorrupt, "bad icon image height " + std::to_string(header.Height));
  if (header.Compression != dcRgb && header.Compression != dcBitfields && header.Compression != dcAlphaBitfields)
    return Fail(TDecodeErrorKind::deUnsupported, "compressed icon image");
  header.Height /= 2;
  if (header.Width > MaxDibIconSide || header.Height > MaxDibIconSide)
    return Fail(TDecodeErrorKind::deTooLarge, "icon image of " + std::to_string(header.Width) + "x" +
                                                  std::to_string(header.Height));

  const uint64_t paletteOffset = uint64_t(header.HeaderSize) + header.MasksSize;
  const uint64_t pixels = paletteOffset + header.PaletteBytes();
  if (pixels > data.size()) return Fail(TDecodeErrorKind::deTruncated, "colour table cut short");
  const std::vector<TColor32> palette = ReadDibPalette(data, size_t(paletteOffset), size_t(pixels), header);

  TBitmap32 bitmap;
  if (!AllocateBitmap(bitmap, header.Width, header.Height, error)) return error;
  bitmap.Clear(0);
  TDibRows rows;
  if (!DecodeDibRows(data, size_t(pixels), header, palette, bitmap, rows, error)) return error;

  // 32-bit images carry their own alpha; the AND mask only stands in when every alpha byte is
  // zero (old writers). Without a complete mask the icon is opaque.
  const bool ownAlpha = header.BitCount == 32 && rows.AlphaSeen;
  FinishDibAlpha(bitmap, rows, ownAlpha);
  const uint64_t maskOffset = pixels + header.Stride() * uint64_t(header.Height);
  const uint64_t maskSize = ((uint64_t(header.Width) + 31) / 32) * 4 * uint64_t(header.Height);
  if (!ownAlpha && rows.Complete() && maskOffset + maskSize <= data.size())
    ApplyAndMask(data.subspan(size_t(maskOffset), size_t(maskSize)), bitmap);
  TDecodeResult result(std::move(bitmap));
  result.SetPartial(!rows.Complete());
  return result;
}

}  // namespace

bool ProbeIco(std::span<const uint8_t> head, uint64_t, TDecodeError& error) {
  // ICONDIR: reserved (0), type (1 icon, 2 cursor), count.
  TByteReader r(head);
  const uint16_t reserved = r.U16LE();
  const uint16_t type = r.U16LE();
  const uint16_t count = r.U16LE();
  if (r.Failed()) error = {TDecodeErrorKind::deTruncated, "ICO: directory cut short"};
  else if (reserved != 0 || (type != 1 && type != 2)) error = {TDecodeErrorKind::deCorrupt, "ICO: not an icon"};
  else if (count == 0) error = {TDecodeErrorKind::deCorrupt, "ICO: no images"};
  else return true;
  return false;
}

TDecodeResult DecodeIco(std::span<const uint8_t> data) {
  TDecodeError error;
  if (!ProbeIco(data, data.size(), error)) return error;
  TByteReader r(data, 4);
  const uint16_t count = r.U16LE();

  // ICONDIRENTRY: width, height, colours, reserved (u8 each), planes, bit count (u16), bytes in
  // resource, image offset (u32). Only the last two are trusted; they are checked against the
  // file and a size running past its end is cut there.
  std::vector<TCandidate> candidates;
  for (size_t i = 0; i < count; ++i) {
    r.Skip(8);
    const uint32_t size = r.U32LE();
    const uint32_t offset = r.U32LE();
    if (r.Failed()) break;
    if (offset >= data.size() || size == 0) continue;
    TCandidate c;
    c.Index = i;
    c.Data = data.subspan(offset, std::min<size_t>(size, data.size() - offset));
    c.Png = IsPng(c.Data);
    if (Inspect(c)) candidates.push_back(c);
  }
  if (candidates.empty()) return Fail(TDecodeErrorKind::deCorrupt, "no usable image in the directory");

  std::stable_sort(candidates.begin(), candidates.end(), [](const TCandidate& a, const TCandidate& b) {
    const int64_t areaA = a.Width * a.Height, areaB = b.Width * b.Height;
    return areaA != areaB ? areaA > areaB : a.Depth > b.Depth;
  });
  TDecodeResult first = Fail(TDecodeErrorKind::deCorrupt, "no image decoded");
  for (size_t i = 0; i < candidates.size() && i < MaxAttempts; ++i) {
    TDecodeResult result = candidates[i].Png ? DecodePng(candidates[i].Data) : DecodeDibIcon(candidates[i].Data);
    if (result) return result;
    if (i == 0) first = std::move(result);
  }
  return first;
}
