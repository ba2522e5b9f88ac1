// WMF records. Format document: [MS-WMF] 2.3 (record layouts), 3.1.4.1 (the object table).
//
// A record is its size in 16-bit words (the 6-byte prefix included), a function number and
// parameters. Parameters are stored in the reverse order of the GDI call: coordinate pairs as
// y then x, boxes as bottom, right, top, left. Point arrays, the rectangle of ExtTextOut and
// the objects' own structures are in natural order.
//
// Decisions the documents leave open:
// - The object table starts with the header's NumberOfObjects slots and grows on demand; a
//   select or delete of an empty or unknown index is ignored (writers delete indexes they never
//   created). Every record that creates an object takes a slot, even one drawn as a placeholder,
//   except a region record too short for a region.
// - DIBCreatePatternBrush with style BS_PATTERN carries a DIB in some files and a Bitmap16 in
//   others: a known DIB header size decides.
// - The bitmap records that do not stretch (BitBlt, DIBBitBlt, SetDIBToDev) draw the bitmap
//   from the source point to its edges into the destination, as GDI+ plays them: the extents
//   they give are the destination's, not the bitmap's pixels.
// - Escapes (embedded EMF pieces, PostScript) are skipped: the WMF records are the picture.
#include <cstdio>

#include "decoders/ByteReader.h"
#include "decoders/MetafileData.h"
#include "decoders/MetafilePlay.h"

namespace {

constexpr size_t MaxWmfObjects = 65536;  // indexes are 16-bit

bool IsDibHeaderSizeAt(std::span<const uint8_t> data) {
  TByteReader r(data);
  const uint32_t size = r.U32LE();
  return !r.Failed() && (size == 12 || size == 40 || size == 52 || size == 56 || size == 108 || size == 124);
}

// The parameters of one record.
class TWmfParams {
 public:
  explicit TWmfParams(std::span<const uint8_t> params) : R_(params) {}
  bool Failed() const { return R_.Failed(); }
  size_t Remaining() const { return R_.Remaining(); }
  int16_t I16() { return R_.I16LE(); }
  uint16_t U16() { return R_.U16LE(); }
  uint32_t U32() { return R_.U32LE(); }
  TMfColor Color() { return R_.U32LE(); }  // bytes R, G, B, flags: a colour reference as read
  void Skip(size_t n) { R_.Skip(n); }
  std::span<const uint8_t> Take(size_t n) { return R_.Take(n); }
  std::span<const uint8_t> Rest() { return R_.Take(R_.Remaining()); }
  TMfPoint YX() {
    const int16_t y = I16(), x = I16();
    return {x, y};
  }
  TMfPoint XY() {
    const int16_t x = I16(), y = I16();
    return {x, y};
  }
  TMfRect BRTL() {
    const int16_t b = I16(), r = I16(), t = I16(), l = I16();
    return {l, t, r, b};
  }
  TMfRect LTRB() {
    const int16_t l = I16(), t = I16(), r = I16(), b = I16();
    return {l, t, r, b};
  }
  // `count` x-y pairs, or false when the record does not hold them.
  bool Points(size_t count, std::vector<TMfPoint>& points) {
    if (count * 4 > Remaining()) return false;
    points.resize(count);
    for (TMfPoint& p : points) p = XY();
    return true;
  }

 private:
  TByteReader R_;
};

class TWmfPlayer {
 public:
  explicit TWmfPlayer(TMetafileSink& sink) : Sink_(sink), Objects_(MaxWmfObjects) {}
  // Plays one record; false (with `why`) when it contradicts its own size.
  bool Record(uint16_t function, uint32_t words, TWmfParams& p, std::string& why);

 private:
  bool Create(TMfObject object, std::string& why) {
    if (Objects_.AddLowest(std::move(object))) return true;
    why = "more than 65536 objects";
    return false;
  }
  void Select(uint16_t index) {
    if (const TMfObject* o = Objects_.Get(index)) SelectMfObject(Sink_, *o);
  }
  const TMfRegion* Region(uint16_t index) const {
    const TMfObject* o = Objects_.Get(index);
    return o ? std::get_if<TMfRegion>(o) : nullptr;
  }
  const TMfBrush* Brush(uint16_t index) const {
    const TMfObject* o = Objects_.Get(index);
    return o ? std::get_if<TMfBrush>(o) : nullptr;
  }
  static TMfFont ReadFont(TWmfParams& p);
  static TMfRegion ReadRegion(TWmfParams& p);
  bool Blit(uint16_t function, uint32_t words, TWmfParams& p);
  bool ExtTextOut(TWmfParams& p);

