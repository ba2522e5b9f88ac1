// Byte streams for the JPEG marker walk: a seekable stream seen through a window of bytes, over
// memory or over an open file. The walk mostly moves forward and skips whole segments, so a file
// is read in windows on demand: memory use stays bounded whatever the file's size, and segments
// skipped by their length are never read at all.
//
// Positions are 64-bit; seeking beyond the end is allowed (reads there fail). Not thread-safe;
// one stream per walk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

class TZmJpegStream {
 public:
  virtual ~TZmJpegStream() = default;
  TZmJpegStream(const TZmJpegStream&) = delete;
  TZmJpegStream& operator=(const TZmJpegStream&) = delete;

  // The number of bytes in the stream. A file that turns out shorter while it is read (it was
  // truncated meanwhile) lowers it to the bytes that could be read.
  uint64_t Size() const { return Size_; }
  uint64_t Position() const { return Pos_; }
  // Any position, also beyond the end.
  void Seek(uint64_t pos) { Pos_ = pos; }

  // Reads one byte and advances; false (position unchanged) at the end.
  bool ReadByte(uint8_t& b) {
    const uint64_t off = Pos_ - WinStart_;  // wraps to a huge value before the window
    if (off < WinLen_) {
      b = Win_[off];
      ++Pos_;
      return true;
    }
    return Read(&b, 1);
  }
  // A big-endian 16-bit value; false at the end.
  bool ReadWord(uint16_t& w);
  // Reads `count` bytes into `dst`. False when the stream ends first; the position is then
  // somewhere between its old value and the end.
  bool Read(uint8_t* dst, size_t count);
  // Moves to the next 0xFF at or after the position and returns true; when there is none,
  // moves to the end and returns false. Searches whole windows at once.
  bool SkipToFF();

 protected:
  explicit TZmJpegStream(uint64_t size) : Size_(size) {}
  // Makes the byte at `pos` (below Size_) available: sets Win_, WinStart_ and WinLen_ so that
  // WinStart_ <= pos < WinStart_ + WinLen_ <= Size_. Returns false when no byte can be had at
  // `pos` because the data ended early, after lowering Size_ to `pos`. Throws on read errors.
  virtual bool Load(uint64_t pos) = 0;

  const uint8_t* Win_ = nullptr;
  uint64_t WinStart_ = 0;
  size_t WinLen_ = 0;
  uint64_t Size_ = 0;

 private:
  // Ensures the byte at Pos_ is in the window; false at the end.
  bool Ensure();
  uint64_t Pos_ = 0;
};

// A stream over bytes in memory, which the caller keeps alive. A non-zero `window` shows the
// bytes through windows of at most that many bytes, as a file stream would; tests and the fuzz
// target use it to exercise every window boundary.
class TZmJpegMemoryStream final : public TZmJpegStream {
 public:
  TZmJpegMemoryStream(const uint8_t* data, size_t size, size_t window = 0);

 protected:
  bool Load(uint64_t pos) override;

 private:
  const uint8_t* Data_;
  size_t Window_;
};

// A stream over an open file descriptor of a regular file of `size` bytes, read with pread into
// a buffer that the caller owns (at least 1 byte; 128 KiB or more reads fast). The descriptor and
// the buffer must outlive the stream. Read errors throw std::system_error.
class TZmJpegFileStream final : public TZmJpegStream {
 public:
  TZmJpegFileStream(int fd, uint64_t size, uint8_t* buffer, size_t bufferSize);

 protected:
  bool Load(uint64_t pos) override;

 private:
  int Fd_;
  uint8_t* Buffer_;
  size_t BufferSize_;
};
