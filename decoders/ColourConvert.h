// Colour helpers shared by the Targa, PCX, SGI and Photoshop decoders: palettes, sample
// scaling, CMYK and CIELAB to RGB, and the final alpha pass over a decoded bitmap.
//
// Decoders write straight (not premultiplied) 0xAARRGGBB words while they decode and call
// FinishStraightAlpha once at the end; that is where premultiplication happens, so a decoder
// can still decide that an alpha channel was garbage after it has seen every pixel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bitmap/Bitmap32.h"

// 16-bit sample to 8 bits, rounding to nearest (65535 -> 255, 32896 -> 128).
constexpr uint8_t Scale16To8(uint16_t v) { return uint8_t((uint32_t(v) * 255 + 32767) / 65535); }
// 5-bit field to 8 bits by bit replication, so 0 -> 0 and 31 -> 255.
constexpr uint8_t Expand5To8(unsigned v) { return uint8_t(((v & 31) << 3) | ((v & 31) >> 2)); }
// A 32-bit float sample (linear light, nominally 0..1) to an 8-bit sRGB-encoded value;
// out-of-range values and NaN are clamped.
uint8_t LinearFloatToSrgb8(float v);
// A 32-bit float sample used as-is (alpha), clamped to 0..1 and scaled to 0..255.
uint8_t UnitFloatTo8(float v);

// Ink amounts (255 = full ink) to RGB with the naive formula R = (255-C)(255-K)/255, which
// is what a viewer without colour management can do.
TColor32 CmykToColor32(uint8_t c, uint8_t m, uint8_t y, uint8_t k, uint8_t alpha = 255);
// CIELAB (L 0..100, a and b about -128..127, D65 white) to sRGB.
TColor32 LabToColor32(double l, double a, double b, uint8_t alpha = 255);

// The 16 colours of the IBM CGA/EGA default palette (black, blue, green, ... white), as
// opaque 0xFFRRGGBB.
extern const TColor32 DefaultEgaPalette[16];

// A colour table of straight ARGB entries. Lookups never fail: an index past the end takes
// the last entry (or opaque black for an empty table), so a damaged index cannot read out of
// bounds or leave a hole in the picture.
class TPalette {
 public:
  TPalette() = default;
  explicit TPalette(size_t count, TColor32 fill = Color32(255, 0, 0, 0)) : Entries_(count, fill) {}

  size_t Size() const { return Entries_.size(); }
  void Resize(size_t count, TColor32 fill = Color32(255, 0, 0, 0)) { Entries_.resize(count, fill); }
  void Set(size_t index, TColor32 c) {
    if (index < Entries_.size()) Entries_[index] = c;
  }
  TColor32 At(size_t index) const {
    if (Entries_.empty()) return Color32(255, 0, 0, 0);
    return Entries_[index < Entries_.size() ? index : Entries_.size() - 1];
  }
  // Fills the table from packed R,G,B triplets (count entries from 3*count bytes).
  void SetFromRgbTriplets(const uint8_t* rgb, size_t count);
  // A linear grey ramp of `count` entries from black to white.
  static TPalette GreyRamp(size_t count);

 private:
  std::vector<TColor32> Entries_;
};

// How FinishStraightAlpha treats the alpha bytes of the bitmap.
enum class TAlphaMode {
  amOpaque,               // alpha is meaningless: every pixel becomes opaque
  amStraight,             // straight alpha: premultiply
  amStraightZeroIsNone,   // straight alpha, but if every pixel has alpha 0 the channel was never
                          // filled in and the picture is shown opaque
  amPremultiplied,        // already premultiplied: only clamp colours that exceed alpha
  amPremultipliedZeroIsNone,
};

// Turns a bitmap of straight ARGB words into the premultiplied form TBitmap32 promises.
void FinishStraightAlpha(TBitmap32& bitmap, TAlphaMode mode);
