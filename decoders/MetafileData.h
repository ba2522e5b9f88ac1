// The contents of metafile records as a painter needs them: bitmaps as 32-bit pixels and text
// as Unicode. Pure, bounds-checked and Qt-free, so that the fuzz target exercises them too.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "decoders/MetafileReader.h"

// Bitmaps inside a metafile are refused beyond this many pixels.
constexpr int64_t MaxMetafileBitmapPixels = int64_t(1) << 25;

struct TMfPixels {
  TBitmap32 Bitmap;         // premultiplied, top row first; rows missing from the data are transparent
  bool BottomUp = false;    // the DIB stored its bottom row first
  bool Monochrome = false;  // one bit per pixel
};

// Decodes a DIB (uncompressed, RLE4, RLE8, bit fields) or a WMF Bitmap16. `palette` is the
// selected logical palette, for DIBs whose colour table holds palette indexes (greys without
// one). 32-bit pixels are opaque unless `premultipliedAlpha` (AlphaBlend's per-pixel alpha).
// Fails for a header it does not read or data without a single row.
bool DecodeMfBitmap(const TMfBitmap& source, std::span<const TMfColor> palette, bool premultipliedAlpha,
                    TMfPixels& pixels, TDecodeError& error);

std::string Utf16ToUtf8(std::u16string_view text);

// Narrow text of a record as UTF-16, read in the code page of the font's character set
// (double-byte characters for the East Asian ones). `dx` holds one advance per byte, as the
// record gives it; `unitDx` receives one per UTF-16 unit: a character's advance is the sum of
// its bytes', on its last unit. Bytes a code page does not define are read as Latin-1.
std::u16string DecodeMfText(std::span<const uint8_t> bytes, uint8_t charSet, std::span<const int32_t> dx,
                            std::vector<int32_t>& unitDx);

// A WMF font's face name, bytes in its character set, in UTF-8.
std::string DecodeMfFaceName(std::string_view bytes, uint8_t charSet);

// Whether the font is the Symbol font, whose codes are Greek letters and mathematical signs
// rather than the characters of any code page.
bool IsSymbolFont(const TMfFont& font);
// Replaces Symbol font codes (bytes 0x20-0xFF, also as the private-use characters U+F020-U+F0FF
// that Windows gives them) with the Unicode characters they look like.
void MapSymbolText(std::u16string& text);
