// Placeholder until the Jpeg decoder is written.
#include "decoders/Decoders.h"

TDecodeResult DecodeJpeg(std::span<const uint8_t>) {
  return TDecodeResult::Fail(TDecodeErrorKind::deUnsupported, "Jpeg decoder not built yet");
}
