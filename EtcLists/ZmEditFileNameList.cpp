#include "EtcLists/ZmEditFileNameList.h"

#include <algorithm>

#include "catalogue/ZmUtils.h"
#include "platform/FileSystem.h"

std::string TZmEditFileName::FolderOnlyName() const {
  std::string folder = FileName.substr(0, FileName.rfind('/') + 1);  // up to the last "/"
  if (!folder.empty()) folder.pop_back();
  return folder.substr(folder.rfind('/') + 1);
}

void TZmEditFileNameList::LoadFromStrings(const std::vector<std::string>& list) {
  Items_.clear();
  int32_t n = 0;
  for (const std::string& s : list) Items_.push_back({++n, s});
}

std::vector<std::string> TZmEditFileNameList::SaveToStrings() const {
  std::vector<const TZmEditFileName*> byNumber;
  for (const TZmEditFileName& e : Items_) byNumber.push_back(&e);
  std::stable_sort(byNumber.begin(), byNumber.end(), [](auto* a, auto* b) { return a->Number < b->Number; });
  std::vector<std::string> list;
  for (const TZmEditFileName* e : byNumber) list.push_back(e->FileName);
  return list;
}

namespace {
template <typename Compare>
void SortBy(std::vector<TZmEditFileName>& items, bool descending, Compare compare) {
  std::stable_sort(items.begin(), items.end(), [&](const TZmEditFileName& a, const TZmEditFileName& b) {
    const int r = compare(a, b);
    return descending ? r > 0 : r < 0;
  });
}
}  // namespace

void TZmEditFileNameList::SortByNumber(bool descending) {
  SortBy(Items_, descending, [](const TZmEditFileName& a, const TZmEditFileName& b) {
    return a.Number < b.Number ? -1 : a.Number > b.Number;
  });
}

void TZmEditFileNameList::SortByFileName(bool descending) {
  SortBy(Items_, descending, [](const TZmEditFileName& a, const TZmEditFileName& b) { return CompareText(a.FileName, b.FileName); });
}

void TZmEditFileNameList::SortByFolderName(bool descending) {
  SortBy(Items_, descending, [](const TZmEditFileName& a, const TZmEditFileName& b) {
    return CompareText(a.FolderOnlyName(), b.FolderOnlyName());
  });
}

void TZmEditFileNameList::Renumber() {
  int32_t n = 0;
  for (TZmEditFileName& e : Items_) e.Number = ++n;
}

void TZmEditFileNameList::Delete(std::vector<int> positions) {
  std::sort(positions.begin(), positions.end());
  positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
  // From the highest position down, so that the lower ones stay valid.
  for (auto it = positions.rbegin(); it != positions.rend(); ++it)
    if (*it >= 0 && *it < Count()) Items_.erase(Items_.begin() + *it);
}

int TZmEditFileNameList::DeleteInvalid() {
  const size_t before = Items_.size();
  std::erase_if(Items_, [](const TZmEditFileName& e) { return !FileExists(e.FileName) && !DirectoryExists(e.FileName); });
  return int(before - Items_.size());
}
