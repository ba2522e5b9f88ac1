// TByteReader: a bounds-checked cursor over a decoder's input bytes.
//
// Reads past the end never touch memory outside the span: they return 0 (or an empty span)
// and set a sticky Failed() flag, so a decoder can read a whole header and check once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

class TByteReader {
 public:
  explicit TByteReader(std::span<const uint8_t> data, size_t pos = 0)
      : Data_(data), Pos_(pos <= data.size() ? pos : data.size()), Failed_(pos > data.size()) {}

  size_t Pos() const { return Pos_; }
  size_t Size() const { return Data_.size(); }
  size_t Remaining() const { return Data_.size() - Pos_; }
  bool AtEnd() const { return Pos_ >= Data_.size(); }
  bool Failed() const { return Failed_; }
  std::span<const uint8_t> Data() const { return Data_; }

  bool Seek(size_t pos) {
    if (pos > Data_.size()) return Fail();
    Pos_ = pos;
    return true;
  }
  bool Skip(size_t n) {
    if (n > Remaining()) return Fail();
    Pos_ += n;
    return true;
  }
  // The next n bytes, or an empty span (and Failed) when fewer remain.
  std::span<const uint8_t> Take(size_t n) {
    if (n > Remaining()) {
      Fail();
      return {};
    }
    auto s = Data_.subspan(Pos_, n);
    Pos_ += n;
    return s;
  }
  bool Read(void* dst, size_t n) {
    auto s = Take(n);
    if (s.size() != n) return false;
    if (n) std::memcpy(dst, s.data(), n);
    return true;
  }

  uint8_t U8() { return Remaining() >= 1 ? Data_[Pos_++] : (Fail(), 0); }
  uint16_t U16LE() { return uint16_t(Get(2, false)); }
  uint16_t U16BE() { return uint16_t(Get(2, true)); }
  uint32_t U32LE() { return uint32_t(Get(4, false)); }
  uint32_t U32BE() { return uint32_t(Get(4, true)); }
  int16_t I16LE() { return int16_t(U16LE()); }
  int16_t I16BE() { return int16_t(U16BE()); }
  int32_t I32LE() { return int32_t(U32LE()); }
  int32_t I32BE() { return int32_t(U32BE()); }

 private:
  bool Fail() {
    Failed_ = true;
    return false;
  }
  uint64_t Get(size_t n, bool bigEndian) {
    if (n > Remaining()) {
      Pos_ = Data_.size();
      Fail();
      return 0;
    }
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) {
      const uint64_t b = Data_[Pos_ + i];
      v |= bigEndian ? b << (8 * (n - 1 - i)) : b << (8 * i);
    }
    Pos_ += n;
    return v;
  }

  std::span<const uint8_t> Data_;
  size_t Pos_;
  bool Failed_;
};
