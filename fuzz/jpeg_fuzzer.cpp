// Feeds arbitrary bytes to the JPEG decoder (.jpg, .jpeg, .jpe, .jfif). A decode may fail but must never crash,
// hang or read outside the input; a bitmap it returns must be whole.
#include <cstddef>
#include <cstdint>
#include <span>

#include "decoders/Decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TDecodeResult result = DecodeJpeg(std::span<const uint8_t>(data, size));
  if (result) {
    const TBitmap32& bitmap = result.Bitmap();
    if (bitmap.Empty()) __builtin_trap();
    // Touching the last pixel lets AddressSanitizer see a buffer shorter than the size says.
    volatile TColor32 last = bitmap.Pixel(bitmap.Width() - 1, bitmap.Height() - 1);
    (void)last;
  }
  return 0;
}
