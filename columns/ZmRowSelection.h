// TZmRowSelection: the selected rows of a virtual list, as disjoint intervals.
//
// A list of 100,000 rows may carry any selection: all rows, every other row, a few scattered
// ones. Storing intervals keeps every operation independent of the row count: a look-up costs
// O(log intervals), adding or removing a range O(log intervals + intervals it touches),
// inverting O(intervals), and the count is kept as the selection changes. No Qt.
#pragma once

#include <cstdint>
#include <map>

class TZmRowSelection {
 public:
  // Interval start -> interval end (inclusive); no two intervals overlap or touch.
  using TRanges = std::map<int32_t, int32_t>;

  int32_t Count() const { return Count_; }
  bool IsSelected(int32_t row) const;
  const TRanges& Ranges() const { return Ranges_; }

  // The mutating calls return whether the selection changed. Ranges with first > last, or
  // with negative rows, are ignored.
  bool Clear();
  bool Add(int32_t first, int32_t last);
  bool Remove(int32_t first, int32_t last);
  // Exactly the rows first..last.
  bool SelectOnly(int32_t first, int32_t last);
  // Every row of 0..rowCount-1 that was not selected, and none that was.
  bool Invert(int32_t rowCount);
  // Forgets rows at rowCount and beyond.
  bool Truncate(int32_t rowCount);

 private:
  TRanges Ranges_;
  int32_t Count_ = 0;
};
