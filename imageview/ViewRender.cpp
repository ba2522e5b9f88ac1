#include "imageview/ViewRender.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <utility>

namespace {
// Viewports are window-sized; this bounds each side well above any screen.
constexpr int MaxViewportSide = 65535;
constexpr int MaxBenchRepeat = 100000;

template <typename T>
bool ParseWhole(std::string_view text, T& value, int base = 10) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
  return ec == std::errc() && ptr == end;
}

bool ParseInRange(std::string_view text, int low, int high, int& value) {
  return ParseWhole(text, value) && value >= low && value <= high;
}

bool ParseViewport(std::string_view text, int& width, int& height) {
  const size_t x = text.find_first_of("xX");
  if (x == std::string_view::npos) return false;
  return ParseInRange(text.substr(0, x), 1, MaxViewportSide, width) &&
         ParseInRange(text.substr(x + 1), 1, MaxViewportSide, height) &&
         TBitmap32::IsAcceptableSize(width, height);
}

bool ParseScale(std::string_view text, double& scale) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, scale);
  return ec == std::errc() && ptr == end && std::isfinite(scale);
}
}  // namespace

bool ParseColorValue(std::string_view text, TColor& color) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    uint32_t v = 0;
    if (!ParseWhole(text.substr(2), v, 16)) return false;
    color = TColor(v);
    return true;
  }
  // Settings keep colours as signed numbers (system colours are negative); the unsigned form
  // of the same bits is accepted too.
  int64_t v = 0;
  if (!ParseWhole(text, v) || v < INT32_MIN || v > int64_t(UINT32_MAX)) return false;
  color = TColor(uint32_t(v));
  return true;
}

bool ParseRenderArgs(const std::vector<std::string_view>& args, TRenderRequest& request, std::string& error) {
  auto fail = [&error](std::string reason) {
    error = std::move(reason);
    return false;
  };
  request = TRenderRequest();
  bool haveViewport = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view a = args[i];
    if (a.size() < 2 || a[0] != '-') {
      if (!request.File.empty()) return fail("more than one file: " + std::string(a));
      request.File = a;
      continue;
    }
    if (i + 1 >= args.size()) return fail(std::string(a) + " needs a value");
    const std::string_view v = args[++i];
    int n = 0;
    bool ok = true;
    if (a == "--viewport") {
      ok = haveViewport = ParseViewport(v, request.ViewportWidth, request.ViewportHeight);
    } else if (a == "--place") {
      ok = ParseInRange(v, ipBottomLeft, ipTopRight, n);
      request.Place = TZmImgPlace(n);
    } else if (a == "--adjust") {
      ok = ParseInRange(v, saNone, saAutoScaleShort, n);
      request.Adjust = TZmImgSizeAdjustment(n);
    } else if (a == "--scale") {
      ok = ParseScale(v, request.Scale);
    } else if (a == "--filter") {
      ok = ParseInRange(v, 0, StretchFilterCount - 1, n);
      request.Filter = TStretchFilter(n);
    } else if (a == "--bg") {
      ok = ParseColorValue(v, request.BGColor);
    } else if (a == "--bench-repeat") {
      ok = ParseInRange(v, 0, MaxBenchRepeat, request.BenchRepeat);
    } else if (a == "-o") {
      request.Output = v;
      ok = !v.empty();
    } else {
      return fail("unknown option " + std::string(a));
    }
    if (!ok) return fail("bad value for " + std::string(a) + ": " + std::string(v));
  }
  if (request.File.empty()) return fail("no file given");
  if (!haveViewport) return fail("--viewport WxH is required");
  if (request.Output.empty() && request.BenchRepeat < 0) return fail("-o OUT.png is required");
  return true;
}

TImgViewGeometry LayoutLoadedView(const TRenderRequest& request, const TBitmap32& picture) {
  TImgViewGeometry g;
  g.SetViewportSize(request.ViewportWidth, request.ViewportHeight);
  g.SetScale(request.Scale);
  g.SetBitmapSize(picture.Width(), picture.Height());
  g.ApplyAutoScale(request.Adjust);
  g.ApplyPlacement(request.Place);
  return g;
}

TImgViewGeometry LayoutErrorPanel(const TRenderRequest& request, TBitmap32& panel) {
  const TErrorPanel p = ErrorPanelGeometry(request.ViewportWidth, request.ViewportHeight, request.BGColor);
  panel.SetSize(p.Width, p.Height);
  panel.Clear(OpaqueColor32(p.BrushColor));
  TImgViewGeometry g;
  g.SetViewportSize(request.ViewportWidth, request.ViewportHeight);
  g.SetScale(request.Scale);
  g.SetBitmapSize(panel.Width(), panel.Height());
  g.OffsetHorz = float(p.Offsets.Horz);
  g.OffsetVert = float(p.Offsets.Vert);
  return g;
}

bool DrawView(const TRenderRequest& request, const TBitmap32& picture, const TImgViewGeometry& geometry,
              TBitmap32& viewport, TResampleScratch* scratch) {
  viewport.Clear(OpaqueColor32(request.BGColor));
  return DrawScaled(picture, geometry.Scale, geometry.OffsetHorz, geometry.OffsetVert, request.Filter, viewport,
                    {0, 0, viewport.Width(), viewport.Height()}, dmBlend, scratch);
}
