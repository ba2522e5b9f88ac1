#include "bitmap/Resample.h"

#include "bitmap/ResamplePasses.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

namespace {
// Worker threads per draw: the machines we target have two cores.
constexpr int MaxWorkers = 2;
// Below this many multiply-adds a second thread costs more than it saves.
constexpr int64_t MinWorkForThreads = int64_t(1) << 18;
// Weights (and ring-buffer pixels) of one tile of a region; only extreme reductions of very
// large bitmaps need more than one tile.
constexpr int64_t MaxTileEntries = int64_t(1) << 22;
// Relative cost of one horizontal tap against one vertical tap per channel; the vertical pass
// runs over contiguous bytes and vectorises, the horizontal one gathers per pixel.
constexpr double HorizontalTapCost = 2.0;

struct TWorkerBuffers {
  std::vector<const uint8_t*> Rows;  // the tap rows of the vertical pass
  std::vector<uint8_t> Line;         // vertical-first: one filtered row of source columns
  std::vector<uint8_t> Ring;         // horizontal-first: filtered source rows, one slot per tap
  std::vector<int> RingRow;          // the source row in each ring slot, -1 for none
  std::vector<uint8_t> Out;          // one finished destination row
};

enum class TOrder { Nearest, VerticalFirst, HorizontalFirst };

// Everything the workers of one tile share; read-only while they run.
struct TTile {
  const TBitmap32* Src;
  const TAxisWeights* H;
  const TAxisWeights* V;
  TOrder Order;
  bool ClampAlpha;  // the kernel has negative lobes: colour may overshoot alpha
  TBitmap32* Target;
  int TargetX, TargetY;
  TDrawMode Mode;
};

const uint8_t* Bytes(const TColor32* p) { return reinterpret_cast<const uint8_t*>(p); }

void StoreRow(const TTile& tile, int row, const uint8_t* pixels, int count) {
  uint8_t* dst = reinterpret_cast<uint8_t*>(tile.Target->ScanLine(tile.TargetY + row) + tile.TargetX);
  if (tile.Mode == dmOpaque)
    std::memcpy(dst, pixels, size_t(count) * 4);
  else
    BlendRow(pixels, count, dst);
}

void RunNearest(const TTile& t, TWorkerBuffers& b, int r0, int r1) {
  const TAxisWeights& h = *t.H;
  TColor32* out = reinterpret_cast<TColor32*>(b.Out.data());
  for (int r = r0; r < r1; ++r) {
    const TColor32* src = t.Src->ScanLine(t.V->SrcFirst + t.V->Start[size_t(r)]) + h.SrcFirst;
    for (int i = 0; i < h.Count; ++i) out[i] = src[h.Start[size_t(i)]];
    StoreRow(t, r, b.Out.data(), h.Count);
  }
}

void RunVerticalFirst(const TTile& t, TWorkerBuffers& b, int r0, int r1) {
  const TAxisWeights& h = *t.H;
  const TAxisWeights& v = *t.V;
  for (int r = r0; r < r1; ++r) {
    const int y0 = v.SrcFirst + v.Start[size_t(r)];
    uint8_t* line = nullptr;  // set when the row is ours to clamp in place
    const uint8_t* in;
    if (v.Identity) {
      in = Bytes(t.Src->ScanLine(y0) + h.SrcFirst);
    } else {
      for (int k = 0; k < v.Taps; ++k) b.Rows[size_t(k)] = Bytes(t.Src->ScanLine(y0 + k) + h.SrcFirst);
      VerticalPass(b.Rows.data(), v.Weights.data() + size_t(r) * size_t(v.Taps), v.Taps, h.SrcCount * 4,
                   b.Line.data());
      in = line = b.Line.data();
    }
    if (!h.Identity) {
      HorizontalPass(in, h, b.Out.data());
      in = line = b.Out.data();
    }
    if (line && t.ClampAlpha) ClampColourToAlpha(line, h.Count);
    StoreRow(t, r, in, h.Count);
  }
}

void RunHorizontalFirst(const TTile& t, TWorkerBuffers& b, int r0, int r1) {
  const TAxisWeights& h = *t.H;
  const TAxisWeights& v = *t.V;
  const size_t rowBytes = size_t(h.Count) * 4;
  std::fill(b.RingRow.begin(), b.RingRow.end(), -1);
  for (int r = r0; r < r1; ++r) {
    const int y0 = v.Start[size_t(r)];
    // A window of Taps consecutive rows lands in Taps distinct slots, and the windows of
    // successive destination rows only move down, so each source row is filtered once.
    for (int k = 0; k < v.Taps; ++k) {
      const int j = y0 + k;
      const size_t slot = size_t(j % v.Taps);
      uint8_t* dst = b.Ring.data() + slot * rowBytes;
      if (b.RingRow[slot] != j) {
        HorizontalPass(Bytes(t.Src->ScanLine(v.SrcFirst + j) + h.SrcFirst), h, dst);
        b.RingRow[slot] = j;
      }
      b.Rows[size_t(k)] = dst;
    }
    VerticalPass(b.Rows.data(), v.Weights.data() + size_t(r) * size_t(v.Taps), v.Taps, int(rowBytes),
                 b.Out.data());
    if (t.ClampAlpha) ClampColourToAlpha(b.Out.data(), h.Count);
    StoreRow(t, r, b.Out.data(), h.Count);
  }
}

void RunRows(const TTile& t, TWorkerBuffers& b, int r0, int r1) {
  switch (t.Order) {
    case TOrder::Nearest: return RunNearest(t, b, r0, r1);
    case TOrder::VerticalFirst: return RunVerticalFirst(t, b, r0, r1);
    case TOrder::HorizontalFirst: return RunHorizontalFirst(t, b, r0, r1);
  }
}

// Sizes a worker's buffers for a tile; allocation happens here, on the calling thread, so the
// workers themselves never allocate and never throw.
void PrepareBuffers(const TTile& t, TWorkerBuffers& b) {
  const TAxisWeights& h = *t.H;
  const TAxisWeights& v = *t.V;
  b.Rows.resize(size_t(std::max(v.Taps, 1)));
  b.Out.resize(size_t(h.Count) * 4);
  if (t.Order == TOrder::VerticalFirst) b.Line.resize(size_t(h.SrcCount) * 4);
  if (t.Order == TOrder::HorizontalFirst) {
    b.Ring.resize(size_t(v.Taps) * size_t(h.Count) * 4);
    b.RingRow.resize(size_t(v.Taps));
  }
}

TOrder ChooseOrder(TStretchFilter filter, int srcW, int srcH, int64_t imgW, int64_t imgH) {
  if (filter == sfNearest) return TOrder::Nearest;
  if (imgW == srcW || imgH == srcH) return TOrder::VerticalFirst;  // one pass only
  // Multiply-adds per destination pixel of each order. Enlarging in both directions picks
  // horizontal-first, which runs linear as the two-tap fast path.
  if (imgW > srcW && imgH > srcH) return TOrder::HorizontalFirst;
  const double tapsH = AxisTaps(filter, srcW, imgW), tapsV = AxisTaps(filter, srcH, imgH);
  const double srcPerDstX = double(srcW) / double(imgW), srcPerDstY = double(srcH) / double(imgH);
  const double verticalFirst = tapsV * std::max(srcPerDstX, 1.0) + tapsH * HorizontalTapCost;
  const double horizontalFirst = tapsH * HorizontalTapCost * std::max(srcPerDstY, 1.0) + tapsV;
  return verticalFirst <= horizontalFirst ? TOrder::VerticalFirst : TOrder::HorizontalFirst;
}

// Multiply-adds of a tile, to decide whether threads pay.
int64_t TileWork(const TTile& t) {
  const int64_t rows = t.V->Count, cols = t.H->Count;
  switch (t.Order) {
    case TOrder::Nearest: return rows * cols;
    case TOrder::VerticalFirst: return rows * (int64_t(t.H->SrcCount) * t.V->Taps + cols * t.H->Taps);
    case TOrder::HorizontalFirst: return int64_t(t.V->SrcCount) * cols * t.H->Taps + rows * cols * t.V->Taps;
  }
  return 0;
}
}  // namespace

