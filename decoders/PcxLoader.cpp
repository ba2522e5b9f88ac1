// Placeholder until the Pcx decoder is written.
#include "decoders/Decoders.h"

TDecodeResult DecodePcx(std::span<const uint8_t>) {
  return TDecodeResult::Fail(TDecodeErrorKind::deUnsupported, "Pcx decoder not built yet");
}
