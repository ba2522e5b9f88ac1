// EMF records. Format documents: [MS-EMF] 2.3 (record layouts), 2.2 (objects inside records),
// 3.1.1.1 (the object table); [MS-EMFPLUS] 2.3.3.3 for the EMF+ header inside comments.
//
// A record is a type, its size in bytes (a multiple of 4) and fields at fixed offsets; bitmaps,
// strings and advances are found through offsets from the record's start, and every one of
// them must lie inside the record.
//
// Decisions the documents leave open:
// - The object table has Handles slots, index 0 reserved; a create record naming an index
//   beyond Handles (one past, as some writers count) is corrupt. Handles of 0 or 65535 mean
//   the writer did not count: any 16-bit index is taken. Selecting or deleting an empty slot
//   is ignored.
// - EMF+ records inside comments are skipped and the GDI records drawn, as GDI plays them. A
//   file whose EMF+ header says the GDI records are not a full picture, or that has EMF+ records
//   and no GDI drawing at all, is refused: drawing it would show a blank.
// - Records of unknown types are skipped by their size.
// - BitBlt and MaskBlt draw the bitmap from the source point to its edges into the destination
//   (their source extents are the destination's, mapped by a transform writers leave at identity).
#include <cmath>
#include <cstring>

#include "decoders/ByteReader.h"
#include "decoders/MetafileData.h"
#include "decoders/MetafilePlay.h"

namespace {

constexpr uint32_t EmfPlusTag = 0x2B464D45;  // "EMF+"
constexpr uint16_t EmfPlusHeader = 0x4001;

// One record, read at offsets from its start. Reads outside it give 0 and mark it failed.
class TEmfRecord {
 public:
  explicit TEmfRecord(std::span<const uint8_t> bytes) : Bytes_(bytes) {}
  size_t Size() const { return Bytes_.size(); }
  bool Failed() const { return Failed_; }
  void Fail() { Failed_ = true; }
  // Whether the record holds `bytes` bytes; marks it failed when not.
  bool Need(uint64_t bytes) {
    if (bytes > Bytes_.size()) Failed_ = true;
    return !Failed_;
  }
  uint32_t U32(size_t at) {
    if (!Need(uint64_t(at) + 4)) return 0;
    const uint8_t* b = Bytes_.data() + at;
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
  }
  int32_t I32(size_t at) { return int32_t(U32(at)); }
  uint16_t U16(size_t at) {
    if (!Need(uint64_t(at) + 2)) return 0;
    return uint16_t(Bytes_[at] | Bytes_[at + 1] << 8);
  }
  uint8_t U8(size_t at) { return Need(uint64_t(at) + 1) ? Bytes_[at] : 0; }
  float F32(size_t at) {
    const uint32_t bits = U32(at);
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
  }
  TMfPoint Point(size_t at) { return {I32(at), I32(at + 4)}; }
  TMfPoint Point16(size_t at) { return {int16_t(U16(at)), int16_t(U16(at + 2))}; }
  TMfRect Rect(size_t at) { return {I32(at), I32(at + 4), I32(at + 8), I32(at + 12)}; }
  // `bytes` bytes at `offset`, which must lie inside the record.
  std::span<const uint8_t> Slice(uint64_t offset, uint64_t bytes) {
    if (!Need(offset + bytes)) return {};
    return Bytes_.subspan(size_t(offset), size_t(bytes));
  }
  // The bitmap of an (offBmi, cbBmi, offBits, cbBits) quadruple at `at`; empty when cbBmi is 0.
  TMfBitmap Bitmap(size_t at, uint32_t usage) {
    const uint32_t offInfo = U32(at), info = U32(at + 4), offBits = U32(at + 8), bits = U32(at + 12);
    TMfBitmap b;
    if (Failed_ || info == 0) return b;
    b.Info = Slice(offInfo, info);
    b.Bits = Slice(offBits, bits);
    b.Usage = usage;
    return b;
  }

