// The device context of metafile playback: mapping, state, pens and brushes, lines, shapes,
// paths and clipping. Format documents: [MS-WMF] 3.1.5 (the playback device context) and
// [MS-EMF] 3.1 (the playback state); GDI's documentation of mapping modes, pens, brushes and
// arcs.
//
// Decisions:
// - Antialiased drawing, except under a raster operation, which combines whole pixels.
// - Cosmetic pens wider than a pixel are drawn solid, as GDI draws them; dashed pens over an
//   opaque background fill their gaps with the background colour.
// - Arcs turn counter-clockwise as seen on the picture (or clockwise after SetArcDirection),
//   whatever way the mapping turns the y axis.
#include "platform/MetafilePainter.h"

#include <QPainterPathStroker>

#include <algorithm>
#include <numbers>

#include "decoders/MetafileData.h"

namespace {

constexpr size_t MaxSavedStates = 1000;
// Picture coordinates are kept within this distance of the origin: Qt's rasteriser works in
// fixed point, and nothing that far out shows.
constexpr double CoordinateLimit = 1e6;
// A region of more rectangles is drawn and clipped as its bounding box.
constexpr size_t MaxRegionRects = 4096;

void ClampPath(QPainterPath& path) {
  const QRectF bounds = path.controlPointRect();
  if (bounds.left() >= -CoordinateLimit && bounds.right() <= CoordinateLimit && bounds.top() >= -CoordinateLimit &&
      bounds.bottom() <= CoordinateLimit)
    return;
  for (int i = 0; i < path.elementCount(); ++i) {
    const QPainterPath::Element e = path.elementAt(i);
    path.setElementPositionAt(i, std::clamp(e.x, -CoordinateLimit, CoordinateLimit),
                              std::clamp(e.y, -CoordinateLimit, CoordinateLimit));
  }
}

// The path with its points on whole pixels plus `offset`, as GDI draws: fills get sharp edges,
// and a one-pixel line at an offset of a half covers one row instead of half of two.
QPainterPath Snapped(const QPainterPath& path, double offset) {
  QPainterPath snapped = path;
  for (int i = 0; i < snapped.elementCount(); ++i) {
    const QPainterPath::Element e = snapped.elementAt(i);
    snapped.setElementPositionAt(i, std::round(e.x) + offset, std::round(e.y) + offset);
  }
  return snapped;
}

QRectF BoxOf(const TMfRect& r) {
  return QRectF(QPointF(r.Left, r.Top), QPointF(r.Right, r.Bottom)).normalized();
}

}  // namespace

TMetafilePainter::TMetafilePainter(QImage& image, const TMetafileFrame& frame)
    : Image_(image), Painter_(&image), Frame_(frame), Picture_(0, 0, frame.Width, frame.Height) {
  const double sx = frame.Width / (frame.Right - frame.Left), sy = frame.Height / (frame.Bottom - frame.Top);
  Device_ = QTransform(sx, 0, 0, sy, -frame.Left * sx, -frame.Top * sy);
  if (frame.Format == TMfFormat::Wmf) {
    // The picture's box is where the file's own window lands, as when a program plays a WMF
    // into a rectangle.
    S_.MapMode = 8;  // MM_ANISOTROPIC
    S_.WindowOrg = S_.ViewportOrg = QPointF(frame.Left, frame.Top);
    S_.WindowExt = S_.ViewportExt = QPointF(frame.Right - frame.Left, frame.Bottom - frame.Top);
  }
}

TMetafilePainter::~TMetafilePainter() { End(); }

void TMetafilePainter::End() {
  if (Painter_.isActive()) Painter_.end();
}

