#include "imageview/ImgViewGeometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
TImgViewGeometry View(int vpW, int vpH, int bmpW, int bmpH, double scale = 1.0) {
  TImgViewGeometry v;
  v.SetViewportSize(vpW, vpH);
  v.SetBitmapSize(bmpW, bmpH);
  v.SetScale(scale);
  return v;
}
}  // namespace

TEST(ImgViewGeometry, PlacementsPutSmallAndLargeImagesAtTheirKeypadPositions) {
  struct TCase {
    int ImgW, ImgH;
    TZmImgPlace Place;
    double X, Y;
  };
  const TCase cases[] = {
      {400, 300, ipCenter, 300, 200},      {400, 300, ipBottomRight, 600, 400}, {400, 300, ipTopLeft, 0, 0},
      {400, 300, ipBottomLeft, 0, 400},    {400, 300, ipBottom, 300, 400},      {400, 300, ipLeft, 0, 200},
      {400, 300, ipRight, 600, 200},       {400, 300, ipTop, 300, 0},           {400, 300, ipTopRight, 600, 0},
      {2000, 1500, ipCenter, -500, -400},  {2000, 1500, ipBottomLeft, 0, -800}, {2000, 1500, ipTopRight, -1000, 0},
      {699, 399, ipCenter, 150.5, 150.5},  // halves are exact
      {400, 300, TZmImgPlace(9), 0, 0},    {400, 300, TZmImgPlace(255), 0, 0},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(PlacementOffsets(c.Place, 1000, 700, c.ImgW, c.ImgH), (TViewOffsets{c.X, c.Y}))
        << c.ImgW << "x" << c.ImgH << " place " << int(c.Place);
    TImgViewGeometry v = View(1000, 700, c.ImgW, c.ImgH);
    v.ApplyPlacement(c.Place);
    EXPECT_EQ(v.OffsetHorz, float(c.X));
    EXPECT_EQ(v.OffsetVert, float(c.Y));
  }
}

TEST(ImgViewGeometry, AutomaticScalesFitTheLongSideOrFillByTheShortSide) {
  struct TCase {
    TZmImgSizeAdjustment Mode;
    int VpW, VpH, BmpW, BmpH;
    std::optional<double> Scale;
  };
  const TCase cases[] = {
      {saAutoScaleLong, 1000, 700, 4000, 3000, 700.0 / 3000},
      {saAutoScaleShort, 1000, 700, 4000, 3000, 0.25},
      {saAutoScaleLong, 1000, 700, 2000, 1400, 0.5},  // equal ratios: both modes agree
      {saAutoScaleShort, 1000, 700, 2000, 1400, 0.5},
      {saAutoScaleLong, 400, 300, 4000, 3000, 0.1},   // the preview pane's examples
      {saAutoScaleLong, 400, 300, 100, 50, 4.0},
      {saAutoScaleShort, 1920, 1080, 1, 1, 1920},     // not held to the zoom limits
      {saAutoScaleLong, 0, 700, 4000, 3000, std::nullopt},
      {saAutoScaleShort, 1000, 700, 4000, 0, std::nullopt},
      {saNone, 1000, 700, 4000, 3000, std::nullopt},
      {saAutoWindowSize, 1000, 700, 4000, 3000, std::nullopt},
      {TZmImgSizeAdjustment(4), 1000, 700, 4000, 3000, std::nullopt},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(AutoScale(c.Mode, c.VpW, c.VpH, c.BmpW, c.BmpH), c.Scale) << int(c.Mode) << " " << c.BmpW;
    TImgViewGeometry v = View(c.VpW, c.VpH, c.BmpW, c.BmpH, 3.0);
    EXPECT_EQ(v.ApplyAutoScale(c.Mode), c.Scale.has_value());
    EXPECT_EQ(v.Scale, float(c.Scale.value_or(3.0)));
  }
  // The scale is kept as a 32-bit float; the rectangle is its nearest whole size.
  TImgViewGeometry v = View(1000, 700, 4000, 3000);
  v.ApplyAutoScale(saAutoScaleLong);
  EXPECT_EQ(v.BitmapRectWidth(), 933);
  EXPECT_EQ(v.BitmapRectHeight(), 700);
}

TEST(ImgViewGeometry, AutoWindowSizeFitsTheImageInsideTheWorkArea) {
  TAutoWindowInput in;
  in.WorkArea = {0, 0, 1920, 1040};
  in.Window = {1820, 100, 400, 300};  // 100 pixels left of the work area's right edge
  in.ViewportWidth = 380;
  in.ViewportHeight = 260;
  in.ImageWidth = 2000;
  in.ImageHeight = 1000;
  EXPECT_EQ(AutoWindowBounds(in), (TWindowBounds{1820, 100, 100, 940}));

  in.Window = {-50, -20, 400, 300};  // edges left of and above the work area move in
  in.ImageWidth = 100;
  in.ImageHeight = 80;
  EXPECT_EQ(AutoWindowBounds(in), (TWindowBounds{0, 0, 120, 120}));

  in.Window = {2500, 1200, 400, 300};  // entirely beyond the work area: keeps its frame
  EXPECT_EQ(AutoWindowBounds(in), (TWindowBounds{2500, 1200, 20, 40}));

  for (auto flag : {&TAutoWindowInput::FullScreen, &TAutoWindowInput::Maximized}) {
    TAutoWindowInput still = in;
    still.*flag = true;
    EXPECT_EQ(AutoWindowBounds(still), std::nullopt);
  }
  in.HasOwner = false;
  EXPECT_EQ(AutoWindowBounds(in), std::nullopt);
}

