// What the slideshow's image view shows for one picture, without a window: the request of
// `kirvane-cli render` (its arguments), the view's layout after a load (size adjustment, then
// placement, with the view's own geometry code) and the viewport image (background, then the
// picture drawn by the view's resampler).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "bitmap/Bitmap32.h"
#include "bitmap/Resample.h"
#include "imageview/ImgViewGeometry.h"

struct TRenderRequest {
  std::string File;
  std::string Output;  // the PNG to write; may be empty only when benchmarking
  int ViewportWidth = 0, ViewportHeight = 0;
  TZmImgPlace Place = ipCenter;
  TZmImgSizeAdjustment Adjust = saNone;
  double Scale = 1.0;  // the view's scale before the load; an automatic adjustment replaces it
  TStretchFilter Filter = sfLinear;
  TColor BGColor = 0;
  int BenchRepeat = -1;  // >= 0: draw this many times and report the time instead
};

// Parses the arguments after "render": FILE --viewport WxH [--place 0-8] [--adjust 0-3]
// [--scale S] [--filter 0-4] [--bg COLOUR] [--bench-repeat N] -o OUT.png. COLOUR is a
// settings colour, decimal (signed or unsigned 32-bit) or hexadecimal with "0x"
// (0x00BBGGRR, or 0xFF0000nn for a system colour). On failure returns false with a one-line
// reason in `error`.
bool ParseRenderArgs(const std::vector<std::string_view>& args, TRenderRequest& request, std::string& error);

// Parses a settings colour as --bg takes it; false for anything else.
bool ParseColorValue(std::string_view text, TColor& color);

// The view's geometry after loading `picture` into a viewport of the request's size at the
// request's scale: the size adjustment (saAutoWindowSize has no window to change here and
// adjusts nothing), then the placement.
TImgViewGeometry LayoutLoadedView(const TRenderRequest& request, const TBitmap32& picture);

// After a failed load the view holds the error panel instead: `panel` becomes the panel's
// bitmap (the background colour; the headless tool draws no text) and the geometry places it
// at the top left, at the view's current scale.
TImgViewGeometry LayoutErrorPanel(const TRenderRequest& request, TBitmap32& panel);

// The viewport image: the background colour, with `picture` composited over it at the
// geometry's scale and offsets with the request's filter. `viewport` must already have the
// viewport's size. False when the drawing's working memory could not be had.
bool DrawView(const TRenderRequest& request, const TBitmap32& picture, const TImgViewGeometry& geometry,
              TBitmap32& viewport, TResampleScratch* scratch = nullptr);