QColor TMetafilePainter::Colour(TMfColor c) const {
  // 0x01000000 | index: PALETTEINDEX, an entry of the selected palette.
  if ((c >> 24) == 1 && S_.Palette && (c & 0xFFFF) < S_.Palette->size()) c = (*S_.Palette)[c & 0xFFFF];
  return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

std::span<const TMfColor> TMetafilePainter::Palette() const {
  return S_.Palette ? std::span<const TMfColor>(*S_.Palette) : std::span<const TMfColor>();
}

QTransform TMetafilePainter::Page() const {
  double sx = 1, sy = 1;
  // Millimetres per logical unit of MM_LOMETRIC, MM_HIMETRIC, MM_LOENGLISH, MM_HIENGLISH and
  // MM_TWIPS, whose y axis points up.
  static constexpr double MetricMm[] = {0.1, 0.01, 0.254, 0.0254, 25.4 / 1440};
  if (S_.MapMode >= 2 && S_.MapMode <= 6) {
    sx = MetricMm[S_.MapMode - 2] * Frame_.DeviceUnitsPerMm;
    sy = -sx;
  } else if (S_.MapMode == 7 || S_.MapMode == 8) {
    sx = S_.ViewportExt.x() / S_.WindowExt.x();
    sy = S_.ViewportExt.y() / S_.WindowExt.y();
    if (S_.MapMode == 7) {  // MM_ISOTROPIC: the smaller scale on both axes
      const double m = std::min(std::abs(sx), std::abs(sy));
      sx = std::copysign(m, sx), sy = std::copysign(m, sy);
    }
  }
  return QTransform(sx, 0, 0, sy, S_.ViewportOrg.x() - S_.WindowOrg.x() * sx,
                    S_.ViewportOrg.y() - S_.WindowOrg.y() * sy);
}

const QTransform& TMetafilePainter::Xf() {
  if (!XfValid_) {
    Xf_ = S_.World * Page() * Device_;
    XfValid_ = true;
  }
  return Xf_;
}

void TMetafilePainter::SetValue(TMfValue what, int32_t v) {
  switch (what) {
    case TMfValue::MapMode:
      if (v >= 1 && v <= 8) S_.MapMode = v;
      MappingChanged();
      break;
    case TMfValue::BkMode:
      if (v == 1 || v == 2) S_.BkMode = v;
      Brush_.reset();
      break;
    case TMfValue::BkColor:
      S_.BkColor = TMfColor(v);
      Brush_.reset();
      break;
    case TMfValue::TextColor:
      S_.TextColor = TMfColor(v);
      Brush_.reset();
      break;
    case TMfValue::TextAlign: S_.TextAlign = v; break;
    case TMfValue::PolyFillMode: S_.PolyFillMode = v; break;
    case TMfValue::Rop2:
      if (v >= 1 && v <= 16) S_.Rop2 = v;
      break;
    case TMfValue::StretchMode: S_.StretchMode = v; break;
    case TMfValue::ArcDirection:
      if (v == 1 || v == 2) S_.ArcDirection = v;
      break;
    case TMfValue::TextCharExtra: S_.CharExtra = v; break;
  }
}

void TMetafilePainter::SetMapping(TMfMapping what, int32_t x, int32_t y) {
  const QPointF v(x, y);
  switch (what) {
    case TMfMapping::WindowOrg: S_.WindowOrg = v; break;
    case TMfMapping::ViewportOrg: S_.ViewportOrg = v; break;
    case TMfMapping::OffsetWindowOrg: S_.WindowOrg += v; break;
    case TMfMapping::OffsetViewportOrg: S_.ViewportOrg += v; break;
    case TMfMapping::WindowExt:
      if (x && y) S_.WindowExt = v;
      break;
    case TMfMapping::ViewportExt:
      if (x && y) S_.ViewportExt = v;
      break;
  }
  MappingChanged();
}

void TMetafilePainter::ScaleExtent(bool viewport, int32_t xNum, int32_t xDenom, int32_t yNum, int32_t yDenom) {
  if (!xNum || !xDenom || !yNum || !yDenom) return;
  QPointF& ext = viewport ? S_.ViewportExt : S_.WindowExt;
  ext = QPointF(ext.x() * xNum / xDenom, ext.y() * yNum / yDenom);
  MappingChanged();
}

void TMetafilePainter::SetWorldTransform(const TMfXform& x, uint32_t mode) {
  const QTransform m(x.M11, x.M12, x.M21, x.M22, x.Dx, x.Dy);
  switch (mode) {
    case 1: S_.World = QTransform(); break;
    case 2: S_.World = m * S_.World; break;
    case 3: S_.World = S_.World * m; break;
    case 4: S_.World = m; break;
    default: return;
  }
  MappingChanged();
}

void TMetafilePainter::SaveDC() {
  // Deeper nesting than any real file needs is not recorded; the restores that go with it
  // then find nothing to restore, which GDI ignores too.
  if (Saved_.size() < MaxSavedStates) Saved_.push_back(S_);
}

void TMetafilePainter::RestoreDC(int32_t level) {
  // Negative: that many levels back; positive: the state saved at that depth.
  const int64_t target = level < 0 ? int64_t(Saved_.size()) + level : int64_t(level) - 1;
  if (level == 0 || target < 0 || target >= int64_t(Saved_.size())) return;
  S_ = std::move(Saved_[size_t(target)]);
  Saved_.resize(size_t(target));
  MappingChanged();
  Brush_.reset();
  ClipApplied_ = false;
}

void TMetafilePainter::SelectBrush(const TMfBrush& brush) {
  S_.Brush = brush;
  Brush_.reset();
}

void TMetafilePainter::SelectPalette(const TMfPalette& palette) {
  S_.Palette = std::make_shared<const std::vector<TMfColor>>(palette.Colors);
  Brush_.reset();
}

QPen TMetafilePainter::MakePen() {
  const TMfPen& p = S_.Pen;
  const uint32_t style = p.Style & 0xF;
  if (style == PsNull) return QPen(Qt::NoPen);
  const bool geometric = p.Style & PsGeometric;
  const double width = p.Width <= 0 ? 1.0 : std::clamp(p.Width * LineScale(), 1.0, CoordinateLimit);
  const bool thin = width <= 1.5;
  QPen pen(Colour(p.Color), width);
  if (geometric || !thin) {
    const uint32_t cap = p.Style & 0xF00, join = p.Style & 0xF000;
    pen.setCapStyle(cap == 0x100 ? Qt::SquareCap : cap == 0x200 ? Qt::FlatCap : Qt::RoundCap);
    pen.setJoinStyle(join == 0x1000 ? Qt::BevelJoin : join == 0x2000 ? Qt::MiterJoin : Qt::RoundJoin);
    pen.setMiterLimit(S_.MiterLimit);
  } else {
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
  }
  // GDI's dash styles, in pixels for cosmetic pens and in pen widths for geometric ones.
  static const QList<qreal> cosmetic[] = {{18, 6}, {3, 3}, {9, 6, 3, 6}, {9, 3, 3, 3, 3, 3}};
  static const QList<qreal> wide[] = {{3, 1}, {1, 1}, {3, 1, 1, 1}, {3, 1, 1, 1, 1, 1}};
  if (style >= 1 && style <= 4 && (geometric || thin)) {
    QList<qreal> pattern = geometric ? wide[style - 1] : cosmetic[style - 1];
    if (!geometric)
      for (qreal& d : pattern) d /= width;
    pen.setDashPattern(pattern);
  } else if (style == PsUserStyle && !p.Dashes.empty()) {
    QList<qreal> pattern;
    const double unit = (geometric ? LineScale() : 1.0) / width;
    for (size_t i = 0; i < std::min<size_t>(p.Dashes.size(), 16); ++i)
      pattern.push_back(std::clamp(p.Dashes[i] * unit, 0.05, 1e4));
    if (pattern.size() % 2) pattern += pattern;
    pen.setDashPattern(pattern);
  } else if (style == 8) {  // PS_ALTERNATE: every other pixel
    pen.setDashPattern({1 / width, 1 / width});
  }
  return pen;
}

const QBrush& TMetafilePainter::CurrentBrush() {
  if (!Brush_) Brush_ = MakeBrush(S_.Brush);
  return *Brush_;
}

QBrush TMetafilePainter::MakeBrush(const TMfBrush& b) {
  const QColor colour = Colour(b.Color);
  const QColor background = S_.BkMode == 2 ? Colour(S_.BkColor) : QColor(Qt::transparent);
  switch (b.Style) {
    case BsNull: return Qt::NoBrush;
    case BsHatched: {
      // An 8 x 8 pixel cell of hatch lines over the background (none when transparent).
      QImage tile(8, 8, QImage::Format_ARGB32_Premultiplied);
      tile.fill(background);
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
          const bool h = y == 3, v = x == 3, f = x == y, d = x == 7 - y;
          const bool on[] = {h, v, f, d, h || v, f || d};
          if (b.Hatch < 6 && on[b.Hatch]) tile.setPixelColor(x, y, colour);
        }
      return QBrush(tile);
    }
    case BsPattern:
    case 5:  // BS_DIBPATTERN
    case 6:  // BS_DIBPATTERNPT
    case 8: {  // BS_DIBPATTERN8X8
      TMfPixels pixels;
      TDecodeError error;
      if (!DecodeMfBitmap(b.Pattern, Palette(), false, pixels, error)) return Qt::NoBrush;
      const TBitmap32& bitmap = pixels.Bitmap;
      QImage tile(bitmap.Width(), bitmap.Height(), QImage::Format_ARGB32_Premultiplied);
      for (int y = 0; y < bitmap.Height(); ++y)
        std::copy_n(bitmap.ScanLine(y), bitmap.Width(), reinterpret_cast<TColor32*>(tile.scanLine(y)));
      if (b.Monochrome && pixels.Monochrome) {
        // Clear bits take the text colour, set bits the background colour.
        const QRgb fore = Colour(S_.TextColor).rgba(), back = Colour(S_.BkColor).rgba();
        for (int y = 0; y < tile.height(); ++y) {
          QRgb* row = reinterpret_cast<QRgb*>(tile.scanLine(y));
          for (int x = 0; x < tile.width(); ++x) row[x] = qGray(row[x]) < 128 ? fore : back;
        }
      }
      return QBrush(tile);
    }
    default: return QBrush(colour);
  }
}

