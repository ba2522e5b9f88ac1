// Metafile headers and picture size, the object table, and the slot of the platform's renderer.
// Format documents: [MS-WMF] 2.3.2.2 META_HEADER and 2.3.2.3 META_PLACEABLE, [MS-EMF] 2.2.9
// Header Object and 2.3.4.2 EMR_HEADER.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

#include "decoders/ByteReader.h"
#include "decoders/Decoders.h"
#include "decoders/MetafilePlay.h"

namespace {

constexpr uint32_t PlaceableKey = 0x9AC6CDD7;
constexpr uint32_t EmfSignature = 0x464D4520;  // " EMF"
constexpr size_t PlaceableSize = 22;
constexpr size_t WmfHeaderSize = 18;
constexpr size_t EmfHeaderMinimum = 88;

std::atomic<TDecodeFn> InstalledRenderer{nullptr};

TMfRect ReadRectL(TByteReader& r) {
  TMfRect rect;
  rect.Left = r.I32LE(), rect.Top = r.I32LE(), rect.Right = r.I32LE(), rect.Bottom = r.I32LE();
  return rect;
}

// Picture pixels for a frame of w x h pixels at the wanted resolution, reduced as a whole to the
// side and area limits.
bool FitPicture(double w, double h, TMetafileFrame& frame, TDecodeError& error, const char* format) {
  if (!std::isfinite(w) || !std::isfinite(h) || w <= 0 || h <= 0)
    return MfFail(error, TDecodeErrorKind::deCorrupt, format, "the picture has no size");
  const double scale = std::min({1.0, MaxMetafileSide / w, MaxMetafileSide / h,
                                 std::sqrt(double(MaxMetafilePixels) / w / h)});
  frame.Width = std::max(1, int(std::lround(w * scale)));
  frame.Height = std::max(1, int(std::lround(h * scale)));
  // Rounding up must not break a limit.
  if (frame.Width > MaxMetafileSide || frame.Height > MaxMetafileSide ||
      int64_t(frame.Width) * frame.Height > MaxMetafilePixels) {
    frame.Width = std::max(1, int(w * scale));
    frame.Height = std::max(1, int(h * scale));
  }
  return true;
}

// Finds the window a WMF without placeable header sets up for itself, or failing that the box
// around everything it draws, to give it a size.
class TWindowScan : public TMetafileSink {
 public:
  std::optional<TMfPoint> Org, Ext;
  bool Drawn = false;
  int64_t MinX = std::numeric_limits<int64_t>::max(), MinY = MinX, MaxX = -MinX, MaxY = -MinX;

  void SetMapping(TMfMapping what, int32_t x, int32_t y) override {
    if (what == TMfMapping::WindowOrg && !Org) Org = TMfPoint{x, y};
    if (what == TMfMapping::WindowExt && !Ext && x != 0 && y != 0) Ext = TMfPoint{x, y};
  }
  void MoveTo(TMfPoint p) override { Add(p); }
  void LineTo(TMfPoint p) override { Add(p); }
  void Poly(TMfPoly, std::span<const TMfPoint> points, std::span<const uint32_t>) override {
    for (const TMfPoint& p : points) Add(p);
  }
  void Shape(TMfShape, const TMfRect& box, TMfPoint, TMfPoint) override {
    Add({box.Left, box.Top});
    Add({box.Right, box.Bottom});
  }
  void Text(const TMfText& text) override { Add(text.Reference); }
  void Blit(const TMfBlit& b) override {
    Add({b.DestX, b.DestY});
    Add({b.DestX + b.DestWidth, b.DestY + b.DestHeight});
  }

