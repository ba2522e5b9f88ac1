// Feeds arbitrary bytes to the metafile record reader (WMF and EMF) without painting. The sink
// decodes every bitmap and text the records carry, as the painter would, and traps on anything
// the reader promises not to hand over: a picture size beyond the limits, point counts that do
// not add up, advances that do not match the text, vertex indexes outside the vertices.
#include "decoders/MetafileData.h"
#include "decoders/MetafileReader.h"

namespace {

class TCheckingSink : public TMetafileSink {
 public:
  void SelectFont(const TMfFont& font) override { Font_ = font; }
  void SelectBrush(const TMfBrush& brush) override { Decode(brush.Pattern, false); }
  void Poly(TMfPoly, std::span<const TMfPoint> points, std::span<const uint32_t> counts) override {
    uint64_t total = 0;
    for (uint32_t c : counts) total += c;
    if (!counts.empty() && total != points.size()) __builtin_trap();
  }
  void PolyDraw(std::span<const TMfPoint> points, std::span<const uint8_t> types) override {
    if (points.size() != types.size()) __builtin_trap();
  }
  void Text(const TMfText& text) override {
    std::vector<int32_t> dx;
    std::u16string units = DecodeMfText(text.Narrow, Font_.CharSet, text.Dx, dx);
    if (!text.Narrow.empty() && !text.Dx.empty() && dx.size() != units.size()) __builtin_trap();
    MapSymbolText(units);
    Utf16ToUtf8(units + text.Wide);
  }
  void Blit(const TMfBlit& blit) override {
    Decode(blit.Source, blit.SourceAlpha);
    Decode(blit.Mask, false);
  }
  void GradientFill(std::span<const TMfVertex> vertices, std::span<const uint32_t> indexes, uint32_t) override {
    for (uint32_t i : indexes)
      if (i >= vertices.size()) __builtin_trap();
  }

 private:
  static void Decode(const TMfBitmap& bitmap, bool alpha) {
    if (bitmap.Empty()) return;
    TMfPixels pixels;
    TDecodeError error;
    if (DecodeMfBitmap(bitmap, {}, alpha, pixels, error) && pixels.Bitmap.Empty()) __builtin_trap();
  }
  TMfFont Font_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  TMetafileFrame frame;
  TDecodeError error;
  if (ReadMetafileFrame(bytes, 96, frame, error) &&
      (frame.Width < 1 || frame.Height < 1 || frame.Width > MaxMetafileSide || frame.Height > MaxMetafileSide ||
       int64_t(frame.Width) * frame.Height > MaxMetafilePixels))
    __builtin_trap();
  TCheckingSink sink;
  PlayMetafile(bytes, sink, error);
  return 0;
}
