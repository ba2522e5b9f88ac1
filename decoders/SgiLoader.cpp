// SGI image files (.sgi .rgb .rgba .bw).
//
// Follows "The SGI Image File Format", version 1.00, Paul Haeberli, Silicon Graphics (draft
// 0.97 text); the header section of that document is cited for each field below. Reads
// verbatim and RLE storage, 1 to 4 channels (grey, grey+alpha, RGB, RGBA; further channels
// are ignored), 8 and 16 bits per channel. Rows are stored bottom row first.
#include <algorithm>
#include <string>
#include <vector>

#include "decoders/ByteReader.h"
#include "decoders/ColourConvert.h"
#include "decoders/Decoders.h"
#include "decoders/RunLength.h"

namespace {

constexpr size_t HeaderSize = 512;
constexpr uint16_t Magic = 474;
constexpr unsigned MaxShownChannels = 4;

TDecodeResult Fail(TDecodeErrorKind kind, const std::string& why) {
  return TDecodeResult::Fail(kind, "Invalid SGI image: " + why);
}
bool Refuse(TDecodeError& error, TDecodeErrorKind kind, const std::string& why) {
  error = {kind, "Invalid SGI image: " + why};
  return false;
}

struct TSgiHeader {
  uint8_t Storage = 0;  // 0 verbatim, 1 RLE
  uint8_t Bpc = 0;      // bytes per channel
  uint16_t Dimension = 0;
  uint16_t XSize = 0, YSize = 0, ZSize = 0;
  uint32_t ColourMap = 0;
  unsigned Rows = 0, Channels = 0;  // as the dimension makes them
  uint64_t DataStart = 0;           // after the header and any RLE offset tables
};

// Reads a row of one channel into `row` (XSize samples of Bpc bytes, file byte order).
// Returns false when the row's data is not (completely) in the file.
class TSgiRows {
 public:
  TSgiRows(std::span<const uint8_t> data, const TSgiHeader& h, unsigned rows, unsigned channels)
      : Data_(data), H_(h), Rows_(rows), Channels_(channels) {}

  bool Read(unsigned y, unsigned z, std::span<uint8_t> row) const {
    const size_t rowBytes = row.size();
    if (H_.Storage == 0) {
      // Verbatim: all rows of channel 0, then all rows of channel 1, ...
      const uint64_t offset = HeaderSize + (uint64_t(z) * Rows_ + y) * rowBytes;
      return Copy(offset, rowBytes, row);
    }
    // RLE: two tables of Rows x Channels big-endian u32 after the header, start offsets
    // then byte lengths, indexed by y + z * Rows. Rows may share data and come in any order.
    const size_t index = size_t(z) * Rows_ + y;
    const size_t tableBytes = size_t(Rows_) * Channels_ * 4;
    TByteReader start(Data_, HeaderSize + index * 4);
    TByteReader length(Data_, HeaderSize + tableBytes + index * 4);
    const uint64_t offset = start.U32BE();
    const uint64_t len = length.U32BE();
    if (offset >= Data_.size()) return Fill(row);
    const auto src = Data_.subspan(size_t(offset), size_t(std::min<uint64_t>(len, Data_.size() - offset)));
    const TRunResult r = UnpackSgiRow(src, H_.Bpc, row);
    std::fill(row.begin() + r.Written, row.end(), uint8_t(0));
    // A row cut short by the end of the file is missing data; one that simply ends early is
    // taken as it is (padded with zero).
    return offset + len <= Data_.size();
  }

 private:
  bool Copy(uint64_t offset, size_t n, std::span<uint8_t> row) const {
    if (offset >= Data_.size()) return Fill(row);
    const size_t avail = size_t(std::min<uint64_t>(n, Data_.size() - offset));
    std::copy_n(Data_.data() + offset, avail, row.data());
    std::fill(row.begin() + avail, row.end(), uint8_t(0));
    return avail == n;
  }
  static bool Fill(std::span<uint8_t> row) {
    std::fill(row.begin(), row.end(), uint8_t(0));
    return false;
  }

