// Feeds arbitrary bytes to the JPEG decoder (.jpg, .jpeg, .jpe, .jfif). A decode may fail but must
// never crash, hang or read outside the input, at full size or reduced to fit a box; see
// RasterFuzzCheck.h for what a returned bitmap must be.
#include "decoders/Decoders.h"
#include "fuzz/RasterFuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzRasterDecoder(DecodeJpeg, data, size);
  // The reduced-scale path too, into a box taken from the input's last bytes.
  if (size < 2) return 0;
  const TDecodeHint hint{1 + data[size - 1] * 8, 1 + data[size - 2] * 8};
  return CheckFuzzedRaster(DecodeJpeg(std::span<const uint8_t>(data, size), hint));
}