 private:
  void Add(TMfPoint p) {
    Drawn = true;
    MinX = std::min<int64_t>(MinX, p.X), MaxX = std::max<int64_t>(MaxX, p.X);
    MinY = std::min<int64_t>(MinY, p.Y), MaxY = std::max<int64_t>(MaxY, p.Y);
  }
};

bool WmfFrame(std::span<const uint8_t> data, double dpi, TMetafileFrame& frame, TDecodeError& error) {
  TWmfLayout layout;
  if (!ReadWmfLayout(data, layout, error)) return false;
  frame.Format = TMfFormat::Wmf;
  if (layout.Placeable) {
    // Device space is the bounding box's logical units.
    const TMfRect& box = layout.Box;
    frame.Left = box.Left, frame.Top = box.Top, frame.Right = box.Right, frame.Bottom = box.Bottom;
    frame.DeviceUnitsPerMm = layout.Inch / 25.4;
    return FitPicture(double(box.Right - box.Left) * dpi / layout.Inch,
                      double(box.Bottom - box.Top) * dpi / layout.Inch, frame, error, "WMF");
  }
  // Without a placeable header a logical unit is taken for a pixel at 96 dpi.
  TWindowScan scan;
  if (!PlayWmf(data, scan, error)) return false;
  double left, top, right, bottom;
  if (scan.Ext) {
    const TMfPoint org = scan.Org.value_or(TMfPoint{});
    left = std::min<double>(org.X, double(org.X) + scan.Ext->X);
    right = std::max<double>(org.X, double(org.X) + scan.Ext->X);
    top = std::min<double>(org.Y, double(org.Y) + scan.Ext->Y);
    bottom = std::max<double>(org.Y, double(org.Y) + scan.Ext->Y);
  } else if (scan.Drawn && scan.MaxX > scan.MinX && scan.MaxY > scan.MinY) {
    left = double(scan.MinX), right = double(scan.MaxX), top = double(scan.MinY), bottom = double(scan.MaxY);
  } else {
    return MfFail(error, TDecodeErrorKind::deCorrupt, "WMF", "no placeable header, window or drawing gives a size");
  }
  frame.Left = left, frame.Top = top, frame.Right = right, frame.Bottom = bottom;
  frame.DeviceUnitsPerMm = 96 / 25.4;
  return FitPicture((right - left) * dpi / 96, (bottom - top) * dpi / 96, frame, error, "WMF");
}

bool EmfFrame(std::span<const uint8_t> data, double dpi, TMetafileFrame& frame, TDecodeError& error) {
  TEmfHeader h;
  if (!ReadEmfHeader(data, h, error)) return false;
  frame.Format = TMfFormat::Emf;
  // Reference device pixels per millimetre; a header without a usable device is taken for 96 dpi.
  double unitsX = h.DeviceMmX > 0 ? h.DevicePixelsX / h.DeviceMmX : 0;
  double unitsY = h.DeviceMmY > 0 ? h.DevicePixelsY / h.DeviceMmY : 0;
  if (!(unitsX > 0.01 && unitsX < 1e5 && unitsY > 0.01 && unitsY < 1e5)) unitsX = unitsY = 96 / 25.4;
  frame.DeviceUnitsPerMm = (unitsX + unitsY) / 2;
  const TMfRect& f = h.Frame;
  const TMfRect& b = h.Bounds;
  // Some writers place the frame away from everything they draw; the bounds then show where
  // the picture is.
  const bool hasBounds = b.Right > b.Left && b.Bottom > b.Top;
  bool frameMissesBounds = false;
  if (hasBounds && f.Right > f.Left && f.Bottom > f.Top) {
    const double left = std::max<double>(b.Left, f.Left * unitsX / 100), right = std::min<double>(b.Right, f.Right * unitsX / 100);
    const double top = std::max<double>(b.Top, f.Top * unitsY / 100), bottom = std::min<double>(b.Bottom, f.Bottom * unitsY / 100);
    const double inside = std::max(0.0, right - left) * std::max(0.0, bottom - top);
    const double frameArea = (double(f.Right) - f.Left) * unitsX / 100 * (double(f.Bottom) - f.Top) * unitsY / 100;
    frameMissesBounds = inside < 0.5 * std::min(frameArea, (double(b.Right) - b.Left) * (double(b.Bottom) - b.Top));
  }
  if (f.Right > f.Left && f.Bottom > f.Top && !frameMissesBounds) {
    // The frame is the intended picture, inclusive, in 0.01 mm.
    const double width = double(f.Right) - f.Left + 1, height = double(f.Bottom) - f.Top + 1;
    frame.Left = f.Left * unitsX / 100, frame.Right = (double(f.Right) + 1) * unitsX / 100;
    frame.Top = f.Top * unitsY / 100, frame.Bottom = (double(f.Bottom) + 1) * unitsY / 100;
    return FitPicture(width * dpi / 2540, height * dpi / 2540, frame, error, "EMF");
  }
  // Writers that leave the frame empty still give the inked area in device pixels.
  if (b.Right < b.Left || b.Bottom < b.Top)
    return MfFail(error, TDecodeErrorKind::deCorrupt, "EMF", "neither frame nor bounds gives a size");
  frame.Left = b.Left, frame.Right = double(b.Right) + 1, frame.Top = b.Top, frame.Bottom = double(b.Bottom) + 1;
  return FitPicture((frame.Right - frame.Left) / unitsX * dpi / 25.4,
                    (frame.Bottom - frame.Top) / unitsY * dpi / 25.4, frame, error, "EMF");
}

}  // namespace

