#include "imageview/ViewRender.h"

#include <gtest/gtest.h>

#include "imageview/ZmGraphicExTypes.h"
#include "tests/support/TestSupport.h"

namespace {
bool Parse(std::vector<std::string_view> args, TRenderRequest& r) {
  std::string error;
  const bool ok = ParseRenderArgs(args, r, error);
  EXPECT_EQ(ok, error.empty()) << error;
  return ok;
}
}  // namespace

TEST(ViewRender, ParsesTheRenderArguments) {
  TRenderRequest r;
  ASSERT_TRUE(Parse({"a.png", "--viewport", "1920x1080", "--place", "8", "--adjust", "3", "--scale", "0.25",
                     "--filter", "4", "--bg", "0x00FF8000", "-o", "out.png"},
                    r));
  EXPECT_EQ(r.File, "a.png");
  EXPECT_EQ(r.Output, "out.png");
  EXPECT_EQ(r.ViewportWidth, 1920);
  EXPECT_EQ(r.ViewportHeight, 1080);
  EXPECT_EQ(r.Place, ipTopRight);
  EXPECT_EQ(r.Adjust, saAutoScaleShort);
  EXPECT_EQ(r.Scale, 0.25);
  EXPECT_EQ(r.Filter, sfMitchell);
  EXPECT_EQ(r.BGColor, RGB(0, 0x80, 0xFF));
  EXPECT_EQ(r.BenchRepeat, -1);

  ASSERT_TRUE(Parse({"--viewport", "3x2", "b.bmp", "--bench-repeat", "5"}, r));  // no -o when benchmarking
  EXPECT_EQ(r.Place, ipCenter);
  EXPECT_EQ(r.Adjust, saNone);
  EXPECT_EQ(r.Filter, sfLinear);
  EXPECT_EQ(r.Scale, 1.0);
  EXPECT_EQ(r.BGColor, 0);
  EXPECT_EQ(r.BenchRepeat, 5);

  const std::vector<std::vector<std::string_view>> bad = {
      {},
      {"a.png", "-o", "x.png"},                                    // no viewport
      {"a.png", "--viewport", "100x100"},                          // no output
      {"a.png", "b.png", "--viewport", "1x1", "-o", "x"},          // two files
      {"a.png", "--viewport", "0x100", "-o", "x"},
      {"a.png", "--viewport", "100", "-o", "x"},
      {"a.png", "--viewport", "65536x1", "-o", "x"},
      {"a.png", "--viewport", "65535x65535", "-o", "x"},           // over 2^28 pixels
      {"a.png", "--viewport", "10x10", "--place", "9", "-o", "x"},
      {"a.png", "--viewport", "10x10", "--adjust", "-1", "-o", "x"},
      {"a.png", "--viewport", "10x10", "--filter", "5", "-o", "x"},
      {"a.png", "--viewport", "10x10", "--scale", "nan", "-o", "x"},
      {"a.png", "--viewport", "10x10", "--scale", "2x", "-o", "x"},
      {"a.png", "--viewport", "10x10", "--bg", "0x1FFFFFFFF", "-o", "x"},
      {"a.png", "--viewport", "10x10", "--bg", "red", "-o", "x"},
      {"a.png", "--viewport", "10x10", "--frobnicate", "1", "-o", "x"},
      {"a.png", "--viewport", "10x10", "-o"},
  };
  for (const auto& args : bad) {
    std::string error;
    EXPECT_FALSE(ParseRenderArgs(args, r, error)) << (args.empty() ? "" : args.back());
    EXPECT_FALSE(error.empty());
  }
}

TEST(ViewRender, ColourValuesAreSettingsColours) {
  struct TCase {
    const char* Text;
    bool Ok;
    TColor Value;
  };
  const TCase cases[] = {{"0", true, 0},
                         {"255", true, RGB(255, 0, 0)},
                         {"16777215", true, RGB(255, 255, 255)},
                         {"-16777201", true, clBtnFace},  // a system colour as settings store it
                         {"4278190095", true, clBtnFace},
                         {"0xFF00000F", true, clBtnFace},
                         {"0x0000ff", true, RGB(255, 0, 0)},
                         {"-2147483649", false, 0},
                         {"4294967296", false, 0},
                         {"0x", false, 0},
                         {"12 ", false, 0},
                         {"", false, 0}};
  for (const TCase& c : cases) {
    TColor v = 0;
    EXPECT_EQ(ParseColorValue(c.Text, v), c.Ok) << c.Text;
    if (c.Ok) {
      EXPECT_EQ(v, c.Value) << c.Text;
    }
  }
}

