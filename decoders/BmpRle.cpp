// RLE8/RLE4 decoding. Format documents: Microsoft "Bitmap Compression" (Windows GDI) for the
// code grammar, [MS-WMF] 2.1.1.7 for the nibble order of RLE4.
#include "decoders/BmpRle.h"

#include <algorithm>

namespace {

// Writes into the current row with clipping: pixels past the right edge are consumed but
// dropped, as runs that overflow the row must not spill into the next one.
class TRowWriter {
 public:
  TRowWriter(const TDibHeader& header, const std::vector<TColor32>& palette, TBitmap32& bitmap)
      : Palette_(palette), Bitmap_(bitmap), Width_(header.Width), Height_(header.Height),
        TopDown_(header.TopDown) {}

  bool InImage() const { return Row_ < Height_; }
  bool Drawn() const { return Drawn_; }
  void Put(unsigned index) {
    if (X_ < Width_) {
      Line()[X_] = Palette_[index];
      Drawn_ = true;
    }
    ++X_;
  }
  void Fill(unsigned index, unsigned count) {
    const int64_t end = std::min<int64_t>(X_ + count, Width_);
    if (X_ < end) {
      std::fill(Line() + X_, Line() + end, Palette_[index]);
      Drawn_ = true;
    }
    X_ += count;
  }
  void NextLine() {
    ++Row_;
    X_ = 0;
  }
  void Move(unsigned dx, unsigned dy) {
    X_ += dx;
    Row_ += dy;
  }
  bool Incomplete() const { return Row_ < Height_ - 1 || (Row_ == Height_ - 1 && X_ < Width_); }

 private:
  TColor32* Line() { return Bitmap_.ScanLine(int(TopDown_ ? Row_ : Height_ - 1 - Row_)); }

  const std::vector<TColor32>& Palette_;
  TBitmap32& Bitmap_;
  int64_t Width_, Height_;
  bool TopDown_;
  int64_t X_ = 0, Row_ = 0;  // Row_ counts stored rows: the bottom row first unless top-down
  bool Drawn_ = false;
};

}  // namespace

TRleOutcome DecodeDibRle(std::span<const uint8_t> rle, const TDibHeader& header,
                         const std::vector<TColor32>& palette, TBitmap32& bitmap) {
  TRleOutcome outcome;
  const bool nibbles = header.Compression == dcRle4;
  TRowWriter out(header, palette, bitmap);
  const size_t n = rle.size();
  size_t i = 0;
  while (out.InImage() && i + 2 <= n) {
    const unsigned count = rle[i], value = rle[i + 1];
    i += 2;
    if (count > 0) {
      // Encoded mode: RLE4 alternates the two nibbles of the value, high one first.
      if (!nibbles || (value >> 4) == (value & 15)) {
        out.Fill(nibbles ? value & 15 : value, count);
      } else {
        for (unsigned k = 0; k < count; ++k) out.Put(k & 1 ? value & 15 : value >> 4);
      }
      continue;
    }
    switch (value) {
      case 0:  // end of line
        out.NextLine();
        break;
      case 1:  // end of bitmap
        outcome.Drawn = out.Drawn();
        return outcome;
      case 2:  // delta: right dx, then dy rows further in storage order ("up" for bottom-up)
        if (i + 2 > n) {
          i = n;
          break;
        }
        out.Move(rle[i], rle[i + 1]);
        i += 2;
        break;
      default: {
        // Absolute mode: `value` literal indices, the run padded to a 16-bit boundary.
        const size_t bytes = nibbles ? (value + 1) / 2 : value;
        const size_t have = std::min(bytes, n - i);
        for (unsigned k = 0; k < value; ++k) {
          const size_t at = nibbles ? k / 2 : k;
          if (at >= have) break;
          const uint8_t b = rle[i + at];
          out.Put(nibbles ? (k & 1 ? b & 15 : b >> 4) : b);
        }
        i = std::min(n, i + bytes + (bytes & 1));
        break;
      }
    }
  }
  outcome.Drawn = out.Drawn();
  outcome.Cut = out.Incomplete();
  return outcome;
}