bool TMetafilePainter::Spend(const QRectF& bounds, double extra) {
  Work_ += extra + 16;
  const QRectF visible = bounds.normalized().intersected(Picture_);
  if (visible.isEmpty()) return false;
  Work_ += visible.width() * visible.height();
  return !OverBudget();
}

void TMetafilePainter::Begin(QPainter::CompositionMode mode) {
  Painter_.resetTransform();
  ApplyClip();
  const bool rasterOp = mode != QPainter::CompositionMode_SourceOver;
  UsedRasterOps_ = UsedRasterOps_ || rasterOp;
  Painter_.setCompositionMode(mode);
  Painter_.setRenderHint(QPainter::Antialiasing, !rasterOp);
  Painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
  Painter_.setOpacity(1);
}

bool TMetafilePainter::Prepare(int rop2, QPen* pen, QBrush* brush) {
  auto recolour = [&](const QColor& c) {
    if (pen && pen->style() != Qt::NoPen) pen->setColor(c);
    if (brush && brush->style() != Qt::NoBrush) *brush = QBrush(c);
  };
  QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
  switch (rop2) {
    case 1: recolour(Qt::black); break;                        // R2_BLACK
    case 16: recolour(Qt::white); break;                       // R2_WHITE
    case 11: return false;                                     // R2_NOP
    case 4:                                                    // R2_NOTCOPYPEN
      if (pen && pen->style() != Qt::NoPen) pen->setColor(QColor(~pen->color().rgb() | 0xFF000000u));
      if (brush && brush->style() == Qt::SolidPattern) *brush = QBrush(QColor(~brush->color().rgb() | 0xFF000000u));
      break;
    case 2: mode = QPainter::RasterOp_NotSourceAndNotDestination; break;
    case 3: mode = QPainter::RasterOp_NotSourceAndDestination; break;
    case 5: mode = QPainter::RasterOp_SourceAndNotDestination; break;
    case 6: mode = QPainter::RasterOp_NotDestination; break;
    case 7: mode = QPainter::RasterOp_SourceXorDestination; break;
    case 8: mode = QPainter::RasterOp_NotSourceOrNotDestination; break;
    case 9: mode = QPainter::RasterOp_SourceAndDestination; break;
    case 10: mode = QPainter::RasterOp_NotSourceXorDestination; break;
    case 12: mode = QPainter::RasterOp_NotSourceOrDestination; break;
    case 14: mode = QPainter::RasterOp_SourceOrNotDestination; break;
    case 15: mode = QPainter::RasterOp_SourceOrDestination; break;
    default: break;  // R2_COPYPEN
  }
  Begin(mode);
  return true;
}