std::optional<TMfFormat> MetafileFormat(std::span<const uint8_t> data) {
  TByteReader r(data);
  const uint32_t first = r.U32LE();
  if (r.Failed()) return std::nullopt;
  if (first == PlaceableKey) return TMfFormat::Wmf;
  // META_HEADER: type 1 (memory) or 2 (disk), then a header size of 9 words.
  if ((first == 0x00090001 || first == 0x00090002)) return TMfFormat::Wmf;
  TByteReader sig(data, 40);
  if (first == 1 && sig.U32LE() == EmfSignature) return TMfFormat::Emf;
  return std::nullopt;
}

bool ReadWmfLayout(std::span<const uint8_t> data, TWmfLayout& layout, TDecodeError& error) {
  TByteReader r(data);
  if (r.U32LE() == PlaceableKey) {
    r.Skip(2);  // HWmf
    const int16_t left = r.I16LE(), top = r.I16LE(), right = r.I16LE(), bottom = r.I16LE();
    layout.Inch = r.U16LE();
    r.Skip(6);  // reserved, checksum (only a hint: not checked)
    if (r.Failed()) return MfFail(error, TDecodeErrorKind::deTruncated, "WMF", "placeable header cut short");
    if (layout.Inch == 0) return MfFail(error, TDecodeErrorKind::deCorrupt, "WMF", "0 units per inch");
    // Boxes come with any corner first, and entirely negative.
    layout.Box = {std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
    if (layout.Box.Left == layout.Box.Right || layout.Box.Top == layout.Box.Bottom)
      return MfFail(error, TDecodeErrorKind::deCorrupt, "WMF", "empty bounding box");
    layout.Placeable = true;
  } else {
    r.Seek(0);
  }
  const uint16_t type = r.U16LE(), headerWords = r.U16LE();
  r.Skip(6);  // version, size (a hint that some writers get wrong)
  layout.Objects = r.U16LE();
  r.Skip(6);  // largest record, members
  if (r.Failed()) return MfFail(error, TDecodeErrorKind::deTruncated, "WMF", "header cut short");
  if ((type != 1 && type != 2) || headerWords != 9)
    return MfFail(error, TDecodeErrorKind::deCorrupt, "WMF", "not a metafile header");
  layout.FirstRecord = r.Pos();
  return true;
}

bool ReadEmfHeader(std::span<const uint8_t> data, TEmfHeader& h, TDecodeError& error) {
  if (data.size() < EmfHeaderMinimum) return MfFail(error, TDecodeErrorKind::deTruncated, "EMF", "header cut short");
  TByteReader r(data);
  const uint32_t type = r.U32LE();
  h.Size = r.U32LE();
  h.Bounds = ReadRectL(r);
  h.Frame = ReadRectL(r);
  const uint32_t signature = r.U32LE();
  r.Skip(12);  // version, bytes and records: hints
  h.Handles = r.U16LE();
  r.Skip(2);
  const uint32_t descriptionChars = r.U32LE(), descriptionOffset = r.U32LE();
  r.Skip(4);  // palette entries (in the EOF record)
  h.DevicePixelsX = r.I32LE(), h.DevicePixelsY = r.I32LE();
  h.DeviceMmX = r.I32LE(), h.DeviceMmY = r.I32LE();
  if (type != 1 || signature != EmfSignature) return MfFail(error, TDecodeErrorKind::deCorrupt, "EMF", "no EMF header");
  if (h.Size < EmfHeaderMinimum || h.Size % 4)
    return MfFail(error, TDecodeErrorKind::deCorrupt, "EMF", "header record of " + std::to_string(h.Size) + " bytes");
  if (h.Size > data.size()) return MfFail(error, TDecodeErrorKind::deTruncated, "EMF", "header record cut short");
  // The description and the pixel format lie inside the header record.
  auto inside = [&](uint64_t offset, uint64_t bytes) {
    return bytes == 0 || (offset >= EmfHeaderMinimum && offset + bytes <= h.Size);
  };
  if (!inside(descriptionOffset, uint64_t(descriptionChars) * 2))
    return MfFail(error, TDecodeErrorKind::deCorrupt, "EMF", "description outside the header");
  // The extensions of [MS-EMF] 2.2.10 and 2.2.11 are there only when the description, which
  // writers put right after the base header, leaves room for them.
  const uint64_t extensionEnd = descriptionChars ? std::min<uint64_t>(descriptionOffset, h.Size) : h.Size;
  if (extensionEnd >= 100) {
    const uint32_t formatBytes = r.U32LE(), formatOffset = r.U32LE();
    if (!inside(formatOffset, formatBytes))
      return MfFail(error, TDecodeErrorKind::deCorrupt, "EMF", "pixel format outside the header");
  }
  if (extensionEnd >= 108) {
    r.Seek(100);
    const int32_t umX = r.I32LE(), umY = r.I32LE();
    if (umX > 0 && umY > 0) h.DeviceMmX = umX / 1000.0, h.DeviceMmY = umY / 1000.0;
  }
  return true;
}

bool ReadMetafileFrame(std::span<const uint8_t> data, double dpi, TMetafileFrame& frame, TDecodeError& error) {
  const std::optional<TMfFormat> format = MetafileFormat(data);
  if (!format) return MfFail(error, TDecodeErrorKind::deCorrupt, "metafile", "neither a WMF nor an EMF header");
  return *format == TMfFormat::Wmf ? WmfFrame(data, dpi, frame, error) : EmfFrame(data, dpi, frame, error);
}

bool PlayMetafile(std::span<const uint8_t> data, TMetafileSink& sink, TDecodeError& error) {
  const std::optional<TMfFormat> format = MetafileFormat(data);
  if (!format) return MfFail(error, TDecodeErrorKind::deCorrupt, "metafile", "neither a WMF nor an EMF header");
  return *format == TMfFormat::Wmf ? PlayWmf(data, sink, error) : PlayEmf(data, sink, error);
}

bool TMfObjectTable::AddLowest(TMfObject object) {
  if (!Free_.empty()) {
    const size_t index = *Free_.begin();
    Free_.erase(Free_.begin());
    Slots_[index] = std::move(object);
    return true;
  }
  if (Slots_.size() >= Limit_) return false;
  Slots_.push_back(std::move(object));
  return true;
}

bool TMfObjectTable::Put(size_t index, TMfObject object) {
  if (index >= Limit_) return false;
  while (Slots_.size() <= index) {
    Free_.insert(Slots_.size());
    Slots_.emplace_back();
  }
  Free_.erase(index);
  Slots_[index] = std::move(object);
  return true;
}

const TMfObject* TMfObjectTable::Get(size_t index) const {
  if (index >= Slots_.size() || std::holds_alternative<std::monostate>(Slots_[index])) return nullptr;
  return &Slots_[index];
}

void TMfObjectTable::Delete(size_t index) {
  if (!Get(index)) return;
  Slots_[index] = std::monostate{};
  Free_.insert(index);
}

void SelectMfObject(TMetafileSink& sink, const TMfObject& object) {
  if (const auto* pen = std::get_if<TMfPen>(&object)) sink.SelectPen(*pen);
  else if (const auto* brush = std::get_if<TMfBrush>(&object)) sink.SelectBrush(*brush);
  else if (const auto* font = std::get_if<TMfFont>(&object)) sink.SelectFont(*font);
  else if (const auto* palette = std::get_if<TMfPalette>(&object)) sink.SelectPalette(*palette);
  else if (const auto* region = std::get_if<TMfRegion>(&object)) sink.SelectClipRegion(region, RgnCopy);
}

void SetMetafileRenderer(TDecodeFn renderer) { InstalledRenderer.store(renderer); }

TDecodeResult DecodeMetafile(std::span<const uint8_t> data) {
  const TDecodeFn renderer = InstalledRenderer.load();
  if (!renderer) return TDecodeResult::Fail(TDecodeErrorKind::deUnsupported, "metafile: no renderer installed");
  return renderer(data);
}

bool ProbeMetafile(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error) {
  const std::optional<TMfFormat> format = MetafileFormat(head);
  if (!format) return MfFail(error, TDecodeErrorKind::deCorrupt, "metafile", "neither a WMF nor an EMF header");
  if (*format == TMfFormat::Emf) {
    TByteReader r(head, 4);
    if (r.U32LE() > fileSize) return MfFail(error, TDecodeErrorKind::deTruncated, "EMF", "header record cut short");
  }
  return true;
}
