// Placeholder until the Ico decoder is written.
#include "decoders/Decoders.h"

TDecodeResult DecodeIco(std::span<const uint8_t>) {
  return TDecodeResult::Fail(TDecodeErrorKind::deUnsupported, "Ico decoder not built yet");
}
