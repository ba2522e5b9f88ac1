// Byte builders for bitmap and icon tests: little-endian fields appended in file order, so a
// test states a file as the sequence of its fields.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>
#include <vector>

class TBytes {
 public:
  TBytes() = default;
  TBytes(std::initializer_list<uint8_t> bytes) : Bytes_(bytes) {}

  TBytes& U8(unsigned v) { Bytes_.push_back(uint8_t(v)); return *this; }
  TBytes& U16(unsigned v) { return U8(v).U8(v >> 8); }
  TBytes& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  TBytes& I32(int32_t v) { return U32(uint32_t(v)); }
  TBytes& Text(std::string_view s) { Bytes_.insert(Bytes_.end(), s.begin(), s.end()); return *this; }
  TBytes& Raw(const std::vector<uint8_t>& b) { Bytes_.insert(Bytes_.end(), b.begin(), b.end()); return *this; }
  TBytes& Raw(const TBytes& b) { return Raw(b.Vec()); }
  TBytes& Fill(size_t count, uint8_t v) { Bytes_.insert(Bytes_.end(), count, v); return *this; }
  // Overwrites a little-endian 32-bit field at `at`.
  TBytes& Put32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) Bytes_.at(at + i) = uint8_t(v >> (8 * i));
    return *this;
  }

  size_t Size() const { return Bytes_.size(); }
  const std::vector<uint8_t>& Vec() const { return Bytes_; }
  // Both conversions are meant: a TBytes passes straight to a decoder or into a byte table.
  operator std::vector<uint8_t>() const { return Bytes_; }              // NOLINT
  operator std::span<const uint8_t>() const { return Bytes_; }          // NOLINT

 private:
  std::vector<uint8_t> Bytes_;
};

// A 40-byte BITMAPINFOHEADER.
inline TBytes DibInfo40(int32_t width, int32_t height, unsigned bitCount, uint32_t compression = 0,
                        uint32_t colorsUsed = 0) {
  TBytes b;
  b.U32(40).I32(width).I32(height).U16(1).U16(bitCount).U32(compression).U32(0).I32(2835).I32(2835);
  b.U32(colorsUsed).U32(0);
  return b;
}

// A whole BMP file: the 14-byte file header in front of `dib` (info header, masks, colour
// table) and `pixels`, with bfOffBits pointing at the pixels.
inline TBytes BmpFile(const TBytes& dib, const TBytes& pixels) {
  TBytes b;
  const uint32_t offBits = uint32_t(14 + dib.Size());
  b.Text("BM").U32(uint32_t(offBits + pixels.Size())).U32(0).U32(offBits).Raw(dib).Raw(pixels);
  return b;
}
