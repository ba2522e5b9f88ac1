// Feeds arbitrary bytes to the PNG decoder. A decode may fail but must never crash,
// hang or read outside the input; see RasterFuzzCheck.h for what a returned bitmap must be.
#include "decoders/Decoders.h"
#include "fuzz/RasterFuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return FuzzRasterDecoder(DecodePng, data, size);
}
