#include "imageview/ImgViewGeometry.h"

#include <algorithm>
#include <cmath>

namespace {
// The rows of the keypad from the bottom; PlaceSteps follows them.
constexpr TZmImgPlace PlaceSteps[9][4] = {
    //                Up             Down           Left           Right
    /* ipBottomLeft */ {ipLeft, ipBottomLeft, ipBottomLeft, ipBottom},
    /* ipBottom     */ {ipCenter, ipBottom, ipBottomLeft, ipBottomRight},
    /* ipBottomRight*/ {ipRight, ipBottomRight, ipBottom, ipBottomRight},
    /* ipLeft       */ {ipTopLeft, ipBottomLeft, ipLeft, ipCenter},
    /* ipCenter     */ {ipTop, ipBottom, ipLeft, ipRight},
    /* ipRight      */ {ipTopRight, ipBottomRight, ipCenter, ipRight},
    /* ipTopLeft    */ {ipTopLeft, ipLeft, ipTopLeft, ipTop},
    /* ipTop        */ {ipTop, ipCenter, ipTopLeft, ipTopRight},
    /* ipTopRight   */ {ipTopRight, ipRight, ipTop, ipTopRight},
};

// Offsets are 32-bit floats; anything beyond this is no pixel position any more.
constexpr double MaxOffset = 1.0e15;

// One axis of the library's re-layout (see the header).
float RelayoutAxis(float offset, int oldVp, int64_t oldImg, int vp, int64_t img, bool centered) {
  if (img < vp) return centered ? float((double(vp) - double(img)) / 2) : 0.0f;
  const double fraction = oldImg > 0 ? (double(oldVp) / 2 - offset) / double(oldImg) : 0.5;
  const double kept = double(vp) / 2 - double(img) * fraction;
  return float(std::clamp(kept, double(vp) - double(img), 0.0));
}

// ScrollBy on one axis: the part of d that keeps an image larger than the viewport covering it.
double ClampScroll(double offset, double d, int vp, int64_t img) {
  if (img <= vp) return 0;
  if (offset + d > 0) return -offset;
  if (offset + d < double(vp) - double(img)) return double(vp) - double(img) - offset;
  return d;
}
}  // namespace

TViewOffsets PlacementOffsets(TZmImgPlace place, int vpW, int vpH, int64_t imgW, int64_t imgH) {
  if (place > ipTopRight) return {};
  const double spareW = double(vpW) - double(imgW), spareH = double(vpH) - double(imgH);
  const int column = place % 3, row = place / 3;
  TViewOffsets o;
  o.Horz = column == 0 ? 0.0 : column == 1 ? spareW / 2 : spareW;
  o.Vert = row == 2 ? 0.0 : row == 1 ? spareH / 2 : spareH;
  return o;
}

std::optional<double> AutoScale(TZmImgSizeAdjustment mode, int vpW, int vpH, int bmpW, int bmpH) {
  if (mode != saAutoScaleLong && mode != saAutoScaleShort) return std::nullopt;
  if (vpW <= 0 || vpH <= 0 || bmpW <= 0 || bmpH <= 0) return std::nullopt;
  const double rx = double(vpW) / bmpW, ry = double(vpH) / bmpH;
  if (mode == saAutoScaleLong) return rx >= ry ? ry : rx;
  return rx > ry ? rx : ry;
}

std::optional<TWindowBounds> AutoWindowBounds(const TAutoWindowInput& in) {
  if (!in.HasOwner || in.FullScreen || in.Maximized) return std::nullopt;
  TWindowBounds b = in.Window;
  b.Left = std::max(b.Left, in.WorkArea.Left);
  b.Top = std::max(b.Top, in.WorkArea.Top);
  int64_t w = int64_t(b.Width) + (in.ImageWidth - in.ViewportWidth);
  int64_t h = int64_t(b.Height) + (in.ImageHeight - in.ViewportHeight);
  w = std::min<int64_t>(w, int64_t(in.WorkArea.Right) - b.Left);
  h = std::min<int64_t>(h, int64_t(in.WorkArea.Bottom) - b.Top);
  // A window whose left or top edge lies beyond the work area's far edge would get a negative
  // size; it keeps at least its frame (a viewport of 0) and one pixel instead.
  const int64_t frameW = int64_t(b.Width) - in.ViewportWidth, frameH = int64_t(b.Height) - in.ViewportHeight;
  b.Width = int(std::max<int64_t>({w, frameW, 1}));
  b.Height = int(std::max<int64_t>({h, frameH, 1}));
  return b;
}

double HorzStep(int vpW) { return std::max(1.0, vpW / 200.0); }
double VertStep(int vpH) { return std::max(1.0, vpH / 200.0); }
double HorzWheelStep(int vpW) { return std::max(1.0, vpW / 6.0); }
double VertWheelStep(int vpH) { return std::max(1.0, vpH / 6.0); }

