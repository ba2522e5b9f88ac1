// Placeholder until the Tga decoder is written.
#include "decoders/Decoders.h"

TDecodeResult DecodeTga(std::span<const uint8_t>) {
  return TDecodeResult::Fail(TDecodeErrorKind::deUnsupported, "Tga decoder not built yet");
}