 private:
  std::span<const uint8_t> Bytes_;
  bool Failed_ = false;
};

bool IsDrawingRecord(uint32_t type) {
  return (type >= 2 && type <= 8) || type == 15 || (type >= 41 && type <= 47) || (type >= 54 && type <= 56) ||
         (type >= 62 && type <= 64) || (type >= 71 && type <= 74) || (type >= 76 && type <= 81) ||
         (type >= 83 && type <= 92) || type == 96 || type == 97 || type == 108 || type == 114 || type == 116 ||
         type == 118;
}

class TEmfPlayer {
 public:
  TEmfPlayer(TMetafileSink& sink, uint16_t handles)
      : Sink_(sink), Objects_(handles == 0 || handles == 0xFFFF ? 0x10000 : size_t(handles) + 1) {}
  bool Record(uint32_t type, TEmfRecord& r, std::string& why);
  bool PlusSeen = false, PlusOnly = false, Drawn = false;

 private:
  const TMfObject* Object(uint32_t index);
  bool Create(uint32_t index, TMfObject object, std::string& why);
  bool Points(TEmfRecord& r, size_t at, uint64_t count, bool small);
  bool Poly(TEmfRecord& r, uint32_t type);
  bool PolyPoly(TEmfRecord& r, uint32_t type);
  bool ReadRegion(TEmfRecord& r, size_t at, uint32_t bytes, bool device, TMfRegion& region);
  bool Text(TEmfRecord& r, size_t at, bool wide, size_t* next = nullptr);
  bool Blit(TEmfRecord& r, uint32_t type);
  void Comment(TEmfRecord& r);

