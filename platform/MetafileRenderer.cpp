// The metafile decoder: the picture's frame, a transparent bitmap, the records played onto it.
#include "platform/MetafileRenderer.h"

#include <QGuiApplication>

#include <algorithm>

#include "decoders/MetafileReader.h"
#include "platform/MetafilePainter.h"

namespace {

// Plays the file onto `bitmap`, which has the picture's size and holds its background.
bool Paint(std::span<const uint8_t> data, const TMetafileFrame& frame, TBitmap32& bitmap, bool& rasterOps,
           TDecodeError& error) {
  QImage image(reinterpret_cast<uchar*>(bitmap.Bits()), bitmap.Width(), bitmap.Height(),
               qsizetype(bitmap.Stride()), QImage::Format_ARGB32_Premultiplied);
  TMetafilePainter painter(image, frame);
  if (!PlayMetafile(data, painter, error)) return false;
  painter.End();
  if (painter.OverBudget()) {
    error = {TDecodeErrorKind::deTooLarge, "metafile: more drawing than the work limit allows"};
    return false;
  }
  rasterOps = painter.UsedRasterOps();
  return true;
}

// The picture drawn over opaque black and over opaque white gives its own colours and alpha:
// the background shows through as far as the two differ.
void Unblend(TBitmap32& overBlack, const TBitmap32& overWhite) {
  TColor32* black = overBlack.Bits();
  const TColor32* white = overWhite.Bits();
  for (size_t i = 0, n = size_t(overBlack.Width()) * size_t(overBlack.Height()); i < n; ++i) {
    const TColor32 b = black[i], w = white[i];
    auto cover = [](uint8_t onBlack, uint8_t onWhite) { return std::clamp(255 - (int(onWhite) - int(onBlack)), 0, 255); };
    const uint8_t a = uint8_t(std::max({cover(RedOf(b), RedOf(w)), cover(GreenOf(b), GreenOf(w)), cover(BlueOf(b), BlueOf(w))}));
    black[i] = Color32(a, std::min(RedOf(b), a), std::min(GreenOf(b), a), std::min(BlueOf(b), a));
  }
}

}  // namespace

TDecodeResult RenderMetafile(std::span<const uint8_t> data) {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    return TDecodeResult::Fail(TDecodeErrorKind::deUnsupported, "metafile: drawing text needs a QGuiApplication");
  TMetafileFrame frame;
  TDecodeError error;
  if (!ReadMetafileFrame(data, 96, frame, error)) return error;
  TBitmap32 picture;
  if (!AllocateBitmap(picture, frame.Width, frame.Height, error)) return error;
  picture.Clear(0);
  bool rasterOps = false;
  if (!Paint(data, frame, picture, rasterOps, error)) return error;
  if (rasterOps) {
    // Raster operations combine colours with the pixels under them, and a transparent pixel has
    // none: the picture is drawn again over black and over white instead.
    TBitmap32 overWhite;
    if (!AllocateBitmap(overWhite, frame.Width, frame.Height, error)) return error;
    overWhite.Clear(0xFFFFFFFFu);
    picture.Clear(0xFF000000u);
    if (!Paint(data, frame, picture, rasterOps, error) || !Paint(data, frame, overWhite, rasterOps, error)) return error;
    Unblend(picture, overWhite);
  }
  return picture;
}
