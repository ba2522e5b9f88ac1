// PNG decoder on top of libpng (PNG specification, W3C, second edition).
//
// Every colour type and bit depth, palettes with tRNS, Adam7 interlace and 16-bit samples. libpng's
// transforms turn each row into four bytes per pixel in the bitmap's own byte order, so rows are
// decoded straight into the bitmap; only images with alpha need a second pass, to premultiply.
// 16-bit samples are scaled to 8 bits with rounding (v * 255 / 65535), not truncated. An iCCP
// profile converts the pixels to sRGB; gAMA and cHRM are not applied.
//
// libpng reports errors by long-jumping out of its calls, so the functions that hold a setjmp
// frame keep no C++ objects of their own: everything lives in TPngState, owned by the caller.
#include <png.h>

#include <bit>
#include <cstdio>
#include <cstring>

#include "decoders/ColourProfile.h"
#include "decoders/Decoders.h"

namespace {

constexpr size_t SignatureSize = 8;
// No side can be longer than the bitmap's pixel limit; the pixel count is checked on its own.
constexpr uint32_t MaxSide = uint32_t(TBitmap32::MaxPixels);
// libpng's own defaults for ancillary chunks: how many it keeps, and the most memory one (or its
// decompressed text or profile) may take.
constexpr png_uint_32 MaxCachedChunks = 1000;
constexpr png_alloc_size_t MaxChunkMemory = 8000000;
// A deflate stream expands at most 1032 times: 258 bytes from a match coded in 2 bits.
constexpr uint64_t MaxDeflateRatio = 1032;

struct TPngState {
  std::span<const uint8_t> Data;
  size_t Pos = 0;
  bool RanOut = false;  // libpng asked for more bytes than the file has
  char Message[160] = "";
  png_structp Png = nullptr;
  png_infop Info = nullptr;
  bool HasAlpha = false;
  bool Colour = false;  // as stored: grey pictures are expanded to RGB
  int Passes = 1;
  unsigned StoredBitsPerPixel = 0;
  TBitmap32 Bitmap;