TEST(ImgViewGeometry, ZoomClampsAndKeepsThePixelUnderTheCentre) {
  for (const auto& [asked, got] : {std::pair{1000.0, 256.0f}, std::pair{0.001, 0.015625f}, std::pair{0.3, 0.3f},
                                   std::pair{256.0, 256.0f}}) {
    TImgViewGeometry v = View(1000, 700, 400, 300);
    v.ZoomTo(asked);
    EXPECT_EQ(v.Scale, got) << asked;
  }
  // Viewport centre (500, 350) over image pixel (100, 64): after zooming to 2 that pixel's
  // top-left corner is at the centre.
  TImgViewGeometry v = View(1000, 700, 2000, 1024);
  v.OffsetHorz = 400;
  v.OffsetVert = 286;
  v.ZoomTo(2.0);
  EXPECT_EQ(v.Scale, 2.0f);
  EXPECT_EQ(v.OffsetHorz + 2 * 100, 500.0f);
  EXPECT_EQ(v.OffsetVert + 2 * 64, 350.0f);
  // Not clamped, not re-placed: zooming out leaves the image where the centre rule puts it.
  v.ZoomTo(0.25);
  EXPECT_EQ(v.OffsetHorz, 500.0f - 25);
  EXPECT_EQ(v.OffsetVert, 350.0f - 16);
}

TEST(ImgViewGeometry, ZoomRoundsHalvesToEvenAndFallsBack) {
  // The centre lies on the image's left edge (fraction 0), so the offset is vpW / 2 itself.
  for (const auto& [vpW, expected] : {std::pair{1001, 500.0f}, std::pair{1003, 502.0f}}) {
    TImgViewGeometry v = View(vpW, 700, 400, 300);
    v.OffsetHorz = float(vpW / 2.0);
    v.ZoomTo(2.0);
    EXPECT_EQ(v.OffsetHorz, expected) << vpW;
  }
  // An empty image: fraction one half on both axes.
  TImgViewGeometry empty = View(1000, 700, 0, 0);
  empty.ZoomTo(4.0);
  EXPECT_EQ(empty.Scale, 4.0f);
  EXPECT_EQ(empty.OffsetHorz, 500.0f);
  EXPECT_EQ(empty.OffsetVert, 350.0f);
  // A scale that cannot be applied, or offsets no pixel can have, leave scale 1.
  TImgViewGeometry v = View(1000, 700, 400, 300, 2.0);
  v.ZoomTo(std::nan(""));
  EXPECT_EQ(v.Scale, 1.0f);
  v.SetScale(3.0);
  v.OffsetHorz = -1e30f;
  v.ZoomTo(5.0);
  EXPECT_EQ(v.Scale, 1.0f);
}

TEST(ImgViewGeometry, ScrollingNeverUncoversTheViewport) {
  struct TCase {
    int ImgW;
    float Offset;
    double Dx;
    float After;
  };
  const TCase cases[] = {
      {400, 300, 50, 300},       // narrower than the viewport: does not move
      {1000, 0, 50, 0},          // exactly as wide: does not move
      {2000, -20, 50, 0},        // moves by 20 only
      {2000, -900, -300, -1000}, // stops at the right edge
      {2000, -500, 120.5, -379.5},
      {2000, 30, -10, 0},        // an unclamped zoom left it too far right: snaps to 0
  };
  for (const TCase& c : cases) {
    TImgViewGeometry v = View(1000, 700, c.ImgW, 300);
    v.OffsetHorz = c.Offset;
    v.OffsetVert = 7;
    v.ScrollBy(c.Dx, 25);
    EXPECT_EQ(v.OffsetHorz, c.After) << c.ImgW << " from " << c.Offset;
    EXPECT_EQ(v.OffsetVert, 7.0f);  // 300 high: never moves vertically
  }
  TImgViewGeometry v = View(1000, 700, 3000, 2000);
  v.OffsetVert = -100;
  v.ScrollBy(0, -2000);
  EXPECT_EQ(v.OffsetVert, -1300.0f);
  v.ScrollBy(0, std::nan(""));
  EXPECT_EQ(v.OffsetVert, -1300.0f);
}

TEST(ImgViewGeometry, StepsAreRealDivisionsOfAtLeastOnePixel) {
  EXPECT_EQ(HorzStep(1100), 5.5);
  EXPECT_EQ(VertStep(700), 3.5);
  EXPECT_EQ(HorzStep(100), 1.0);
  EXPECT_EQ(VertStep(0), 1.0);
  EXPECT_EQ(HorzWheelStep(600), 100.0);
  EXPECT_EQ(VertWheelStep(700), 700 / 6.0);
  EXPECT_EQ(VertWheelStep(5), 1.0);
}