void TMetafilePainter::ApplyClip() {
  if (ClipApplied_) return;
  Painter_.resetTransform();
  if (S_.Clip) Painter_.setClipPath(*S_.Clip);
  else Painter_.setClipping(false);
  ClipApplied_ = true;
}

void TMetafilePainter::Draw(QPainterPath path, int how, bool continuesFigure) {
  if (InPath_) {
    // A line or curve from the current position goes on with the figure that ends there.
    const bool joins = continuesFigure && !Path_.isEmpty() && !path.isEmpty() &&
                       QLineF(Path_.currentPosition(), path.elementAt(0)).length() < 1e-6;
    if (joins) Path_.connectPath(path);
    else Path_.addPath(path);
    return;
  }
  if (path.isEmpty()) return;
  path.setFillRule(S_.PolyFillMode == 2 ? Qt::WindingFill : Qt::OddEvenFill);
  ClampPath(path);
  QPen pen = how & dwStroke ? MakePen() : QPen(Qt::NoPen);
  QBrush brush = how & dwFill ? CurrentBrush() : QBrush(Qt::NoBrush);
  if (pen.style() == Qt::NoPen && brush.style() == Qt::NoBrush) return;
  const double margin = pen.style() == Qt::NoPen ? 0 : pen.widthF();
  if (!Spend(path.controlPointRect().adjusted(-margin, -margin, margin, margin), path.elementCount() * ElementCost))
    return;
  if (!Prepare(S_.Rop2, &pen, &brush)) return;
  if (brush.style() != Qt::NoBrush) {
    Painter_.setPen(Qt::NoPen);
    Painter_.setBrush(brush);
    Painter_.drawPath(Snapped(path, 0));
  }
  if (pen.style() == Qt::NoPen) return;
  const QPainterPath outline = pen.widthF() <= 1.5 ? Snapped(path, 0.5) : path;
  Painter_.setBrush(Qt::NoBrush);
  if (pen.style() != Qt::SolidLine && S_.BkMode == 2 && S_.Rop2 == 13) {
    QPen gaps = pen;
    gaps.setStyle(Qt::SolidLine);
    gaps.setColor(Colour(S_.BkColor));
    Painter_.setPen(gaps);
    Painter_.drawPath(outline);
  }
  Painter_.setPen(pen);
  Painter_.drawPath(outline);
}

