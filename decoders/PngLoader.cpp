// Placeholder until the Png decoder is written.
#include "decoders/Decoders.h"

TDecodeResult DecodePng(std::span<const uint8_t>) {
  return TDecodeResult::Fail(TDecodeErrorKind::deUnsupported, "Png decoder not built yet");
}