  TMetafileSink& Sink_;
  TMfObjectTable Objects_;
  std::vector<TMfPoint> Points_;
  std::vector<TMfObject> Stock_;
};

// [MS-EMF] 2.1.31 StockObject: 0x80000000 plus the number of a GDI stock object.
const TMfObject* TEmfPlayer::Object(uint32_t index) {
  if (!(index & 0x80000000)) return Objects_.Get(index);
  if (Stock_.empty()) {
    auto brush = [](uint32_t style, TMfColor color) { return TMfBrush{style, color, 0, {}, false}; };
    auto pen = [](uint32_t style, TMfColor color) { return TMfPen{style, 0, color, {}}; };
    Stock_ = {brush(BsSolid, 0xFFFFFF), brush(BsSolid, 0xC0C0C0), brush(BsSolid, 0x808080),
              brush(BsSolid, 0x404040), brush(BsSolid, 0), brush(BsNull, 0),
              pen(PsSolid, 0xFFFFFF), pen(PsSolid, 0), pen(PsNull, 0), std::monostate{}};
    for (int i = 10; i <= 17; ++i) Stock_.push_back(i == 15 ? TMfObject(TMfPalette{}) : TMfObject(TMfFont{}));
    Stock_.push_back(brush(BsSolid, 0xFFFFFF));  // DC_BRUSH
    Stock_.push_back(pen(PsSolid, 0));           // DC_PEN
  }
  const uint32_t stock = index & 0x7FFFFFFF;
  return stock < Stock_.size() ? &Stock_[stock] : nullptr;
}

bool TEmfPlayer::Create(uint32_t index, TMfObject object, std::string& why) {
  if (index != 0 && Objects_.Put(index, std::move(object))) return true;
  why = "object index " + std::to_string(index) + " outside the table";
  return false;
}

bool TEmfPlayer::Points(TEmfRecord& r, size_t at, uint64_t count, bool small) {
  const uint64_t size = small ? 4 : 8;
  if (!r.Need(at + count * size)) return false;
  Points_.resize(size_t(count));
  for (size_t i = 0; i < Points_.size(); ++i)
    Points_[i] = small ? r.Point16(at + i * 4) : r.Point(at + i * 8);
  return true;
}

// Polygon, Polyline, PolyBezier and their ...To and 16-bit forms: bounds, count, points.
bool TEmfPlayer::Poly(TEmfRecord& r, uint32_t type) {
  static constexpr TMfPoly kinds[] = {TMfPoly::PolyBezier, TMfPoly::Polygon, TMfPoly::Polyline,
                                      TMfPoly::PolyBezierTo, TMfPoly::PolylineTo};
  const bool small = type >= 85;
  const uint32_t count = r.U32(24);
  if (!Points(r, 28, count, small)) return false;
  Sink_.Poly(kinds[(small ? type - 85 : type - 2)], Points_, {});
  return true;
}

// PolyPolyline and PolyPolygon: bounds, figure count, point count, the figures' counts, points.
bool TEmfPlayer::PolyPoly(TEmfRecord& r, uint32_t type) {
  const bool small = type >= 90;
  const uint32_t figures = r.U32(24), total = r.U32(28);
  if (!r.Need(32 + uint64_t(figures) * 4)) return false;
  std::vector<uint32_t> counts(figures);
  uint64_t sum = 0;
  for (uint32_t i = 0; i < figures; ++i) sum += counts[i] = r.U32(32 + size_t(i) * 4);
  if (sum != total || !Points(r, 32 + size_t(figures) * 4, total, small)) return false;
  const bool polygon = type == 8 || type == 91;
  Sink_.Poly(polygon ? TMfPoly::Polygon : TMfPoly::Polyline, Points_, counts);
  return true;
}

// [MS-EMF] 2.2.24 RegionData: a 32-byte header with the rectangle count, then the rectangles.
bool TEmfPlayer::ReadRegion(TEmfRecord& r, size_t at, uint32_t bytes, bool device, TMfRegion& region) {
  if (bytes < 32 || !r.Need(uint64_t(at) + bytes)) return false;
  const uint32_t count = r.U32(at + 8);
  if (uint64_t(count) * 16 > bytes - 32) return false;
  region.Device = device;
  region.Rects.resize(count);
  for (uint32_t i = 0; i < count; ++i) region.Rects[i] = r.Rect(at + 32 + size_t(i) * 16);
  return true;
}

// [MS-EMF] 2.2.5 EmrText at `at`: reference, character count, string offset, options, the
// rectangle unless ETO_NO_RECT, advances offset. `next` receives the end of the structure.
bool TEmfPlayer::Text(TEmfRecord& r, size_t at, bool wide, size_t* next) {
  TMfText t;
  t.Reference = r.Point(at);
  const uint32_t chars = r.U32(at + 8), offString = r.U32(at + 12);
  t.Options = r.U32(at + 16);
  size_t pos = at + 20;
  if (!(t.Options & EtoNoRect)) {
    t.Rect = r.Rect(pos);
    pos += 16;
  }
  const uint32_t offDx = r.U32(pos);
  if (next) *next = pos + 4;
  const std::span<const uint8_t> text = r.Slice(offString, uint64_t(chars) * (wide ? 2 : 1));
  if (r.Failed()) return false;
  if (wide) {
    t.Wide.resize(chars);
    for (uint32_t i = 0; i < chars; ++i) t.Wide[i] = char16_t(text[2 * i] | text[2 * i + 1] << 8);
  } else {
    t.Narrow = text;
  }
  if (offDx != 0 && chars != 0) {
    // One advance per character, or an x and a y advance with ETO_PDY.
    const uint32_t step = t.Options & EtoPdy ? 8 : 4;
    if (!r.Need(uint64_t(offDx) + uint64_t(chars) * step)) return false;
    t.Dx.resize(chars);
    for (uint32_t i = 0; i < chars; ++i) t.Dx[i] = r.I32(offDx + size_t(i) * step);
  }
  Sink_.Text(t);
  return true;
}

bool TEmfPlayer::Blit(TEmfRecord& r, uint32_t type) {
  TMfBlit b;
  auto dest = [&](size_t at) {
    b.DestX = r.I32(at), b.DestY = r.I32(at + 4), b.DestWidth = r.I32(at + 8), b.DestHeight = r.I32(at + 12);
  };
  switch (type) {
    case 76:  // BitBlt
    case 77:  // StretchBlt
    case 114:  // AlphaBlend
    case 116:  // TransparentBlt
    case 78:   // MaskBlt
      dest(24);
      b.SrcX = r.I32(44), b.SrcY = r.I32(48);
      b.Source = r.Bitmap(84, r.U32(80));
      b.SrcWidth = b.DestWidth, b.SrcHeight = b.DestHeight, b.SrcToEdges = type == 76 || type == 78;
      if (type == 77 || type == 114 || type == 116) b.SrcWidth = r.I32(100), b.SrcHeight = r.I32(104);
      if (type == 114) {
        b.AlphaBlend = true;
        b.ConstantAlpha = r.U8(42);
        b.SourceAlpha = r.U8(43) & 1;
      } else if (type == 116) {
        b.TransparentColor = r.U32(40);
      } else {
        b.Rop = r.U32(40);
      }
      if (type == 78) {
        b.MaskX = r.I32(100), b.MaskY = r.I32(104);
        b.Mask = r.Bitmap(112, r.U32(108));
      }
      break;
    case 79: {  // PlgBlt
      std::array<TMfPoint, 3> corners{r.Point(24), r.Point(32), r.Point(40)};
      b.Parallelogram = corners;
      b.SrcX = r.I32(48), b.SrcY = r.I32(52), b.SrcWidth = r.I32(56), b.SrcHeight = r.I32(60);
      b.Source = r.Bitmap(96, r.U32(92));
      b.MaskX = r.I32(112), b.MaskY = r.I32(116);
      b.Mask = r.Bitmap(124, r.U32(120));
      break;
    }
    case 80:  // SetDIBitsToDevice
    case 81:  // StretchDIBits
      b.DestX = r.I32(24), b.DestY = r.I32(28);
      b.SrcX = r.I32(32), b.SrcY = r.I32(36), b.SrcWidth = r.I32(40), b.SrcHeight = r.I32(44);
      b.Source = r.Bitmap(48, r.U32(64));
      b.SrcFromBottom = true;
      b.DestWidth = b.SrcWidth, b.DestHeight = b.SrcHeight;
      if (type == 81) b.Rop = r.U32(68), b.DestWidth = r.I32(72), b.DestHeight = r.I32(76);
      break;
  }
  if (r.Failed()) return false;
  Sink_.Blit(b);
  return true;
}

void TEmfPlayer::Comment(TEmfRecord& r) {
  // The first EMF+ record of a comment follows the identifier; its header says whether the GDI
  // records describe the whole picture ("dual").
  if (r.Size() < 24 || r.U32(12) != EmfPlusTag) return;
  PlusSeen = true;
  if (r.U16(16) == EmfPlusHeader && !(r.U16(18) & 1)) PlusOnly = true;
}

bool TEmfPlayer::Record(uint32_t type, TEmfRecord& r, std::string& why) {
  auto value = [&](TMfValue what) { Sink_.SetValue(what, r.I32(8)); };
  auto shape = [&](TMfShape kind) {
    const TMfRect box = r.Rect(8);
    TMfPoint a, b;
    if (kind == TMfShape::RoundRect) a = r.Point(24);
    else if (kind != TMfShape::Rectangle && kind != TMfShape::Ellipse) a = r.Point(24), b = r.Point(32);
    if (!r.Failed()) Sink_.Shape(kind, box, a, b);
  };
  auto mapping = [&](TMfMapping what) {
    const TMfPoint p = r.Point(8);
    if (!r.Failed()) Sink_.SetMapping(what, p.X, p.Y);
  };
  auto region = [&](TMfRegionOp op, size_t brushAt, size_t sizeAt, size_t dataAt) {
    TMfRegion rgn;
    if (!ReadRegion(r, dataAt, r.U32(sizeAt), false, rgn)) return false;
    const TMfObject* brush = brushAt ? Object(r.U32(brushAt)) : nullptr;
    const TMfBrush* b = brush ? std::get_if<TMfBrush>(brush) : nullptr;
    const int32_t w = op == TMfRegionOp::Frame ? r.I32(32) : 0, h = op == TMfRegionOp::Frame ? r.I32(36) : 0;
    if ((op == TMfRegionOp::Fill || op == TMfRegionOp::Frame) && !b) return !r.Failed();
    Sink_.DrawRegion(op, rgn, b, w, h);
    return !r.Failed();
  };

  switch (type) {
    case 2: case 3: case 4: case 5: case 6:
    case 85: case 86: case 87: case 88: case 89: return Poly(r, type);
    case 7: case 8: case 90: case 91: return PolyPoly(r, type);
    case 56:
    case 92: {
      const uint32_t count = r.U32(24);
      const size_t pointBytes = type == 92 ? 4 : 8;
      if (!Points(r, 28, count, type == 92)) return false;
      const std::span<const uint8_t> types = r.Slice(28 + uint64_t(count) * pointBytes, count);
      if (r.Failed()) return false;
      Sink_.PolyDraw(Points_, types);
      break;
    }
    case 9: mapping(TMfMapping::WindowExt); break;
    case 10: mapping(TMfMapping::WindowOrg); break;
    case 11: mapping(TMfMapping::ViewportExt); break;
    case 12: mapping(TMfMapping::ViewportOrg); break;
    case 15: {
      const TMfPoint p = r.Point(8);
      const TMfColor c = r.U32(16);
      if (!r.Failed()) Sink_.SetPixel(p, c);
      break;
    }
    case 17: value(TMfValue::MapMode); break;
    case 18: value(TMfValue::BkMode); break;
    case 19: value(TMfValue::PolyFillMode); break;
    case 20: value(TMfValue::Rop2); break;
    case 21: value(TMfValue::StretchMode); break;
    case 22: value(TMfValue::TextAlign); break;
    case 24: value(TMfValue::TextColor); break;
    case 25: value(TMfValue::BkColor); break;
    case 57: value(TMfValue::ArcDirection); break;
    case 58: {
      // Specified as an integer; some writers store the float they were given.
      const uint32_t v = r.U32(8);
      const float limit = v < 0x10000 ? float(v) : r.F32(8);
      if (std::isfinite(limit)) Sink_.SetMiterLimit(limit);
      break;
    }
    case 26: {
      const TMfPoint p = r.Point(8);
      if (!r.Failed()) Sink_.OffsetClip(p);
      break;
    }
    case 27: {
      const TMfPoint p = r.Point(8);
      if (!r.Failed()) Sink_.MoveTo(p);
      break;
    }
    case 54: {
      const TMfPoint p = r.Point(8);
      if (!r.Failed()) Sink_.LineTo(p);
      break;
    }
    case 29:
    case 30: {
      const TMfRect rect = r.Rect(8);
      if (!r.Failed()) Sink_.ClipRect(rect, type == 29);
      break;
    }
    case 31:
    case 32: {
      const int32_t xNum = r.I32(8), xDenom = r.I32(12), yNum = r.I32(16), yDenom = r.I32(20);
      if (!r.Failed()) Sink_.ScaleExtent(type == 31, xNum, xDenom, yNum, yDenom);
      break;
    }
    case 33: Sink_.SaveDC(); break;
    case 34: {
      const int32_t level = r.I32(8);
      if (!r.Failed()) Sink_.RestoreDC(level);
      break;
    }
    case 35:
    case 36: {
      const TMfXform x{r.F32(8), r.F32(12), r.F32(16), r.F32(20), r.F32(24), r.F32(28)};
      const uint32_t mode = type == 35 ? 4 : r.U32(32);
      const bool finite = std::isfinite(x.M11) && std::isfinite(x.M12) && std::isfinite(x.M21) &&
                          std::isfinite(x.M22) && std::isfinite(x.Dx) && std::isfinite(x.Dy);
      if (!r.Failed() && finite) Sink_.SetWorldTransform(x, mode);
      break;
    }
    case 37: {
      const TMfObject* o = Object(r.U32(8));
      if (o && !r.Failed()) SelectMfObject(Sink_, *o);
      break;
    }
    case 40: {
      const uint32_t index = r.U32(8);
      if (!(index & 0x80000000)) Objects_.Delete(index);
      break;
    }
    case 48: {
      const TMfObject* o = Object(r.U32(8));
      if (const TMfPalette* palette = o ? std::get_if<TMfPalette>(o) : nullptr) Sink_.SelectPalette(*palette);
      break;
    }
    case 38: {
      TMfPen pen{r.U32(12), r.I32(16), r.U32(24), {}};
      if (r.Failed()) return false;
      return Create(r.U32(8), std::move(pen), why);
    }
    case 95: {
      TMfPen pen{r.U32(28), r.I32(32), r.U32(40), {}};
      const uint32_t brushStyle = r.U32(36), entries = r.U32(48);
      if (!r.Need(52 + uint64_t(entries) * 4)) return false;
      if (brushStyle == BsNull) pen.Style = PsNull;
      for (uint32_t i = 0; i < entries; ++i) pen.Dashes.push_back(r.U32(52 + size_t(i) * 4));
      return Create(r.U32(8), std::move(pen), why);
    }
    case 39: {
      TMfBrush brush{r.U32(12), r.U32(16), r.U32(20), {}, false};
      if (r.Failed()) return false;
      return Create(r.U32(8), std::move(brush), why);
    }
    case 93:
    case 94: {
      TMfBrush brush;
      brush.Style = 5;  // BS_DIBPATTERN
      brush.Pattern = r.Bitmap(16, r.U32(12));
      brush.Monochrome = type == 93;
      if (r.Failed()) return false;
      return Create(r.U32(8), std::move(brush), why);
    }
    case 82: {
      TMfFont f;
      f.Height = r.I32(12), f.Width = r.I32(16), f.Escapement = r.I32(20), f.Weight = r.I32(28);
      f.Italic = r.U8(32), f.Underline = r.U8(33), f.StrikeOut = r.U8(34), f.CharSet = r.U8(35);
      f.PitchAndFamily = r.U8(39);
      if (r.Failed()) return false;
      std::u16string face;
      for (size_t at = 40; at + 2 <= std::min<size_t>(104, r.Size()); at += 2) {
        const char16_t c = r.U16(at);
        if (!c) break;
        face.push_back(c);
      }
      f.Face = Utf16ToUtf8(face);
      return Create(r.U32(8), std::move(f), why);
    }
    case 49: {
      TMfPalette palette;
      const uint16_t count = r.U16(14);
      if (!r.Need(16 + uint64_t(count) * 4)) return false;
      for (uint16_t i = 0; i < count; ++i) palette.Colors.push_back(r.U32(16 + size_t(i) * 4) & 0xFFFFFF);
      return Create(r.U32(8), std::move(palette), why);
    }
    case 41: {
      const TMfPoint centre = r.Point(8);
      const uint32_t radius = r.U32(16);
      const float start = r.F32(20), sweep = r.F32(24);
      if (!r.Failed() && std::isfinite(start) && std::isfinite(sweep)) Sink_.AngleArc(centre, radius, start, sweep);
      break;
    }
    case 42: shape(TMfShape::Ellipse); break;
    case 43: shape(TMfShape::Rectangle); break;
    case 44: shape(TMfShape::RoundRect); break;
    case 45: shape(TMfShape::Arc); break;
    case 46: shape(TMfShape::Chord); break;
    case 47: shape(TMfShape::Pie); break;
    case 55: shape(TMfShape::ArcTo); break;
    case 59: Sink_.Path(TMfPathOp::Begin); break;
    case 60: Sink_.Path(TMfPathOp::End); break;
    case 61: Sink_.Path(TMfPathOp::CloseFigure); break;
    case 62: Sink_.Path(TMfPathOp::Fill); break;
    case 63: Sink_.Path(TMfPathOp::StrokeAndFill); break;
    case 64: Sink_.Path(TMfPathOp::Stroke); break;
    case 65: Sink_.Path(TMfPathOp::Flatten); break;
    case 66: Sink_.Path(TMfPathOp::Widen); break;
    case 68: Sink_.Path(TMfPathOp::Abort); break;
    case 67: {
      const uint32_t mode = r.U32(8);
      if (!r.Failed()) Sink_.SelectClipPath(mode);
      break;
    }
    case 70: {
      const uint32_t bytes = r.U32(8);
      if (!r.Need(12 + uint64_t(bytes))) return false;
      Comment(r);
      break;
    }
    case 71: return region(TMfRegionOp::Fill, 28, 24, 32);
    case 72: return region(TMfRegionOp::Frame, 28, 24, 40);
    case 73: return region(TMfRegionOp::Invert, 0, 24, 28);
    case 74: return region(TMfRegionOp::Paint, 0, 24, 28);
    case 75: {
      const uint32_t bytes = r.U32(8), mode = r.U32(12);
      if (r.Failed()) return false;
      if (bytes == 0) {
        Sink_.SelectClipRegion(nullptr, mode);
        break;
      }
      TMfRegion rgn;
      if (!ReadRegion(r, 16, bytes, true, rgn)) return false;
      Sink_.SelectClipRegion(&rgn, mode);
      break;
    }
    case 76: case 77: case 78: case 79: case 80: case 81: case 114: case 116: return Blit(r, type);
    case 83: return Text(r, 36, false);
    case 84: return Text(r, 36, true);
    case 96:
    case 97: {
      const uint32_t strings = r.U32(36);
      size_t at = 40;
      for (uint32_t i = 0; i < strings && !r.Failed(); ++i)
        if (!Text(r, at, type == 97, &at)) return false;
      break;
    }
    case 108: {
      // SmallTextOut: no advances, 8-bit characters with ETO_SMALL_CHARS.
      TMfText t;
      t.Reference = r.Point(8);
      const uint32_t chars = r.U32(16);
      t.Options = r.U32(20);
      size_t at = 36;
      if (!(t.Options & EtoNoRect)) t.Rect = r.Rect(at), at += 16;
      const bool narrow = t.Options & 0x200;
      const std::span<const uint8_t> text = r.Slice(at, uint64_t(chars) * (narrow ? 1 : 2));
      if (r.Failed()) return false;
      if (narrow) t.Narrow = text;
      else
        for (uint32_t i = 0; i < chars; ++i) t.Wide.push_back(char16_t(text[2 * i] | text[2 * i + 1] << 8));
      Sink_.Text(t);
      break;
    }
    case 118: {
      const uint32_t vertices = r.U32(24), shapes = r.U32(28), mode = r.U32(32);
      const uint32_t perShape = mode == 2 ? 3 : 2;
      if (mode > 2 || !r.Need(36 + uint64_t(vertices) * 16 + uint64_t(shapes) * perShape * 4)) return false;
      std::vector<TMfVertex> v(vertices);
      for (uint32_t i = 0; i < vertices; ++i) {
        const size_t at = 36 + size_t(i) * 16;
        v[i] = {r.I32(at), r.I32(at + 4), r.U16(at + 8), r.U16(at + 10), r.U16(at + 12), r.U16(at + 14)};
      }
      std::vector<uint32_t> indexes(size_t(shapes) * perShape);
      const size_t base = 36 + size_t(vertices) * 16;
      for (size_t i = 0; i < indexes.size(); ++i) {
        indexes[i] = r.U32(base + i * 4);
        if (indexes[i] >= vertices) return false;
      }
      Sink_.GradientFill(v, indexes, mode);
      break;
    }
    default: break;  // palettes, colour management, escapes, OpenGL and unknown records
  }
  return !r.Failed();
}

}  // namespace