struct TResampleScratch::TImpl {
  TAxisWeights H, V;
  TWorkerBuffers Workers[MaxWorkers];
  int MaxThreads = MaxWorkers;
};

TResampleScratch::TResampleScratch() : Impl_(std::make_unique<TImpl>()) {}
TResampleScratch::~TResampleScratch() = default;
void TResampleScratch::LimitThreads(int count) { Impl_->MaxThreads = std::clamp(count, 1, MaxWorkers); }

namespace {
void RunTile(const TTile& t, TResampleScratch::TImpl& s) {
  const int rows = t.V->Count;
  int workers = 1;
  if (TileWork(t) >= MinWorkForThreads) {
    const unsigned hw = std::thread::hardware_concurrency();
    workers = std::clamp(int(hw == 0 ? 1 : hw), 1, std::min(s.MaxThreads, rows));
  }
  for (int w = 0; w < workers; ++w) PrepareBuffers(t, s.Workers[w]);
  if (workers == 1) return RunRows(t, s.Workers[0], 0, rows);

  // The caller's thread takes the last share. If a thread cannot be started, the caller does
  // its share as well.
  std::vector<std::thread> threads;
  std::vector<int> bounds(size_t(workers) + 1);
  for (int w = 0; w <= workers; ++w) bounds[size_t(w)] = int(int64_t(rows) * w / workers);
  int done = 0;  // shares handed out or finished
  try {
    for (; done < workers - 1; ++done)
      threads.emplace_back(RunRows, std::cref(t), std::ref(s.Workers[done]), bounds[size_t(done)],
                           bounds[size_t(done) + 1]);
  } catch (const std::system_error&) {
  }
  for (int w = done; w < workers; ++w) RunRows(t, s.Workers[w], bounds[size_t(w)], bounds[size_t(w) + 1]);
  for (std::thread& th : threads) th.join();
}
}  // namespace

