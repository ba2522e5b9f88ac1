// TMyList: a growable array of untyped references, and EListError, the one error of the typed
// lists. A failing call changes nothing.
#pragma once

#include <cstdint>
#include <stdexcept>

class EListError : public std::runtime_error {
 public:
  EListError() : std::runtime_error("Listエラー") {}
};

enum class TListNotification { lnAdded, lnExtracted, lnDeleted };

class TMyList {
 public:
  static constexpr int32_t MaxListSize = 134217727;

  TMyList() = default;
  virtual ~TMyList();
  TMyList(const TMyList&) = delete;
  TMyList& operator=(const TMyList&) = delete;

  int32_t Add(void* item);
  void Delete(int32_t index);
  virtual void Clear();
  void* Items(int32_t index) const;
  void SetItem(int32_t index, void* item);

  int32_t Count() const { return Count_; }
  void SetCount(int32_t count);
  int32_t Capacity() const { return Capacity_; }
  void SetCapacity(int32_t capacity);

 protected:
  virtual void Grow();
  // Called after a non-empty element has been appended or removed.
  virtual void Notify(void* item, TListNotification action);
  [[noreturn]] static void Error();

 private:
  void** Items_ = nullptr;
  int32_t Count_ = 0;
  int32_t Capacity_ = 0;
};
