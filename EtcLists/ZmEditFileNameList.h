// The entries of the history list editor: each path with its position number. Sorting changes
// only the order shown; the list goes back to its owner in the order of the numbers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TZmEditFileName {
  int32_t Number = 0;    // 1-based position; gaps stay until renumbered
  std::string FileName;  // the path as the owner's list has it
  // The name of the folder itself for a path ending in "/" (its containing folder's otherwise);
  // empty for "/".
  std::string FolderOnlyName() const;
};

class TZmEditFileNameList {
 public:
  // One entry per string, numbered from 1 in order.
  void LoadFromStrings(const std::vector<std::string>& list);
  // The paths in the order of their numbers.
  std::vector<std::string> SaveToStrings() const;

  int Count() const { return int(Items_.size()); }
  const TZmEditFileName& Items(int i) const { return Items_.at(size_t(i)); }

  void SortByNumber(bool descending);
  void SortByFileName(bool descending);
  void SortByFolderName(bool descending);
  // Numbers 1, 2, 3, ... in the order shown.
  void Renumber();
  // Deletes the entries at these positions (any order, duplicates and strays ignored).
  void Delete(std::vector<int> positions);
  // Deletes the entries whose path names neither a file nor a folder; returns how many.
  int DeleteInvalid();
  void Clear() { Items_.clear(); }

 private:
  std::vector<TZmEditFileName> Items_;
};