void TMetafilePainter::FillWith(const QPainterPath& path, const QBrush& brush, int rop2) {
  QPainterPath p = path;
  ClampPath(p);
  QBrush b = brush;
  if (b.style() == Qt::NoBrush || !Spend(p.controlPointRect(), p.elementCount() * ElementCost) ||
      !Prepare(rop2, nullptr, &b))
    return;
  Painter_.setPen(Qt::NoPen);
  Painter_.setBrush(b);
  Painter_.drawPath(Snapped(p, 0));
}

void TMetafilePainter::MoveTo(TMfPoint p) {
  S_.Position = QPointF(p.X, p.Y);
  if (InPath_) Path_.moveTo(Map(p));
}

void TMetafilePainter::LineTo(TMfPoint p) {
  QPainterPath line;
  line.moveTo(S_.Position);
  line.lineTo(p.X, p.Y);
  S_.Position = QPointF(p.X, p.Y);
  DrawLogical(line, dwStroke, true);
}

void TMetafilePainter::Poly(TMfPoly kind, std::span<const TMfPoint> points, std::span<const uint32_t> counts) {
  if (points.empty()) return;
  const bool continues = kind == TMfPoly::PolylineTo || kind == TMfPoly::PolyBezierTo;
  const uint32_t all[] = {uint32_t(points.size())};
  if (counts.empty()) counts = all;
  QPainterPath path;
  size_t at = 0;
  for (uint32_t n : counts) {
    const std::span<const TMfPoint> figure = points.subspan(at, n);
    at += n;
    if (figure.empty()) continue;
    size_t i = 0;
    if (continues) {
      path.moveTo(S_.Position);
    } else {
      path.moveTo(figure[0].X, figure[0].Y);
      i = 1;
    }
    if (kind == TMfPoly::PolyBezier || kind == TMfPoly::PolyBezierTo) {
      for (; i + 3 <= figure.size(); i += 3)
        path.cubicTo(figure[i].X, figure[i].Y, figure[i + 1].X, figure[i + 1].Y, figure[i + 2].X, figure[i + 2].Y);
    } else {
      for (; i < figure.size(); ++i) path.lineTo(figure[i].X, figure[i].Y);
    }
    if (kind == TMfPoly::Polygon) path.closeSubpath();
    if (continues) S_.Position = path.currentPosition();
  }
  DrawLogical(path, kind == TMfPoly::Polygon ? dwFill | dwStroke : dwStroke, continues);
}

