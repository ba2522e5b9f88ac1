// Scaled pixels kept between repaints, so that scrolling a view does not resample what it
// already showed.
//
// The cache holds the scaled image's pixels for the last visible part plus a margin on every
// side, in image coordinates (pixel (0, 0) is the image rectangle's top-left). Because a
// scaled pixel does not depend on the offsets (Resample.h), a repaint after a scroll copies
// the pixels it has and resamples only the strips that were never computed; pixels that remain
// in the new area are moved over, so a continuous scroll resamples each pixel once. A change
// of bitmap size, scale or filter starts afresh.
//
// How a view uses it: keep one cache per view. Paint every exposed rectangle with Draw, over a
// background the view has painted itself. When the bitmap's pixels change (a new image is
// loaded, the bitmap is cleared), call Invalidate: the cache cannot see changes made in place.
// To scroll, move the offsets and repaint (or scroll the window's pixels and repaint only the
// uncovered strip); both are cheap. Zooming or resizing the viewport resamples once.
//
// Single-threaded: one cache belongs to one view on one thread.
#pragma once

#include <cstdint>

#include "bitmap/Resample.h"

class TScaledViewCache {
 public:
  // `margin`: pixels kept beyond the visible part on every side (clamped to 0..4096).
  explicit TScaledViewCache(int margin = 128);

  // Same contract and result as DrawScaled (Resample.h), served from the cache where possible.
  bool Draw(const TBitmap32& src, double scale, double offsetX, double offsetY, TStretchFilter filter,
            TBitmap32& dst, const TPixelRect& clip, TDrawMode mode = dmOpaque);

  // Forgets all cached pixels. Their memory is kept: the next picture of a slideshow is mostly
  // of the same size, and fresh memory costs page faults and zeroing on its first paint.
  void Invalidate();
  // Forgets all cached pixels and gives their memory back.
  void ReleaseMemory();

  // Pixels resampled by the last Draw (0 when it only copied): lets tests and benchmarks see
  // that scrolling within the cache does no filtering.
  int64_t LastResampledPixels() const { return LastResampled_; }

 private:
  struct TRegion {
    int64_t Left = 0, Top = 0, Right = 0, Bottom = 0;  // image coordinates, exclusive ends
    bool Contains(const TRegion& r) const {
      return r.Left >= Left && r.Top >= Top && r.Right <= Right && r.Bottom <= Bottom;
    }
  };
  bool Fill(const TBitmap32& src, TStretchFilter filter, const TRegion& want);

  int Margin_;
  // What the cached pixels are of.
  const TBitmap32* Src_ = nullptr;
  const void* SrcBits_ = nullptr;
  int SrcWidth_ = 0, SrcHeight_ = 0;
  int64_t ImageWidth_ = 0, ImageHeight_ = 0;
  TStretchFilter Filter_ = sfNearest;
  TRegion Region_;  // the part held in Pixels_
  TBitmap32 Pixels_;
  TBitmap32 Spare_;  // the next Pixels_, reused so that scrolling allocates nothing
  TResampleScratch Scratch_;
  int64_t LastResampled_ = 0;
};
