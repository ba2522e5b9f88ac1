#include "decoders/DecodeResult.h"

#include <new>

namespace {

bool CheckSize(int64_t width, int64_t height, TDecodeError& error) {
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
  return true;
}

}  // namespace

bool AllocateBitmap(TBitmap32& bitmap, int64_t width, int64_t height, TDecodeError& error) {
  if (!CheckSize(width, height, error)) return false;
  try {
    bitmap.SetSize(int(width), int(height));
  } catch (const std::bad_alloc&) {
    error = {TDecodeErrorKind::deOutOfMemory, "out of memory for the bitmap"};
    return false;
  }
  return true;
}

bool CheckPictureData(int64_t width, int64_t height, uint64_t available, uint64_t minimum,
                      TDecodeError& error) {
  if (!CheckSize(width, height, error)) return false;
  if (!PlausibleDataSize(available, minimum)) {
    error = {TDecodeErrorKind::deTruncated, std::to_string(available) + " bytes of pixel data for a picture of " +
                                                std::to_string(width) + "x" + std::to_string(height)};
    return false;
  }
  return true;
}

bool AllocateBitmapForData(TBitmap32& bitmap, int64_t width, int64_t height, uint64_t available,
                           uint64_t minimum, TDecodeError& error) {
  return CheckPictureData(width, height, available, minimum, error) &&
         AllocateBitmap(bitmap, width, height, error);
}
