#include "decoders/ColourConvert.h"

#include <algorithm>
#include <cmath>

namespace {

uint8_t ClampTo8(double v) {
  if (!(v > 0)) return 0;  // also NaN
  if (v >= 255) return 255;
  return uint8_t(v + 0.5);
}

// The sRGB transfer function, linear 0..1 to encoded 0..255.
uint8_t EncodeSrgb(double linear) {
  if (!(linear > 0)) return 0;
  if (linear >= 1) return 255;
  const double e = linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
  return ClampTo8(e * 255);
}

}  // namespace

const TColor32 DefaultEgaPalette[16] = {
    0xFF000000, 0xFF0000AA, 0xFF00AA00, 0xFF00AAAA, 0xFFAA0000, 0xFFAA00AA, 0xFFAA5500, 0xFFAAAAAA,
    0xFF555555, 0xFF5555FF, 0xFF55FF55, 0xFF55FFFF, 0xFFFF5555, 0xFFFF55FF, 0xFFFFFF55, 0xFFFFFFFF,
};

uint8_t LinearFloatToSrgb8(float v) { return EncodeSrgb(double(v)); }

uint8_t UnitFloatTo8(float v) { return ClampTo8(double(v) * 255); }

TColor32 CmykToColor32(uint8_t c, uint8_t m, uint8_t y, uint8_t k, uint8_t alpha) {
  const unsigned white = 255u - k;
  auto channel = [white](uint8_t ink) { return uint8_t(((255u - ink) * white + 127) / 255); };
  return Color32(alpha, channel(c), channel(m), channel(y));
}

TColor32 LabToColor32(double l, double a, double b, uint8_t alpha) {
  // CIELAB to XYZ (relative to the D65 white point), then XYZ to linear sRGB.
  constexpr double Xn = 0.95047, Yn = 1.0, Zn = 1.08883;
  const double fy = (l + 16) / 116;
  const double fx = fy + a / 500;
  const double fz = fy - b / 200;
  auto finv = [](double t) {
    constexpr double delta = 6.0 / 29;
    return t > delta ? t * t * t : 3 * delta * delta * (t - 4.0 / 29);
  };
  const double x = Xn * finv(fx), y = Yn * finv(fy), z = Zn * finv(fz);
  const double r = 3.2404542 * x - 1.5371385 * y - 0.4985314 * z;
  const double g = -0.9692660 * x + 1.8760108 * y + 0.0415560 * z;
  const double bl = 0.0556434 * x - 0.2040259 * y + 1.0572252 * z;
  return Color32(alpha, EncodeSrgb(r), EncodeSrgb(g), EncodeSrgb(bl));
}

void TPalette::SetFromRgbTriplets(const uint8_t* rgb, size_t count) {
  Entries_.resize(count);
  for (size_t i = 0; i < count; ++i)
    Entries_[i] = Color32(255, rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
}

TPalette TPalette::GreyRamp(size_t count) {
  TPalette p(count);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t v = count > 1 ? uint8_t((i * 255 + (count - 1) / 2) / (count - 1)) : 0;
    p.Entries_[i] = Color32(255, v, v, v);
  }
  return p;
}

void FinishStraightAlpha(TBitmap32& bitmap, TAlphaMode mode) {
  TColor32* px = bitmap.Bits();
  const size_t n = size_t(bitmap.Width()) * size_t(bitmap.Height());
  if (mode == TAlphaMode::amStraightZeroIsNone || mode == TAlphaMode::amPremultipliedZeroIsNone) {
    const bool anyAlpha = std::any_of(px, px + n, [](TColor32 c) { return AlphaOf(c) != 0; });
    if (!anyAlpha) mode = TAlphaMode::amOpaque;
  }
  switch (mode) {
    case TAlphaMode::amOpaque:
      for (size_t i = 0; i < n; ++i) px[i] |= 0xFF000000u;
      break;
    case TAlphaMode::amStraight:
    case TAlphaMode::amStraightZeroIsNone:
      for (size_t i = 0; i < n; ++i) {
        const TColor32 c = px[i];
        if (AlphaOf(c) != 255) px[i] = PremultipliedColor32(AlphaOf(c), RedOf(c), GreenOf(c), BlueOf(c));
      }
      break;
    case TAlphaMode::amPremultiplied:
    case TAlphaMode::amPremultipliedZeroIsNone:
      // A premultiplied colour can never exceed its alpha; damaged data could.
      for (size_t i = 0; i < n; ++i) {
        const TColor32 c = px[i];
        const uint8_t a = AlphaOf(c);
        px[i] = Color32(a, std::min(RedOf(c), a), std::min(GreenOf(c), a), std::min(BlueOf(c), a));
      }
      break;
  }
}
