// Adobe Photoshop documents (.psd .pdd, and the large-document variant .psb).
//
// Follows the "Adobe Photoshop File Formats Specification" (Adobe, 2016 web edition); the
// section names below are that document's. Only the merged composite of the Image Data
// Section is shown; layers are skipped. Reads raw and PackBits data in PSD (version 1) and
// PSB (version 2) files, colour modes Bitmap, Grayscale, Indexed, RGB, CMYK, Lab, Duotone
// (first channel as grey) and Multichannel (first channel as grey), 1/8/16 bits per channel
// and 32-bit float grey and RGB. ZIP-compressed composites are refused: Photoshop never
// writes them there. The embedded ICC profile (image resource 1039) converts RGB, indexed, grey
// and CMYK pictures of 8 and 16 bits to sRGB; 32-bit pictures hold linear light and are shown
// as such.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "decoders/ByteReader.h"
#include "decoders/ColourConvert.h"
#include "decoders/ColourProfile.h"
#include "decoders/Decoders.h"
#include "decoders/RunLength.h"

namespace {

// The largest side accepted: PSB allows 300 000, but no supported picture is that long.
constexpr uint32_t MaxSide = 65535;
constexpr unsigned MaxChannels = 56;
constexpr uint16_t TransparencyIndexResource = 0x0417;
constexpr uint16_t IccProfileResource = 0x040F;

enum TPsdMode : uint16_t {
  pmBitmap = 0,
  pmGrayscale = 1,
  pmIndexed = 2,
  pmRgb = 3,
  pmCmyk = 4,
  pmMultichannel = 7,
  pmDuotone = 8,
  pmLab = 9,
};

TDecodeError Error(TDecodeErrorKind kind, const std::string& why) {
  return {kind, "Invalid PSD image: " + why};
}
bool Refuse(TDecodeError& error, TDecodeErrorKind kind, const std::string& why) {
  error = Error(kind, why);
  return false;
}

// Colour channels a mode uses; the channels after them are extra (alpha or saved selections).
unsigned ColourChannels(uint16_t mode) {
  switch (mode) {
    case pmRgb:
    case pmLab:
      return 3;
    case pmCmyk:
      return 4;
    default:
      return 1;
  }
}

// The File Header Section, and what the sections between it and the pixels say about them.
struct TPsdHeader {
  uint16_t Version = 0;  // 1 PSD, 2 PSB
  uint16_t Channels = 0;
  uint32_t Height = 0, Width = 0;
  uint16_t Depth = 0;
  uint16_t Mode = 0;
  unsigned ColourChannels = 0;
  TPalette Palette;           // of an indexed picture
  int TransparentIndex = -1;  // of an indexed picture that has one
  bool HasAlpha = false;      // the channel after the colour channels is transparency
  bool Matted = false;        // and the colours were blended over white with it
  std::span<const uint8_t> Profile;  // the embedded ICC profile, if any
  size_t ImageData = 0;       // offset of the Image Data Section

