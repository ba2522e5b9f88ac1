#include "EtcLists/MyList.h"

#include <cstdlib>
#include <cstring>
#include <new>

TMyList::~TMyList() { std::free(Items_); }

void TMyList::Error() { throw EListError(); }

int32_t TMyList::Add(void* item) {
  if (Count_ == Capacity_) Grow();
  Items_[Count_] = item;
  const int32_t index = Count_++;
  if (item) Notify(item, TListNotification::lnAdded);
  return index;
}

void TMyList::Delete(int32_t index) {
  if (index < 0 || index >= Count_) Error();
  void* item = Items_[index];
  --Count_;
  std::memmove(Items_ + index, Items_ + index + 1, size_t(Count_ - index) * sizeof(void*));
  if (item) Notify(item, TListNotification::lnDeleted);
}

void TMyList::Clear() {
  SetCount(0);
  SetCapacity(0);
}

void* TMyList::Items(int32_t index) const {
  if (index < 0 || index >= Count_) Error();
  return Items_[index];
}

void TMyList::SetItem(int32_t index, void* item) {
  if (index < 0 || index >= Count_) Error();
  Items_[index] = item;
}

void TMyList::SetCount(int32_t count) {
  if (count < 0 || count > MaxListSize) Error();
  if (count > Capacity_) SetCapacity(count);
  if (count > Count_) {
    std::memset(Items_ + Count_, 0, size_t(count - Count_) * sizeof(void*));
    Count_ = count;
  } else {
    while (Count_ > count) Delete(Count_ - 1);
  }
}

void TMyList::SetCapacity(int32_t capacity) {
  if (capacity < Count_ || capacity > MaxListSize) Error();
  if (capacity == Capacity_) return;
  if (capacity == 0) {
    std::free(Items_);
    Items_ = nullptr;
  } else {
    void* p = std::realloc(Items_, size_t(capacity) * sizeof(void*));
    if (!p) throw std::bad_alloc();
    Items_ = static_cast<void**>(p);
  }
  Capacity_ = capacity;
}

void TMyList::Grow() {
  const int32_t delta = Capacity_ > 64 ? Capacity_ / 4 : Capacity_ > 8 ? 16 : 4;
  // Near the limit grow to the limit, and fail only when the list is really full.
  const int64_t wanted = int64_t(Capacity_) + delta;
  SetCapacity(int32_t(wanted > MaxListSize ? MaxListSize : wanted));
  if (Count_ == Capacity_) Error();
}

void TMyList::Notify(void*, TListNotification) {}
