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
