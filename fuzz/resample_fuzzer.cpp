// Draws a small bitmap taken from the input at a scale, offsets, filter, clip and draw mode
// taken from the input (any float, NaN and infinities included). Drawing must never crash,
// write outside the destination or hang; its pixels must be valid premultiplied colours, and
// the scroll cache must give exactly the pixels of a direct draw.
//
// Layout: filter, mode, source width and height (1..48 each), destination width and height
// (1..96 each), scale, offset x and y (3 x float32), clip (4 x int16), then straight RGBA pixel
// bytes, repeated as needed.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "bitmap/Resample.h"
#include "bitmap/ScaledViewCache.h"

namespace {
struct TReader {
  const uint8_t* Data;
  size_t Size, Pos = 0;
  template <typename T>
  T Take() {
    T v{};
    if (Pos + sizeof(T) <= Size) std::memcpy(&v, Data + Pos, sizeof(T));
    Pos += sizeof(T);
    return v;
  }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TReader in{data, size};
  const auto filter = TStretchFilter(in.Take<uint8_t>() % 6);  // 5 is invalid: refused
  const TDrawMode mode = in.Take<uint8_t>() & 1 ? dmBlend : dmOpaque;
  const int srcW = 1 + in.Take<uint8_t>() % 48, srcH = 1 + in.Take<uint8_t>() % 48;
  const int dstW = 1 + in.Take<uint8_t>() % 96, dstH = 1 + in.Take<uint8_t>() % 96;
  const float scale = in.Take<float>(), ox = in.Take<float>(), oy = in.Take<float>();
  TPixelRect clip;
  clip.Left = in.Take<int16_t>();
  clip.Top = in.Take<int16_t>();
  clip.Right = in.Take<int16_t>();
  clip.Bottom = in.Take<int16_t>();

  TBitmap32 src(srcW, srcH);
  const size_t pixelsAt = in.Pos < size ? in.Pos : size;
  const size_t pixelBytes = size - pixelsAt;
  for (int i = 0; i < srcW * srcH; ++i) {
    uint8_t rgba[4] = {0, 0, 0, 0};
    for (int k = 0; k < 4 && pixelBytes > 0; ++k) rgba[k] = data[pixelsAt + (size_t(i) * 4 + size_t(k)) % pixelBytes];
    src.Bits()[i] = PremultipliedColor32(rgba[3], rgba[0], rgba[1], rgba[2]);
  }

  TBitmap32 direct(dstW, dstH), cached(dstW, dstH);
  direct.Clear(0x80402010);
  cached.Clear(0x80402010);
  const bool drew = DrawScaled(src, scale, ox, oy, filter, direct, clip, mode);
  TScaledViewCache cache(8);
  const bool cachedDrew = cache.Draw(src, scale, ox, oy, filter, cached, clip, mode);
  if (drew != cachedDrew) __builtin_trap();
  for (int i = 0; i < dstW * dstH; ++i) {
    const TColor32 c = direct.Bits()[i];
    if (RedOf(c) > AlphaOf(c) || GreenOf(c) > AlphaOf(c) || BlueOf(c) > AlphaOf(c)) __builtin_trap();
    if (c != cached.Bits()[i]) __builtin_trap();
  }
  return 0;
}
