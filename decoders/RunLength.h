// Run-length schemes of the Targa, PCX, SGI and Photoshop formats, and the smallest size of
// run-length data of any scheme.
//
// Every decoder here is bounded on both sides: it never reads past its source span, never
// writes past its destination, and stops when either is used up. Runs that would overflow the
// destination are clipped. None of them allocates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// The fewest bytes in which `count` units of `unitBytes` bytes can be stored by a scheme whose
// runs repeat at most `maxRun` units for `headerBytes` of header plus one unit: the bound a
// decoder gives AllocateBitmapForData, as no file of the format can be smaller.
constexpr uint64_t MinimumRunBytes(uint64_t count, unsigned unitBytes, unsigned maxRun, unsigned headerBytes) {
  return (count + maxRun - 1) / maxRun * (headerBytes + unitBytes);
}

struct TRunResult {
  size_t Written = 0;   // bytes stored in the destination
  size_t Consumed = 0;  // bytes taken from the source
};

// PackBits (Apple Technical Note TN1023), as Photoshop stores its rows: a signed header byte
// n, 0..127 copies n+1 literal bytes, -1..-127 repeats the next byte 1-n times, -128 is a
// no-op. Decodes until dst is full or src runs out.
TRunResult UnpackBits(std::span<const uint8_t> src, std::span<uint8_t> dst);

// One row of SGI RLE in units of `unitBytes` (1, or 2 for big-endian 16-bit samples): a unit
// whose low 7 bits are 0 ends the row; with bit 7 set, that many units follow literally;
// otherwise the next unit is repeated that many times. dst receives whole units in file byte
// order; Written counts bytes.
TRunResult UnpackSgiRow(std::span<const uint8_t> src, unsigned unitBytes, std::span<uint8_t> dst);

// The byte stream of a PCX image. Runs (a byte >= 0xC0 gives the count in its low 6 bits, the
// next byte the value) may cross scan lines, so the reader keeps an unfinished run for the
// next call. An uncompressed file passes its bytes through.
class TPcxRunReader {
 public:
  TPcxRunReader(std::span<const uint8_t> src, bool compressed) : Src_(src), Compressed_(compressed) {}
  // Fills dst; returns the number of bytes produced, less than dst.size() only at the end of
  // the data.
  size_t Read(std::span<uint8_t> dst);

 private:
  std::span<const uint8_t> Src_;
  size_t Pos_ = 0;
  bool Compressed_;
  unsigned PendingCount_ = 0;
  uint8_t PendingValue_ = 0;
};

// The pixel stream of a Targa image: whole pixels of `unitBytes` bytes, either stored one
// after another or in packets (a header byte h; bit 7 set: one pixel repeated (h & 0x7F) + 1
// times; clear: (h & 0x7F) + 1 literal pixels). Packets may cross scan lines.
class TPixelPacketReader {
 public:
  TPixelPacketReader(std::span<const uint8_t> src, size_t unitBytes, bool compressed)
      : Src_(src), Unit_(unitBytes ? unitBytes : 1), Compressed_(compressed) {}
  // The bytes of the next pixel (Unit bytes), or nullptr when the data ends.
  const uint8_t* Next();

 private:
  std::span<const uint8_t> Src_;
  size_t Pos_ = 0;
  size_t Unit_;
  bool Compressed_;
  unsigned Left_ = 0;     // pixels left in the current packet
  bool Repeat_ = false;   // the current packet repeats one pixel
  const uint8_t* RunPixel_ = nullptr;
};

// Runs led by a signed count byte c, as Wavefront RLA and Autodesk FLC store them: c >= 0
// repeats the next byte c + repeatBias times (RLA counts from 1, FLC from 0); c < 0 copies -c
// literal bytes. Decodes until dst is full or src runs out.
TRunResult UnpackSignedRuns(std::span<const uint8_t> src, std::span<uint8_t> dst, unsigned repeatBias);
