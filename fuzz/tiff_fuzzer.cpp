// Feeds arbitrary bytes to both entry points of the TIFF unit: DecodeTiff (.tif, .tiff, .fax),
// which hands bytes that are not a TIFF to the raw G3 fax reader, and DecodeEps, which decodes
// the TIFF preview an EPS header points at. Each rejects the other's inputs at once. A decode
// may fail but must never crash, hang or read outside the input; see RasterFuzzCheck.h for what
// a returned bitmap must be.
#include "decoders/Decoders.h"
#include "fuzz/RasterFuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzRasterDecoder(DecodeTiff, data, size);
  return FuzzRasterDecoder(DecodeEps, data, size);
}
