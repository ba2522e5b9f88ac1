// Windows and OS/2 bitmaps (.bmp, .dib, .rle). Format documents: Microsoft "BITMAPFILEHEADER
// structure", "BITMAPINFOHEADER structure", "BITMAPV5HEADER structure" and "Bitmap Compression"
// (learn.microsoft.com); the OS/2 1.x and 2.x bitmap headers. The header, colour table and
// row decoding are shared with the icon decoder (DibLoader); RLE lives in BmpRle.
//
// Decisions the documents leave open:
// - A file without the "BM" file header is read as a packed DIB (the clipboard's CF_DIB form)
//   when it starts with a known info header size; its pixels follow the colour table directly.
// - 32-bit BI_RGB pixels carry alpha only when some spare byte is non-zero; an explicit alpha
//   mask whose values are all zero is ignored too. Both are common writer habits for opaque
//   images, and honouring them would show nothing at all.
// - RLE pixels the stream never sets are transparent. Top-down RLE, which the format forbids,
//   is decoded anyway: its meaning is unambiguous.
// - Pixel data that ends early gives what it holds, marked partial; RLE data that ends before
//   drawing a single pixel is refused like uncompressed data without a single row.
#include <algorithm>
#include <string>
#include <string_view>

#include "decoders/BmpRle.h"
#include "decoders/ByteReader.h"
#include "decoders/Decoders.h"
#include "decoders/DibLoader.h"

namespace {

constexpr size_t FileHeaderSize = 14;

TDecodeResult Fail(TDecodeErrorKind kind, const std::string& what) {
  return TDecodeResult::Fail(kind, "BMP: " + what);
}
bool Refuse(TDecodeError& error, TDecodeErrorKind kind, const std::string& what) {
  error = {kind, "BMP: " + what};
  return false;
}

bool IsPackedDib(std::span<const uint8_t> data) {
  TByteReader r(data);
  const uint32_t size = r.U32LE();
  return !r.Failed() && IsDibHeaderSize(size);
}

// OS/2 bitmap arrays, colour icons, colour pointers, icons and pointers share the file header
// layout but hold several images; nothing here reads them.
bool IsOs2Collection(std::span<const uint8_t> data) {
  if (data.size() < 2) return false;
  const std::string_view magic(reinterpret_cast<const char*>(data.data()), 2);
  return magic == "BA" || magic == "CI" || magic == "CP" || magic == "IC" || magic == "PT";
}

// Where the parts of a BMP file lie, from its headers.
struct TBmpLayout {
  TDibHeader Header;
  uint64_t PaletteOffset = 0;
  uint64_t Pixels = 0;  // offset of the pixel data
};

// The file and info headers of a file of `fileSize` bytes that starts with `data`, checked
// against that size: the pixel data must start inside the file and plausibly hold the picture.
bool ReadLayout(std::span<const uint8_t> data, uint64_t fileSize, TBmpLayout& layout, TDecodeError& error) {
  // BITMAPFILEHEADER: "BM", file size (unreliable), two reserved words, bfOffBits.
  const bool fileHeader = data.size() >= 2 && data[0] == 'B' && data[1] == 'M';
  size_t infoOffset = 0;
  uint32_t pixelOffset = 0;
  if (fileHeader) {
    TByteReader r(data, 10);
    pixelOffset = r.U32LE();
    if (r.Failed()) return Refuse(error, TDecodeErrorKind::deTruncated, "file header cut short");
    infoOffset = FileHeaderSize;
  } else if (IsOs2Collection(data)) {
    return Refuse(error, TDecodeErrorKind::deUnsupported, "OS/2 bitmap array, icon or pointer");
  } else if (!IsPackedDib(data)) {
    return Refuse(error, TDecodeErrorKind::deCorrupt, "neither a BM file header nor an info header");
  }

  TDibHeader& header = layout.Header;
  if (!ReadDibHeader(data, infoOffset, header, error)) return false;

  // The colour table follows the header and any separate masks.
  layout.PaletteOffset = uint64_t(infoOffset) + header.HeaderSize + header.MasksSize;
  layout.Pixels = layout.PaletteOffset + header.PaletteBytes();
  // Writers put bfOffBits anywhere from right after the colour table to far beyond it, and some
  // write 0: trust it unless it points into the headers.
  if (fileHeader && pixelOffset >= layout.PaletteOffset) layout.Pixels = pixelOffset;
  if (layout.Pixels > fileSize)
    return Refuse(error, TDecodeErrorKind::deTruncated,
                  "pixel data starts at " + std::to_string(layout.Pixels) + ", past the end (" +
                      std::to_string(fileSize) + " bytes)");
  return CheckPictureData(header.Width, header.Height, fileSize - layout.Pixels, header.MinimumPixelBytes(),
                          error);
}

}  // namespace

bool ProbeBmp(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error) {
  TBmpLayout layout;
  return ReadLayout(head, fileSize, layout, error);
}

TDecodeResult DecodeBmp(std::span<const uint8_t> data) {
  TBmpLayout layout;
  TDecodeError error;
  if (!ReadLayout(data, data.size(), layout, error)) return error;
  const TDibHeader& header = layout.Header;
  const uint64_t pixels = layout.Pixels;
  // A colour table that claims to run past the pixels is cut there.
  const std::vector<TColor32> palette =
      ReadDibPalette(data, size_t(layout.PaletteOffset), size_t(pixels), header);

  TBitmap32 bitmap;
  if (!AllocateBitmap(bitmap, header.Width, header.Height, error)) return error;

  if (header.Rle()) {
    bitmap.Clear(0);
    const TRleOutcome rle = DecodeDibRle(data.subspan(size_t(pixels)), header, palette, bitmap);
    if (rle.Cut && !rle.Drawn) return Fail(TDecodeErrorKind::deTruncated, "no pixel data");
    TDecodeResult result(std::move(bitmap));
    result.SetPartial(rle.Cut);
    return result;
  }
  TDibRows rows;
  if (!DecodeDibRows(data, size_t(pixels), header, palette, bitmap, rows, error)) return error;
  if (!rows.Complete()) {
    // Rows the file does not have stay transparent.
    for (int y = 0; y < bitmap.Height(); ++y)
      if (y < rows.FirstY || y >= rows.LastY) std::fill(bitmap.ScanLine(y), bitmap.ScanLine(y) + bitmap.Width(), 0u);
  }
  FinishDibAlpha(bitmap, rows, rows.AlphaSeen);
  TDecodeResult result(std::move(bitmap));
  result.SetPartial(!rows.Complete());
  return result;
}
