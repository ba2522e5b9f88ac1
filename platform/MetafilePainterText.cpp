// Text records: the font the record names or a substitute, alignment to the reference point,
// the record's advances, escapement, background and the opaque and clipping rectangles.
// Format documents: [MS-WMF] 2.2.1.2 Font, [MS-EMF] 2.2.13 LogFont and 2.2.5 EmrText; GDI's
// documentation of SetTextAlign and ExtTextOut.
//
// Decisions:
// - A face that is not installed is replaced by a metric-compatible one where a common face has
//   one (Liberation, Croscore, URW fonts), then by Noto CJK of the same kind (sans serif, serif,
//   monospace), which also draws the Japanese text of any face.
// - Advances in the record place each character; without them the font's own are used.
// - A stand-in font is narrowed or widened to the record's advances.
// - Glyph-index text is skipped: its codes are glyphs of a font that is not here.
#include <QFontMetricsF>

#include <algorithm>
#include <numbers>

#include "decoders/MetafileData.h"
#include "platform/MetafilePainter.h"

namespace {

enum TFontKind { fkSans, fkSerif, fkMono };

// Faces of Windows and their metric-compatible stand-ins.
struct TFaceAliases {
  const char* Face;  // lower case
  const char* Aliases[3];
};
constexpr TFaceAliases Aliases[] = {
    {"arial", {"Liberation Sans", "Arimo", "Nimbus Sans"}},
    {"helvetica", {"Liberation Sans", "Arimo", "Nimbus Sans"}},
    {"times new roman", {"Liberation Serif", "Tinos", "Nimbus Roman"}},
    {"times", {"Liberation Serif", "Tinos", "Nimbus Roman"}},
    {"courier new", {"Liberation Mono", "Cousine", "Nimbus Mono PS"}},
    {"courier", {"Liberation Mono", "Cousine", "Nimbus Mono PS"}},
    {"calibri", {"Carlito", nullptr, nullptr}},
    {"cambria", {"Caladea", nullptr, nullptr}},
};

TFontKind KindOf(const QString& face, uint8_t pitchAndFamily) {
  auto has = [&](std::initializer_list<const char*> words) {
    for (const char* w : words)
      if (face.contains(QString::fromUtf8(w), Qt::CaseInsensitive)) return true;
    return false;
  };
  if (has({"courier", "mono", "consol", "fixed", "terminal"})) return fkMono;
  if (has({"times", "roman", "serif", "mincho", "明朝", "century", "georgia", "cambria", "garamond", "bookman",
           "palatino", "symbol"}))
    return has({"sans"}) ? fkSans : fkSerif;
  if (has({"arial", "helvetica", "gothic", "ゴシック", "sans", "calibri", "tahoma", "verdana", "segoe", "meiryo",
           "メイリオ"}))
    return fkSans;
  // LOGFONT: FIXED_PITCH in the low bits, the family (FF_ROMAN 0x10, FF_MODERN 0x30) above.
  if ((pitchAndFamily & 3) == 1 || (pitchAndFamily & 0xF0) == 0x30) return fkMono;
  return (pitchAndFamily & 0xF0) == 0x10 ? fkSerif : fkSans;
}

}  // namespace

QFont TMetafilePainter::MakeFont(double emPixels) {
  const TMfFont& f = S_.Font;
  QString face = QString::fromStdString(f.Face).trimmed();
  if (face.startsWith(u'@')) face.remove(0, 1);  // the vertical form of a CJK face
  // Symbol text is turned into Unicode; the Symbol font itself (or a stand-in with its own
  // encoding) would draw it wrong.
  if (IsSymbolFont(f)) face = QStringLiteral("Times New Roman");
  const TFontKind kind = KindOf(face, f.PitchAndFamily);
  QStringList families;
  if (!face.isEmpty()) families << face;
  for (const TFaceAliases& a : Aliases)
    if (face.compare(QLatin1String(a.Face), Qt::CaseInsensitive) == 0)
      for (const char* alias : a.Aliases)
        if (alias) families << QString::fromLatin1(alias);
  static const char* const Substitutes[] = {"Noto Sans CJK JP", "Noto Serif CJK JP", "Noto Sans Mono CJK JP"};
  families << QString::fromLatin1(Substitutes[kind]);
  QFont font;
  font.setFamilies(families);
  font.setStyleHint(kind == fkSerif ? QFont::Serif : kind == fkMono ? QFont::Monospace : QFont::SansSerif);
  font.setPointSizeF(emPixels * 72.0 / Image_.logicalDpiY());
  font.setWeight(QFont::Weight(std::clamp(f.Weight > 0 ? f.Weight : 400, 100, 900)));
  font.setItalic(f.Italic);
  return font;
}