void TMetafilePainter::PolyDraw(std::span<const TMfPoint> points, std::span<const uint8_t> types) {
  // PT_MOVETO 6, PT_LINETO 2, PT_BEZIERTO 4 (three points), each maybe with PT_CLOSEFIGURE 1.
  QPainterPath path;
  path.moveTo(S_.Position);
  for (size_t i = 0; i < points.size(); ++i) {
    const QPointF p(points[i].X, points[i].Y);
    const uint8_t type = types[i] & ~1;
    if (type == 6) {
      path.moveTo(p);
    } else if (type == 4 && i + 2 < points.size()) {
      path.cubicTo(p, QPointF(points[i + 1].X, points[i + 1].Y), QPointF(points[i + 2].X, points[i + 2].Y));
      i += 2;
    } else {
      path.lineTo(p);
    }
    if (types[i] & 1) path.closeSubpath();
  }
  S_.Position = path.currentPosition();
  DrawLogical(path, dwStroke, true);
}

QPainterPath TMetafilePainter::ArcPath(TMfShape kind, const TMfRect& box, TMfPoint start, TMfPoint end,
                                       QPointF* endPoint) {
  QPainterPath path;
  const QRectF r = BoxOf(box);
  if (r.width() <= 0 || r.height() <= 0) return path;
  const QPointF c = r.center();
  // The radials meet the ellipse at these parametric angles (degrees, counter-clockwise).
  auto angle = [&](TMfPoint p) {
    return std::atan2(-(p.Y - c.y()) / r.height(), (p.X - c.x()) / r.width()) * 180 / std::numbers::pi;
  };
  const double a0 = angle(start);
  double sweep = std::fmod(angle(end) - a0 + 720, 360);
  if (sweep < 1e-9) sweep = 360;
  if ((S_.ArcDirection == 2) != (Xf().determinant() < 0)) sweep -= 360;
  if (sweep == 0) sweep = -360;
  if (kind == TMfShape::Pie) {
    path.moveTo(c);
  } else if (kind == TMfShape::ArcTo) {
    path.moveTo(S_.Position);
  } else {
    path.arcMoveTo(r, a0);
  }
  path.arcTo(r, a0, sweep);
  if (endPoint) *endPoint = path.currentPosition();
  if (kind == TMfShape::Pie || kind == TMfShape::Chord) path.closeSubpath();
  return path;
}