  bool Psb() const { return Version == 2; }
  size_t RowBytes() const { return (size_t(Width) * Depth + 7) / 8; }
  unsigned UsedChannels() const { return ColourChannels + (HasAlpha ? 1 : 0); }
};

// The data of image resource `id` (8BIM blocks: signature, u16 id, padded Pascal name, u32 size,
// data padded to even); empty when there is none.
std::span<const uint8_t> FindResource(std::span<const uint8_t> resources, uint16_t id) {
  TByteReader r(resources);
  while (r.Remaining() >= 12) {
    r.Skip(4);  // "8BIM" (other signatures exist and are laid out alike)
    const uint16_t blockId = r.U16BE();
    const uint8_t nameLength = r.U8();
    r.Skip(nameLength + ((nameLength + 1) & 1));
    const uint32_t size = r.U32BE();
    auto block = r.Take(size);
    r.Skip(size & 1);
    if (r.Failed()) break;
    if (blockId == id) return block;
  }
  return {};
}

// The File Header Section: sizes, depth and colour mode, checked against each other.
bool ReadFileHeader(TByteReader& r, TPsdHeader& h, TDecodeError& error) {
  const bool signature = r.Remaining() >= 4 && std::memcmp(r.Data().data(), "8BPS", 4) == 0;
  if (!signature) return Refuse(error, TDecodeErrorKind::deCorrupt, "no 8BPS signature");
  r.Skip(4);
  h.Version = r.U16BE();
  r.Skip(6);
  h.Channels = r.U16BE();
  h.Height = r.U32BE();
  h.Width = r.U32BE();
  h.Depth = r.U16BE();
  h.Mode = r.U16BE();
  if (r.Failed()) return Refuse(error, TDecodeErrorKind::deTruncated, "file shorter than its header");
  if (h.Version != 1 && h.Version != 2)
    return Refuse(error, TDecodeErrorKind::deUnsupported, "version " + std::to_string(h.Version));
  if (h.Channels < 1 || h.Channels > MaxChannels)
    return Refuse(error, TDecodeErrorKind::deCorrupt, std::to_string(h.Channels) + " channels");
  if (h.Width == 0 || h.Height == 0) return Refuse(error, TDecodeErrorKind::deCorrupt, "image has no pixels");
  if (h.Width > MaxSide || h.Height > MaxSide || !TBitmap32::IsAcceptableSize(h.Width, h.Height))
    return Refuse(error, TDecodeErrorKind::deTooLarge,
                  std::to_string(h.Width) + "x" + std::to_string(h.Height) + " is too large");

  const uint16_t mode = h.Mode, depth = h.Depth;
  const std::string inMode = " in colour mode " + std::to_string(mode);
  const bool knownMode = mode == pmBitmap || mode == pmGrayscale || mode == pmIndexed || mode == pmRgb ||
                         mode == pmCmyk || mode == pmMultichannel || mode == pmDuotone || mode == pmLab;
  if (!knownMode)
    return Refuse(error, TDecodeErrorKind::deUnsupported, "colour mode " + std::to_string(mode));
  if (depth != 1 && depth != 8 && depth != 16 && depth != 32)
    return Refuse(error, TDecodeErrorKind::deCorrupt, "depth " + std::to_string(depth));
  if ((mode == pmBitmap) != (depth == 1))
    return Refuse(error, TDecodeErrorKind::deCorrupt, "depth " + std::to_string(depth) + inMode);
  if (mode == pmIndexed && depth != 8)
    return Refuse(error, TDecodeErrorKind::deCorrupt, "indexed colour of depth " + std::to_string(depth));
  if (depth == 32 && mode != pmGrayscale && mode != pmRgb)
    return Refuse(error, TDecodeErrorKind::deUnsupported, "32 bits" + inMode);
  h.ColourChannels = ColourChannels(mode);
  if (h.Channels < h.ColourChannels)
    return Refuse(error, TDecodeErrorKind::deCorrupt, std::to_string(h.Channels) + " channels" + inMode);
  return true;
}

// The Color Mode Data, Image Resources and Layer and Mask Information Sections, for what they
// say about the composite: its palette, its transparency and where its pixels start.
bool ReadSections(TByteReader& r, TPsdHeader& h, TDecodeError& error) {
  // Color Mode Data Section: the palette of an indexed picture, 256 reds, greens, blues.
  auto modeData = r.Take(r.U32BE());
  if (r.Failed())
    return Refuse(error, TDecodeErrorKind::deTruncated, "colour mode data runs past the end of the file");
  if (h.Mode == pmIndexed) {
    if (modeData.size() < 768)
      return Refuse(error, TDecodeErrorKind::deCorrupt, "indexed picture without a palette");
    h.Palette.Resize(256);
    for (size_t i = 0; i < 256; ++i)
      h.Palette.Set(i, Color32(255, modeData[i], modeData[256 + i], modeData[512 + i]));
  }

  // Image Resources Section.
  auto resources = r.Take(r.U32BE());
  if (r.Failed())
    return Refuse(error, TDecodeErrorKind::deTruncated, "image resources run past the end of the file");
  if (const auto index = FindResource(resources, TransparencyIndexResource);
      h.Mode == pmIndexed && index.size() >= 2)
    h.TransparentIndex = (index[0] << 8) | index[1];
  h.Profile = FindResource(resources, IccProfileResource);

  // Layer and Mask Information Section: skipped, except for the layer count. A negative
  // count says the first extra channel of the composite is its transparency.
  // Section lengths are 4 bytes in PSD and 8 in PSB.
  auto length = [&r, psb = h.Psb()]() -> uint64_t {
    const uint64_t high = psb ? r.U32BE() : 0;
    return high << 32 | r.U32BE();
  };
  const uint64_t layerSectionLength = length();
  const size_t layerStart = r.Pos();
  int layerCount = 0;
  bool layersEmpty = true;
  if (layerSectionLength >= (h.Psb() ? 8u : 4u) + 2) {  // room for the layer info length and count
    const uint64_t layerInfoLength = length();
    if (layerInfoLength >= 2) {
      layerCount = r.I16BE();
      layersEmpty = layerCount == 0;
    }
  }
  if (r.Failed() || layerSectionLength > r.Size() - layerStart)
    return Refuse(error, TDecodeErrorKind::deTruncated, "layer section runs past the end of the file");
  h.ImageData = layerStart + size_t(layerSectionLength);

  // Extra channels are saved selections unless the layer count says otherwise. Files that
  // other programs write without any layer information put RGBA in four channels, so an
  // empty layer section also makes the fourth channel of an RGB picture alpha. Bitmap,
  // indexed and multichannel pictures cannot have an alpha channel.
  const uint16_t mode = h.Mode;
  const bool modeHasAlpha =
      mode == pmGrayscale || mode == pmRgb || mode == pmCmyk || mode == pmLab || mode == pmDuotone;
  h.HasAlpha =
      h.Channels > h.ColourChannels && modeHasAlpha && (layerCount < 0 || (layersEmpty && mode == pmRgb));
  // Photoshop stores a merged picture with transparency blended over white (stored = c*a +
  // white*(1-a)); shown as it is, every soft edge would carry a white fringe. Pictures from
  // other programs (no layer section) are not matted.
  h.Matted = h.HasAlpha && layerCount < 0;
  return true;
}

// Reads rows of single channels out of the Image Data Section, raw or PackBits.
class TChannelRows {
 public:
  TChannelRows(std::span<const uint8_t> data, const TPsdHeader& h) : Data_(data), H_(h) {}