void TMetafilePainter::Text(const TMfText& t) {
  std::u16string text = t.Wide;
  std::vector<int32_t> dx = t.Dx;
  if (!t.Narrow.empty()) text = DecodeMfText(t.Narrow, S_.Font.CharSet, t.Dx, dx);
  if (IsSymbolFont(S_.Font)) MapSymbolText(text);
  if (t.Options & EtoGlyphIndex) text.clear();
  while (!text.empty() && text.back() == 0) text.pop_back();  // a terminator some writers count
  const QTransform m = Xf();
  std::optional<QPainterPath> box;
  if (t.Rect) {
    QPainterPath p;
    p.addRect(QRectF(QPointF(t.Rect->Left, t.Rect->Top), QPointF(t.Rect->Right, t.Rect->Bottom)).normalized());
    box = m.map(p);
    if (t.Options & EtoOpaque) FillWith(*box, QBrush(Colour(S_.BkColor)), 13);
  }
  if (text.empty()) return;

  // The logical axes' scales on the picture, and the font's em height there.
  const double sx = std::hypot(m.m11(), m.m12()), sy = std::hypot(m.m21(), m.m22());
  if (!(sx > 0 && sy > 0) || !std::isfinite(sx) || !std::isfinite(sy)) return;
  const int32_t height = S_.Font.Height;
  double em = std::clamp(height == 0 ? 13.0 : std::abs(double(height)) * sy, 0.5, 4096.0);
  QFont font = MakeFont(em);
  if (height > 0) {  // a cell height: ascent and descent together
    const QFontMetricsF cell(font, &Image_);
    if (cell.ascent() + cell.descent() > 0) font = MakeFont(em * em / (cell.ascent() + cell.descent()));
  }
  const QString string = QString::fromUtf16(text.data(), qsizetype(text.size()));
  // Advances along the baseline, in picture pixels.
  std::vector<double> advance(text.size(), 0);
  double width = 0;
  for (size_t i = 0; i < dx.size() && i < text.size(); ++i) width += advance[i] = dx[i] * sx;
  if (!dx.empty()) {
    // The advances come from the writer's font: a stand-in with other widths is narrowed or
    // widened to fill them, so that its characters neither overlap nor drift apart. Advances far
    // from the font's own are spacing on purpose and left alone.
    const QFontMetricsF natural(font, &Image_);
    std::vector<double> ratios;
    for (size_t i = 0; i < text.size(); ++i) {
      const double own = natural.horizontalAdvance(QChar(text[i]));
      if (own > 0 && !QChar(text[i]).isSpace() && !QChar::isSurrogate(text[i])) ratios.push_back(advance[i] / own);
    }
    if (!ratios.empty()) {
      std::nth_element(ratios.begin(), ratios.begin() + ratios.size() / 2, ratios.end());
      const double median = ratios[ratios.size() / 2];
      if (median > 0.7 && median < 1.4) font.setStretch(int(std::lround(100 * median)));
    }
  } else if (S_.Font.Width != 0) {
    const double average = QFontMetricsF(font, &Image_).averageCharWidth();
    if (average > 0) font.setStretch(std::clamp(int(std::lround(100 * std::abs(S_.Font.Width) * sx / average)), 1, 4000));
  }
  if (dx.empty() && S_.CharExtra) font.setLetterSpacing(QFont::AbsoluteSpacing, S_.CharExtra * sx);
  const QFontMetricsF metrics(font, &Image_);
  if (dx.empty()) width = metrics.horizontalAdvance(string);
  // The baseline runs along the logical x axis as drawn, turned by the escapement.
  const QPointF xAxis = m.map(QPointF(1, 0)) - m.map(QPointF(0, 0));
  const double angle = std::atan2(xAxis.y(), xAxis.x()) * 180 / std::numbers::pi - S_.Font.Escapement / 10.0;
  const bool updateCp = S_.TextAlign & 1;  // TA_UPDATECP
  const QPointF origin = m.map(updateCp ? S_.Position : QPointF(t.Reference.X, t.Reference.Y));
  QTransform place;
  place.translate(origin.x(), origin.y());
  place.rotate(angle);
  const int horizontal = S_.TextAlign & 6, vertical = S_.TextAlign & 24;
  const double x0 = horizontal == 2 ? -width : horizontal == 6 ? -width / 2 : 0;  // TA_RIGHT, TA_CENTER
  const double y0 = vertical == 24 ? 0 : vertical == 8 ? -metrics.descent() : metrics.ascent();  // TA_BASELINE, TA_BOTTOM, TA_TOP
  if (updateCp) S_.Position = m.inverted().map(place.map(QPointF(horizontal == 2 ? -width : horizontal == 6 ? 0 : width, 0)));

  // Each character where the advances put it, or the whole string.
  auto draw = [&](auto&& drawAt) {
    if (dx.empty()) return drawAt(QPointF(x0, y0), string);
    double x = x0;
    for (size_t i = 0; i < text.size(); ++i) {
      const bool pair = QChar::isHighSurrogate(text[i]) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1]);
      const QString character = string.mid(qsizetype(i), pair ? 2 : 1);
      drawAt(QPointF(x, y0), character);
      x += advance[i] + (pair ? advance[i + 1] : 0);
      i += pair;
    }
  };
  if (InPath_) {
    QPainterPath outline;
    draw([&](QPointF at, const QString& s) { outline.addText(at, font, s); });
    Path_.addPath(place.map(outline));
    return;
  }
  const QRectF cell(x0, y0 - metrics.ascent(), width, metrics.ascent() + metrics.descent());
  if (!Spend(place.mapRect(cell), 64.0 * double(text.size())) || !Prepare(13, nullptr, nullptr)) return;
  if (box && (t.Options & EtoClipped)) {
    Painter_.setClipPath(*box, S_.Clip ? Qt::IntersectClip : Qt::ReplaceClip);
    ClipApplied_ = false;
  }
  Painter_.setTransform(place);
  if (S_.BkMode == 2) Painter_.fillRect(cell, Colour(S_.BkColor));
  Painter_.setFont(font);
  Painter_.setPen(Colour(S_.TextColor));
  draw([&](QPointF at, const QString& s) { Painter_.drawText(at, s); });
  // Lines under and through the whole run, across the gaps between characters.
  const double thickness = std::max(1.0, metrics.lineWidth());
  if (S_.Font.Underline) Painter_.fillRect(QRectF(x0, y0 + metrics.underlinePos(), width, thickness), Colour(S_.TextColor));
  if (S_.Font.StrikeOut)
    Painter_.fillRect(QRectF(x0, y0 - metrics.strikeOutPos(), width, thickness), Colour(S_.TextColor));
  Painter_.resetTransform();
}
