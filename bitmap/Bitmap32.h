// TBitmap32: a 32-bit image in memory, the common currency of decoders, resampling and views.
//
// Pixels are premultiplied ARGB in native-endian 0xAARRGGBB words, row-major, top row first,
// with no padding between rows: the memory layout of QImage::Format_ARGB32_Premultiplied, so
// the user interface can wrap the pixels without copying. A bitmap of 0 x 0 is empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

using TColor32 = uint32_t;

constexpr TColor32 Color32(uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
  return (TColor32(a) << 24) | (TColor32(r) << 16) | (TColor32(g) << 8) | TColor32(b);
}
constexpr uint8_t AlphaOf(TColor32 c) { return uint8_t(c >> 24); }
constexpr uint8_t RedOf(TColor32 c) { return uint8_t(c >> 16); }
constexpr uint8_t GreenOf(TColor32 c) { return uint8_t(c >> 8); }
constexpr uint8_t BlueOf(TColor32 c) { return uint8_t(c); }

// Premultiplies straight (non-premultiplied) colour components by alpha, rounding to nearest.
constexpr TColor32 PremultipliedColor32(uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
  if (a == 255) return Color32(255, r, g, b);
  auto mul = [a](uint8_t c) {
    unsigned t = unsigned(c) * a + 128;
    return uint8_t((t + (t >> 8)) >> 8);
  };
  return Color32(a, mul(r), mul(g), mul(b));
}

// The inverse of PremultipliedColor32 (exact for opaque pixels, rounded otherwise).
constexpr void UnpremultiplyColor32(TColor32 c, uint8_t& a, uint8_t& r, uint8_t& g, uint8_t& b) {
  a = AlphaOf(c);
  if (a == 255 || a == 0) {
    r = RedOf(c), g = GreenOf(c), b = BlueOf(c);
    return;
  }
  auto div = [a = unsigned(a)](uint8_t v) {
    unsigned t = (unsigned(v) * 255 + a / 2) / a;
    return uint8_t(t > 255 ? 255 : t);
  };
  r = div(RedOf(c)), g = div(GreenOf(c)), b = div(BlueOf(c));
}

class TBitmap32 {
 public:
  // Largest image any decoder or resampler may create: 2^28 pixels (1 GiB of pixels).
  static constexpr uint64_t MaxPixels = uint64_t(1) << 28;

  TBitmap32() = default;
  TBitmap32(int width, int height) { SetSize(width, height); }

  // Resizes to width x height (contents undefined afterwards, zero for new memory).
  // Negative sizes count as 0. Throws std::bad_alloc when the memory cannot be had and
  // std::length_error above MaxPixels; callers that take sizes from files check
  // IsAcceptableSize first.
  void SetSize(int width, int height);
  void Clear(TColor32 color);

  static bool IsAcceptableSize(int64_t width, int64_t height) {
    return width >= 0 && height >= 0 && uint64_t(width) * uint64_t(height) <= MaxPixels;
  }

  int Width() const { return Width_; }
  int Height() const { return Height_; }
  bool Empty() const { return Width_ == 0 || Height_ == 0; }

  TColor32* Bits() { return Pixels_.data(); }
  const TColor32* Bits() const { return Pixels_.data(); }
  TColor32* ScanLine(int y) { return Pixels_.data() + size_t(y) * size_t(Width_); }
  const TColor32* ScanLine(int y) const { return Pixels_.data() + size_t(y) * size_t(Width_); }
  TColor32& Pixel(int x, int y) { return ScanLine(y)[x]; }
  TColor32 Pixel(int x, int y) const { return ScanLine(y)[x]; }
  // Bytes from one row to the next.
  size_t Stride() const { return size_t(Width_) * sizeof(TColor32); }

 private:
  int Width_ = 0;
  int Height_ = 0;
  std::vector<TColor32> Pixels_;
};