  // Parses the compression field and, for PackBits, the byte-count table (2-byte counts in
  // PSD, 4-byte in PSB) of every row of every channel.
  bool Prepare(TDecodeError& error) {
    TByteReader r(Data_, H_.ImageData);
    Compression_ = r.U16BE();
    if (r.Failed()) return Refuse(error, TDecodeErrorKind::deTruncated, "no image data section");
    if (Compression_ == 2 || Compression_ == 3)
      return Refuse(error, TDecodeErrorKind::deUnsupported, "ZIP-compressed composite image");
    if (Compression_ > 3) return Refuse(error, TDecodeErrorKind::deCorrupt, "compression " + std::to_string(Compression_));
    Start_ = r.Pos();
    const unsigned used = H_.UsedChannels();
    const uint64_t usedRows = uint64_t(used) * H_.Height;
    if (Compression_ == 0) {
      Available_ = r.Remaining();
      Minimum_ = usedRows * H_.RowBytes();
      return true;
    }
    const size_t countBytes = H_.Psb() ? 4 : 2;
    const uint64_t rows = uint64_t(H_.Channels) * H_.Height;
    if (rows * countBytes > r.Remaining())
      return Refuse(error, TDecodeErrorKind::deTruncated, "row byte counts run past the end of the file");
    Available_ = r.Remaining() - rows * countBytes;
    Minimum_ = usedRows * MinimumRunBytes(H_.RowBytes(), 1, 128, 1);
    uint64_t offset = Start_ + rows * countBytes;
    RowOffsets_.resize(size_t(used) * H_.Height + 1);
    for (size_t i = 0; i < RowOffsets_.size(); ++i) {
      RowOffsets_[i] = offset;
      if (i < rows) offset += countBytes == 2 ? r.U16BE() : r.U32BE();
    }
    return true;
  }