TZmImgPlace StepImgPlace(TZmImgPlace place, TPlaceStep step) {
  if (place > ipTopRight) return place;
  return PlaceSteps[place][int(step)];
}

TErrorPanel ErrorPanelGeometry(int vpW, int vpH, TColor bgColor) {
  TErrorPanel p;
  p.Width = std::max(vpW, 0) / 2;
  p.Height = std::max(vpH, 0) / 2;
  p.BrushColor = bgColor;
  p.FontColor = ContrastColor(bgColor);
  return p;
}

TColor32 OpaqueColor32(TColor color) {
  const uint32_t rgb = uint32_t(ColorToRGB(color));
  return Color32(255, uint8_t(rgb), uint8_t(rgb >> 8), uint8_t(rgb >> 16));
}

int64_t TImgViewGeometry::BitmapRectWidth() const {
  return BitmapHeight > 0 ? ScaledLength(BitmapWidth, Scale) : 0;
}

int64_t TImgViewGeometry::BitmapRectHeight() const {
  return BitmapWidth > 0 ? ScaledLength(BitmapHeight, Scale) : 0;
}

void TImgViewGeometry::Relayout(int oldVpW, int oldVpH, int64_t oldImgW, int64_t oldImgH) {
  OffsetHorz = RelayoutAxis(OffsetHorz, oldVpW, oldImgW, ViewportWidth, BitmapRectWidth(), Centered);
  OffsetVert = RelayoutAxis(OffsetVert, oldVpH, oldImgH, ViewportHeight, BitmapRectHeight(), Centered);
}

void TImgViewGeometry::SetScale(double scale) {
  const int64_t oldW = BitmapRectWidth(), oldH = BitmapRectHeight();
  Scale = float(ClampDrawScale(scale));
  Relayout(ViewportWidth, ViewportHeight, oldW, oldH);
}

void TImgViewGeometry::SetViewportSize(int width, int height) {
  const int oldW = ViewportWidth, oldH = ViewportHeight;
  ViewportWidth = std::max(width, 0);
  ViewportHeight = std::max(height, 0);
  Relayout(oldW, oldH, BitmapRectWidth(), BitmapRectHeight());
}

void TImgViewGeometry::SetBitmapSize(int width, int height) {
  BitmapWidth = std::max(width, 0);
  BitmapHeight = std::max(height, 0);
  // A new picture has no view position worth keeping: it starts centred (or at the top left).
  auto fresh = [this](int vp, int64_t img) { return Centered ? float((double(vp) - double(img)) / 2) : 0.0f; };
  OffsetHorz = fresh(ViewportWidth, BitmapRectWidth());
  OffsetVert = fresh(ViewportHeight, BitmapRectHeight());
}

void TImgViewGeometry::ApplyPlacement(TZmImgPlace place) {
  const TViewOffsets o = PlacementOffsets(place, ViewportWidth, ViewportHeight, BitmapRectWidth(), BitmapRectHeight());
  OffsetHorz = float(o.Horz);
  OffsetVert = float(o.Vert);
}

bool TImgViewGeometry::ApplyAutoScale(TZmImgSizeAdjustment mode) {
  const std::optional<double> s = AutoScale(mode, ViewportWidth, ViewportHeight, BitmapWidth, BitmapHeight);
  if (s) SetScale(*s);
  return s.has_value();
}

void TImgViewGeometry::ZoomTo(double s) {
  if (s > MaxZoomScale) s = MaxZoomScale;
  if (s < MinZoomScale) s = MinZoomScale;
  const int64_t imgW = BitmapRectWidth(), imgH = BitmapRectHeight();
  double fx = 0.5, fy = 0.5;
  if (imgW > 0 && imgH > 0) {
    fx = (ViewportWidth / 2.0 - OffsetHorz) / double(imgW);
    fy = (ViewportHeight / 2.0 - OffsetVert) / double(imgH);
  }
  if (std::isnan(s)) return SetScale(1.0);
  SetScale(float(s));
  // Nearest integers, halves to even (the default floating-point rounding mode).
  const double x = std::nearbyint(ViewportWidth / 2.0 - double(BitmapRectWidth()) * fx);
  const double y = std::nearbyint(ViewportHeight / 2.0 - double(BitmapRectHeight()) * fy);
  if (!(std::fabs(x) <= MaxOffset && std::fabs(y) <= MaxOffset)) return SetScale(1.0);
  OffsetHorz = float(x);
  OffsetVert = float(y);
}

void TImgViewGeometry::ScrollBy(double dx, double dy) {
  if (dx == 0 && dy == 0) return;
  dx = ClampScroll(OffsetHorz, dx, ViewportWidth, BitmapRectWidth());
  dy = ClampScroll(OffsetVert, dy, ViewportHeight, BitmapRectHeight());
  // NaN steps (a zero timer interval upstream) move nothing.
  if (std::isfinite(dx)) OffsetHorz = float(OffsetHorz + dx);
  if (std::isfinite(dy)) OffsetVert = float(OffsetVert + dy);
}
