#include "decoders/RunLength.h"

#include <algorithm>
#include <cstring>

TRunResult UnpackBits(std::span<const uint8_t> src, std::span<uint8_t> dst) {
  TRunResult r;
  size_t& in = r.Consumed;
  size_t& out = r.Written;
  while (out < dst.size() && in < src.size()) {
    const int n = int8_t(src[in++]);
    if (n >= 0) {
      const size_t want = size_t(n) + 1;
      const size_t len = std::min({want, src.size() - in, dst.size() - out});
      std::memcpy(dst.data() + out, src.data() + in, len);
      out += len;
      in += std::min(want, src.size() - in);
    } else if (n != -128) {
      if (in >= src.size()) break;
      const uint8_t v = src[in++];
      const size_t len = std::min(size_t(1 - n), dst.size() - out);
      std::memset(dst.data() + out, v, len);
      out += len;
    }
  }
  return r;
}

TRunResult UnpackSgiRow(std::span<const uint8_t> src, unsigned unitBytes, std::span<uint8_t> dst) {
  TRunResult r;
  if (unitBytes != 1 && unitBytes != 2) return r;
  const size_t dstUnits = dst.size() / unitBytes;
  size_t in = 0, outUnits = 0;
  auto unitAt = [&](size_t pos) {
    return unitBytes == 1 ? unsigned(src[pos]) : (unsigned(src[pos]) << 8) | src[pos + 1];
  };
  while (outUnits < dstUnits && src.size() - in >= unitBytes) {
    const unsigned u = unitAt(in);
    in += unitBytes;
    const size_t count = u & 0x7F;
    if (count == 0) break;
    const size_t len = std::min(count, dstUnits - outUnits);
    if (u & 0x80) {
      const size_t avail = (src.size() - in) / unitBytes;
      const size_t copy = std::min(len, avail);
      std::memcpy(dst.data() + outUnits * unitBytes, src.data() + in, copy * unitBytes);
      outUnits += copy;
      in += std::min(count, avail) * unitBytes;
      if (copy < len) break;
    } else {
      if (src.size() - in < unitBytes) break;
      for (size_t i = 0; i < len; ++i)
        std::memcpy(dst.data() + (outUnits + i) * unitBytes, src.data() + in, unitBytes);
      outUnits += len;
      in += unitBytes;
    }
  }
  r.Consumed = in;
  r.Written = outUnits * unitBytes;
  return r;
}

size_t TPcxRunReader::Read(std::span<uint8_t> dst) {
  size_t out = 0;
  while (out < dst.size()) {
    if (PendingCount_ > 0) {
      const size_t len = std::min(size_t(PendingCount_), dst.size() - out);
      std::memset(dst.data() + out, PendingValue_, len);
      out += len;
      PendingCount_ -= unsigned(len);
      continue;
    }
    if (Pos_ >= Src_.size()) break;
    const uint8_t b = Src_[Pos_++];
    if (!Compressed_ || b < 0xC0) {
      dst[out++] = b;
      continue;
    }
    // A run byte at the very end has no value to repeat: the data ends here.
    if (Pos_ >= Src_.size()) break;
    PendingValue_ = Src_[Pos_++];
    PendingCount_ = b & 0x3F;  // 0xC0 repeats nothing
  }
  return out;
}

const uint8_t* TPixelPacketReader::Next() {
  if (!Compressed_) {
    if (Src_.size() - Pos_ < Unit_) return nullptr;
    const uint8_t* p = Src_.data() + Pos_;
    Pos_ += Unit_;
    return p;
  }
  if (Left_ == 0) {
    if (Pos_ >= Src_.size()) return nullptr;
    const uint8_t h = Src_[Pos_++];
    Left_ = (h & 0x7Fu) + 1;
    Repeat_ = (h & 0x80) != 0;
    if (Repeat_) {
      if (Src_.size() - Pos_ < Unit_) {
        Left_ = 0;
        return nullptr;
      }
      RunPixel_ = Src_.data() + Pos_;
      Pos_ += Unit_;
    }
  }
  --Left_;
  if (Repeat_) return RunPixel_;
  if (Src_.size() - Pos_ < Unit_) {
    Left_ = 0;
    return nullptr;
  }
  const uint8_t* p = Src_.data() + Pos_;
  Pos_ += Unit_;
  return p;
}

TRunResult UnpackSignedRuns(std::span<const uint8_t> src, std::span<uint8_t> dst, unsigned repeatBias) {
  TRunResult r;
  size_t& in = r.Consumed;
  size_t& out = r.Written;
  while (out < dst.size() && in < src.size()) {
    const int c = int8_t(src[in++]);
    if (c < 0) {
      const size_t want = size_t(-c);
      const size_t len = std::min({want, src.size() - in, dst.size() - out});
      std::memcpy(dst.data() + out, src.data() + in, len);
      out += len;
      in += std::min(want, src.size() - in);
    } else {
      if (in >= src.size()) break;
      const uint8_t v = src[in++];
      const size_t len = std::min(size_t(c) + repeatBias, dst.size() - out);
      std::memset(dst.data() + out, v, len);
      out += len;
    }
  }
  return r;
}
