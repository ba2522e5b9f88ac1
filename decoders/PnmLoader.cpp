// Placeholder until the Pnm decoder is written.
#include "decoders/Decoders.h"

TDecodeResult DecodePnm(std::span<const uint8_t>) {
  return TDecodeResult::Fail(TDecodeErrorKind::deUnsupported, "Pnm decoder not built yet");
}