  TPngState() = default;
  TPngState(const TPngState&) = delete;
  TPngState& operator=(const TPngState&) = delete;
  ~TPngState() {
    if (Png) png_destroy_read_struct(&Png, Info ? &Info : nullptr, nullptr);
  }
};

TPngState& StateOf(png_structp png) { return *static_cast<TPngState*>(png_get_io_ptr(png)); }

void ReadData(png_structp png, png_bytep out, size_t length) {
  TPngState& s = StateOf(png);
  if (length > s.Data.size() - s.Pos) {
    s.RanOut = true;
    png_error(png, "file ends early");
  }
  std::memcpy(out, s.Data.data() + s.Pos, length);
  s.Pos += length;
}

void OnError(png_structp png, png_const_charp message) {
  auto* s = static_cast<TPngState*>(png_get_error_ptr(png));
  std::snprintf(s->Message, sizeof s->Message, "%s", message ? message : "error");
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}  // never print

TDecodeResult Failure(const TPngState& s) {
  const TDecodeErrorKind kind = s.RanOut ? TDecodeErrorKind::deTruncated
                                : std::strstr(s.Message, "memory") ? TDecodeErrorKind::deOutOfMemory
                                                                   : TDecodeErrorKind::deCorrupt;
  return TDecodeResult::Fail(kind, std::string("PNG: ") + s.Message);
}

// Reads the chunks before the image data and sets up the transforms to 32-bit pixels.
bool ReadHeader(TPngState& s) {
  if (setjmp(png_jmpbuf(s.Png))) return false;
  png_set_read_fn(s.Png, &s, ReadData);
  // Sides are limited by the bitmap's pixel count instead of libpng's default 1,000,000, which
  // would refuse long but small strips.
  png_set_user_limits(s.Png, MaxSide, MaxSide);
  png_set_chunk_cache_max(s.Png, MaxCachedChunks);
  png_set_chunk_malloc_max(s.Png, MaxChunkMemory);
  png_read_info(s.Png, s.Info);

  const int colorType = png_get_color_type(s.Png, s.Info);
  const int bitDepth = png_get_bit_depth(s.Png, s.Info);
  const bool trns = png_get_valid(s.Png, s.Info, PNG_INFO_tRNS) != 0;
  s.StoredBitsPerPixel = unsigned(bitDepth) * png_get_channels(s.Png, s.Info);
  s.HasAlpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0 || trns;
  s.Colour = (colorType & PNG_COLOR_MASK_COLOR) != 0;

  if (bitDepth == 16) png_set_scale_16(s.Png);
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(s.Png);
  if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(s.Png);
  if (trns) png_set_tRNS_to_alpha(s.Png);
  if ((colorType & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(s.Png);
  // A 0xAARRGGBB word is B, G, R, A in memory on little-endian machines.
  constexpr bool little = std::endian::native == std::endian::little;
  if (little) png_set_bgr(s.Png);
  else png_set_swap_alpha(s.Png);
  if (!s.HasAlpha) png_set_filler(s.Png, 0xFF, little ? PNG_FILLER_AFTER : PNG_FILLER_BEFORE);
  s.Passes = png_set_interlace_handling(s.Png);
  png_read_update_info(s.Png, s.Info);
  return true;
}

// Row by row, pass by pass, so that no table of row pointers (8 bytes a row) is needed.
bool ReadImage(TPngState& s) {
  if (setjmp(png_jmpbuf(s.Png))) return false;
  for (int pass = 0; pass < s.Passes; ++pass)
    for (int y = 0; y < s.Bitmap.Height(); ++y) png_read_row(s.Png, reinterpret_cast<png_bytep>(s.Bitmap.ScanLine(y)), nullptr);
  return true;
}

// The fewest bytes of compressed image data that can hold the picture: its rows of samples
// (interlaced or not, filter bytes aside) at deflate's best ratio.
uint64_t MinimumImageData(const TPngState& s, uint64_t width, uint64_t height) {
  return (width * s.StoredBitsPerPixel + 7) / 8 * height / MaxDeflateRatio;
}

// The transform of the iCCP profile (libpng has decompressed it and checked that it suits the
// colour type), or null.
TColourTransformPtr EmbeddedColour(const TPngState& s) {
  png_charp name = nullptr;
  png_bytep profile = nullptr;
  png_uint_32 length = 0;
  int compression = 0;
  if (!png_get_iCCP(s.Png, s.Info, &name, &compression, &profile, &length) || !profile) return nullptr;
  return ColourTransformFor({profile, length}, s.Colour ? TColourModel::cmRgb : TColourModel::cmGrey);
}

void Premultiply(TBitmap32& bitmap) {
  TColor32* p = bitmap.Bits();
  for (size_t i = 0, n = size_t(bitmap.Width()) * size_t(bitmap.Height()); i < n; ++i) {
    const TColor32 c = p[i];
    if (AlphaOf(c) != 255) p[i] = PremultipliedColor32(AlphaOf(c), RedOf(c), GreenOf(c), BlueOf(c));
  }
}

}  // namespace

bool ProbePng(std::span<const uint8_t> head, uint64_t, TDecodeError& error) {
  if (head.size() >= SignatureSize && png_sig_cmp(head.data(), 0, SignatureSize) == 0) return true;
  error = {head.size() < SignatureSize ? TDecodeErrorKind::deTruncated : TDecodeErrorKind::deCorrupt,
           "PNG: no PNG signature"};
  return false;
}

TDecodeResult DecodePng(std::span<const uint8_t> data) {
  TDecodeError error;
  if (!ProbePng(data, data.size(), error)) return error;
  TPngState s;
  s.Data = data;
  s.Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &s, OnError, OnWarning);
  if (s.Png) s.Info = png_create_info_struct(s.Png);
  if (!s.Png || !s.Info) return TDecodeResult::Fail(TDecodeErrorKind::deOutOfMemory, "PNG: out of memory");
  if (!ReadHeader(s)) return Failure(s);

  const int64_t width = png_get_image_width(s.Png, s.Info), height = png_get_image_height(s.Png, s.Info);
  // libpng has read up to the first image data chunk: what follows is all the file has for it.
  if (!AllocateBitmapForData(s.Bitmap, width, height, data.size() - s.Pos, MinimumImageData(s, width, height), error)) {
    error.Message = "PNG: " + error.Message;
    return error;
  }
  if (png_get_rowbytes(s.Png, s.Info) != s.Bitmap.Stride())
    return TDecodeResult::Fail(TDecodeErrorKind::deUnsupported, "PNG: unexpected row layout after transforms");
  if (!ReadImage(s)) return Failure(s);
  // The chunks after the image data (text, time) are not needed, so png_read_end is not called.
  ConvertBitmap(EmbeddedColour(s).get(), s.Bitmap, /*premultiplied=*/false);
  if (s.HasAlpha) Premultiply(s.Bitmap);
  return TDecodeResult(std::move(s.Bitmap));
}
