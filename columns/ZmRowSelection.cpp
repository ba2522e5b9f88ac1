#include "columns/ZmRowSelection.h"

#include <algorithm>
#include <iterator>

namespace {

bool BadRange(int32_t first, int32_t last) { return first < 0 || first > last; }

}  // namespace

bool TZmRowSelection::IsSelected(int32_t row) const {
  auto it = Ranges_.upper_bound(row);
  if (it == Ranges_.begin()) return false;
  --it;
  return row <= it->second;
}

bool TZmRowSelection::Clear() {
  if (Count_ == 0) return false;
  Ranges_.clear();
  Count_ = 0;
  return true;
}

bool TZmRowSelection::Add(int32_t first, int32_t last) {
  if (BadRange(first, last)) return false;
  const int32_t before = Count_;
  // Absorb every interval that overlaps or touches first..last (int64 keeps last + 1 exact).
  auto it = Ranges_.upper_bound(first);
  if (it != Ranges_.begin()) {
    auto prev = std::prev(it);
    if (int64_t(prev->second) + 1 >= first) it = prev;
  }
  while (it != Ranges_.end() && int64_t(it->first) <= int64_t(last) + 1) {
    first = std::min(first, it->first);
    last = std::max(last, it->second);
    Count_ -= it->second - it->first + 1;
    it = Ranges_.erase(it);
  }
  Ranges_.emplace(first, last);
  Count_ += last - first + 1;
  return Count_ != before;
}

bool TZmRowSelection::Remove(int32_t first, int32_t last) {
  if (BadRange(first, last)) return false;
  const int32_t before = Count_;
  auto it = Ranges_.upper_bound(first);
  if (it != Ranges_.begin()) --it;
  while (it != Ranges_.end() && it->first <= last) {
    const int32_t f = it->first, l = it->second;
    if (l < first) {
      ++it;
      continue;
    }
    Count_ -= l - f + 1;
    it = Ranges_.erase(it);
    // Keep the parts outside first..last.
    if (f < first) {
      Ranges_.emplace(f, first - 1);
      Count_ += first - f;
    }
    if (l > last) {
      Ranges_.emplace(last + 1, l);
      Count_ += l - last;
      break;
    }
  }
  return Count_ != before;
}

bool TZmRowSelection::SelectOnly(int32_t first, int32_t last) {
  if (BadRange(first, last)) return Clear();
  if (Ranges_.size() == 1 && Ranges_.begin()->first == first && Ranges_.begin()->second == last) return false;
  Ranges_.clear();
  Ranges_.emplace(first, last);
  Count_ = last - first + 1;
  return true;
}

bool TZmRowSelection::Invert(int32_t rowCount) {
  if (rowCount <= 0) return false;
  Truncate(rowCount);
  TRanges inverted;
  int32_t next = 0;  // first row not yet accounted for
  for (const auto& [f, l] : Ranges_) {
    if (f > next) inverted.emplace_hint(inverted.end(), next, f - 1);
    next = l + 1;
  }
  if (next < rowCount) inverted.emplace_hint(inverted.end(), next, rowCount - 1);
  Ranges_.swap(inverted);
  Count_ = rowCount - Count_;
  return true;
}

bool TZmRowSelection::Truncate(int32_t rowCount) {
  if (rowCount <= 0) return Clear();
  return Remove(rowCount, INT32_MAX);
}
