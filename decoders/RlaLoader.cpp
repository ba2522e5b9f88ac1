// Wavefront RLA and 3ds Max RPF images (.rla .rpf).
//
// Reads the first image of a file of the current layout (revision 0xFFFE): one colour channel
// (grey) or three (RGB), a further colour channel being ignored; the first matte channel as
// alpha; integer samples of 1 to 32 bits; aux channels (RPF's depth, object IDs, normals...)
// skipped. The stored active window is placed where it lies in the full frame. Floating-point
// channels and the older header layouts are refused.
#include <algorithm>
#include <string>
#include <vector>

#include "decoders/ByteReader.h"
#include "decoders/ColourConvert.h"
#include "decoders/Decoders.h"
#include "decoders/RunLength.h"

namespace {

constexpr size_t HeaderSize = 740;
constexpr uint16_t CurrentRevision = 0xFFFE;
constexpr int FloatChannelType = 4;
constexpr unsigned MaxRunBytes = 128;
// A frame is drawn around the active window only up to this many pixels (or as large as the
// window itself): a few bytes must not make us allocate a huge empty frame.
constexpr int64_t MaxFramePixels = int64_t(1) << 24;

bool Refuse(TDecodeError& error, TDecodeErrorKind kind, const std::string& why) {
  error = {kind, "Invalid RLA image: " + why};
  return false;
}

struct TRlaHeader {
  int WindowLeft = 0, WindowRight = 0, WindowBottom = 0, WindowTop = 0;  // the full frame
  int ActiveLeft = 0, ActiveRight = 0, ActiveBottom = 0, ActiveTop = 0;  // the stored pixels
  int ColourChannels = 0, MatteChannels = 0, AuxChannels = 0;
  int ColourType = 0, ColourBits = 0, MatteType = 0, MatteBits = 0;

  int64_t Width() const { return int64_t(ActiveRight) - ActiveLeft + 1; }
  int64_t Height() const { return int64_t(ActiveTop) - ActiveBottom + 1; }
  // The scanline table of absolute offsets follows the header.
  uint64_t DataStart() const { return HeaderSize + uint64_t(Height()) * 4; }
  // The fewest bytes a scanline can take: a length and the shortest runs for each channel.
  uint64_t MinimumRowBytes() const {
    const uint64_t w = uint64_t(Width());
    const uint64_t colour = 2 + MinimumRunBytes(w * SampleBytes(ColourBits), 1, MaxRunBytes, 1);
    const uint64_t matte = 2 + MinimumRunBytes(w * SampleBytes(MatteBits), 1, MaxRunBytes, 1);
    return colour * ColourChannels + matte * MatteChannels + 2 * uint64_t(AuxChannels);
  }
  static unsigned SampleBytes(int bits) { return unsigned(bits + 7) / 8; }
};

bool CheckBits(int bits, const char* what, TDecodeError& error) {
  if (bits >= 1 && bits <= 32) return true;
  return Refuse(error, TDecodeErrorKind::deCorrupt, std::to_string(bits) + " bits per " + what + " sample");
}

// The 740-byte header, big-endian, checked against a file of `fileSize` bytes.
bool ReadHeader(std::span<const uint8_t> data, uint64_t fileSize, TRlaHeader& h, TDecodeError& error) {
  TByteReader r(data);
  h.WindowLeft = r.I16BE(), h.WindowRight = r.I16BE(), h.WindowBottom = r.I16BE(), h.WindowTop = r.I16BE();
  h.ActiveLeft = r.I16BE(), h.ActiveRight = r.I16BE(), h.ActiveBottom = r.I16BE(), h.ActiveTop = r.I16BE();
  r.Skip(2);  // frame number
  h.ColourType = r.I16BE();
  h.ColourChannels = r.I16BE();
  h.MatteChannels = r.I16BE();
  h.AuxChannels = r.I16BE();
  const uint16_t revision = r.U16BE();
  r.Seek(658);
  h.ColourBits = r.I16BE();
  h.MatteType = r.I16BE();
  h.MatteBits = r.I16BE();
  if (r.Failed() || fileSize < HeaderSize)
    return Refuse(error, TDecodeErrorKind::deTruncated, "file shorter than its header");
  if (revision != CurrentRevision)
    return Refuse(error, TDecodeErrorKind::deUnsupported,
                  "older header layout (revision " + std::to_string(revision) + ")");
  if (h.Width() <= 0 || h.Height() <= 0)
    return Refuse(error, TDecodeErrorKind::deCorrupt, "empty active window");
  if (h.ColourChannels < 1 || h.ColourChannels > 4 || h.MatteChannels < 0 || h.MatteChannels > 1 ||
      h.AuxChannels < 0)
    return Refuse(error, TDecodeErrorKind::deCorrupt,
                  std::to_string(h.ColourChannels) + " colour and " + std::to_string(h.MatteChannels) +
                      " matte channels");
  if (!CheckBits(h.ColourBits, "colour", error) ||
      (h.MatteChannels && !CheckBits(h.MatteBits, "matte", error)))
    return false;
  if (h.ColourType == FloatChannelType || (h.MatteChannels && h.MatteType == FloatChannelType))
    return Refuse(error, TDecodeErrorKind::deUnsupported, "floating-point channels");
  if (!h.MatteChannels) h.MatteBits = 8;  // whatever the unused field says
  if (h.DataStart() > fileSize)
    return Refuse(error, TDecodeErrorKind::deTruncated, "scanline table runs past the end of the file");
  return CheckPictureData(h.Width(), h.Height(), fileSize - h.DataStart(),
                          uint64_t(h.Height()) * h.MinimumRowBytes(), error);
}

// Where the active window goes: on a frame-sized canvas at its place in the frame, or alone
// when the frame is empty, misses the window, or is far too large for what it holds.
struct TPlacement {
  int64_t Width = 0, Height = 0;  // of the canvas
  int64_t X = 0, Y = 0;           // of the active window's top left corner on it
};

TPlacement Place(const TRlaHeader& h) {
  const int64_t w = h.Width(), ht = h.Height();
  const int64_t fw = int64_t(h.WindowRight) - h.WindowLeft + 1,
                fh = int64_t(h.WindowTop) - h.WindowBottom + 1;
  // Rows count upwards: the frame's top row is WindowTop.
  const int64_t x = int64_t(h.ActiveLeft) - h.WindowLeft, y = int64_t(h.WindowTop) - h.ActiveTop;
  const bool overlaps = fw > 0 && fh > 0 && x < fw && x + w > 0 && y < fh && y + ht > 0;
  if (!overlaps || fw * fh > std::max(MaxFramePixels, w * ht)) return {w, ht, 0, 0};
  return {fw, fh, x, y};
}

// The channel records of a scanline: a u16 byte length, then byte runs.
class TScanline {
 public:
  TScanline(std::span<const uint8_t> data, size_t offset) : R_(data, offset) {}

