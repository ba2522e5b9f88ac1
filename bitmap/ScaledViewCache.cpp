#include "bitmap/ScaledViewCache.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <utility>

TScaledViewCache::TScaledViewCache(int margin) : Margin_(std::clamp(margin, 0, 4096)) {}

void TScaledViewCache::Invalidate() {
  Src_ = nullptr;
  SrcBits_ = nullptr;
  Region_ = {};
}

void TScaledViewCache::ReleaseMemory() {
  Invalidate();
  Pixels_ = TBitmap32();
  Spare_ = TBitmap32();
}

bool TScaledViewCache::Draw(const TBitmap32& src, double scale, double offsetX, double offsetY,
                            TStretchFilter filter, TBitmap32& dst, const TPixelRect& clip, TDrawMode mode) {
  LastResampled_ = 0;
  if (&src == &dst || !IsStretchFilter(filter)) return false;
  const TScaledPlacement p = PlaceScaled(src, scale, offsetX, offsetY);
  const TPixelRect visible = VisibleImageRect(p, dst, clip);
  if (visible.Empty()) return true;

  const bool sameImage = Src_ == &src && SrcBits_ == src.Bits() && SrcWidth_ == src.Width() &&
                         SrcHeight_ == src.Height() && ImageWidth_ == p.Width && ImageHeight_ == p.Height &&
                         Filter_ == filter;
  if (!sameImage) Region_ = {};
  const TRegion want{visible.Left - p.Left, visible.Top - p.Top, visible.Right - p.Left, visible.Bottom - p.Top};
  if (!Region_.Contains(want) || Pixels_.Empty()) {
    Src_ = &src;
    SrcBits_ = src.Bits();
    SrcWidth_ = src.Width();
    SrcHeight_ = src.Height();
    ImageWidth_ = p.Width;
    ImageHeight_ = p.Height;
    Filter_ = filter;
    const TRegion grown{std::max<int64_t>(0, want.Left - Margin_), std::max<int64_t>(0, want.Top - Margin_),
                        std::min(p.Width, want.Right + Margin_), std::min(p.Height, want.Bottom + Margin_)};
    if (!Fill(src, filter, grown)) {
      // Too big to keep (or no memory for it): draw directly, as if there were no cache.
      ReleaseMemory();
      LastResampled_ = int64_t(visible.Width()) * visible.Height();
      return DrawScaled(src, scale, offsetX, offsetY, filter, dst, clip, mode, &Scratch_);
    }
  }
  const TPixelRect from{int(want.Left - Region_.Left), int(want.Top - Region_.Top), int(want.Right - Region_.Left),
                        int(want.Bottom - Region_.Top)};
  CopyPixels(Pixels_, from, dst, visible.Left, visible.Top, mode);
  return true;
}

bool TScaledViewCache::Fill(const TBitmap32& src, TStretchFilter filter, const TRegion& want) {
  const int64_t w = want.Right - want.Left, h = want.Bottom - want.Top;
  if (!TBitmap32::IsAcceptableSize(w, h)) return false;
  try {
    Spare_.SetSize(int(w), int(h));
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  auto resample = [&](int64_t left, int64_t top, int64_t right, int64_t bottom) {
    if (right <= left || bottom <= top) return true;
    LastResampled_ += (right - left) * (bottom - top);
    return ResampleRegion(src, ImageWidth_, ImageHeight_, filter, left, top, int(right - left), int(bottom - top),
                          Spare_, int(left - want.Left), int(top - want.Top), dmOpaque, &Scratch_);
  };

  // Keep what the old region has of the new one; resample the rest as up to four strips.
  const TRegion keep{std::max(want.Left, Region_.Left), std::max(want.Top, Region_.Top),
                     std::min(want.Right, Region_.Right), std::min(want.Bottom, Region_.Bottom)};
  bool ok;
  if (!Pixels_.Empty() && keep.Right > keep.Left && keep.Bottom > keep.Top) {
    const TPixelRect from{int(keep.Left - Region_.Left), int(keep.Top - Region_.Top), int(keep.Right - Region_.Left),
                          int(keep.Bottom - Region_.Top)};
    CopyPixels(Pixels_, from, Spare_, int(keep.Left - want.Left), int(keep.Top - want.Top), dmOpaque);
    ok = resample(want.Left, want.Top, want.Right, keep.Top) &&
         resample(want.Left, keep.Bottom, want.Right, want.Bottom) &&
         resample(want.Left, keep.Top, keep.Left, keep.Bottom) &&
         resample(keep.Right, keep.Top, want.Right, keep.Bottom);
  } else {
    ok = resample(want.Left, want.Top, want.Right, want.Bottom);
  }
  if (!ok) return false;
  std::swap(Pixels_, Spare_);
  Region_ = want;
  return true;
}
