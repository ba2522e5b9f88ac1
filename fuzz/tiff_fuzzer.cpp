// Feeds arbitrary bytes to both entry points of the TIFF unit: DecodeTiff (.tif, .tiff, .fax),
// which hands bytes that are not a TIFF to the raw G3 fax reader, and DecodeEps, which decodes
// the TIFF preview an EPS header points at. Each rejects the other's inputs at once. A decode
// may fail but must never crash, hang or read outside the input; a bitmap it returns must be whole.
#include <cstddef>
#include <cstdint>
#include <span>

#include "decoders/Decoders.h"

namespace {
void Check(const TDecodeResult& result) {
  if (!result) return;
  const TBitmap32& bitmap = result.Bitmap();
  if (bitmap.Empty()) __builtin_trap();
  volatile TColor32 last = bitmap.Pixel(bitmap.Width() - 1, bitmap.Height() - 1);
  (void)last;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  Check(DecodeTiff(bytes));
  Check(DecodeEps(bytes));
  return 0;
}
