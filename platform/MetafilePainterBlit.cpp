// Bitmap records and gradients: stretching, raster operations, masks, colour keys and alpha.
// Format documents: [MS-WMF] 2.1.1.31 TernaryRasterOperation, [MS-EMF] 2.3.1 (bitmap records)
// and 2.2.26 TriVertex; GDI's documentation of BitBlt, MaskBlt, PlgBlt, AlphaBlend,
// TransparentBlt and GradientFill.
//
// Decisions:
// - Ternary raster operations that copy, invert or combine (and, or, xor) a source with the
//   destination, or fill or xor a pattern, are drawn as such. Any other that reads the source
//   is drawn as a copy of it, any other that reads only the pattern as a pattern fill.
// - Monochrome device-dependent bitmaps take the text colour for clear bits and the background
//   colour for set bits, as GDI converts them to colour.
// - Smooth scaling under STRETCH_HALFTONE, the nearest pixel otherwise.
#include <QLinearGradient>

#include "decoders/MetafileData.h"
#include "platform/MetafilePainter.h"

namespace {

// A ternary raster operation is a truth table over pattern (0xF0), source (0xCC) and
// destination (0xAA) bits; it reads an operand when flipping that operand changes the result.
bool UsesSource(uint8_t rop) { return ((rop >> 2) ^ rop) & 0x33; }
bool UsesPattern(uint8_t rop) { return ((rop >> 4) ^ rop) & 0x0F; }

QPainter::CompositionMode SourceMode(uint8_t rop) {
  switch (rop) {
    case 0xEE: return QPainter::RasterOp_SourceOrDestination;         // SRCPAINT
    case 0x88: return QPainter::RasterOp_SourceAndDestination;        // SRCAND
    case 0x66: return QPainter::RasterOp_SourceXorDestination;        // SRCINVERT
    case 0x44: return QPainter::RasterOp_SourceAndNotDestination;     // SRCERASE
    case 0x33: return QPainter::RasterOp_NotSource;                   // NOTSRCCOPY
    case 0x11: return QPainter::RasterOp_NotSourceAndNotDestination;  // NOTSRCERASE
    case 0xBB: return QPainter::RasterOp_NotSourceOrDestination;      // MERGEPAINT
    case 0x22: return QPainter::RasterOp_NotSourceAndDestination;
    case 0x99: return QPainter::RasterOp_NotSourceXorDestination;
    case 0xDD: return QPainter::RasterOp_SourceOrNotDestination;
    case 0x77: return QPainter::RasterOp_NotSourceOrNotDestination;
    default: return QPainter::CompositionMode_SourceOver;  // SRCCOPY and the rest
  }
}

QImage Wrap(TBitmap32& bitmap) {
  return QImage(reinterpret_cast<uchar*>(bitmap.Bits()), bitmap.Width(), bitmap.Height(), qsizetype(bitmap.Stride()),
                QImage::Format_ARGB32_Premultiplied);
}

}  // namespace