  // Bytes of pixel data after the tables, and the fewest the used channels need.
  uint64_t Available() const { return Available_; }
  uint64_t Minimum() const { return Minimum_; }

  // Decodes row y of channel c into `row` (RowBytes long). Returns false when its data is
  // not (all) in the file; the missing part is zero.
  bool Read(unsigned c, uint32_t y, std::span<uint8_t> row) const {
    std::fill(row.begin(), row.end(), uint8_t(0));
    if (Compression_ == 0) {
      const uint64_t offset = Start_ + (uint64_t(c) * H_.Height + y) * row.size();
      if (offset >= Data_.size()) return false;
      const size_t avail = size_t(std::min<uint64_t>(row.size(), Data_.size() - offset));
      std::memcpy(row.data(), Data_.data() + offset, avail);
      return avail == row.size();
    }
    const size_t index = size_t(c) * H_.Height + y;
    const uint64_t begin = RowOffsets_[index], end = RowOffsets_[index + 1];
    if (begin >= Data_.size()) return false;
    const auto src = Data_.subspan(size_t(begin), size_t(std::min<uint64_t>(end, Data_.size()) - begin));
    UnpackBits(src, row);  // rows that decode short are padded with zero, overlong ones clipped
    return end <= Data_.size();
  }

 private:
  std::span<const uint8_t> Data_;
  const TPsdHeader& H_;
  uint16_t Compression_ = 0;
  size_t Start_ = 0;
  uint64_t Available_ = 0, Minimum_ = 0;
  std::vector<uint64_t> RowOffsets_;  // start of each used row's data, plus one end offset
};

// One sample of a decoded row at the header's depth.
struct TRowSamples {
  const uint8_t* Row;
  uint16_t Depth;

  uint16_t Raw16(uint32_t x) const { return uint16_t((Row[2 * x] << 8) | Row[2 * x + 1]); }
  float Float(uint32_t x) const {
    const uint32_t bits = (uint32_t(Row[4 * x]) << 24) | (uint32_t(Row[4 * x + 1]) << 16) |
                          (uint32_t(Row[4 * x + 2]) << 8) | Row[4 * x + 3];
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
  }
  // 8-bit value; 32-bit float colour is linear light and gets the sRGB curve.
  uint8_t Colour(uint32_t x) const {
    switch (Depth) {
      case 8: return Row[x];
      case 16: return Scale16To8(Raw16(x));
      default: return LinearFloatToSrgb8(Float(x));
    }
  }
  uint8_t Alpha(uint32_t x) const { return Depth == 32 ? UnitFloatTo8(Float(x)) : Colour(x); }
  // 0..1, for the Lab conversion.
  double Unit(uint32_t x) const { return Depth == 8 ? Row[x] / 255.0 : Raw16(x) / 65535.0; }
};

// A stored value blended over white (255) at alpha 1/gain, back to the colour itself.
uint8_t Unmatte(uint8_t v, double gain) {
  const double c = 255 - (255 - v) * gain;
  return c <= 0 ? 0 : uint8_t(c + 0.5);
}

// One row of each channel the picture uses, and how to read its pixels.
struct TPsdRow {
  const TPsdHeader& H;
  TRowSamples Ch[5];  // colour channels, then alpha
  const TColourTransform* Cmyk = nullptr;  // the embedded CMYK profile
  uint8_t* Ink = nullptr;                  // a row of 4-byte ink amounts for it

