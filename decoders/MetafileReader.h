// The record reader of Windows metafiles: WMF (with or without the placeable header) and EMF.
//
// Format documents: [MS-WMF] and [MS-EMF] (Microsoft Open Specifications), the placeable header
// of [MS-WMF] 2.3.2.3 and the EmfPlusHeader of [MS-EMFPLUS] 2.3.3.3.
//
// The reader works out the picture's size, walks the records, checks every count, offset and
// index against the data, keeps the object table (pens, brushes, fonts, regions, palettes) and
// hands each drawing or state record to a TMetafileSink, in the same terms for both formats
// (WMF's reversed parameters are put in order). It draws nothing: the painter of the platform
// layer does, and the fuzz target plays files into a sink that only checks what it is given.
// Everything here is pure and Qt-free.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "decoders/DecodeResult.h"

struct TMfPoint {
  int32_t X = 0, Y = 0;
};
struct TMfRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};
// A colour reference, 0x00BBGGRR.
using TMfColor = uint32_t;

// A bitmap inside a record. The spans point into the metafile's bytes and live as long as they.
struct TMfBitmap {
  std::span<const uint8_t> Info;  // a DIB's BITMAPINFO (header, masks, colour table), or a Bitmap16 header
  std::span<const uint8_t> Bits;  // the pixels; empty for a packed DIB, whose pixels follow its colour table
  uint32_t Usage = 0;             // 0 DIB_RGB_COLORS; 1 DIB_PAL_COLORS: the colour table holds palette indexes
  bool Ddb = false;               // a WMF Bitmap16: rows top down, no colour table
  bool Empty() const { return Info.empty(); }
};

struct TMfPen {
  uint32_t Style = 0;  // PS_* line style, end cap and join bits, PS_GEOMETRIC
  int32_t Width = 0;   // logical units; 0 is one device pixel
  TMfColor Color = 0;
  std::vector<uint32_t> Dashes;  // PS_USERSTYLE dash and gap lengths, logical units
};
enum : uint32_t { PsSolid = 0, PsNull = 5, PsInsideFrame = 6, PsUserStyle = 7, PsGeometric = 0x10000 };

struct TMfBrush {
  uint32_t Style = 0;  // BS_SOLID 0, BS_NULL 1, BS_HATCHED 2, BS_PATTERN 3, BS_DIBPATTERN 5, BS_DIBPATTERNPT 6
  TMfColor Color = 0xFFFFFF;
  uint32_t Hatch = 0;  // HS_HORIZONTAL 0 ... HS_DIAGCROSS 5
  TMfBitmap Pattern;   // of a pattern brush
  bool Monochrome = false;  // the pattern's dark pixels take the text colour, the light ones the background
};
enum : uint32_t { BsSolid = 0, BsNull = 1, BsHatched = 2, BsPattern = 3 };

struct TMfFont {
  int32_t Height = 0;  // logical units: < 0 the em height, > 0 the cell height, 0 a default size
  int32_t Width = 0;   // average character width, 0 for the font's own
  int32_t Escapement = 0;  // tenths of a degree, counter-clockwise
  int32_t Weight = 400;
  bool Italic = false, Underline = false, StrikeOut = false;
  uint8_t CharSet = 0;
  uint8_t PitchAndFamily = 0;
  std::string Face;  // UTF-8
};
enum : uint8_t { CharSetSymbol = 2 };

// A union of rectangles, right and bottom edges exclusive.
struct TMfRegion {
  std::vector<TMfRect> Rects;
  bool Device = false;  // in device units (EMF clip regions), otherwise logical
};
struct TMfPalette {
  std::vector<TMfColor> Colors;
};
struct TMfXform {
  float M11 = 1, M12 = 0, M21 = 0, M22 = 1, Dx = 0, Dy = 0;
};

struct TMfText {
  TMfPoint Reference;
  uint32_t Options = 0;  // ETO_* flags
  std::optional<TMfRect> Rect;
  std::u16string Wide;              // UTF-16 text (EMF ...W records)
  std::span<const uint8_t> Narrow;  // 8-bit or double-byte text in the selected font's character set
  // The advance after each character code (each byte of narrow text), logical units; empty when
  // the record leaves spacing to the font.
  std::vector<int32_t> Dx;
};
enum : uint32_t { EtoOpaque = 0x2, EtoClipped = 0x4, EtoGlyphIndex = 0x10, EtoNoRect = 0x100, EtoPdy = 0x2000 };