void TMetafilePainter::Blit(const TMfBlit& b) {
  const uint8_t rop = uint8_t(b.Rop >> 16);
  const bool special = b.AlphaBlend || b.TransparentColor || b.Parallelogram;
  QPainterPath dest;
  dest.addRect(QRectF(b.DestX, b.DestY, b.DestWidth, b.DestHeight).normalized());
  if (b.Source.Empty() || (!special && !UsesSource(rop))) {
    switch (rop) {
      case 0xAA: break;                                                     // the destination as it is
      case 0x00: FillWith(Xf().map(dest), QBrush(Qt::black), 13); break;    // BLACKNESS
      case 0xFF: FillWith(Xf().map(dest), QBrush(Qt::white), 13); break;    // WHITENESS
      case 0x55: FillWith(Xf().map(dest), QBrush(Qt::black), 6); break;     // DSTINVERT
      case 0x5A: FillWith(Xf().map(dest), CurrentBrush(), 7); break;        // PATINVERT
      default:
        if (UsesPattern(rop)) FillWith(Xf().map(dest), CurrentBrush(), 13);  // PATCOPY and the like
        break;
    }
    return;
  }
  if (b.SrcWidth == 0 || b.SrcHeight == 0 || (!b.Parallelogram && (b.DestWidth == 0 || b.DestHeight == 0))) return;
  TMfPixels pixels;
  TDecodeError error;
  if (!DecodeMfBitmap(b.Source, Palette(), b.AlphaBlend && b.SourceAlpha, pixels, error)) return;
  TBitmap32& bitmap = pixels.Bitmap;
  const QRgb fore = Colour(S_.TextColor).rgba(), back = Colour(S_.BkColor).rgba();
  const std::optional<QRgb> key = b.TransparentColor ? std::optional(Colour(*b.TransparentColor).rgba()) : std::nullopt;
  TMfPixels mask;
  const bool masked = !b.Mask.Empty() && DecodeMfBitmap(b.Mask, {}, false, mask, error);
  // Where the mask is clear, PlgBlt leaves the destination and MaskBlt applies its background
  // operation (the ROP's high byte): leaving the destination, blackness and whiteness are drawn.
  const uint8_t background = b.Parallelogram ? 0xAA : uint8_t(b.Rop >> 24);
  const bool maskApplies = masked && (background == 0xAA || background == 0x00 || background == 0xFF);
  const TColor32 unmasked = background == 0x00 ? 0xFF000000u : background == 0xFF ? 0xFFFFFFFFu : 0;
  for (int y = 0; y < bitmap.Height(); ++y) {
    TColor32* row = bitmap.ScanLine(y);
    for (int x = 0; x < bitmap.Width(); ++x) {
      if (pixels.Monochrome && b.Source.Ddb) row[x] = qGray(row[x]) < 128 ? fore : back;
      if (key && (row[x] | 0xFF000000u) == *key) row[x] = 0;
      if (maskApplies) {
        const int64_t mx = int64_t(x) - b.SrcX + b.MaskX, my = int64_t(y) - b.SrcY + b.MaskY;
        const bool inside = mx >= 0 && my >= 0 && mx < mask.Bitmap.Width() && my < mask.Bitmap.Height();
        if (!inside || qGray(mask.Bitmap.Pixel(int(mx), int(my))) < 128) row[x] = unmasked;
      }
    }
  }

  // The source rectangle in the decoded rows (top first); negative sizes mirror.
  double srcW = b.SrcWidth, srcH = b.SrcHeight;
  if (b.SrcToEdges) srcW = std::copysign(bitmap.Width() - b.SrcX, srcW), srcH = std::copysign(bitmap.Height() - b.SrcY, srcH);
  double srcY = b.SrcY;
  if (b.SrcFromBottom && pixels.BottomUp) srcY = bitmap.Height() - b.SrcY - std::abs(srcH);
  QImage image = Wrap(bitmap);
  const bool mirrorX = (b.DestWidth < 0) != (srcW < 0), mirrorY = (b.DestHeight < 0) != (srcH < 0);
  QRectF source = QRectF(b.SrcX, srcY, srcW, srcH).normalized();
  if (mirrorX || mirrorY) {
    image = image.mirrored(mirrorX, mirrorY);
    if (mirrorX) source.moveLeft(image.width() - source.right());
    if (mirrorY) source.moveTop(image.height() - source.bottom());
  }
  QRectF target = QRectF(b.DestX, b.DestY, b.DestWidth, b.DestHeight).normalized();
  QTransform to = Xf();
  if (b.Parallelogram) {
    // The source's corners go to the upper-left, upper-right and lower-left points.
    const auto& p = *b.Parallelogram;
    target = QRectF(0, 0, source.width(), source.height());
    to = QTransform((p[1].X - p[0].X) / target.width(), (p[1].Y - p[0].Y) / target.width(),
                    (p[2].X - p[0].X) / target.height(), (p[2].Y - p[0].Y) / target.height(), p[0].X, p[0].Y) *
         to;
  }
  const QPainter::CompositionMode mode = special || masked ? QPainter::CompositionMode_SourceOver : SourceMode(rop);
  if (!Spend(to.mapRect(target), double(bitmap.Width()) * bitmap.Height())) return;
  Begin(mode);
  Painter_.setTransform(to);
  Painter_.setRenderHint(QPainter::SmoothPixmapTransform, S_.StretchMode == 4);  // STRETCH_HALFTONE
  if (b.AlphaBlend) Painter_.setOpacity(b.ConstantAlpha / 255.0);
  Painter_.drawImage(target, image, source);
  Painter_.resetTransform();
}