void TMetafilePainter::Shape(TMfShape kind, const TMfRect& box, TMfPoint a, TMfPoint b) {
  QRectF r = BoxOf(box);
  // An inside-frame pen keeps the outline within the box.
  if ((S_.Pen.Style & 0xF) == PsInsideFrame && S_.Pen.Width > 1) {
    const double half = std::min({S_.Pen.Width / 2.0, r.width() / 2, r.height() / 2});
    r.adjust(half, half, -half, -half);
  }
  QPainterPath path;
  switch (kind) {
    case TMfShape::Rectangle: path.addRect(r); break;
    case TMfShape::Ellipse: path.addEllipse(r); break;
    case TMfShape::RoundRect: path.addRoundedRect(r, std::abs(a.X) / 2.0, std::abs(a.Y) / 2.0); break;
    case TMfShape::ArcTo: {
      QPointF end = S_.Position;
      path = ArcPath(kind, box, a, b, &end);
      S_.Position = end;
      DrawLogical(path, dwStroke, true);
      return;
    }
    default: path = ArcPath(kind, box, a, b, nullptr); break;
  }
  DrawLogical(path, kind == TMfShape::Arc ? dwStroke : dwFill | dwStroke);
}

void TMetafilePainter::AngleArc(TMfPoint centre, uint32_t radius, float start, float sweep) {
  const QRectF box(centre.X - double(radius), centre.Y - double(radius), 2.0 * radius, 2.0 * radius);
  const double sign = Xf().determinant() < 0 ? -1 : 1;
  QPainterPath path;
  path.moveTo(S_.Position);
  path.arcTo(box, sign * start, sign * std::clamp<double>(sweep, -360, 360));
  S_.Position = path.currentPosition();
  DrawLogical(path, dwStroke, true);
}

void TMetafilePainter::SetPixel(TMfPoint p, TMfColor color) {
  const QPointF at = Map(p);
  const QRectF pixel(std::floor(at.x()), std::floor(at.y()), 1, 1);
  if (!Spend(pixel) || !Prepare(13, nullptr, nullptr)) return;
  Painter_.fillRect(pixel, Colour(color));
}

QPainterPath TMetafilePainter::RegionPath(const TMfRegion& region, double shrinkX, double shrinkY) {
  QPainterPath path;
  path.setFillRule(Qt::WindingFill);
  QRectF bounds;
  for (const TMfRect& r : region.Rects) {
    const QRectF rect = BoxOf(r).adjusted(shrinkX, shrinkY, -shrinkX, -shrinkY);
    if (rect.width() <= 0 || rect.height() <= 0) continue;
    bounds = bounds.united(rect);
    if (region.Rects.size() <= MaxRegionRects) path.addRect(rect);
  }
  if (region.Rects.size() > MaxRegionRects && !bounds.isEmpty()) path.addRect(bounds);
  return (region.Device ? Device_ : Xf()).map(path);
}

