// The arithmetic of the slideshow's image view, without a widget: where the image sits in the
// viewport, the automatic scales and window size, zooming around the viewport centre, clamped
// scrolling, the scrolling steps and the panel shown when a file cannot be displayed.
//
// Coordinates: the viewport's top-left is (0, 0); the offsets are the image rectangle's
// top-left corner in viewport pixels (32-bit floats, drawn at the nearest whole pixel). The
// image rectangle is the bitmap scaled: BitmapRect = nearest integer of bitmap size x Scale
// (Resample.h draws exactly that rectangle). Everything here is main-thread state of one view.
#pragma once

#include <cstdint>
#include <optional>

#include "bitmap/Resample.h"
#include "catalogue/ZmUtils.h"  // TColor

// Nine placements laid out like a numeric keypad: value + 1 is the keypad digit, value mod 3
// the column (left, centre, right), value div 3 the row (bottom, middle, top). Settings may
// hold any value 0..255; values above 8 place the image at (0, 0).
enum TZmImgPlace : uint8_t {
  ipBottomLeft = 0,
  ipBottom = 1,
  ipBottomRight = 2,
  ipLeft = 3,
  ipCenter = 4,
  ipRight = 5,
  ipTopLeft = 6,
  ipTop = 7,
  ipTopRight = 8,
};

// What happens after each load. Values above 3 adjust nothing.
enum TZmImgSizeAdjustment : uint8_t {
  saNone = 0,
  saAutoWindowSize = 1,
  saAutoScaleLong = 2,
  saAutoScaleShort = 3,
};

// ZoomTo's limits; the automatic scales are only held to the library's range (Resample.h:
// MinDrawScale..MaxDrawScale).
constexpr double MinZoomScale = 1.0 / 64;
constexpr double MaxZoomScale = 256.0;
// The scales the scale boxes offer.
inline constexpr const char* ScaleChoices[] = {"0.015625", "0.03125", "0.0625", "0.125", "0.25", "0.5", "1",
                                                "1.25",     "1.5",     "2",      "3",     "4",    "5",   "8",
                                                "16",       "32",      "64",     "128",   "256"};

struct TViewOffsets {
  double Horz = 0, Vert = 0;
  bool operator==(const TViewOffsets&) const = default;
};

// Offsets that put an imgW x imgH image at `place` in a vpW x vpH viewport: 0, the exact half
// of the difference, or the whole difference per axis (negative when the image is larger, so a
// large image shows its centre, an edge or a corner). Out-of-range places give (0, 0).
TViewOffsets PlacementOffsets(TZmImgPlace place, int vpW, int vpH, int64_t imgW, int64_t imgH);

// The scale of saAutoScaleLong (the whole image fits) or saAutoScaleShort (the image covers
// the viewport), from the bitmap's own size; nullopt for other modes or when any size is 0.
std::optional<double> AutoScale(TZmImgSizeAdjustment mode, int vpW, int vpH, int bmpW, int bmpH);

// saAutoWindowSize: the owner window's new bounds, so that its viewport becomes the image
// rectangle at the current scale, kept inside the desktop work area. nullopt (leave the window
// alone) without an owner window, in full screen or when it is maximized.
struct TWindowBounds {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  bool operator==(const TWindowBounds&) const = default;
};
struct TAutoWindowInput {
  bool HasOwner = true, FullScreen = false, Maximized = false;
  TPixelRect WorkArea;   // the desktop less panels and task bars
  TWindowBounds Window;  // the owner window's frame
  int ViewportWidth = 0, ViewportHeight = 0;
  int64_t ImageWidth = 0, ImageHeight = 0;  // the bitmap rectangle
};
std::optional<TWindowBounds> AutoWindowBounds(const TAutoWindowInput& in);

// Key scrolling speeds (pixels per timer tick) and the distance of one wheel notch: real
// divisions, at least one pixel.
double HorzStep(int vpW);
double VertStep(int vpH);
double HorzWheelStep(int vpW);
double VertWheelStep(int vpH);

// One row or column on the keypad layout; at an edge the placement stays. Out-of-range
// placements stay as they are.
enum class TPlaceStep : uint8_t { Up, Down, Left, Right };
TZmImgPlace StepImgPlace(TZmImgPlace place, TPlaceStep step);

// The panel a failed load leaves in the view: a bitmap of (vpW div 2) x (vpH div 2) filled
// with the background, at offsets (0, 0), its text in the contrasting colour. Drawing the text
// is the widget's.
struct TErrorPanel {
  int Width = 0, Height = 0;
  TViewOffsets Offsets;
  TColor BrushColor = 0;  // the panel's fill: the background colour
  TColor FontColor = 0;   // ContrastColor of the background
};
TErrorPanel ErrorPanelGeometry(int vpW, int vpH, TColor bgColor);

// A settings colour (plain or system colour) as an opaque bitmap pixel.
TColor32 OpaqueColor32(TColor color);

// The view's geometric state, as the view library keeps it, with the operations of the
// slideshow's view on top. Setters re-lay the image out as the library does whenever its
// viewport, scale or bitmap changes:
//  - on an axis where the image is smaller than the viewport it is centred (with Centered
//    off, as in the main window's preview, it sits at 0);
//  - on an axis where it is at least as large, the image point under the viewport centre
//    stays there, then the offset is clamped so that the image still covers the viewport.
// Placement, automatic scales and ZoomTo set offsets after that, overriding it.
struct TImgViewGeometry {
  float Scale = 1.0f;  // kept within MinDrawScale..MaxDrawScale
  float OffsetHorz = 0.0f, OffsetVert = 0.0f;
  int ViewportWidth = 0, ViewportHeight = 0;
  int BitmapWidth = 0, BitmapHeight = 0;
  bool Centered = true;

  int64_t BitmapRectWidth() const;
  int64_t BitmapRectHeight() const;

  void SetScale(double scale);
  void SetViewportSize(int width, int height);
  void SetBitmapSize(int width, int height);

  // The placement for `place` (see PlacementOffsets).
  void ApplyPlacement(TZmImgPlace place);
  // saAutoScaleLong / saAutoScaleShort: sets the scale when AutoScale gives one; true if so.
  bool ApplyAutoScale(TZmImgSizeAdjustment mode);
  // Clamps s to MinZoomScale..MaxZoomScale, keeps the image point under the viewport centre
  // (the image's middle when the rectangle is empty) and rounds the offsets to whole pixels,
  // halves to even. The offsets are not clamped. A scale that cannot be applied (NaN) or
  // offsets beyond any pixel coordinate set the scale to 1 instead. The caller stops any
  // continuous scrolling.
  void ZoomTo(double s);
  // Moves the image by (dx, dy), positive to the right and down, only on axes where it is
  // larger than the viewport and never so far that it uncovers the viewport.
  void ScrollBy(double dx, double dy);

 private:
  void Relayout(int oldVpW, int oldVpH, int64_t oldImgW, int64_t oldImgH);
};