TEST(ViewRender, AutomaticAdjustmentReplacesTheScaleAndWindowSizeAdjustsNothing) {
  const TBitmap32 picture(400, 200);
  TRenderRequest r;
  r.ViewportWidth = 1000;
  r.ViewportHeight = 700;
  r.Scale = 0.5;
  struct TCase {
    TZmImgSizeAdjustment Adjust;
    TZmImgPlace Place;
    float Scale, X, Y;
  };
  const TCase cases[] = {
      {saNone, ipCenter, 0.5f, 400, 300},
      {saAutoWindowSize, ipBottomRight, 0.5f, 800, 600},  // no window here: as saNone
      {saAutoScaleLong, ipCenter, 2.5f, 0, 100},
      {saAutoScaleShort, ipTopLeft, 3.5f, 0, 0},
      {saAutoScaleShort, ipBottomRight, 3.5f, -400, 0},
  };
  for (const TCase& c : cases) {
    r.Adjust = c.Adjust;
    r.Place = c.Place;
    const TImgViewGeometry g = LayoutLoadedView(r, picture);
    EXPECT_EQ(g.Scale, c.Scale) << int(c.Adjust);
    EXPECT_EQ(g.OffsetHorz, c.X) << int(c.Adjust);
    EXPECT_EQ(g.OffsetVert, c.Y) << int(c.Adjust);
  }
}

TEST(ViewRender, ViewportIsTheBackgroundWithThePictureCompositedOverIt) {
  TRenderRequest r;
  r.ViewportWidth = 8;
  r.ViewportHeight = 6;
  r.Place = ipTopRight;
  r.Scale = 2.0;
  r.Filter = sfNearest;
  r.BGColor = RGB(0, 0, 255);  // blue
  TBitmap32 picture(2, 1);
  picture.Pixel(0, 0) = Color32(255, 255, 0, 0);
  picture.Pixel(1, 0) = PremultipliedColor32(128, 255, 0, 0);
  const TImgViewGeometry g = LayoutLoadedView(r, picture);
  TBitmap32 viewport(8, 6);
  ASSERT_TRUE(DrawView(r, picture, g, viewport));
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) {
      TColor32 expected = Color32(255, 0, 0, 255);
      if (y < 2 && x >= 4) expected = x < 6 ? Color32(255, 255, 0, 0) : Color32(255, 128, 0, 127);
      EXPECT_EQ(viewport.Pixel(x, y), expected) << x << "," << y;
    }
}

TEST(ViewRender, FailedLoadShowsTheErrorPanelAtTheTopLeft) {
  TRenderRequest r;
  r.ViewportWidth = 1000;
  r.ViewportHeight = 700;
  r.Place = ipBottomRight;
  r.Adjust = saAutoScaleLong;
  r.BGColor = RGB(10, 20, 30);
  TBitmap32 panel;
  const TImgViewGeometry g = LayoutErrorPanel(r, panel);
  EXPECT_EQ(panel.Width(), 500);
  EXPECT_EQ(panel.Height(), 350);
  EXPECT_EQ(panel.Pixel(499, 349), Color32(255, 10, 20, 30));
  EXPECT_EQ(g.OffsetHorz, 0.0f);
  EXPECT_EQ(g.OffsetVert, 0.0f);
  EXPECT_EQ(g.Scale, 1.0f);  // the adjustment belongs to the failed load
  TBitmap32 viewport(1000, 700);
  ASSERT_TRUE(DrawView(r, panel, g, viewport));
  EXPECT_EQ(viewport.Pixel(999, 699), Color32(255, 10, 20, 30));
  // The load path reports the failure the tool turns into the panel.
  EXPECT_FALSE(LoadPicture("/nonexistent/picture.unknownext").Ok());
}

TEST(ViewRender, SampleFileFitsTheViewportByItsLongSide) {
  KV_REQUIRE_CORPUS();
  TDecodeResult loaded = LoadPicture(CorpusPath("formats/netpbm/hopper_8bit.ppm"));
  if (!loaded.Ok()) GTEST_SKIP() << "Netpbm decoder not available: " << loaded.Error().Message;
  TRenderRequest r;
  r.ViewportWidth = 300;
  r.ViewportHeight = 200;
  r.Adjust = saAutoScaleLong;
  r.Filter = sfLanczos;
  const TImgViewGeometry g = LayoutLoadedView(r, loaded.Bitmap());
  EXPECT_EQ(g.Scale, float(200.0 / loaded.Bitmap().Height()));
  EXPECT_EQ(g.OffsetHorz, float((300 - g.BitmapRectWidth()) / 2.0));
  TBitmap32 viewport(300, 200);
  ASSERT_TRUE(DrawView(r, loaded.Bitmap(), g, viewport));
  // Background on both sides, opaque picture in the middle.
  EXPECT_EQ(viewport.Pixel(0, 100), Color32(255, 0, 0, 0));
  EXPECT_EQ(AlphaOf(viewport.Pixel(150, 100)), 255);
}
