// Byte builders for metafile tests: a WMF or EMF is stated as its header and its records.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "tests/support/DibBytes.h"

// A WMF of 16-bit words. With the placeable header, bounding box (0, 0, side, side) at `inch`
// units per inch; a side of 96 at 96 units per inch makes one logical unit one pixel.
class TWmfBytes {
 public:
  explicit TWmfBytes(int side = 96, unsigned inch = 96, bool placeable = true) {
    if (placeable) {
      const uint16_t words[] = {0xCDD7, 0x9AC6, 0, 0, 0, uint16_t(side), uint16_t(side), uint16_t(inch), 0, 0};
      uint16_t checksum = 0;
      for (uint16_t w : words) B_.U16(w), checksum ^= w;
      B_.U16(checksum);
    }
    B_.U16(1).U16(9).U16(0x0300).U32(0).U16(8).U32(0).U16(0);
  }
  // A record of `function` with parameter words (negative values are stored as int16).
  TWmfBytes& Rec(uint16_t function, std::initializer_list<int> words) {
    B_.U32(uint32_t(3 + words.size())).U16(function);
    for (int w : words) B_.U16(uint16_t(w));
    return *this;
  }
  // A record with parameter bytes, padded to a whole word.
  TWmfBytes& Rec(uint16_t function, const TBytes& params) {
    B_.U32(uint32_t(3 + (params.Size() + 1) / 2)).U16(function).Raw(params);
    if (params.Size() % 2) B_.U8(0);
    return *this;
  }
  // The file, ended by META_EOF.
  std::vector<uint8_t> Bytes() const {
    TBytes b = B_;
    b.U32(3).U16(0);
    return b;
  }

 private:
  TBytes B_;
};

// An EMF whose frame is (0, 0, 2539, 2539) in 0.01 mm on a reference device of 96 dpi: a
// picture of 96 x 96 pixels on which one device unit is one pixel.
class TEmfBytes {
 public:
  explicit TEmfBytes(uint16_t handles = 8) {
    B_.U32(1).U32(108).I32(0).I32(0).I32(95).I32(95).I32(0).I32(0).I32(2539).I32(2539);
    B_.U32(0x464D4520).U32(0x10000).U32(0).U32(0).U16(handles).U16(0).U32(0).U32(0).U32(0);
    B_.I32(960).I32(960).I32(254).I32(254).U32(0).U32(0).U32(0).I32(254000).I32(254000);
  }
  // A record of `type` whose payload follows the type and size, padded to 4 bytes.
  TEmfBytes& Rec(uint32_t type, const TBytes& payload) {
    const size_t padded = (payload.Size() + 3) / 4 * 4;
    B_.U32(type).U32(uint32_t(8 + padded)).Raw(payload).Fill(padded - payload.Size(), 0);
    return *this;
  }
  TEmfBytes& Rec(uint32_t type, std::initializer_list<int64_t> dwords) {
    TBytes payload;
    for (int64_t d : dwords) payload.U32(uint32_t(d));
    return Rec(type, payload);
  }
  // The file, ended by EMR_EOF.
  std::vector<uint8_t> Bytes() const {
    TBytes b = B_;
    b.U32(14).U32(20).U32(0).U32(16).U32(20);
    return b;
  }

 private:
  TBytes B_;
};
