#include "catalogue/ZmFileInfoList.h"

#include <algorithm>
#include <stdexcept>

#include "catalogue/ZmUtils.h"
#include "platform/FileTypes.h"

TZmFileInfo* TZmFileInfoList::Items(int32_t index) const {
  if (index < 0 || index >= Count()) throw std::out_of_range("file list index out of range");
  return Visible_[size_t(index)];
}

int32_t TZmFileInfoList::IndexOf(const TZmFileInfo* record) const {
  auto it = std::find(Visible_.begin(), Visible_.end(), record);
  return it == Visible_.end() ? -1 : int32_t(it - Visible_.begin());
}

void TZmFileInfoList::SetPath(const std::string& path) { Path_ = IncludeTrailingPathDelimiter(path); }

void TZmFileInfoList::SetExtList(std::vector<std::string> extensions) {
  ExtList_ = std::move(extensions);
  ExtSet_.clear();
  for (const std::string& e : ExtList_) ExtSet_.insert(LowerAsciiString(e));
}

void TZmFileInfoList::ClearAll() {
  Visible_.clear();
  AllFiles.clear();
  SubFolders.clear();
  Unreadable.clear();
  TotalSize_ = 0;
}

void TZmFileInfoList::NumberRecords() {
  for (size_t i = 0; i < AllFiles.size(); ++i) AllFiles[i]->FindIndex = int32_t(i);
}

void TZmFileInfoList::SearchFolder(std::string folder, const std::function<bool()>& stop) {
  TDirectoryEnumerator dir;
  if (!dir.Open(folder)) {
    Unreadable.push_back({std::move(folder), dir.Error()});
    return;
  }
  if (!Visited_.insert(dir.Id()).second) return;  // entered before in this scan (a link cycle)
  auto path = std::make_shared<const std::string>(folder);
  TDirEntryFacts entry;
  while (dir.Next(entry)) {
    const bool isFolder = entry.Attr & faDirectory;
    if (isFolder) SubFolders.push_back(folder + entry.Name + "/");
    auto record = std::make_unique<TZmFileInfo>();
    if (FileTypes) {
      TFileTypeInfo type = FileTypes->Query(entry.Name, isFolder);
      record->IconIndex = type.IconIndex;
      if (type.TypeName) record->SetTypeName(std::move(type.TypeName));
    }
    record->SetPath(path);
    TSearchRec& rec = record->SearchRec;
    rec.Size = entry.Size;
    rec.Attr = entry.Attr;
    rec.Name = std::move(entry.Name);
    rec.ftCreationTime = entry.CreationTime;
    rec.ftLastAccessTime = entry.LastAccessTime;
    rec.ftLastWriteTime = entry.LastWriteTime;
    AllFiles.push_back(std::move(record));
    if (stop && stop()) break;
  }
  for (const TDirEntryError& e : dir.SkippedEntries()) Unreadable.push_back({folder + e.Name, e.Error});
  if (dir.Error()) Unreadable.push_back({std::move(folder), dir.Error()});
}

void TZmFileInfoList::MakeList() {
  ClearAll();
  ResetVisited();
  SearchFolder(Path_);
  if (Options & filoSubFolderSearch) {
    // SubFolders grows while it is walked: a breadth-first traversal. Each folder is passed by
    // value because the walk appends to the vector that holds it.
    for (size_t i = 0; i < SubFolders.size(); ++i) SearchFolder(SubFolders[i]);
  }
  ResetVisited();
  NumberRecords();
  FilterList();
}

bool TZmFileInfoList::PassesFilter(const TZmFileInfo& r) const {
  const uint32_t attr = r.SearchRec.Attr;
  if ((attr & faHidden) && !(Options & filoHiddenFileView)) return false;
  if (attr & faDirectory) return Options & filoIncludePath;
  if (ExtSet_.empty()) return true;
  const std::string_view name = r.SearchRec.Name;
  const size_t dot = name.rfind('.');
  return dot != std::string_view::npos && ExtSet_.count(LowerAsciiString(name.substr(dot)));
}

void TZmFileInfoList::FilterList() {
  Visible_.clear();
  TotalSize_ = 0;
  for (const auto& r : AllFiles) {
    if (!PassesFilter(*r)) continue;
    Visible_.push_back(r.get());
    TotalSize_ += r->SearchRec.Size;
  }
}

namespace {
template <typename T>
int CompareValues(T a, T b) {
  return a < b ? -1 : a > b ? 1 : 0;
}
}  // namespace

int TZmFileInfoList::CompareFileInfos(const TZmFileInfo& a, const TZmFileInfo& b, int32_t sortMode, bool sortDown) {
  const TSearchRec& x = a.SearchRec;
  const TSearchRec& y = b.SearchRec;
  int r = 0;
  switch (sortMode) {
    case smName:
      r = CompareFileName(x.Name, y.Name);
      if (!r) r = CompareFileName(a.Path(), b.Path());
      break;
    case smFullFileName: r = CompareFileName(a.FullFileName(), b.FullFileName()); break;
    case smPath: r = CompareFileName(a.Path(), b.Path()); break;
    case smPathOnly:
      r = CompareFileName(a.PathOnly(), b.PathOnly());
      if (!r) r = CompareFileName(a.Path(), b.Path());
      break;
    case smFindIndex: r = CompareValues(a.FindIndex, b.FindIndex); break;
    case smSize:
    case smSizeDetail: r = CompareValues(x.Size, y.Size); break;
    case smTypeName: r = CompareText(a.TypeName(), b.TypeName()); break;
    case smLastWriteTime: r = CompareValues(x.ftLastWriteTime, y.ftLastWriteTime); break;
    case smAttr: r = CompareValues(x.Attr, y.Attr); break;
    case smCreationTime: r = CompareValues(x.ftCreationTime, y.ftCreationTime); break;
    case smLastAccessTime: r = CompareValues(x.ftLastAccessTime, y.ftLastAccessTime); break;
    case smJpegResult: r = CompareValues(a.JpegResult(), b.JpegResult()); break;
    default: break;
  }
  if (!r) r = CompareFileName(x.Name, y.Name);
  // Names that differ only in letter case are different files here: finish with an exact
  // comparison so that the order is total and does not depend on the sort algorithm.
  if (!r) r = CompareExact(x.Name, y.Name);
  if (!r) r = CompareExact(a.Path(), b.Path());
  return sortDown ? -r : r;
}

void TZmFileInfoList::Sort() {
  const int32_t mode = SortMode;
  const bool down = SortDown;
  std::sort(Visible_.begin(), Visible_.end(), [mode, down](const TZmFileInfo* a, const TZmFileInfo* b) {
    return CompareFileInfos(*a, *b, mode, down) < 0;
  });
}