  std::span<const uint8_t> Data_;
  const TSgiHeader& H_;
  unsigned Rows_, Channels_;
};

// "The Header": the first 512 bytes, all big-endian, checked against a file of `fileSize`
// bytes that starts with `data`.
bool ReadHeader(std::span<const uint8_t> data, uint64_t fileSize, TSgiHeader& h, TDecodeError& error) {
  TByteReader r(data);
  const uint16_t magic = r.U16BE();
  h.Storage = r.U8();
  h.Bpc = r.U8();
  h.Dimension = r.U16BE();
  h.XSize = r.U16BE();
  h.YSize = r.U16BE();
  h.ZSize = r.U16BE();
  r.Skip(4 + 4 + 4 + 80);  // PIXMIN, PIXMAX (informational), DUMMY, IMAGENAME
  h.ColourMap = r.U32BE();
  if (r.Failed() || fileSize < HeaderSize) {
    if (!r.Failed() && magic != Magic) return Refuse(error, TDecodeErrorKind::deCorrupt, "bad magic number");
    return Refuse(error, TDecodeErrorKind::deTruncated, "file shorter than its header");
  }
  if (magic != Magic) return Refuse(error, TDecodeErrorKind::deCorrupt, "bad magic number");
  if (h.Storage > 1)
    return Refuse(error, TDecodeErrorKind::deCorrupt, "storage " + std::to_string(h.Storage));
  if (h.Bpc != 1 && h.Bpc != 2)
    return Refuse(error, TDecodeErrorKind::deCorrupt, "BPC " + std::to_string(h.Bpc));
  if (h.Dimension < 1 || h.Dimension > 3)
    return Refuse(error, TDecodeErrorKind::deCorrupt, "dimension " + std::to_string(h.Dimension));
  // COLORMAP: only "normal" pixels are images of their own; the dithered and indexed kinds
  // need a colour map this format cannot carry.
  if (h.ColourMap != 0)
    return Refuse(error, TDecodeErrorKind::deUnsupported, "colour map type " + std::to_string(h.ColourMap));

  // DIMENSION 1 is a single row of one channel, 2 a single channel: the other sizes are
  // then ignored whatever they say.
  h.Rows = h.Dimension == 1 ? 1 : h.YSize;
  h.Channels = h.Dimension == 3 ? h.ZSize : 1;
  if (h.XSize == 0 || h.Rows == 0 || h.Channels == 0)
    return Refuse(error, TDecodeErrorKind::deCorrupt, "image has no pixels");
  h.DataStart = HeaderSize + (h.Storage == 0 ? 0 : uint64_t(h.Rows) * h.Channels * 8);
  if (h.DataStart > fileSize)
    return Refuse(error, TDecodeErrorKind::deTruncated, "RLE offset tables run past the end of the file");

  // RLE rows may all share one record, so only the tables say how many rows there are.
  const uint64_t minimum = h.Storage == 0
                               ? uint64_t(h.XSize) * h.Bpc * h.Rows * std::min(h.Channels, MaxShownChannels)
                               : MinimumRunBytes(h.XSize, h.Bpc, 127, h.Bpc);
  return CheckPictureData(h.XSize, h.Rows, fileSize - h.DataStart, minimum, error);
}

}  // namespace

bool ProbeSgi(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error) {
  TSgiHeader h;
  return ReadHeader(head, fileSize, h, error);
}

TDecodeResult DecodeSgi(std::span<const uint8_t> data) {
  TSgiHeader h;
  TDecodeError error;
  TBitmap32 bitmap;
  if (!ReadHeader(data, data.size(), h, error) || !AllocateBitmap(bitmap, h.XSize, h.Rows, error))
    return error;
  const unsigned rows = h.Rows, channels = h.Channels;
  // ZSIZE 1 is grey, 2 grey and alpha, 3 RGB, 4 RGBA; more channels are not shown.
  const unsigned shown = std::min(channels, MaxShownChannels);
  const size_t rowBytes = size_t(h.XSize) * h.Bpc;
  std::vector<uint8_t> buffer(rowBytes * shown);
  TSgiRows source(data, h, rows, channels);
  bool anyMissing = false, anyPresent = false;
  const int w = h.XSize;
  for (unsigned y = 0; y < rows; ++y) {
    const uint8_t* plane[MaxShownChannels];
    for (unsigned z = 0; z < shown; ++z) {
      std::span<uint8_t> row(buffer.data() + z * rowBytes, rowBytes);
      if (source.Read(y, z, row))
        anyPresent = true;
      else
        anyMissing = true;
      plane[z] = row.data();
    }
    auto sample = [&](unsigned z, int x) -> uint8_t {
      return h.Bpc == 1 ? plane[z][x] : Scale16To8(uint16_t((plane[z][2 * x] << 8) | plane[z][2 * x + 1]));
    };
    TColor32* out = bitmap.ScanLine(int(rows - 1 - y));  // row 0 is the bottom one
    for (int x = 0; x < w; ++x) {
      if (shown <= 2) {
        const uint8_t v = sample(0, x);
        out[x] = Color32(shown == 2 ? sample(1, x) : 255, v, v, v);
      } else {
        out[x] = Color32(shown == 4 ? sample(3, x) : 255, sample(0, x), sample(1, x), sample(2, x));
      }
    }
  }
  if (!anyPresent) return Fail(TDecodeErrorKind::deTruncated, "no pixel data in the file");

  FinishStraightAlpha(bitmap, shown == 2 || shown == 4 ? TAlphaMode::amStraight : TAlphaMode::amOpaque);
  TDecodeResult result(std::move(bitmap));
  result.SetPartial(anyMissing);
  return result;
}
