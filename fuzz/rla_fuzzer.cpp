// Feeds arbitrary bytes to the Wavefront RLA and RPF (.rla .rpf) decoder; see
// RasterFuzzCheck.h for what a decode must satisfy.
#include "decoders/Decoders.h"
#include "fuzz/RasterFuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return FuzzRasterDecoder(DecodeRla, data, size);
}
