// Placeholder until the TIFF decoder is written.
#include "decoders/Decoders.h"

TDecodeResult DecodeTiff(std::span<const uint8_t>) {
  return TDecodeResult::Fail(TDecodeErrorKind::deUnsupported, "TIFF decoder not built yet");
}
TDecodeResult DecodeEps(std::span<const uint8_t>) {
  return TDecodeResult::Fail(TDecodeErrorKind::deUnsupported, "EPS decoder not built yet");
}
