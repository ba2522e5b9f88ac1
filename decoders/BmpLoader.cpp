// Placeholder until the Bmp decoder is written.
#include "decoders/Decoders.h"

TDecodeResult DecodeBmp(std::span<const uint8_t>) {
  return TDecodeResult::Fail(TDecodeErrorKind::deUnsupported, "Bmp decoder not built yet");
}