struct TMfBlit {
  int32_t DestX = 0, DestY = 0, DestWidth = 0, DestHeight = 0;  // logical units, may be negative
  int32_t SrcX = 0, SrcY = 0, SrcWidth = 0, SrcHeight = 0;      // source pixels
  bool SrcFromBottom = false;  // SrcY counts from the bottom row of a bottom-up DIB (the ...DIBits records)
  // The source extends from (SrcX, SrcY) to the bitmap's edges: records that do not stretch give
  // the source the destination's extents, in units that are not the bitmap's pixels.
  bool SrcToEdges = false;
  uint32_t Rop = 0x00CC0020;   // ternary raster operation; SRCCOPY by default
  TMfBitmap Source;            // empty: the operation has no source (pattern or destination only)
  TMfBitmap Mask;              // MaskBlt and PlgBlt: 1 keeps the source (Rop's low word), 0 the background operation
  int32_t MaskX = 0, MaskY = 0;
  bool AlphaBlend = false;      // Source is blended with ConstantAlpha, and with its own alpha when SourceAlpha
  uint8_t ConstantAlpha = 255;
  bool SourceAlpha = false;     // 32-bit premultiplied source pixels
  std::optional<TMfColor> TransparentColor;  // TransparentBlt: source pixels of this colour are not drawn
  std::optional<std::array<TMfPoint, 3>> Parallelogram;  // PlgBlt: upper-left, upper-right, lower-left corners
};

struct TMfVertex {
  int32_t X = 0, Y = 0;
  uint16_t Red = 0, Green = 0, Blue = 0, Alpha = 0;  // 16 bits per channel
};

enum class TMfValue { MapMode, BkMode, BkColor, TextColor, TextAlign, PolyFillMode, Rop2, StretchMode, ArcDirection, TextCharExtra };
enum class TMfMapping { WindowOrg, WindowExt, ViewportOrg, ViewportExt, OffsetWindowOrg, OffsetViewportOrg };
enum class TMfPoly { Polyline, PolylineTo, Polygon, PolyBezier, PolyBezierTo };
enum class TMfShape { Rectangle, Ellipse, RoundRect, Arc, ArcTo, Chord, Pie };
enum class TMfRegionOp { Fill, Frame, Paint, Invert };
enum class TMfPathOp { Begin, End, CloseFigure, Fill, Stroke, StrokeAndFill, Abort, Flatten, Widen };
// RGN_* combination modes of the clip operations.
enum : uint32_t { RgnAnd = 1, RgnOr = 2, RgnXor = 3, RgnDiff = 4, RgnCopy = 5 };

// What a metafile's records become. Every call has a default that ignores it. Coordinates are
// logical unless said otherwise. The reader calls Continue() after each record and stops
// playing when it returns false (the sink has seen enough, or spent its work budget).
class TMetafileSink {
 public:
  virtual ~TMetafileSink() = default;
  virtual bool Continue() { return true; }

  virtual void SetValue(TMfValue, int32_t) {}
  virtual void SetMapping(TMfMapping, int32_t /*x*/, int32_t /*y*/) {}
  virtual void ScaleExtent(bool /*viewport*/, int32_t /*xNum*/, int32_t /*xDenom*/, int32_t /*yNum*/,
                           int32_t /*yDenom*/) {}
  // mode: MWT_IDENTITY 1, MWT_LEFTMULTIPLY 2, MWT_RIGHTMULTIPLY 3, MWT_SET 4.
  virtual void SetWorldTransform(const TMfXform&, uint32_t /*mode*/) {}
  virtual void SetMiterLimit(float) {}
  virtual void SaveDC() {}
  virtual void RestoreDC(int32_t /*level*/) {}  // < 0 relative to the current level, > 0 absolute

  virtual void SelectPen(const TMfPen&) {}
  virtual void SelectBrush(const TMfBrush&) {}
  virtual void SelectFont(const TMfFont&) {}
  virtual void SelectPalette(const TMfPalette&) {}

