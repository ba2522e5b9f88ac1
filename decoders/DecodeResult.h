// What a decoder hands back: a bitmap, or a typed error with a reason.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>

#include "bitmap/Bitmap32.h"

enum class TDecodeErrorKind {
  deTruncated,      // the data ends before the image does, and nothing usable was decoded
  deCorrupt,        // the data contradicts the format (bad header, bad counts, bad codes)
  deUnsupported,    // a valid variant this decoder does not read
  deTooLarge,       // more than TBitmap32::MaxPixels, or a buffer that cannot be had
  deOutOfMemory,    // the allocation failed
  deReadError,      // the file could not be read (missing, unreadable, vanished)
  deUnknownFormat,  // no decoder is registered for the file's extension
};

struct TDecodeError {
  TDecodeErrorKind Kind = TDecodeErrorKind::deCorrupt;
  std::string Message;  // English, for logs and tests; the user sees the view's fixed message
};

// What the picture is wanted for, so that a decoder may do less work. Formats that cannot decode
// at a reduced scale ignore it; so does every decoder for a hint asking for the full picture.
struct TDecodeHint {
  // The upright picture will be shown fitted into this box (device pixels); an empty box asks for
  // the picture at full size.
  int FitWidth = 0;
  int FitHeight = 0;

  bool Full() const { return FitWidth <= 0 || FitHeight <= 0; }
  // Whether a picture of width x height, fitted into the box, is shown at no more than its size
  // (it covers the box's width or its height): a reduction that far loses nothing on screen.
  // Never true when the full picture is wanted.
  bool Covers(int64_t width, int64_t height) const {
    return !Full() && (width >= FitWidth || height >= FitHeight);
  }
};

class TDecodeResult {
 public:
  TDecodeResult(TBitmap32 bitmap)  // NOLINT: implicit on purpose
      : Ok_(true), Bitmap_(std::move(bitmap)), FullWidth_(Bitmap_.Width()), FullHeight_(Bitmap_.Height()) {}
  TDecodeResult(TDecodeError error) : Ok_(false), Error_(std::move(error)) {}  // NOLINT

  static TDecodeResult Fail(TDecodeErrorKind kind, std::string message) {
    return TDecodeError{kind, std::move(message)};
  }

  bool Ok() const { return Ok_; }
  explicit operator bool() const { return Ok_; }
  TBitmap32& Bitmap() { return Bitmap_; }
  const TBitmap32& Bitmap() const { return Bitmap_; }
  TBitmap32 TakeBitmap() { return std::move(Bitmap_); }
  const TDecodeError& Error() const { return Error_; }
  // Set when the data ended early but the decoder still produced the part it had (JPEG does).
  bool Partial() const { return Partial_; }
  void SetPartial(bool partial) { Partial_ = partial; }
  // The picture's real size: the bitmap's, unless a hint let the decoder reduce it. Kept when the
  // bitmap is taken.
  int FullWidth() const { return FullWidth_; }
  int FullHeight() const { return FullHeight_; }
  void SetFullSize(int width, int height) { FullWidth_ = width, FullHeight_ = height; }

 private:
  bool Ok_;
  bool Partial_ = false;
  TBitmap32 Bitmap_;
  int FullWidth_ = 0, FullHeight_ = 0;
  TDecodeError Error_;
};

// A decoder: a pure function of the file's bytes.
using TDecodeFn = TDecodeResult (*)(std::span<const uint8_t> data);
// A decoder that can do less for a hint.
using THintedDecodeFn = TDecodeResult (*)(std::span<const uint8_t> data, const TDecodeHint& hint);

// Allocates `bitmap` at width x height for a decoder, turning a size over the limit or a
// failed allocation into the matching error. Returns false and fills `error` on failure.
bool AllocateBitmap(TBitmap32& bitmap, int64_t width, int64_t height, TDecodeError& error);

// Whether `available` bytes of pixel data can hold a real part of a picture whose smallest
// possible encoding (every run as long as the format allows) takes `minimum` bytes. A cut
// file still shows what it holds, but one with less than a sixteenth of that smallest
// encoding is refused, so that a few bytes cannot make a decoder build a huge empty bitmap.
constexpr bool PlausibleDataSize(uint64_t available, uint64_t minimum) { return available >= minimum / 16; }

// Whether a picture of width x height whose pixel data is `available` bytes and needs at
// least `minimum` can be decoded at all: a size that is wrong in itself is reported as such,
// whatever the data; otherwise a picture the data cannot plausibly hold fails with
// deTruncated. A probe asks this with the bytes the whole file leaves for the pixels.
bool CheckPictureData(int64_t width, int64_t height, uint64_t available, uint64_t minimum,
                      TDecodeError& error);

// CheckPictureData, then AllocateBitmap: nothing is allocated for a picture the data cannot hold.
bool AllocateBitmapForData(TBitmap32& bitmap, int64_t width, int64_t height, uint64_t available,
                           uint64_t minimum, TDecodeError& error);