double ClampDrawScale(double scale) {
  if (!(scale >= MinDrawScale)) return MinDrawScale;
  return std::min(scale, MaxDrawScale);
}

int64_t ScaledLength(int size, double scale) {
  if (size <= 0) return 0;
  return int64_t(std::nearbyint(double(size) * ClampDrawScale(scale)));
}

TScaledPlacement PlaceScaled(const TBitmap32& src, double scale, double offsetX, double offsetY) {
  // Offsets far outside any viewport are clamped well inside 64-bit range; NaN counts as 0.
  static constexpr double Far = 4.0e15;
  auto whole = [](double v) { return int64_t(std::nearbyint(std::isnan(v) ? 0.0 : std::clamp(v, -Far, Far))); };
  TScaledPlacement p;
  p.Left = whole(offsetX);
  p.Top = whole(offsetY);
  if (!src.Empty()) {
    p.Width = ScaledLength(src.Width(), scale);
    p.Height = ScaledLength(src.Height(), scale);
  }
  return p;
}

TPixelRect VisibleImageRect(const TScaledPlacement& placement, const TBitmap32& dst, const TPixelRect& clip) {
  const int64_t left = std::max<int64_t>({placement.Left, clip.Left, 0});
  const int64_t top = std::max<int64_t>({placement.Top, clip.Top, 0});
  const int64_t right = std::min<int64_t>({placement.Left + placement.Width, clip.Right, dst.Width()});
  const int64_t bottom = std::min<int64_t>({placement.Top + placement.Height, clip.Bottom, dst.Height()});
  if (right <= left || bottom <= top) return {};
  return {int(left), int(top), int(right), int(bottom)};
}