  TMetafileSink& Sink_;
  TMfObjectTable Objects_;
  std::vector<TMfPoint> Points_;
};

TMfFont TWmfPlayer::ReadFont(TWmfParams& p) {
  TMfFont f;
  f.Height = p.I16(), f.Width = p.I16(), f.Escapement = p.I16();
  p.Skip(2);  // orientation
  f.Weight = p.I16();
  const std::span<const uint8_t> flags = p.Take(8);
  if (flags.size() == 8) {
    f.Italic = flags[0], f.Underline = flags[1], f.StrikeOut = flags[2], f.CharSet = flags[3];
    f.PitchAndFamily = flags[7];
  }
  // The face name is up to 32 bytes in the font's character set, maybe unterminated.
  const std::span<const uint8_t> face = p.Take(std::min<size_t>(32, p.Remaining()));
  std::string bytes;
  for (uint8_t c : face) {
    if (!c) break;
    bytes.push_back(char(c));
  }
  f.Face = DecodeMfFaceName(bytes, f.CharSet);
  return f;
}

// [MS-WMF] 2.2.1.5 Region: a header, then scans of left-right pairs between a top and a bottom.
TMfRegion TWmfPlayer::ReadRegion(TWmfParams& p) {
  TMfRegion region;
  p.Skip(10);
  const uint16_t scans = p.U16();
  p.Skip(10);  // largest scan, bounding rectangle
  for (uint16_t s = 0; s < scans && p.Remaining() >= 8; ++s) {
    const uint16_t count = p.U16();
    const int16_t top = p.I16(), bottom = p.I16();
    if (size_t(count) * 2 + 2 > p.Remaining()) break;
    for (uint16_t i = 0; i + 1 < count; i += 2) {
      const int16_t left = p.I16(), right = p.I16();
      region.Rects.push_back({left, top, right, bottom});
    }
    if (count % 2) p.Skip(2);
    p.Skip(2);  // count again
  }
  return region;
}

// BitBlt, StretchBlt (Bitmap16) and their DIB forms. A record of exactly the function's
// parameter count plus three words has no bitmap and an extra reserved word.
bool TWmfPlayer::Blit(uint16_t function, uint32_t words, TWmfParams& p) {
  const bool stretch = function == 0x0B23 || function == 0x0B41;
  const bool withBitmap = words != uint32_t(function >> 8) + 3;
  TMfBlit b;
  b.Rop = p.U32();
  if (stretch) b.SrcHeight = p.I16(), b.SrcWidth = p.I16();
  const TMfPoint src = p.YX();
  b.SrcX = src.X, b.SrcY = src.Y;
  if (!withBitmap) p.Skip(2);
  b.DestHeight = p.I16(), b.DestWidth = p.I16();
  const TMfPoint dest = p.YX();
  b.DestX = dest.X, b.DestY = dest.Y;
  if (!stretch) b.SrcWidth = b.DestWidth, b.SrcHeight = b.DestHeight, b.SrcToEdges = true;
  if (p.Failed()) return false;
  if (withBitmap) {
    if (function == 0x0922 || function == 0x0B23) {
      b.Source.Ddb = true;
      b.Source.Info = p.Take(10);
      b.Source.Bits = p.Rest();
    } else {
      b.Source.Info = p.Rest();  // a packed DIB
    }
    if (b.Source.Info.empty()) return false;
  }
  Sink_.Blit(b);
  return true;
}

bool TWmfPlayer::ExtTextOut(TWmfParams& p) {
  TMfText t;
  t.Reference = p.YX();
  const int16_t length = p.I16();
  t.Options = p.U16();
  if (t.Options & (EtoOpaque | EtoClipped)) t.Rect = p.LTRB();
  if (p.Failed() || length < 0) return false;
  t.Narrow = p.Take(size_t(length));
  if (p.Failed()) return false;
  if (length % 2) p.Skip(1);
  // The advances are there only when the record is long enough for them.
  if (p.Remaining() >= size_t(length) * 2) {
    t.Dx.resize(size_t(length));
    for (int32_t& dx : t.Dx) dx = p.I16();
  }
  Sink_.Text(t);
  return true;
}

bool TWmfPlayer::Record(uint16_t function, uint32_t words, TWmfParams& p, std::string& why) {
  auto value = [&](TMfValue what) {
    const int32_t v = function == 0x0201 || function == 0x0209 ? int32_t(p.Color()) : p.I16();
    if (!p.Failed()) Sink_.SetValue(what, v);
  };
  auto mapping = [&](TMfMapping what) {
    const TMfPoint v = p.YX();
    if (!p.Failed()) Sink_.SetMapping(what, v.X, v.Y);
  };
  auto shape = [&](TMfShape kind) {
    TMfPoint a, b;
    if (kind == TMfShape::RoundRect) {
      const int16_t h = p.I16(), w = p.I16();
      a = {w, h};
    } else if (kind != TMfShape::Rectangle && kind != TMfShape::Ellipse) {
      b = p.YX();
      a = p.YX();
    }
    const TMfRect box = p.BRTL();
    if (!p.Failed()) Sink_.Shape(kind, box, a, b);
  };
  auto poly = [&](TMfPoly kind) {
    const uint16_t count = p.U16();
    if (p.Failed() || !p.Points(count, Points_)) return false;
    Sink_.Poly(kind, Points_, {});
    return true;
  };

  switch (function) {
    case 0x001E: Sink_.SaveDC(); break;
    case 0x0127: {
      const int16_t level = p.I16();
      if (!p.Failed()) Sink_.RestoreDC(level);
      break;
    }
    case 0x0102: value(TMfValue::BkMode); break;
    case 0x0103: value(TMfValue::MapMode); break;
    case 0x0104: value(TMfValue::Rop2); break;
    case 0x0106: value(TMfValue::PolyFillMode); break;
    case 0x0107: value(TMfValue::StretchMode); break;
    case 0x0108: value(TMfValue::TextCharExtra); break;
    case 0x012E: value(TMfValue::TextAlign); break;
    case 0x0201: value(TMfValue::BkColor); break;
    case 0x0209: value(TMfValue::TextColor); break;
    case 0x020B: mapping(TMfMapping::WindowOrg); break;
    case 0x020C: mapping(TMfMapping::WindowExt); break;
    case 0x020D: mapping(TMfMapping::ViewportOrg); break;
    case 0x020E: mapping(TMfMapping::ViewportExt); break;
    case 0x020F: mapping(TMfMapping::OffsetWindowOrg); break;
    case 0x0211: mapping(TMfMapping::OffsetViewportOrg); break;
    case 0x0410:
    case 0x0412: {
      const int16_t yDenom = p.I16(), yNum = p.I16(), xDenom = p.I16(), xNum = p.I16();
      if (!p.Failed()) Sink_.ScaleExtent(function == 0x0412, xNum, xDenom, yNum, yDenom);
      break;
    }
    case 0x0213:
    case 0x0214: {
      const TMfPoint pt = p.YX();
      if (p.Failed()) break;
      if (function == 0x0213) Sink_.LineTo(pt);
      else Sink_.MoveTo(pt);
      break;
    }
    case 0x0220: {
      const TMfPoint pt = p.YX();
      if (!p.Failed()) Sink_.OffsetClip(pt);
      break;
    }
    case 0x0415:
    case 0x0416: {
      const TMfRect r = p.BRTL();
      if (!p.Failed()) Sink_.ClipRect(r, function == 0x0415);
      break;
    }
    case 0x012C: {
      const uint16_t index = p.U16();
      if (const TMfRegion* region = p.Failed() ? nullptr : Region(index)) Sink_.SelectClipRegion(region, RgnCopy);
      break;
    }
    case 0x012D: {
      const uint16_t index = p.U16();
      if (!p.Failed()) Select(index);
      break;
    }
    case 0x0234: {
      const uint16_t index = p.U16();
      const TMfObject* o = p.Failed() ? nullptr : Objects_.Get(index);
      if (const TMfPalette* palette = o ? std::get_if<TMfPalette>(o) : nullptr) Sink_.SelectPalette(*palette);
      break;
    }
    case 0x01F0: {
      const uint16_t index = p.U16();
      if (!p.Failed()) Objects_.Delete(index);
      break;
    }
    case 0x02FA: {
      TMfPen pen;
      pen.Style = p.U16();
      pen.Width = p.I16();
      p.Skip(2);
      pen.Color = p.Color();
      if (p.Failed()) return false;
      return Create(std::move(pen), why);
    }
    case 0x02FC: {
      TMfBrush brush;
      brush.Style = p.U16();
      brush.Color = p.Color();
      brush.Hatch = p.U16();
      if (p.Failed()) return false;
      return Create(std::move(brush), why);
    }
    case 0x0142: {
      TMfBrush brush;
      brush.Style = p.U16();
      brush.Pattern.Usage = p.U16();
      if (p.Failed()) return false;
      const std::span<const uint8_t> bitmap = p.Rest();
      // Whatever the style says, the brush is a pattern (GDI reads only BS_PATTERN from it).
      if (brush.Style == BsPattern && !IsDibHeaderSizeAt(bitmap)) {
        brush.Pattern.Info = bitmap.first(std::min<size_t>(10, bitmap.size()));
        brush.Pattern.Bits = bitmap.subspan(brush.Pattern.Info.size());
        brush.Pattern.Ddb = true;
      } else {
        brush.Pattern.Info = bitmap;
      }
      brush.Monochrome = brush.Style == BsPattern;
      if (brush.Style != BsPattern) brush.Style = 5;  // BS_DIBPATTERN
      return Create(std::move(brush), why);
    }
    case 0x01F9: {
      // CreatePatternBrush: a Bitmap16 header, a bits pointer and 18 reserved bytes, the bits.
      TMfBrush brush;
      brush.Style = BsPattern;
      brush.Pattern.Info = p.Take(10);
      p.Skip(22);
      brush.Pattern.Bits = p.Rest();
      brush.Pattern.Ddb = true;
      brush.Monochrome = true;
      if (p.Failed()) brush = TMfBrush{};
      return Create(std::move(brush), why);
    }
    case 0x02FB: return Create(ReadFont(p), why);
    case 0x06FF:
      // A record too short for a region's header creates nothing, as GDI fails to make it;
      // the indexes of later objects depend on that.
      if (p.Remaining() < 22) break;
      return Create(ReadRegion(p), why);
    case 0x00F7: {
      TMfPalette palette;
      p.Skip(2);  // start
      const uint16_t count = p.U16();
      if (p.Failed() || size_t(count) * 4 > p.Remaining()) return false;
      palette.Colors.resize(count);
      for (TMfColor& c : palette.Colors) c = p.Color() & 0xFFFFFF;
      return Create(std::move(palette), why);
    }
    case 0x02FD:
    case 0x06FE: return Create(TMfBrush{}, why);  // bitmaps of old writers: only their slot matters
    case 0x0325: return poly(TMfPoly::Polyline);
    case 0x0324: return poly(TMfPoly::Polygon);
    case 0x0538: {
      const uint16_t polygons = p.U16();
      if (p.Failed() || size_t(polygons) * 2 > p.Remaining()) return false;
      std::vector<uint32_t> counts(polygons);
      uint64_t total = 0;
      for (uint32_t& c : counts) total += c = p.U16();
      if (!p.Points(size_t(total), Points_)) return false;
      Sink_.Poly(TMfPoly::Polygon, Points_, counts);
      break;
    }
    case 0x041B: shape(TMfShape::Rectangle); break;
    case 0x0418: shape(TMfShape::Ellipse); break;
    case 0x061C: shape(TMfShape::RoundRect); break;
    case 0x0817: shape(TMfShape::Arc); break;
    case 0x081A: shape(TMfShape::Pie); break;
    case 0x0830: shape(TMfShape::Chord); break;
    case 0x041F: {
      const TMfColor color = p.Color();
      const TMfPoint pt = p.YX();
      if (!p.Failed()) Sink_.SetPixel(pt, color);
      break;
    }
    case 0x0228:
    case 0x0429: {
      const uint16_t region = p.U16(), brush = p.U16();
      int16_t height = 0, width = 0;
      if (function == 0x0429) height = p.I16(), width = p.I16();
      const TMfRegion* r = Region(region);
      if (!p.Failed() && r)
        Sink_.DrawRegion(function == 0x0228 ? TMfRegionOp::Fill : TMfRegionOp::Frame, *r, Brush(brush), width, height);
      break;
    }
    case 0x012A:
    case 0x012B: {
      const TMfRegion* r = Region(p.U16());
      if (!p.Failed() && r)
        Sink_.DrawRegion(function == 0x012A ? TMfRegionOp::Invert : TMfRegionOp::Paint, *r, nullptr, 0, 0);
      break;
    }
    case 0x0521: {
      TMfText t;
      const int16_t length = p.I16();
      if (p.Failed() || length < 0) return false;
      t.Narrow = p.Take(size_t(length));
      if (length % 2) p.Skip(1);
      t.Reference = p.YX();
      if (p.Failed()) return false;
      Sink_.Text(t);
      break;
    }
    case 0x0A32: return ExtTextOut(p);
    case 0x061D: {
      TMfBlit b;
      b.Rop = p.U32();
      b.DestHeight = p.I16(), b.DestWidth = p.I16();
      const TMfPoint dest = p.YX();
      b.DestX = dest.X, b.DestY = dest.Y;
      if (p.Failed()) return false;
      Sink_.Blit(b);
      break;
    }
    case 0x0922:
    case 0x0940:
    case 0x0B23:
    case 0x0B41: return Blit(function, words, p);
    case 0x0D33:
    case 0x0F43: {
      TMfBlit b;
      if (function == 0x0F43) b.Rop = p.U32();
      b.Source.Usage = p.U16();
      if (function == 0x0D33) p.Skip(4);  // scan count, start scan: the DIB holds the rows
      if (function == 0x0F43) b.SrcHeight = p.I16(), b.SrcWidth = p.I16();
      const TMfPoint src = p.YX();
      b.SrcX = src.X, b.SrcY = src.Y;
      b.DestHeight = p.I16(), b.DestWidth = p.I16();
      const TMfPoint dest = p.YX();
      b.DestX = dest.X, b.DestY = dest.Y;
      if (function == 0x0D33) b.SrcWidth = b.DestWidth, b.SrcHeight = b.DestHeight, b.SrcToEdges = true;
      b.Source.Info = p.Rest();
      b.SrcFromBottom = true;
      if (p.Failed() || b.Source.Info.empty()) return false;
      Sink_.Blit(b);
      break;
    }
    default: break;  // escapes, palette changes, flood fills and unknown records
  }
  if (p.Failed()) return false;
  return true;
}

std::string Hex4(unsigned v) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", v & 0xFFFF);
  return text;
}

}  // namespace