  uint8_t Alpha(uint32_t x) const { return H.HasAlpha ? Ch[H.ColourChannels].Alpha(x) : 255; }
  // 1 / alpha for a matted picture, whose white is taken out again in its own colour space:
  // white is 255 in every stored channel (CMYK is stored as 255 - ink) except Lab's a and b,
  // whose neutral is 0.
  double Gain(uint8_t alpha) const { return H.Matted && alpha > 0 ? 255.0 / alpha : 1.0; }
  uint8_t Colour(unsigned c, uint32_t x, double gain) const {
    return gain == 1.0 ? Ch[c].Colour(x) : Unmatte(Ch[c].Colour(x), gain);
  }
};

// Turns one row of a colour mode into straight ARGB; chosen once per picture.
using TRowConverter = void (*)(const TPsdRow& in, TColor32* out);

void BitmapRow(const TPsdRow& in, TColor32* out) {
  for (uint32_t x = 0; x < in.H.Width; ++x) {
    const bool black = (in.Ch[0].Row[x / 8] >> (7 - x % 8)) & 1;  // 1 is black in this mode
    out[x] = black ? Color32(255, 0, 0, 0) : Color32(255, 255, 255, 255);
  }
}

void IndexedRow(const TPsdRow& in, TColor32* out) {
  for (uint32_t x = 0; x < in.H.Width; ++x) {
    const uint8_t index = in.Ch[0].Row[x];
    out[x] = int(index) == in.H.TransparentIndex ? 0 : in.H.Palette.At(index);
  }
}

void RgbRow(const TPsdRow& in, TColor32* out) {
  for (uint32_t x = 0; x < in.H.Width; ++x) {
    const uint8_t a = in.Alpha(x);
    const double gain = in.Gain(a);
    out[x] = Color32(a, in.Colour(0, x, gain), in.Colour(1, x, gain), in.Colour(2, x, gain));
  }
}

void CmykRow(const TPsdRow& in, TColor32* out) {  // stored as 255 - ink
  for (uint32_t x = 0; x < in.H.Width; ++x) {
    const uint8_t a = in.Alpha(x);
    const double gain = in.Gain(a);
    uint8_t ink[4];
    for (unsigned c = 0; c < 4; ++c) ink[c] = 255 - in.Colour(c, x, gain);
    if (in.Cmyk)
      std::memcpy(in.Ink + 4 * size_t(x), ink, 4);
    else
      out[x] = CmykToColor32(ink[0], ink[1], ink[2], ink[3], a);
  }
  if (!in.Cmyk) return;
  in.Cmyk->ConvertCmyk(in.Ink, out, in.H.Width);
  for (uint32_t x = 0; x < in.H.Width; ++x) out[x] = (out[x] & 0xFFFFFFu) | uint32_t(in.Alpha(x)) << 24;
}

void LabRow(const TPsdRow& in, TColor32* out) {  // L 0..100, a and b offset by 128
  for (uint32_t x = 0; x < in.H.Width; ++x) {
    const uint8_t a = in.Alpha(x);
    const double gain = in.Gain(a);
    out[x] = LabToColor32(100 - (1 - in.Ch[0].Unit(x)) * 100 * gain, (in.Ch[1].Unit(x) * 255 - 128) * gain,
                          (in.Ch[2].Unit(x) * 255 - 128) * gain, a);
  }
}

// Grey, and the first channel of duotone and multichannel pictures.
void GreyRow(const TPsdRow& in, TColor32* out) {
  for (uint32_t x = 0; x < in.H.Width; ++x) {
    const uint8_t a = in.Alpha(x);
    const uint8_t v = in.Colour(0, x, in.Gain(a));
    out[x] = Color32(a, v, v, v);
  }
}

TRowConverter RowConverter(uint16_t mode) {
  switch (mode) {
    case pmBitmap:
      return BitmapRow;
    case pmIndexed:
      return IndexedRow;
    case pmRgb:
      return RgbRow;
    case pmCmyk:
      return CmykRow;
    case pmLab:
      return LabRow;
    default:
      return GreyRow;
  }
}

// The transform of the embedded profile for the picture's colours, or null.
TColourTransformPtr EmbeddedColour(const TPsdHeader& h) {
  if (h.Depth == 32) return nullptr;
  switch (h.Mode) {
    case pmRgb:
    case pmIndexed:
      return ColourTransformFor(h.Profile, TColourModel::cmRgb);
    case pmGrayscale:
      return ColourTransformFor(h.Profile, TColourModel::cmGrey);
    case pmCmyk:
      return ColourTransformFor(h.Profile, TColourModel::cmCmyk);
    default:
      return nullptr;
  }
}

}  // namespace

