// Feeds arbitrary bytes to the Photo CD (.pcd) decoder; see
// RasterFuzzCheck.h for what a decode must satisfy.
#include "decoders/Decoders.h"
#include "fuzz/RasterFuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return FuzzRasterDecoder(DecodePcd, data, size);
}