bool PlayWmf(std::span<const uint8_t> data, TMetafileSink& sink, TDecodeError& error) {
  TWmfLayout layout;
  if (!ReadWmfLayout(data, layout, error)) return false;
  TWmfPlayer player(sink);
  size_t pos = layout.FirstRecord;
  // Records follow each other until META_EOF; a file that stops at a record boundary without
  // one has simply ended.
  while (pos < data.size()) {
    TByteReader r(data, pos);
    const uint32_t words = r.U32LE();
    const uint16_t function = r.U16LE();
    const std::string where = " at offset " + std::to_string(pos);
    if (r.Failed()) return MfFail(error, TDecodeErrorKind::deTruncated, "WMF", "record cut short" + where);
    if (words < 3) return MfFail(error, TDecodeErrorKind::deCorrupt, "WMF", "record of " + std::to_string(words) + " words" + where);
    const uint64_t bytes = uint64_t(words) * 2;
    if (bytes > data.size() - pos)
      return MfFail(error, TDecodeErrorKind::deTruncated, "WMF", "record " + Hex4(function) + where + " runs past the end");
    if (function == 0x0000) break;
    TWmfParams params(data.subspan(pos + 6, size_t(bytes) - 6));
    std::string why = "cut short";
    if (!player.Record(function, words, params, why))
      return MfFail(error, TDecodeErrorKind::deCorrupt, "WMF", "record " + Hex4(function) + where + ": " + why);
    if (!sink.Continue()) break;
    pos += size_t(bytes);
  }
  return true;
}
