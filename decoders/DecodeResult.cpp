#include "decoders/DecodeResult.h"

#include <new>

bool AllocateBitmap(TBitmap32& bitmap, int64_t width, int64_t height, TDecodeError& error) {
  if (width <= 0 || height <= 0) {
    error = {TDecodeErrorKind::deCorrupt, "image has no pixels (" + std::to_string(width) + "x" +
                                              std::to_string(height) + ")"};
    return false;
  }
  if (width > INT32_MAX || height > INT32_MAX || !TBitmap32::IsAcceptableSize(width, height)) {
    error = {TDecodeErrorKind::deTooLarge, "image of " + std::to_string(width) + "x" +
                                               std::to_string(height) + " exceeds 2^28 pixels"};
    return false;
  }
  try {
    bitmap.SetSize(int(width), int(height));
  } catch (const std::bad_alloc&) {
    error = {TDecodeErrorKind::deOutOfMemory, "out of memory for the bitmap"};
    return false;
  }
  return true;
}

namespace {

// Pictures up to this size (4 MiB of bitmap) are allocated whatever their data: it costs
// little, and keeps sparse files (RLE bitmaps that skip most pixels) readable.
constexpr uint64_t SmallPicturePixels = uint64_t(1) << 20;

}  // namespace

bool AllocateBitmapForData(TBitmap32& bitmap, int64_t width, int64_t height, uint64_t available,
                           uint64_t minimum, TDecodeError& error) {
  // A size that is wrong in itself is left to AllocateBitmap to report.
  const bool large = width > 0 && height > 0 && TBitmap32::IsAcceptableSize(width, height) &&
                     uint64_t(width) * uint64_t(height) > SmallPicturePixels;
  if (large && available < minimum / 16) {
    error = {TDecodeErrorKind::deTruncated, std::to_string(available) +
                                                " bytes of pixel data for a picture of " +
                                                std::to_string(width) + "x" + std::to_string(height)};
    return false;
  }
  return AllocateBitmap(bitmap, width, height, error);
}
