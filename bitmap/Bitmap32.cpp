#include "bitmap/Bitmap32.h"

#include <algorithm>
#include <stdexcept>

#include "platform/HugePages.h"

void TBitmap32::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (!IsAcceptableSize(width, height)) throw std::length_error("bitmap larger than 2^28 pixels");
  if (width == 0 || height == 0) width = height = 0;
  const size_t count = size_t(width) * size_t(height);
  if (count > Pixels_.capacity()) {
    // A fresh buffer, advised to use huge pages before it is first touched; the old contents
    // need not be copied.
    std::vector<TColor32> fresh;
    fresh.reserve(count);
    AdviseHugePages(fresh.data(), count * sizeof(TColor32));
    fresh.resize(count);
    Pixels_.swap(fresh);
  }
  Pixels_.resize(count);
  // Give back memory when a large bitmap is reused for a much smaller image.
  if (count < Pixels_.capacity() / 2) Pixels_.shrink_to_fit();
  Width_ = width;
  Height_ = height;
}

void TBitmap32::Clear(TColor32 color) { std::fill(Pixels_.begin(), Pixels_.end(), color); }