TEST(ImgViewGeometry, PlacementStepsMoveOneKeypadRowOrColumnAndStopAtTheEdges) {
  for (int p = 0; p <= 8; ++p) {
    const int col = p % 3, row = p / 3;
    const auto place = TZmImgPlace(p);
    EXPECT_EQ(StepImgPlace(place, TPlaceStep::Up), TZmImgPlace(std::min(row + 1, 2) * 3 + col)) << p;
    EXPECT_EQ(StepImgPlace(place, TPlaceStep::Down), TZmImgPlace(std::max(row - 1, 0) * 3 + col)) << p;
    EXPECT_EQ(StepImgPlace(place, TPlaceStep::Left), TZmImgPlace(row * 3 + std::max(col - 1, 0))) << p;
    EXPECT_EQ(StepImgPlace(place, TPlaceStep::Right), TZmImgPlace(row * 3 + std::min(col + 1, 2))) << p;
  }
  EXPECT_EQ(StepImgPlace(ipBottomRight, TPlaceStep::Up), ipRight);  // Ctrl+keypad 3, then Ctrl+Up
  EXPECT_EQ(StepImgPlace(TZmImgPlace(12), TPlaceStep::Up), TZmImgPlace(12));
}

TEST(ImgViewGeometry, BitmapRectangleIsTheNearestWholeSizeAndTheScaleStaysInRange) {
  TImgViewGeometry v = View(100, 100, 301, 303, 0.5);
  EXPECT_EQ(v.BitmapRectWidth(), 150);   // 150.5 to even
  EXPECT_EQ(v.BitmapRectHeight(), 152);  // 151.5 to even
  v.SetBitmapSize(0, 303);
  EXPECT_EQ(v.BitmapRectWidth(), 0);
  EXPECT_EQ(v.BitmapRectHeight(), 0);
  for (const auto& [asked, kept] : {std::pair{0.0, 0.001f}, std::pair{-3.0, 0.001f}, std::pair{std::nan(""), 0.001f},
                                    std::pair{1e9, 65536.0f}, std::pair{0.0015, 0.0015f}}) {
    v.SetScale(asked);
    EXPECT_EQ(v.Scale, kept) << asked;
  }
}

TEST(ImgViewGeometry, ResizingCentresSmallAxesAndKeepsLargeOnesCovered) {
  // Placed top-left, a small image is centred again when the view's size changes.
  TImgViewGeometry v = View(1000, 700, 400, 300);
  v.ApplyPlacement(ipTopLeft);
  v.SetViewportSize(1000, 650);
  EXPECT_EQ(v.OffsetHorz, 300.0f);
  EXPECT_EQ(v.OffsetVert, 175.0f);

  // A large image keeps the point under the centre, then is held against uncovering.
  TImgViewGeometry big = View(1000, 700, 2000, 1500);
  big.ApplyPlacement(ipCenter);
  big.SetViewportSize(1200, 700);
  EXPECT_EQ(big.OffsetHorz, -400.0f);
  big.ApplyPlacement(ipRight);  // right edge flush: -800
  big.SetViewportSize(1500, 700);
  EXPECT_EQ(big.OffsetHorz, -500.0f);
  EXPECT_EQ(big.OffsetVert, -400.0f);

  // The preview pane does not centre: small images sit at the top left.
  TImgViewGeometry preview;
  preview.Centered = false;
  preview.SetViewportSize(800, 200);
  preview.SetBitmapSize(100, 50);
  EXPECT_EQ(preview.OffsetHorz, 0.0f);
  preview.SetScale(2.0);
  EXPECT_EQ(preview.OffsetVert, 0.0f);
}

TEST(ImgViewGeometry, ErrorPanelIsHalfTheViewportInTheBackgroundWithContrastingText) {
  const TErrorPanel black = ErrorPanelGeometry(1000, 700, RGB(0, 0, 0));
  EXPECT_EQ(black.Width, 500);
  EXPECT_EQ(black.Height, 350);
  EXPECT_EQ(black.Offsets, (TViewOffsets{0, 0}));
  EXPECT_EQ(black.BrushColor, RGB(0, 0, 0));
  EXPECT_EQ(black.FontColor, RGB(128, 128, 128));
  const TErrorPanel white = ErrorPanelGeometry(1001, 699, RGB(255, 255, 255));
  EXPECT_EQ(white.Width, 500);
  EXPECT_EQ(white.Height, 349);
  EXPECT_EQ(white.FontColor, RGB(127, 127, 127));
  EXPECT_EQ(ErrorPanelGeometry(-4, 1, 0).Width, 0);
  EXPECT_EQ(OpaqueColor32(RGB(1, 2, 3)), Color32(255, 1, 2, 3));
  EXPECT_EQ(OpaqueColor32(0x00FF8000), Color32(255, 0, 0x80, 0xFF));
}
