// TIntegerList: a list of 32-bit signed integers (the selected rows of a list, for example).
// Index errors raise EListError like TMyList.
#pragma once

#include <cstdint>
#include <vector>

#include "EtcLists/MyList.h"

class TIntegerList {
 public:
  int32_t Add(int32_t value);
  int32_t Count() const { return int32_t(Values_.size()); }
  int32_t Items(int32_t index) const;
  void SetItem(int32_t index, int32_t value);
  void Delete(int32_t index);
  void Clear() { Values_.clear(); }
  void Assign(const TIntegerList& source) { Values_ = source.Values_; }
  const std::vector<int32_t>& Values() const { return Values_; }

 private:
  std::vector<int32_t> Values_;
};
