#include "jpeg/ZmJpegStream.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

bool TZmJpegStream::Ensure() {
  if (Pos_ - WinStart_ < WinLen_) return true;
  if (Pos_ >= Size_) return false;
  return Load(Pos_);
}

bool TZmJpegStream::ReadWord(uint16_t& w) {
  uint8_t b[2];
  const uint64_t off = Pos_ - WinStart_;
  if (off < WinLen_ && WinLen_ - off >= 2) {
    b[0] = Win_[off];
    b[1] = Win_[off + 1];
    Pos_ += 2;
  } else if (!Read(b, 2)) {
    return false;
  }
  w = uint16_t(b[0] << 8 | b[1]);
  return true;
}

bool TZmJpegStream::Read(uint8_t* dst, size_t count) {
  while (count > 0) {
    if (!Ensure()) return false;
    const size_t off = size_t(Pos_ - WinStart_);
    const size_t n = std::min(count, WinLen_ - off);
    std::memcpy(dst, Win_ + off, n);
    dst += n;
    count -= n;
    Pos_ += n;
  }
  return true;
}

bool TZmJpegStream::SkipToFF() {
  // Every turn either finds the byte or moves Pos_ past a non-empty window, so the loop ends
  // after at most one turn per window; when Ensure fails, Pos_ is at or beyond the end.
  while (Ensure()) {
    const size_t off = size_t(Pos_ - WinStart_);
    const void* hit = std::memchr(Win_ + off, 0xFF, WinLen_ - off);
    if (hit) {
      Pos_ = WinStart_ + uint64_t(static_cast<const uint8_t*>(hit) - Win_);
      return true;
    }
    Pos_ = WinStart_ + WinLen_;
  }
  return false;
}

TZmJpegMemoryStream::TZmJpegMemoryStream(const uint8_t* data, size_t size, size_t window)
    : TZmJpegStream(data ? size : 0), Data_(data), Window_(window) {
  if (Window_ == 0 && Data_) {
    Win_ = Data_;
    WinLen_ = size;
  }
}

bool TZmJpegMemoryStream::Load(uint64_t pos) {
  if (pos >= Size_ || Window_ == 0) return false;
  Win_ = Data_ + pos;
  WinStart_ = pos;
  WinLen_ = size_t(std::min<uint64_t>(Window_, Size_ - pos));
  return true;
}

TZmJpegFileStream::TZmJpegFileStream(int fd, uint64_t size, uint8_t* buffer, size_t bufferSize)
    : TZmJpegStream(size), Fd_(fd), Buffer_(buffer), BufferSize_(bufferSize) {}

bool TZmJpegFileStream::Load(uint64_t pos) {
  if (pos >= Size_ || BufferSize_ == 0 || pos > uint64_t(INT64_MAX)) return false;
  const size_t want = size_t(std::min<uint64_t>(BufferSize_, Size_ - pos));
  for (;;) {
    const ssize_t n = pread(Fd_, Buffer_, want, off_t(pos));
    if (n > 0) {
      Win_ = Buffer_;
      WinStart_ = pos;
      WinLen_ = size_t(n);
      return true;
    }
    if (n == 0) {
      Size_ = pos;  // the file was truncated after its size was taken
      return false;
    }
    if (errno != EINTR) throw std::system_error(errno, std::generic_category(), "read");
  }
}