  virtual void ClipRect(const TMfRect&, bool /*exclude*/) {}
  virtual void SelectClipRegion(const TMfRegion* /*region; null with RgnCopy: no clip*/, uint32_t /*mode*/) {}
  virtual void OffsetClip(TMfPoint) {}
  virtual void SelectClipPath(uint32_t /*mode*/) {}

  virtual void MoveTo(TMfPoint) {}
  virtual void LineTo(TMfPoint) {}
  // `counts` splits the points into figures (PolyPolygon, PolyPolyline); empty: one figure.
  virtual void Poly(TMfPoly, std::span<const TMfPoint>, std::span<const uint32_t> /*counts*/) {}
  virtual void PolyDraw(std::span<const TMfPoint>, std::span<const uint8_t> /*PT_* types*/) {}
  // RoundRect: `a` is the corner ellipse's width and height. Arcs: `a` and `b` are the start and
  // end radials.
  virtual void Shape(TMfShape, const TMfRect&, TMfPoint /*a*/, TMfPoint /*b*/) {}
  virtual void AngleArc(TMfPoint /*centre*/, uint32_t /*radius*/, float /*start*/, float /*sweep*/) {}
  virtual void SetPixel(TMfPoint, TMfColor) {}
  // brush: Fill and Frame name theirs; Paint uses the selected one. width, height: Frame's border.
  virtual void DrawRegion(TMfRegionOp, const TMfRegion&, const TMfBrush* /*brush*/, int32_t /*width*/,
                          int32_t /*height*/) {}
  virtual void Path(TMfPathOp) {}
  virtual void Text(const TMfText&) {}
  virtual void Blit(const TMfBlit&) {}
  // mode: GRADIENT_FILL_RECT_H 0, _RECT_V 1, _TRIANGLE 2; `indexes` holds 2 or 3 vertex indexes per
  // shape, all checked against `vertices`.
  virtual void GradientFill(std::span<const TMfVertex> /*vertices*/, std::span<const uint32_t> /*indexes*/,
                            uint32_t /*mode*/) {}
};

enum class TMfFormat { Wmf, Emf };

// How big the picture is and where the records' device space lands on it.
struct TMetafileFrame {
  TMfFormat Format = TMfFormat::Wmf;
  int Width = 0, Height = 0;  // of the picture, in pixels
  // The rectangle of device space the picture shows: device point (x, y) is drawn at
  // ((x - Left) * Width / (Right - Left), (y - Top) * Height / (Bottom - Top)). Device space is
  // the reference device's pixels for EMF and the placeable header's units for WMF.
  double Left = 0, Top = 0, Right = 1, Bottom = 1;
  double DeviceUnitsPerMm = 96 / 25.4;  // for the metric mapping modes
};

// Pictures are drawn at no more than this many pixels per side, and in all: larger frames are
// drawn at a lower resolution, so that a tiny file declaring a huge picture costs nothing.
constexpr int MaxMetafileSide = 16384;
constexpr int64_t MaxMetafilePixels = int64_t(1) << 24;

// Whether the data starts like a metafile (WMF with or without placeable header, or EMF).
std::optional<TMfFormat> MetafileFormat(std::span<const uint8_t> data);

// The picture's size at `dpi` pixels per inch: from the placeable header's bounding box, the
// EMF header's frame (its bounds when the frame is empty or misses them), or for a WMF without placeable
// header its first window. Fails with deCorrupt for a header that contradicts itself or a
// picture without size.
bool ReadMetafileFrame(std::span<const uint8_t> data, double dpi, TMetafileFrame& frame, TDecodeError& error);

// Plays every record into `sink`. Fails for a file whose header or record structure is broken
// (a record that does not fit the data or its own size, an object index outside the table),
// with deTruncated when the data ends inside a record, and with deUnsupported for an EMF whose
// drawing is only in EMF+ records. The sink may have received records before a failure.
bool PlayMetafile(std::span<const uint8_t> data, TMetafileSink& sink, TDecodeError& error);

// Metafiles are drawn by a renderer of the platform layer (it needs a painter and fonts, which
// the core does not have). The program installs it at start; until then DecodeMetafile
// refuses every file as unsupported. Safe to call from any thread.
void SetMetafileRenderer(TDecodeFn renderer);
