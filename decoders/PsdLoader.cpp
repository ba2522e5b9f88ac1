// Placeholder until the Psd decoder is written.
#include "decoders/Decoders.h"

TDecodeResult DecodePsd(std::span<const uint8_t>) {
  return TDecodeResult::Fail(TDecodeErrorKind::deUnsupported, "Psd decoder not built yet");
}
