// Run-length decoding of BI_RLE8 and BI_RLE4 bitmaps.
//
// Format documents: Microsoft "Bitmap Compression" (learn.microsoft.com, Windows GDI) and
// [MS-WMF] 2.1.1.7 BI_RLE4. Pure and bounds-checked: every run is clipped to its row and the
// stream may end anywhere.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "decoders/DibLoader.h"

struct TRleOutcome {
  bool Drawn = false;  // some pixel of the picture was set
  bool Cut = false;    // the data ended, without an end-of-bitmap code, before the last pixel
};

// Decodes `rle` (the bytes after the colour table) as header.Compression says into `bitmap`,
// allocated at header.Width x header.Height and cleared to transparent by the caller. Pixels the
// stream never sets (skipped by a delta, an early end of line or the end of the data) keep
// that transparent value: the format leaves them undefined and writers use them for holes.
TRleOutcome DecodeDibRle(std::span<const uint8_t> rle, const TDibHeader& header,
                         const std::vector<TColor32>& palette, TBitmap32& bitmap);
