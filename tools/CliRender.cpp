// kirvane-cli render: the viewport image the slideshow view shows for a file, as a PNG.
//
// The file is loaded through the single load path; the view's size adjustment and placement
// are applied with the view's own geometry, and the image is drawn by the view's resampler over
// the background colour. When --adjust picks an automatic scale (2 or 3) that scale replaces
// --scale; 1 (window size) has no window to resize here and acts as 0. A file that cannot be
// shown renders the view's error panel (the background colour, without its text) and exits 1.
// Prints "scale=<s> offset=<x>,<y>" with the view's final scale and offsets.
//
// --bench-repeat N (for bench/resample) draws N times after the load, prints
// "draw_ms=<median> min_ms=<fastest> runs=<N>" and writes -o only when it is given, so that
// the draw can be timed apart from decoding and PNG encoding.
#include <algorithm>
#include <chrono>
#include <new>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "bitmap/PngWriter.h"
#include "imageview/ViewRender.h"
#include "imageview/ZmGraphicExTypes.h"
#include "tools/CliCommands.h"

namespace {
// Times `repeat` draws; returns the median and the fastest in milliseconds.
bool TimeDraws(const TRenderRequest& request, const TBitmap32& picture, const TImgViewGeometry& geometry,
               TBitmap32& viewport, double& median, double& fastest) {
  TResampleScratch scratch;
  std::vector<double> times;
  for (int i = 0; i < request.BenchRepeat; ++i) {
    viewport.Clear(OpaqueColor32(request.BGColor));
    const auto start = std::chrono::steady_clock::now();
    if (!DrawScaled(picture, geometry.Scale, geometry.OffsetHorz, geometry.OffsetVert, request.Filter, viewport,
                    {0, 0, viewport.Width(), viewport.Height()}, dmBlend, &scratch))
      return false;
    times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  median = times.empty() ? 0.0 : times[times.size() / 2];
  fastest = times.empty() ? 0.0 : times.front();
  return true;
}

int Render(int argc, char** argv) {
  TRenderRequest request;
  std::string error;
  if (!ParseRenderArgs(std::vector<std::string_view>(argv, argv + argc), request, error)) {
    std::fprintf(stderr,
                 "kirvane-cli render: %s\n"
                 "usage: kirvane-cli render FILE --viewport WxH [--place 0-8] [--adjust 0-3] [--scale S]\n"
                 "                          [--filter 0-4] [--bg COLOUR] [--bench-repeat N] -o OUT.png\n",
                 error.c_str());
    return 2;
  }

  TDecodeResult loaded = LoadPicture(request.File);
  TBitmap32 panel;
  const bool ok = loaded.Ok();
  if (!ok) std::fprintf(stderr, "kirvane-cli render: %s: %s\n", request.File.c_str(), loaded.Error().Message.c_str());
  const TBitmap32& picture = ok ? loaded.Bitmap() : panel;
  const TImgViewGeometry geometry = ok ? LayoutLoadedView(request, picture) : LayoutErrorPanel(request, panel);

  TBitmap32 viewport;
  try {
    viewport.SetSize(request.ViewportWidth, request.ViewportHeight);
  } catch (const std::exception&) {
    std::fprintf(stderr, "kirvane-cli render: no memory for a %dx%d viewport\n", request.ViewportWidth,
                 request.ViewportHeight);
    return 1;
  }
  if (request.BenchRepeat >= 0) {
    double median = 0, fastest = 0;
    if (!TimeDraws(request, picture, geometry, viewport, median, fastest)) {
      std::fprintf(stderr, "kirvane-cli render: out of memory while drawing\n");
      return 1;
    }
    std::printf("draw_ms=%.3f min_ms=%.3f runs=%d\n", median, fastest, request.BenchRepeat);
  }
  if (!request.Output.empty()) {
    if (!DrawView(request, picture, geometry, viewport)) {
      std::fprintf(stderr, "kirvane-cli render: out of memory while drawing\n");
      return 1;
    }
    if (!WritePng(viewport, request.Output, &error)) {
      std::fprintf(stderr, "kirvane-cli render: %s\n", error.c_str());
      return 1;
    }
  }
  std::printf("scale=%.9g offset=%.9g,%.9g\n", double(geometry.Scale), double(geometry.OffsetHorz),
              double(geometry.OffsetVert));
  return ok ? 0 : 1;
}
}  // namespace

int RunRender(int argc, char** argv) {
  try {
    return Render(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "kirvane-cli render: out of memory\n");
    return 1;
  }
}
