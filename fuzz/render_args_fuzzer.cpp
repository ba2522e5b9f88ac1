// Feeds the arguments of `kirvane-cli render` (one per line) to its parser; arguments it
// accepts with a small viewport are then laid out and drawn for a small picture and for the
// error panel, as the tool would. Nothing may crash or hang, and a rejected argument list must
// come with a reason.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "imageview/ViewRender.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> args;
  for (size_t start = 0; start <= text.size() && args.size() < 64;) {
    const size_t end = std::min(text.find('\n', start), text.size());
    args.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  TColor colour = 0;
  ParseColorValue(text, colour);

  TRenderRequest request;
  std::string error;
  if (!ParseRenderArgs(args, request, error)) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  if (request.ViewportWidth > 200 || request.ViewportHeight > 200) return 0;
  TBitmap32 picture(13, 7);
  for (int i = 0; i < 13 * 7; ++i) picture.Bits()[i] = PremultipliedColor32(uint8_t(i * 37), uint8_t(i * 11), 90, 200);
  TBitmap32 viewport(request.ViewportWidth, request.ViewportHeight);
  DrawView(request, picture, LayoutLoadedView(request, picture), viewport);
  TBitmap32 panel;
  const TImgViewGeometry g = LayoutErrorPanel(request, panel);
  DrawView(request, panel, g, viewport);
  return 0;
}