void TMetafilePainter::DrawRegion(TMfRegionOp op, const TMfRegion& region, const TMfBrush* brush, int32_t width,
                                  int32_t height) {
  const QPainterPath path = RegionPath(region);
  if (!brush && (op == TMfRegionOp::Fill || op == TMfRegionOp::Frame)) return;
  switch (op) {
    case TMfRegionOp::Fill: FillWith(path, MakeBrush(*brush), S_.Rop2); break;
    case TMfRegionOp::Paint: FillWith(path, CurrentBrush(), S_.Rop2); break;
    case TMfRegionOp::Invert: FillWith(path, QBrush(Qt::black), 6); break;  // R2_NOT
    case TMfRegionOp::Frame:
      Work_ += double(path.elementCount()) * path.elementCount();
      if (!OverBudget())
        FillWith(path.subtracted(RegionPath(region, std::abs(width), std::abs(height))), MakeBrush(*brush), S_.Rop2);
      break;
  }
}

void TMetafilePainter::Path(TMfPathOp op) {
  switch (op) {
    case TMfPathOp::Begin:
      InPath_ = true;
      Path_ = QPainterPath();
      break;
    case TMfPathOp::End: InPath_ = false; break;
    case TMfPathOp::CloseFigure:
      if (InPath_) Path_.closeSubpath();
      break;
    case TMfPathOp::Abort:
      InPath_ = false;
      Path_ = QPainterPath();
      break;
    case TMfPathOp::Flatten: break;  // curves stay curves; nothing tells them apart afterwards
    case TMfPathOp::Widen: {
      const QPen pen = MakePen();
      if (pen.style() != Qt::NoPen) Path_ = QPainterPathStroker(pen).createStroke(Path_);
      break;
    }
    case TMfPathOp::Fill:
    case TMfPathOp::Stroke:
    case TMfPathOp::StrokeAndFill: {
      InPath_ = false;
      QPainterPath path = std::move(Path_);
      Path_ = QPainterPath();
      Draw(std::move(path), op == TMfPathOp::Fill ? dwFill : op == TMfPathOp::Stroke ? dwStroke : dwFill | dwStroke);
      break;
    }
  }
}

void TMetafilePainter::CombineClip(const QPainterPath& path, uint32_t mode) {
  QPainterPath whole;
  whole.addRect(Picture_.adjusted(-1, -1, 1, 1));
  const QPainterPath current = S_.Clip ? *S_.Clip : whole;
  // Path operations grow with the product of the two paths' sizes.
  Work_ += double(current.elementCount()) * path.elementCount();
  if (OverBudget()) return;
  switch (mode) {
    case RgnAnd: S_.Clip = current.intersected(path); break;
    case RgnOr:
      if (S_.Clip) S_.Clip = current.united(path);
      break;
    case RgnXor: S_.Clip = current.united(path).subtracted(current.intersected(path)); break;
    case RgnDiff: S_.Clip = current.subtracted(path); break;
    case RgnCopy: S_.Clip = path; break;
    default: return;
  }
  ClipApplied_ = false;
}

void TMetafilePainter::ClipRect(const TMfRect& rect, bool exclude) {
  QPainterPath path;
  path.addRect(BoxOf(rect));
  CombineClip(Xf().map(path), exclude ? RgnDiff : RgnAnd);
}

void TMetafilePainter::SelectClipRegion(const TMfRegion* region, uint32_t mode) {
  if (region) {
    CombineClip(RegionPath(*region), mode);
  } else if (mode == RgnCopy) {
    S_.Clip.reset();
    ClipApplied_ = false;
  }
}

void TMetafilePainter::OffsetClip(TMfPoint offset) {
  if (!S_.Clip) return;
  S_.Clip->translate(Map(offset) - Map({0, 0}));
  ClipApplied_ = false;
}

void TMetafilePainter::SelectClipPath(uint32_t mode) {
  QPainterPath path = std::move(Path_);
  Path_ = QPainterPath();
  InPath_ = false;
  path.setFillRule(S_.PolyFillMode == 2 ? Qt::WindingFill : Qt::OddEvenFill);
  CombineClip(path, mode);
}
