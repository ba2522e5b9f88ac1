// Feeds arbitrary bytes to the Dr. Halo CUT decoder and its palette reader: a little-endian
// 16-bit length, that many bytes of palette file, then the picture. See RasterFuzzCheck.h for
// what a decode must satisfy.
#include <algorithm>

#include "decoders/Decoders.h"
#include "fuzz/RasterFuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return CheckFuzzedRaster(DecodeCut(std::span<const uint8_t>(data, size)));
  const size_t paletteSize = std::min<size_t>(data[0] | data[1] << 8, size - 2);
  const std::span<const uint8_t> palette(data + 2, paletteSize);
  return CheckFuzzedRaster(
      DecodeCut(std::span<const uint8_t>(data + 2 + paletteSize, size - 2 - paletteSize), palette));
}