// Only the File Header Section is looked at, so the data check takes the smallest picture it
// allows: just the colour channels, each row raw or packed, whichever is smaller, and every
// byte after the header as pixel data.
bool ProbePsd(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error) {
  TByteReader r(head);
  TPsdHeader h;
  if (!ReadFileHeader(r, h, error)) return false;
  const uint64_t rowBytes = std::min<uint64_t>(h.RowBytes(), MinimumRunBytes(h.RowBytes(), 1, 128, 1));
  const uint64_t minimum = uint64_t(h.ColourChannels) * h.Height * rowBytes;
  return CheckPictureData(h.Width, h.Height, fileSize - r.Pos(), minimum, error);
}

TDecodeResult DecodePsd(std::span<const uint8_t> data) {
  TByteReader r(data);
  TPsdHeader h;
  TDecodeError error;
  if (!ReadFileHeader(r, h, error) || !ReadSections(r, h, error)) return error;
  TChannelRows channels(data, h);
  if (!channels.Prepare(error)) return error;
  TBitmap32 bitmap;
  if (!AllocateBitmapForData(bitmap, h.Width, h.Height, channels.Available(), channels.Minimum(), error))
    return error;

  const TRowConverter convert = RowConverter(h.Mode);
  const size_t rowBytes = h.RowBytes();
  std::vector<uint8_t> buffer(rowBytes * h.UsedChannels());
  TPsdRow row{h, {}};
  const TColourTransformPtr colour = EmbeddedColour(h);
  const bool cmyk = colour && h.Mode == pmCmyk;  // converted with the samples, before anything else
  std::vector<uint8_t> ink(cmyk ? 4 * size_t(h.Width) : 0);
  if (cmyk) row.Cmyk = colour.get(), row.Ink = ink.data();
  bool anyMissing = false, anyPresent = false;
  for (uint32_t y = 0; y < h.Height; ++y) {
    for (unsigned c = 0; c < h.UsedChannels(); ++c) {
      std::span<uint8_t> samples(buffer.data() + c * rowBytes, rowBytes);
      if (channels.Read(c, y, samples))
        anyPresent = true;
      else
        anyMissing = true;
      row.Ch[c] = {samples.data(), h.Depth};
    }
    convert(row, bitmap.ScanLine(int(y)));
    if (colour && !cmyk) colour->Convert(bitmap.ScanLine(int(y)), h.Width);
  }
  if (!anyPresent) return Error(TDecodeErrorKind::deTruncated, "no image data in the file");

  FinishStraightAlpha(bitmap,
                      h.HasAlpha || h.TransparentIndex >= 0 ? TAlphaMode::amStraight : TAlphaMode::amOpaque);
  TDecodeResult result(std::move(bitmap));
  result.SetPartial(anyMissing);
  return result;
}