bool PlayEmf(std::span<const uint8_t> data, TMetafileSink& sink, TDecodeError& error) {
  TEmfHeader header;
  if (!ReadEmfHeader(data, header, error)) return false;
  TEmfPlayer player(sink, header.Handles);
  size_t pos = header.Size;
  bool ended = false;
  while (pos < data.size() && !ended) {
    TByteReader r(data, pos);
    const uint32_t type = r.U32LE(), size = r.U32LE();
    const std::string where = " at offset " + std::to_string(pos);
    if (r.Failed()) return MfFail(error, TDecodeErrorKind::deTruncated, "EMF", "record cut short" + where);
    if (size < 8 || size % 4)
      return MfFail(error, TDecodeErrorKind::deCorrupt, "EMF", "record of " + std::to_string(size) + " bytes" + where);
    if (size > data.size() - pos)
      return MfFail(error, TDecodeErrorKind::deTruncated, "EMF", "record " + std::to_string(type) + where + " runs past the end");
    if (type == 14) break;
    TEmfRecord record(data.subspan(pos, size));
    std::string why = "cut short";
    if (!player.Record(type, record, why))
      return MfFail(error, TDecodeErrorKind::deCorrupt, "EMF", "record " + std::to_string(type) + where + ": " + why);
    player.Drawn = player.Drawn || IsDrawingRecord(type);
    ended = !sink.Continue();
    pos += size;
  }
  if (player.PlusOnly || (player.PlusSeen && !player.Drawn))
    return MfFail(error, TDecodeErrorKind::deUnsupported, "EMF", "the picture is drawn by EMF+ records only");
  return true;
}
