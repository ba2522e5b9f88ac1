#include "EtcLists/IntegerList.h"

int32_t TIntegerList::Add(int32_t value) {
  if (Values_.size() >= size_t(TMyList::MaxListSize)) throw EListError();
  Values_.push_back(value);
  return int32_t(Values_.size() - 1);
}

int32_t TIntegerList::Items(int32_t index) const {
  if (index < 0 || index >= Count()) throw EListError();
  return Values_[size_t(index)];
}

void TIntegerList::SetItem(int32_t index, int32_t value) {
  if (index < 0 || index >= Count()) throw EListError();
  Values_[size_t(index)] = value;
}

void TIntegerList::Delete(int32_t index) {
  if (index < 0 || index >= Count()) throw EListError();
  Values_.erase(Values_.begin() + index);
}
