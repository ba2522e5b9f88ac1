// Raw CCITT Group 3 fax streams (ITU-T T.4) without a TIFF header, as fax modems and fax
// software store them under ".fax" (netpbm's "Fax format" notes and fax2tiff(1) describe them).
//
// Such a stream carries no size and no parameters. What it does carry are EOL codes, eleven or
// more 0 bits then a 1, which valid code words never contain: a stream must begin with one, the
// lines of the first page are the non-empty stretches between them, and two EOLs in a row (the
// return-to-control sequence) end the page. Bit order (MSB or LSB first), 1-D or 2-D coding and
// the page width (the standard 1728, 2048 or 2432 pixels) are found by letting libtiff decode
// the first lines under each assumption and keeping the one that decodes cleanest; unless its
// first lines decode without a complaint the file is not taken for a fax. The stream is then
// decoded through an in-memory TIFF that holds a copy of it.
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "decoders/TiffLoader.h"

namespace {

// A fax page is tens of kilobytes; anything this large is not a raw fax stream.
constexpr size_t MaxRawFaxBytes = size_t(64) << 20;
constexpr int MinEolZeros = 11;
constexpr std::array<uint32_t, 3> PageWidths = {1728, 2048, 2432};
constexpr uint32_t TrialLines = 64;
// Many binary files begin with enough zero bits to look like an EOL, and a few bytes of noise
// can pass for a line; a page's first lines (its top margin, usually) must all decode cleanly.
constexpr uint32_t MinCleanLines = 16;

struct TFaxLayout {
  bool LsbFirst = false;  // bits fill each byte from the least significant bit (FillOrder 2)
  bool TwoD = false;      // T.4 2-D coding: a tag bit follows each EOL
  uint32_t Width = 1728;
};

uint8_t ReverseBits(uint8_t b) {
  b = uint8_t((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = uint8_t((b & 0xCC) >> 2 | (b & 0x33) << 2);
  return uint8_t((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

// The number of lines of the first page, or 0 when the stream does not begin with an EOL.
uint32_t CountLines(std::span<const uint8_t> data, const TFaxLayout& layout) {
  int zeros = 0;
  bool started = false, segmentHasData = false, skipTag = false;
  uint32_t lines = 0;
  for (uint8_t byte : data) {
    if (byte == 0 && !skipTag) {
      zeros += 8;
      continue;
    }
    if (layout.LsbFirst) byte = ReverseBits(byte);
    for (int i = 7; i >= 0; --i) {
      const bool bit = (byte >> i) & 1;
      if (skipTag) {  // the 1-D/2-D tag after an EOL is neither data nor part of a zero run
        skipTag = false;
        continue;
      }
      if (!bit) {
        ++zeros;
        continue;
      }
      if (zeros >= MinEolZeros) {
        if (started) {
          if (segmentHasData) ++lines;
          else if (lines > 0) return lines;  // EOL, EOL: end of the page
        }
        started = true;
        segmentHasData = false;
        skipTag = layout.TwoD;
      } else {
        if (!started) return 0;  // data before the first EOL: not a raw fax stream
        segmentHasData = true;
      }
      zeros = 0;
    }
  }
  return started ? lines + (segmentHasData ? 1 : 0) : 0;
}

// The stream goes into a buffer behind room for a TIFF header and directory, copied once;
// WriteDirectory then describes it under each layout tried.
constexpr uint32_t EntryCount = 11;
constexpr uint32_t DataOffset = 8 + 2 + EntryCount * 12 + 4;

// A little-endian TIFF header and directory for one strip holding the whole stream.
void WriteDirectory(std::vector<uint8_t>& tiff, const TFaxLayout& layout, uint32_t lines) {
  struct TEntry {
    uint16_t Tag, Type;
    uint32_t Value;
  };
  constexpr uint16_t Short = 3, Long = 4;
  const TEntry entries[EntryCount] = {
      {TIFFTAG_IMAGEWIDTH, Long, layout.Width},
      {TIFFTAG_IMAGELENGTH, Long, lines},
      {TIFFTAG_BITSPERSAMPLE, Short, 1},
      {TIFFTAG_COMPRESSION, Short, COMPRESSION_CCITTFAX3},
      {TIFFTAG_PHOTOMETRIC, Short, PHOTOMETRIC_MINISWHITE},
      {TIFFTAG_FILLORDER, Short, uint32_t(layout.LsbFirst ? FILLORDER_LSB2MSB : FILLORDER_MSB2LSB)},
      {TIFFTAG_STRIPOFFSETS, Long, DataOffset},
      {TIFFTAG_SAMPLESPERPIXEL, Short, 1},
      {TIFFTAG_ROWSPERSTRIP, Long, lines},
      {TIFFTAG_STRIPBYTECOUNTS, Long, uint32_t(tiff.size() - DataOffset)},
      {TIFFTAG_GROUP3OPTIONS, Long, uint32_t(layout.TwoD ? GROUP3OPT_2DENCODING : 0)},
  };
  size_t at = 0;
  auto put16 = [&](uint32_t v) {
    tiff[at++] = uint8_t(v);
    tiff[at++] = uint8_t(v >> 8);
  };
  auto put32 = [&](uint32_t v) {
    put16(v & 0xFFFF);
    put16(v >> 16);
  };
  put16('I' | 'I' << 8);
  put16(42);
  put32(8);
  put16(EntryCount);
  for (const TEntry& e : entries) {
    put16(e.Tag);
    put16(e.Type);
    put32(1);
    put32(e.Value);  // a SHORT sits in the first two bytes of the value field (little-endian)
  }
  put32(0);  // no next directory
}

// Decodes up to `maxLines` lines into `bits` (one packed row per line, 1 = black) when `bits`
// is given. Returns the lines decoded before libtiff failed, or, with `stopAtTrouble`, before
// its first complaint of any kind.
uint32_t DecodeLines(const std::vector<uint8_t>& tiff, uint32_t maxLines, bool stopAtTrouble,
                     std::vector<uint8_t>* bits, size_t& rowBytes) {
  TTiffMemoryFile file;
  if (!file.Open(tiff)) return 0;
  const tmsize_t scanline = TIFFScanlineSize(file.Tiff());
  if (scanline <= 0) return 0;
  rowBytes = size_t(scanline);
  std::vector<uint8_t> row(rowBytes);
  if (bits) bits->resize(size_t(maxLines) * rowBytes);
  uint32_t done = 0;
  for (; done < maxLines; ++done) {
    const int complaints = file.Errors() + file.Warnings();
    if (TIFFReadScanline(file.Tiff(), row.data(), done, 0) < 0) break;
    if (stopAtTrouble && file.Errors() + file.Warnings() > complaints) break;
    if (bits) std::memcpy(bits->data() + size_t(done) * rowBytes, row.data(), rowBytes);
  }
  return done;
}

TDecodeError NotFax() { return {TDecodeErrorKind::deCorrupt, "neither a TIFF nor a raw G3 fax stream"}; }

}  // namespace

bool ProbeRawFax(std::span<const uint8_t> head, uint64_t fileSize, TDecodeError& error) {
  if (fileSize > MaxRawFaxBytes) {
    error = {TDecodeErrorKind::deTooLarge, "raw fax stream larger than 64 MiB"};
    return false;
  }
  // The stream begins with an EOL, eleven or more 0 bits: its first byte is 0.
  if (head.size() < 2 || head[0] != 0) {
    error = NotFax();
    return false;
  }
  return true;
}

TDecodeResult DecodeRawFax(std::span<const uint8_t> data) {
  TDecodeError error;
  if (!ProbeRawFax(data, data.size(), error)) return error;

  std::vector<uint8_t> tiff(DataOffset + data.size());
  std::memcpy(tiff.data() + DataOffset, data.data(), data.size());

  // Try every layout on the first lines; the first best stays (MSB first, 1-D, 1728 wide).
  TFaxLayout best;
  uint32_t bestLines = 0, bestScore = 0;
  for (bool lsbFirst : {false, true}) {
    for (bool twoD : {false, true}) {
      TFaxLayout layout{lsbFirst, twoD, PageWidths[0]};
      const uint32_t lines = CountLines(data, layout);
      if (lines == 0) continue;
      for (uint32_t width : PageWidths) {
        layout.Width = width;
        size_t rowBytes = 0;
        WriteDirectory(tiff, layout, lines);
        const uint32_t score = DecodeLines(tiff, std::min(lines, TrialLines), true, nullptr, rowBytes);
        if (score > bestScore) best = layout, bestLines = lines, bestScore = score;
      }
    }
  }
  if (bestScore < MinCleanLines) return NotFax();

  TBitmap32 bitmap;
  if (!TBitmap32::IsAcceptableSize(best.Width, bestLines))
    return TDecodeResult::Fail(TDecodeErrorKind::deTooLarge, "fax page exceeds 2^28 pixels");
  std::vector<uint8_t> bits;
  size_t rowBytes = 0;
  WriteDirectory(tiff, best, bestLines);
  const uint32_t decoded = DecodeLines(tiff, bestLines, false, &bits, rowBytes);
  if (decoded == 0) return NotFax();
  if (!AllocateBitmap(bitmap, best.Width, decoded, error)) {
    error.Message = "fax: " + error.Message;
    return error;
  }
  for (uint32_t y = 0; y < decoded; ++y) {
    const uint8_t* in = bits.data() + size_t(y) * rowBytes;
    TColor32* out = bitmap.ScanLine(int(y));
    for (uint32_t x = 0; x < best.Width; ++x)
      out[x] = (in[x >> 3] >> (7 - (x & 7))) & 1 ? Color32(255, 0, 0, 0) : Color32(255, 255, 255, 255);
  }
  TDecodeResult result(std::move(bitmap));
  result.SetPartial(decoded < bestLines);
  return result;
}