  // Decodes the next record into `plane`, zero-filling what it leaves out. False when the
  // record is not wholly in the file.
  bool Read(std::span<uint8_t> plane) {
    const uint16_t length = R_.U16BE();
    const bool whole = !R_.Failed() && length <= R_.Remaining();
    const TRunResult run = UnpackSignedRuns(R_.Take(std::min<size_t>(length, R_.Remaining())), plane, 1);
    std::fill(plane.begin() + run.Written, plane.end(), uint8_t(0));
    return whole;
  }
  bool Skip() {
    const uint16_t length = R_.U16BE();
    return R_.Skip(length);
  }

 private:
  TByteReader R_;
};

// Samples of one channel: byte planes of the scanline, most significant plane first.
class TSamples {
 public:
  TSamples(const uint8_t* planes, size_t width, int bits)
      : P_(planes), W_(width), Bytes_(TRlaHeader::SampleBytes(bits)), Max_((uint64_t(1) << bits) - 1) {}

  uint8_t operator[](size_t x) const {
    if (Bytes_ == 1 && Max_ == 255) return P_[x];
    uint64_t v = 0;
    for (unsigned k = 0; k < Bytes_; ++k) v = v << 8 | P_[k * W_ + x];
    return uint8_t((std::min(v, Max_) * 255 + Max_ / 2) / Max_);
  }

 private:
  const uint8_t* P_;
  size_t W_;
  unsigned Bytes_;
  uint64_t Max_;
};

}  // namespace

bool ProbeRla(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error) {
  TRlaHeader h;
  return ReadHeader(head, fileSize, h, error);
}

TDecodeResult DecodeRla(std::span<const uint8_t> data) {
  TRlaHeader h;
  TDecodeError error;
  if (!ReadHeader(data, data.size(), h, error)) return error;
  const TPlacement at = Place(h);
  TBitmap32 bitmap;
  if (!AllocateBitmap(bitmap, at.Width, at.Height, error)) return error;

  const size_t w = size_t(h.Width());
  const int height = int(h.Height());
  const size_t colourBytes = w * TRlaHeader::SampleBytes(h.ColourBits);
  const int shownColours = h.ColourChannels >= 3 ? 3 : 1;
  std::vector<uint8_t> colour(colourBytes * size_t(h.ColourChannels));
  std::vector<uint8_t> matte(w * TRlaHeader::SampleBytes(h.MatteBits), 255);
  const TSamples red(colour.data(), w, h.ColourBits);
  const TSamples green(colour.data() + (shownColours == 3 ? colourBytes : 0), w, h.ColourBits);
  const TSamples blue(colour.data() + (shownColours == 3 ? 2 * colourBytes : 0), w, h.ColourBits);
  const TSamples alpha(matte.data(), w, h.MatteBits);

  bool anyMissing = false, anyPresent = false;
  TByteReader table(data, HeaderSize);
  for (int i = 0; i < height; ++i) {
    const uint64_t offset = table.U32BE();
    const int64_t canvasRow = at.Y + (height - 1 - i);  // scanline 0 is the bottom row
    if (offset < h.DataStart() || offset >= data.size()) {
      anyMissing = true;
      continue;
    }
    TScanline line(data, size_t(offset));
    bool whole = true;
    for (int c = 0; c < h.ColourChannels; ++c)
      whole = line.Read(std::span(colour).subspan(c * colourBytes, colourBytes)) && whole;
    if (h.MatteChannels) whole = line.Read(matte) && whole;
    // Aux channels are skipped; only their absence from the file counts against the row.
    for (int c = 0; c < h.AuxChannels && whole; ++c) whole = line.Skip();
    anyMissing |= !whole;
    anyPresent = true;
    if (canvasRow < 0 || canvasRow >= at.Height) continue;
    TColor32* out = bitmap.ScanLine(int(canvasRow));
    const int64_t first = std::max<int64_t>(0, -at.X), last = std::min<int64_t>(w, at.Width - at.X);
    for (int64_t x = first; x < last; ++x)
      out[at.X + x] = Color32(alpha[size_t(x)], red[size_t(x)], green[size_t(x)], blue[size_t(x)]);
  }
  if (!anyPresent)
    return TDecodeResult::Fail(TDecodeErrorKind::deTruncated, "Invalid RLA image: no scanline in the file");

  // Renderers store colour already multiplied by the matte.
  FinishStraightAlpha(bitmap, h.MatteChannels ? TAlphaMode::amPremultiplied : TAlphaMode::amOpaque);
  TDecodeResult result(std::move(bitmap));
  result.SetPartial(anyMissing);
  return result;
}
