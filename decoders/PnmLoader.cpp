// Netpbm images (.pbm, .pgm, .ppm): P1-P6, plain and raw. Format documents: the Netpbm
// manual pages pbm(5), pgm(5) and ppm(5) (netpbm.sourceforge.net/doc/).
//
// Only the first image of a file is read; whatever follows it is ignored. Samples are scaled
// from 0..maxval to 0..255 with rounding; a sample above maxval counts as maxval.
#include <string>
#include <vector>

#include "decoders/Decoders.h"

namespace {

// Neither side may exceed this; with the bitmap's pixel limit it keeps sizes far from overflow.
constexpr uint32_t MaxSide = 65535;
constexpr uint32_t MaxMaxval = 65535;

TDecodeError Error(TDecodeErrorKind kind, const std::string& what) { return {kind, "PNM: " + what}; }
bool Failed(TDecodeError& error, TDecodeErrorKind kind, const std::string& what) {
  error = Error(kind, what);
  return false;
}

// pbm(5): blanks are space, TAB, CR, LF, VT and FF.
bool IsBlank(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

// A cursor over the text parts of the file: the header, and the raster of plain formats.
class TPnmText {
 public:
  explicit TPnmText(std::span<const uint8_t> data, size_t pos = 0) : Data_(data), Pos_(pos) {}

  size_t Pos() const { return Pos_; }
  bool AtEnd() const { return Pos_ >= Data_.size(); }
  uint8_t Peek() const { return Data_[Pos_]; }

  // Skips blanks and comments ("#" up to the end of the line). Returns whether anything was
  // skipped, since the header requires a separator between its fields.
  bool SkipBlanks() {
    const size_t start = Pos_;
    while (Pos_ < Data_.size()) {
      if (IsBlank(Data_[Pos_])) {
        ++Pos_;
      } else if (Data_[Pos_] == '#') {
        while (Pos_ < Data_.size() && Data_[Pos_] != '\n' && Data_[Pos_] != '\r') ++Pos_;
      } else {
        break;
      }
    }
    return Pos_ != start;
  }

  // An unsigned decimal number; values above `limit` saturate at limit + 1 so that any
  // number of digits is safe. Fails when no digit is there.
  bool Number(uint32_t limit, uint32_t& value) {
    if (AtEnd() || !IsDigit(Data_[Pos_])) return false;
    uint64_t v = 0;
    while (Pos_ < Data_.size() && IsDigit(Data_[Pos_])) {
      v = v * 10 + (Data_[Pos_++] - '0');
      if (v > limit) v = uint64_t(limit) + 1;
    }
    value = uint32_t(v);
    return true;
  }

  // The single blank that ends a raw header. A comment there ends at its line break, which
  // then serves as that blank.
  bool EndOfHeader() {
    if (AtEnd()) return false;
    if (Data_[Pos_] == '#') {
      while (Pos_ < Data_.size() && Data_[Pos_] != '\n' && Data_[Pos_] != '\r') ++Pos_;
      if (AtEnd()) return false;
    }
    if (!IsBlank(Data_[Pos_])) return false;
    ++Pos_;
    return true;
  }

  void Advance() { ++Pos_; }

 private:
  std::span<const uint8_t> Data_;
  size_t Pos_;
};

struct TPnmHeader {
  char Kind = 0;  // '1'..'6'
  uint32_t Width = 0, Height = 0, Maxval = 1;
  bool Plain() const { return Kind <= '3'; }
  bool Bitmap() const { return Kind == '1' || Kind == '4'; }
  unsigned Channels() const { return Kind == '3' || Kind == '6' ? 3 : 1; }
};

bool ReadHeader(TPnmText& text, std::span<const uint8_t> data, TPnmHeader& h, TDecodeError& error) {
  if (data.size() < 2 || data[0] != 'P')
    return Failed(error, TDecodeErrorKind::deCorrupt, "no P1-P6 magic number");
  if (data[1] == '7' || data[1] == 'F' || data[1] == 'f')
    return Failed(error, TDecodeErrorKind::deUnsupported, "PAM and PFM images are not read");
  if (data[1] < '1' || data[1] > '6') return Failed(error, TDecodeErrorKind::deCorrupt, "no P1-P6 magic number");
  h.Kind = char(data[1]);
  text = TPnmText(data, 2);

  uint32_t* fields[] = {&h.Width, &h.Height, &h.Maxval};
  const size_t count = h.Bitmap() ? 2 : 3;
  for (size_t i = 0; i < count; ++i) {
    const bool separated = text.SkipBlanks();
    if (text.AtEnd()) return Failed(error, TDecodeErrorKind::deTruncated, "header cut short");
    const uint32_t limit = i < 2 ? MaxSide : MaxMaxval;
    if (!separated || !text.Number(limit, *fields[i]))
      return Failed(error, TDecodeErrorKind::deCorrupt, "malformed header");
    if (*fields[i] == 0 || *fields[i] > limit)
      return Failed(error, i < 2 && *fields[i] ? TDecodeErrorKind::deTooLarge : TDecodeErrorKind::deCorrupt,
                  std::string(i == 0 ? "width" : i == 1 ? "height" : "maxval") + " out of range");
  }
  if (h.Plain()) return true;
  if (!text.EndOfHeader())
    return Failed(error, text.AtEnd() ? TDecodeErrorKind::deTruncated : TDecodeErrorKind::deCorrupt,
                  "no blank after the header");
  return true;
}

// Raster bytes the image needs at least: exact for raw images, one character per sample (and
// a separator between numbers) for plain ones.
uint64_t MinimumRasterBytes(const TPnmHeader& h) {
  const uint64_t samples = uint64_t(h.Width) * h.Height * h.Channels();
  switch (h.Kind) {
    case '1': return samples;
    case '2': case '3': return 2 * samples - 1;
    case '4': return (uint64_t(h.Width) + 7) / 8 * h.Height;
    default: return samples * (h.Maxval > 255 ? 2 : 1);
  }
}

// The header of a file of `fileSize` bytes that starts with `data`, and whether the rest of
// the file can hold the raster it declares. Leaves `text` at the raster.
bool ReadImage(TPnmText& text, std::span<const uint8_t> data, uint64_t fileSize, TPnmHeader& h,
               TDecodeError& error) {
  if (!ReadHeader(text, data, h, error)) return false;
  if (!TBitmap32::IsAcceptableSize(h.Width, h.Height))
    return Failed(error, TDecodeErrorKind::deTooLarge,
                  std::to_string(h.Width) + "x" + std::to_string(h.Height) + " pixels");
  // Checked before allocating, so that a short file cannot ask for a huge bitmap.
  if (fileSize - text.Pos() < MinimumRasterBytes(h))
    return Failed(error, TDecodeErrorKind::deTruncated, "raster cut short");
  return true;
}

void DecodeRaw(std::span<const uint8_t> raster, const TPnmHeader& h, const std::vector<uint8_t>& scale,
               TBitmap32& bitmap) {
  const uint8_t* p = raster.data();
  if (h.Kind == '4') {
    // Rows of 8 pixels per byte, most significant bit first, each row padded to a whole byte.
    const size_t stride = (size_t(h.Width) + 7) / 8;
    for (int y = 0; y < bitmap.Height(); ++y, p += stride) {
      TColor32* dst = bitmap.ScanLine(y);
      for (int x = 0; x < bitmap.Width(); ++x)
        dst[x] = (p[x >> 3] >> (7 - (x & 7))) & 1 ? Color32(255, 0, 0, 0) : Color32(255, 255, 255, 255);
    }
    return;
  }
  const bool wide = h.Maxval > 255;  // two bytes per sample, most significant first
  auto sample = [&]() {
    const unsigned v = wide ? unsigned(p[0]) << 8 | p[1] : p[0];
    p += wide ? 2 : 1;
    return scale[std::min<unsigned>(v, h.Maxval)];
  };
  for (int y = 0; y < bitmap.Height(); ++y) {
    TColor32* dst = bitmap.ScanLine(y);
    for (int x = 0; x < bitmap.Width(); ++x) {
      if (h.Channels() == 1) {
        const uint8_t g = sample();
        dst[x] = Color32(255, g, g, g);
      } else {
        const uint8_t r = sample(), g = sample(), b = sample();
        dst[x] = Color32(255, r, g, b);
      }
    }
  }
}

bool DecodePlain(TPnmText& text, const TPnmHeader& h, const std::vector<uint8_t>& scale, TBitmap32& bitmap,
                 TDecodeError& error) {
  std::vector<uint8_t> samples(h.Channels());
  for (int y = 0; y < bitmap.Height(); ++y) {
    TColor32* dst = bitmap.ScanLine(y);
    for (int x = 0; x < bitmap.Width(); ++x) {
      for (uint8_t& s : samples) {
        text.SkipBlanks();
        if (text.AtEnd()) return Failed(error, TDecodeErrorKind::deTruncated, "raster cut short");
        if (h.Kind == '1') {
          // Each digit is a pixel; blanks between them are optional. 1 is black.
          const uint8_t c = text.Peek();
          if (c != '0' && c != '1') return Failed(error, TDecodeErrorKind::deCorrupt, "junk in the raster");
          text.Advance();
          s = c == '1' ? 0 : 255;
          continue;
        }
        uint32_t v = 0;
        if (!text.Number(h.Maxval, v)) return Failed(error, TDecodeErrorKind::deCorrupt, "junk in the raster");
        s = scale[std::min(v, h.Maxval)];
      }
      dst[x] = samples.size() == 3 ? Color32(255, samples[0], samples[1], samples[2])
                                   : Color32(255, samples[0], samples[0], samples[0]);
    }
  }
  return true;
}

}  // namespace

bool ProbePnm(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error) {
  TPnmText text(head);
  TPnmHeader h;
  if (ReadImage(text, head, fileSize, h, error)) return true;
  // Comments can make a header longer than the head: one cut there, even inside a number,
  // says nothing yet.
  return head.size() < fileSize && text.AtEnd();
}

TDecodeResult DecodePnm(std::span<const uint8_t> data) {
  TPnmText text(data);
  TPnmHeader h;
  TDecodeError error;
  if (!ReadImage(text, data, data.size(), h, error)) return error;

  // sample * 255 / maxval, rounded: exact for any maxval, not only 255 and 65535.
  std::vector<uint8_t> scale(size_t(h.Maxval) + 1);
  for (uint32_t v = 0; v <= h.Maxval; ++v) scale[v] = uint8_t((v * 255u + h.Maxval / 2) / h.Maxval);

  TBitmap32 bitmap;
  if (!AllocateBitmap(bitmap, h.Width, h.Height, error)) return error;
  if (h.Plain()) {
    if (!DecodePlain(text, h, scale, bitmap, error)) return error;
  } else {
    DecodeRaw(data.subspan(text.Pos()), h, scale, bitmap);
  }
  return bitmap;
}
