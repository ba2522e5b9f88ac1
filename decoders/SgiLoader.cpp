// Placeholder until the Sgi decoder is written.
#include "decoders/Decoders.h"

TDecodeResult DecodeSgi(std::span<const uint8_t>) {
  return TDecodeResult::Fail(TDecodeErrorKind::deUnsupported, "Sgi decoder not built yet");
}
