// TMetafilePainter: plays a metafile's records onto a QImage with QPainter. It is the GDI
// device context the records expect: mapping modes, window and viewport, world transform, the
// selected pen, brush, font and palette, background and text colours, raster operations,
// clipping, paths and the current position, saved and restored as a whole.
//
// Geometry is mapped to picture pixels here and drawn with the painter's identity transform, so
// that coordinates can be checked and clamped before Qt sees them. Every primitive is charged to
// a work budget (the picture area it covers); once spent, Continue() stops the reader. Text
// needs a QGuiApplication (fonts). Used on one thread at a time.
#pragma once

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>

#include <cmath>
#include <memory>
#include <optional>
#include <vector>

#include "decoders/MetafileReader.h"

class TMetafilePainter : public TMetafileSink {
 public:
  // Draws onto `image` (ARGB32_Premultiplied, frame.Width x frame.Height), which must outlive
  // the painter.
  TMetafilePainter(QImage& image, const TMetafileFrame& frame);
  ~TMetafilePainter() override;
  TMetafilePainter(const TMetafilePainter&) = delete;
  TMetafilePainter& operator=(const TMetafilePainter&) = delete;

  // Ends painting: the image holds the picture afterwards.
  void End();
  // Whether a raster operation combined colours with the pixels under them: the picture then
  // depends on what it is drawn over.
  bool UsedRasterOps() const { return UsedRasterOps_; }
  bool OverBudget() const { return Work_ > WorkBudget; }

  bool Continue() override { return !OverBudget(); }
  void SetValue(TMfValue what, int32_t value) override;
  void SetMapping(TMfMapping what, int32_t x, int32_t y) override;
  void ScaleExtent(bool viewport, int32_t xNum, int32_t xDenom, int32_t yNum, int32_t yDenom) override;
  void SetWorldTransform(const TMfXform& xform, uint32_t mode) override;
  void SetMiterLimit(float limit) override { S_.MiterLimit = limit; }
  void SaveDC() override;
  void RestoreDC(int32_t level) override;
  void SelectPen(const TMfPen& pen) override { S_.Pen = pen; }
  void SelectBrush(const TMfBrush& brush) override;
  void SelectFont(const TMfFont& font) override { S_.Font = font; }
  void SelectPalette(const TMfPalette& palette) override;
  void ClipRect(const TMfRect& rect, bool exclude) override;
  void SelectClipRegion(const TMfRegion* region, uint32_t mode) override;
  void OffsetClip(TMfPoint offset) override;
  void SelectClipPath(uint32_t mode) override;
  void MoveTo(TMfPoint p) override;
  void LineTo(TMfPoint p) override;
  void Poly(TMfPoly kind, std::span<const TMfPoint> points, std::span<const uint32_t> counts) override;
  void PolyDraw(std::span<const TMfPoint> points, std::span<const uint8_t> types) override;
  void Shape(TMfShape kind, const TMfRect& box, TMfPoint a, TMfPoint b) override;
  void AngleArc(TMfPoint centre, uint32_t radius, float start, float sweep) override;
  void SetPixel(TMfPoint p, TMfColor color) override;
  void DrawRegion(TMfRegionOp op, const TMfRegion& region, const TMfBrush* brush, int32_t width,
                  int32_t height) override;
  void Path(TMfPathOp op) override;
  void Text(const TMfText& text) override;              // MetafilePainterText.cpp
  void Blit(const TMfBlit& blit) override;              // MetafilePainterBlit.cpp
  void GradientFill(std::span<const TMfVertex> vertices, std::span<const uint32_t> indexes,
                    uint32_t mode) override;            // MetafilePainterBlit.cpp

 private:
  // Work is counted in picture pixels touched; a path element costs about as much as this many
  // pixels to rasterise. The budget is a second or two of drawing.
  static constexpr double WorkBudget = 2e9;
  static constexpr double ElementCost = 100;

  struct TState {
    int MapMode = 1;  // MM_TEXT
    QPointF WindowOrg{0, 0}, WindowExt{1, 1}, ViewportOrg{0, 0}, ViewportExt{1, 1};
    QTransform World;
    TMfPen Pen;
    TMfBrush Brush;
    TMfFont Font;
    std::shared_ptr<const std::vector<TMfColor>> Palette;  // shared: states are copied on every SaveDC
    TMfColor TextColor = 0, BkColor = 0xFFFFFF;
    int BkMode = 2;  // OPAQUE
    int TextAlign = 0, PolyFillMode = 1, Rop2 = 13, StretchMode = 1, ArcDirection = 1, CharExtra = 0;
    float MiterLimit = 10;
    QPointF Position;                  // the current position, logical
    std::optional<QPainterPath> Clip;  // picture pixels; none: nothing is clipped
  };
  // How a primitive is to be drawn.
  enum TDraw { dwFill = 1, dwStroke = 2 };

  // Logical units to picture pixels.
  const QTransform& Xf();
  QTransform Page() const;
  QPointF Map(TMfPoint p) { return Xf().map(QPointF(p.X, p.Y)); }
  double LineScale() { return std::sqrt(std::abs(Xf().determinant())); }
  void MappingChanged() { XfValid_ = false; }

  // Draws a path in picture pixels: filled with the brush and outlined with the pen as `how`
  // says, or joined to the path being built between BeginPath and EndPath.
  void Draw(QPainterPath path, int how, bool continuesFigure = false);
  void DrawLogical(const QPainterPath& logical, int how, bool continuesFigure = false) {
    Draw(Xf().map(logical), how, continuesFigure);
  }
  // Fills a path in picture pixels with `brush` under the raster operation `rop2`.
  void FillWith(const QPainterPath& path, const QBrush& brush, int rop2);
  // Sets up the painter for one primitive under the raster operation `rop2`, recolouring the
  // pen and brush where it says so; false when it draws nothing.
  bool Prepare(int rop2, QPen* pen, QBrush* brush);
  // Sets up the painter for one primitive: no transform, the clip, `mode`, antialiased unless
  // `mode` is a raster operation.
  void Begin(QPainter::CompositionMode mode);
  // Charges the work of drawing over `bounds`; false when the budget is spent or nothing of it
  // lies on the picture.
  bool Spend(const QRectF& bounds, double extra = 0);
  QPen MakePen();
  const QBrush& CurrentBrush();
  QBrush MakeBrush(const TMfBrush& brush);
  QPainterPath ArcPath(TMfShape kind, const TMfRect& box, TMfPoint start, TMfPoint end, QPointF* endPoint);
  QPainterPath RegionPath(const TMfRegion& region, double shrinkX = 0, double shrinkY = 0);
  void CombineClip(const QPainterPath& path, uint32_t mode);
  void ApplyClip();
  QColor Colour(TMfColor c) const;
  std::span<const TMfColor> Palette() const;
  QFont MakeFont(double emPixels);  // MetafilePainterText.cpp

  QImage& Image_;
  QPainter Painter_;
  TMetafileFrame Frame_;
  QTransform Device_;  // device units to picture pixels
  QRectF Picture_;
  TState S_;
  std::vector<TState> Saved_;
  QTransform Xf_;
  bool XfValid_ = false;
  std::optional<QBrush> Brush_;  // the selected brush as Qt draws it, made on first use
  bool ClipApplied_ = false;
  bool InPath_ = false;
  QPainterPath Path_;  // picture pixels
  double Work_ = 0;
  bool UsedRasterOps_ = false;
};
