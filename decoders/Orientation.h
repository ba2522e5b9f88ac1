// The orientation values TIFF and Exif share: how the stored rows and columns map onto the
// upright picture.
#pragma once

#include <cstdint>
#include <utility>

// Where stored pixel (x, y) of a width x height picture goes for each orientation value
// (1 = rows top to bottom, columns left to right; 5-8 swap the axes).
inline std::pair<uint32_t, uint32_t> Oriented(int orientation, uint32_t x, uint32_t y, uint32_t width,
                                              uint32_t height) {
  switch (orientation) {
    case 2: return {width - 1 - x, y};
    case 3: return {width - 1 - x, height - 1 - y};
    case 4: return {x, height - 1 - y};
    case 5: return {y, x};
    case 6: return {height - 1 - y, x};
    case 7: return {height - 1 - y, width - 1 - x};
    case 8: return {y, width - 1 - x};
    default: return {x, y};
  }
}

// Orientations 5-8 turn the picture a quarter: its width is the stored height.
constexpr bool SwapsAxes(int orientation) { return orientation >= 5 && orientation <= 8; }