void TMetafilePainter::GradientFill(std::span<const TMfVertex> vertices, std::span<const uint32_t> indexes,
                                    uint32_t mode) {
  auto colour = [](const TMfVertex& v) { return QColor(v.Red >> 8, v.Green >> 8, v.Blue >> 8); };
  if (mode < 2) {
    // Rectangles shaded from one corner's colour to the other's, across (mode 0) or down.
    for (size_t i = 0; i + 1 < indexes.size(); i += 2) {
      const TMfVertex &a = vertices[indexes[i]], &z = vertices[indexes[i + 1]];
      QLinearGradient shade(a.X, a.Y, mode == 0 ? z.X : a.X, mode == 0 ? a.Y : z.Y);
      shade.setColorAt(0, colour(a));
      shade.setColorAt(1, colour(z));
      QBrush brush(shade);
      brush.setTransform(Xf());
      QPainterPath path;
      path.addRect(QRectF(QPointF(a.X, a.Y), QPointF(z.X, z.Y)).normalized());
      FillWith(Xf().map(path), brush, 13);
    }
    return;
  }
  // Triangles shaded between their corners' colours: the shading is computed into a tile over
  // the triangle's box, at a lower resolution for large triangles (it is smooth anyway), and the
  // triangle filled with it.
  constexpr double MaxTilePixels = 1 << 20;
  for (size_t i = 0; i + 2 < indexes.size() && !OverBudget(); i += 3) {
    const TMfVertex* v[3] = {&vertices[indexes[i]], &vertices[indexes[i + 1]], &vertices[indexes[i + 2]]};
    QPointF p[3];
    for (int k = 0; k < 3; ++k) p[k] = Map({v[k]->X, v[k]->Y});
    const double area = (p[1].x() - p[0].x()) * (p[2].y() - p[0].y()) - (p[2].x() - p[0].x()) * (p[1].y() - p[0].y());
    const QRectF box = QPolygonF({p[0], p[1], p[2]}).boundingRect().intersected(Picture_);
    if (std::abs(area) < 1e-9 || box.isEmpty()) continue;
    const double scale = std::min(1.0, std::sqrt(MaxTilePixels / (box.width() * box.height())));
    QImage tile(std::max(1, int(std::ceil(box.width() * scale))), std::max(1, int(std::ceil(box.height() * scale))),
                QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < tile.height(); ++y) {
      QRgb* row = reinterpret_cast<QRgb*>(tile.scanLine(y));
      for (int x = 0; x < tile.width(); ++x) {
        const QPointF q(box.left() + (x + 0.5) / scale, box.top() + (y + 0.5) / scale);
        // Barycentric weights, clamped so that pixels just outside the edge stay in range.
        double w1 = ((q.x() - p[0].x()) * (p[2].y() - p[0].y()) - (p[2].x() - p[0].x()) * (q.y() - p[0].y())) / area;
        double w2 = ((p[1].x() - p[0].x()) * (q.y() - p[0].y()) - (q.x() - p[0].x()) * (p[1].y() - p[0].y())) / area;
        w1 = std::clamp(w1, 0.0, 1.0), w2 = std::clamp(w2, 0.0, 1.0 - w1);
        const double w0 = 1 - w1 - w2;
        auto mix = [&](uint16_t TMfVertex::*c) { return int((w0 * (v[0]->*c) + w1 * (v[1]->*c) + w2 * (v[2]->*c)) / 257); };
        row[x] = qRgb(mix(&TMfVertex::Red), mix(&TMfVertex::Green), mix(&TMfVertex::Blue));
      }
    }
    QBrush brush(tile);
    brush.setTransform(QTransform::fromScale(1 / scale, 1 / scale) * QTransform::fromTranslate(box.left(), box.top()));
    QPainterPath triangle;
    triangle.addPolygon(QPolygonF({p[0], p[1], p[2]}));
    triangle.closeSubpath();
    FillWith(triangle, brush, 13);
  }
}