bool ResampleRegion(const TBitmap32& src, int64_t imageWidth, int64_t imageHeight, TStretchFilter filter,
                    int64_t regionX, int64_t regionY, int width, int height, TBitmap32& target, int targetX,
                    int targetY, TDrawMode mode, TResampleScratch* scratch) {
  if (&src == &target || src.Empty() || !IsStretchFilter(filter) || width < 0 || height < 0) return false;
  if (imageWidth < 1 || imageHeight < 1 || regionX < 0 || regionY < 0 || regionX > imageWidth - width ||
      regionY > imageHeight - height)
    return false;
  if (targetX < 0 || targetY < 0 || int64_t(targetX) + width > target.Width() ||
      int64_t(targetY) + height > target.Height())
    return false;
  if (width == 0 || height == 0) return true;

  try {
    std::unique_ptr<TResampleScratch> local;
    if (!scratch) scratch = (local = std::make_unique<TResampleScratch>()).get();
    TResampleScratch::TImpl& s = scratch->Impl();

    const TOrder order = ChooseOrder(filter, src.Width(), src.Height(), imageWidth, imageHeight);
    const int64_t tapsH = AxisTaps(filter, src.Width(), imageWidth);
    const int64_t tapsV = AxisTaps(filter, src.Height(), imageHeight);
    // Tiles keep the weight tables and the ring within MaxTileEntries whatever the reduction.
    int64_t tileW = std::min<int64_t>(width, std::max<int64_t>(1, MaxTileEntries / tapsH));
    if (order == TOrder::HorizontalFirst) tileW = std::min(tileW, std::max<int64_t>(1, MaxTileEntries / tapsV));
    const int64_t tileH = std::min<int64_t>(height, std::max<int64_t>(1, MaxTileEntries / tapsV));

    for (int64_t ty = 0; ty < height; ty += tileH) {
      const int th = int(std::min<int64_t>(tileH, height - ty));
      BuildAxisWeights(filter, src.Height(), imageHeight, regionY + ty, th, s.V);
      for (int64_t tx = 0; tx < width; tx += tileW) {
        const int tw = int(std::min<int64_t>(tileW, width - tx));
        BuildAxisWeights(filter, src.Width(), imageWidth, regionX + tx, tw, s.H);
        const TTile tile{&src,   &s.H,   &s.V, order, filter == sfLanczos || filter == sfMitchell,
                         &target, targetX + int(tx), targetY + int(ty), mode};
        RunTile(tile, s);
      }
    }
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
}

bool DrawScaled(const TBitmap32& src, double scale, double offsetX, double offsetY, TStretchFilter filter,
                TBitmap32& dst, const TPixelRect& clip, TDrawMode mode, TResampleScratch* scratch) {
  if (&src == &dst || !IsStretchFilter(filter)) return false;
  const TScaledPlacement p = PlaceScaled(src, scale, offsetX, offsetY);
  const TPixelRect visible = VisibleImageRect(p, dst, clip);
  if (visible.Empty()) return true;
  return ResampleRegion(src, p.Width, p.Height, filter, visible.Left - p.Left, visible.Top - p.Top,
                        visible.Width(), visible.Height(), dst, visible.Left, visible.Top, mode, scratch);
}

void CopyPixels(const TBitmap32& src, const TPixelRect& rect, TBitmap32& dst, int dstX, int dstY, TDrawMode mode) {
  // Clip the source rectangle to src, then the shifted one to dst.
  int64_t left = std::max(rect.Left, 0), top = std::max(rect.Top, 0);
  int64_t right = std::min(rect.Right, src.Width()), bottom = std::min(rect.Bottom, src.Height());
  const int64_t dx = int64_t(dstX) - rect.Left, dy = int64_t(dstY) - rect.Top;
  left = std::max(left, -dx), top = std::max(top, -dy);
  right = std::min(right, dst.Width() - dx), bottom = std::min(bottom, dst.Height() - dy);
  if (right <= left || bottom <= top || &src == &dst) return;
  const int count = int(right - left);
  for (int64_t y = top; y < bottom; ++y) {
    const uint8_t* s = Bytes(src.ScanLine(int(y)) + left);
    uint8_t* d = reinterpret_cast<uint8_t*>(dst.ScanLine(int(y + dy)) + (left + dx));
    if (mode == dmOpaque)
      std::memcpy(d, s, size_t(count) * 4);
    else
      BlendRow(s, count, d);
  }
}

namespace {
TPixelRect Within(const TBitmap32& b, const TPixelRect& r) {
  return {std::max(r.Left, 0), std::max(r.Top, 0), std::min(r.Right, b.Width()), std::min(r.Bottom, b.Height())};
}
}  // namespace

void FillPixels(TBitmap32& dst, const TPixelRect& rect, TColor32 colour) {
  const TPixelRect r = Within(dst, rect);
  for (int y = r.Top; y < r.Bottom; ++y) std::fill_n(dst.ScanLine(y) + r.Left, r.Width(), colour);
}

void BlendOverColour(TBitmap32& dst, const TPixelRect& rect, TColor32 colour) {
  const TPixelRect r = Within(dst, rect);
  for (int y = r.Top; y < r.Bottom; ++y)
    BlendRowOverColour(reinterpret_cast<uint8_t*>(dst.ScanLine(y) + r.Left), r.Width(), colour);
}
