// Feeds arbitrary bytes to the reader of a JPEG file's ICC chunks: it must never crash, read
// outside the input or put together more than the input holds.
#include <cstdlib>

#include "decoders/JpegIccProfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> profile = JpegIccProfile({data, size});
  if (profile.size() > size) std::abort();
  return 0;
}
