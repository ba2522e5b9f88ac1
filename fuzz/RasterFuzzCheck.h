// What the decoders' fuzz targets demand of a decode: it may fail, but a
// bitmap it returns is whole and every pixel is validly premultiplied (no colour component
// above its alpha), which a decoder that mixes up straight and premultiplied colour breaks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "decoders/DecodeResult.h"

inline int CheckFuzzedRaster(const TDecodeResult& result) {
  if (!result) return 0;
  const TBitmap32& bitmap = result.Bitmap();
  if (bitmap.Empty()) __builtin_trap();
  const TColor32* px = bitmap.Bits();
  for (size_t i = 0, n = size_t(bitmap.Width()) * size_t(bitmap.Height()); i < n; ++i) {
    const TColor32 c = px[i];
    const uint8_t a = AlphaOf(c);
    if (RedOf(c) > a || GreenOf(c) > a || BlueOf(c) > a) __builtin_trap();
  }
  return 0;
}

inline int FuzzRasterDecoder(TDecodeFn decode, const uint8_t* data, size_t size) {
  return CheckFuzzedRaster(decode(std::span<const uint8_t>(data, size)));
}
