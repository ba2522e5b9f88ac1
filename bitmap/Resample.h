// Drawing a TBitmap32 at a scale into another bitmap (a view's viewport), with the stretch
// filters of StretchFilters.h.
//
// Geometry. A bitmap of bmpW x bmpH pixels drawn at `scale` covers the image rectangle of
// ScaledLength(bmpW, scale) x ScaledLength(bmpH, scale) pixels, whose top-left corner is the
// drawing offset rounded to the nearest whole pixel (half to even). Each axis is resampled from
// the bitmap's size to the rectangle's size, so the image always fills its rectangle exactly.
// The value of image pixel (i, j) depends only on the bitmap, the rectangle's size and the
// filter, never on the offsets or on which part is drawn: a clipped draw is exactly the same
// region of a full draw, and a view may keep scaled pixels and shift them when it scrolls
// (ScaledViewCache.h does that).
//
// Method. Separable: one pass along each axis with precomputed fixed-point weights, in the
// order that costs less at the given scales, 8-bit premultiplied pixels between the passes.
// Premultiplied alpha means transparent pixels carry no colour into their neighbours. Colour
// channels are clamped to alpha afterwards, since the negative lobes of Lanczos and Mitchell
// can overshoot. An axis drawn at its own size is copied, not filtered. Only the visible part is
// computed: work and memory follow the visible area (and the source pixels under it), not the
// size of the image rectangle. Large draws split their rows between worker threads; the
// workers share only read-only data and each writes its own rows.
#pragma once

#include <cstdint>
#include <memory>

#include "bitmap/Bitmap32.h"
#include "bitmap/StretchFilters.h"

// A rectangle of pixels; Right and Bottom are exclusive.
struct TPixelRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;

  int Width() const { return Right > Left ? Right - Left : 0; }
  int Height() const { return Bottom > Top ? Bottom - Top : 0; }
  bool Empty() const { return Right <= Left || Bottom <= Top; }
  bool operator==(const TPixelRect&) const = default;
};

// dmOpaque stores the image's premultiplied pixels as they are (alpha included); dmBlend
// composites them over what the destination holds (source over).
enum TDrawMode : uint8_t { dmOpaque, dmBlend };

// The range of scales drawing accepts; scales outside it (and NaN) are taken as its nearest end.
// The lower end is the view library's minimum; the upper one keeps image rectangles of the
// largest bitmaps within 64-bit arithmetic.
constexpr double MinDrawScale = 0.001;
constexpr double MaxDrawScale = 65536.0;
double ClampDrawScale(double scale);

// Nearest integer to size * scale (an exact half goes to the even integer); 0 when size <= 0.
// The scale is clamped by ClampDrawScale first.
int64_t ScaledLength(int size, double scale);

// Where a bitmap lands when drawn at `scale` with its top-left at (offsetX, offsetY).
struct TScaledPlacement {
  int64_t Left = 0, Top = 0;      // the offsets rounded to whole pixels
  int64_t Width = 0, Height = 0;  // ScaledLength of the bitmap's sides; 0 for an empty bitmap
};
TScaledPlacement PlaceScaled(const TBitmap32& src, double scale, double offsetX, double offsetY);

// The part of the image rectangle inside `clip` and inside `dst`'s bounds, in destination
// coordinates; empty when nothing of the image is visible.
TPixelRect VisibleImageRect(const TScaledPlacement& placement, const TBitmap32& dst, const TPixelRect& clip);

// Working memory of the resampler, kept between calls so that repainting a view allocates
// nothing. A scratch object may be used by one call at a time.
class TResampleScratch {
 public:
  TResampleScratch();
  ~TResampleScratch();
  TResampleScratch(const TResampleScratch&) = delete;
  TResampleScratch& operator=(const TResampleScratch&) = delete;
  // At most `count` threads per draw (at least 1): a caller that is itself one of several
  // workers keeps to its own thread. The pixels are the same whatever the count.
  void LimitThreads(int count);
  struct TImpl;
  TImpl& Impl() { return *Impl_; }

 private:
  std::unique_ptr<TImpl> Impl_;
};

// Draws `src` at `scale` with its top-left corner at (offsetX, offsetY) into `dst`, touching
// only the pixels of the image rectangle that lie inside `clip` (and inside `dst`); everything
// else, the background included, is the caller's. `src` and `dst` must be different bitmaps.
// Returns false, having drawn nothing, when the working memory could not be had, `src` is
// `dst` or the filter is not one of the five; drawing nothing because nothing is visible is
// success. `scratch` may be null.
bool DrawScaled(const TBitmap32& src, double scale, double offsetX, double offsetY, TStretchFilter filter,
                TBitmap32& dst, const TPixelRect& clip, TDrawMode mode = dmOpaque,
                TResampleScratch* scratch = nullptr);

// The building block of DrawScaled: computes the pixels [regionX, regionX + width) x
// [regionY, regionY + height) of `src` scaled to imageWidth x imageHeight and writes them to
// `target` at (targetX, targetY). Returns false without drawing when an argument is out of
// range (an empty source, a region outside the image, a target area outside `target`, `src`
// being `target`) or memory could not be had.
bool ResampleRegion(const TBitmap32& src, int64_t imageWidth, int64_t imageHeight, TStretchFilter filter,
                    int64_t regionX, int64_t regionY, int width, int height, TBitmap32& target, int targetX,
                    int targetY, TDrawMode mode = dmOpaque, TResampleScratch* scratch = nullptr);

// Copies (dmOpaque) or composites (dmBlend) `rect` of `src` onto `dst` at (dstX, dstY). The
// rectangle is clipped to both bitmaps.
void CopyPixels(const TBitmap32& src, const TPixelRect& rect, TBitmap32& dst, int dstX, int dstY, TDrawMode mode);

// Sets the pixels of `rect` (clipped to `dst`) to `colour`.
void FillPixels(TBitmap32& dst, const TPixelRect& rect, TColor32 colour);

// Composites the pixels of `rect` (clipped to `dst`) over `colour`, in place: the same pixels
// as filling the rectangle with the colour and drawing over it with dmBlend, in one pass that
// only reads opaque pixels.
void BlendOverColour(TBitmap32& dst, const TPixelRect& rect, TColor32 colour);
