// TZmFileInfoList: scans a folder (optionally with all its sub-folders) into TZmFileInfo records,
// keeps every record found (AllFiles) and derives from them the visible list by the options and
// the extension filter, its total size, and its order.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "catalogue/ZmFileInfo.h"
#include "catalogue/ZmFileInfoListTypes.h"

class IFileTypeProvider;

// Something a scan could not read: a folder it could not enumerate (its path ends in "/") or an
// entry whose facts it could not get, with the system's error number.
struct TZmUnreadable {
  std::string Path;
  int Error = 0;
};

class TZmFileInfoList {
 public:
  TZmFileInfoList() = default;
  virtual ~TZmFileInfoList() = default;
  TZmFileInfoList(const TZmFileInfoList&) = delete;
  TZmFileInfoList& operator=(const TZmFileInfoList&) = delete;

  // The visible list. Items throws std::out_of_range outside 0..Count()-1.
  int32_t Count() const { return int32_t(Visible_.size()); }
  TZmFileInfo* Items(int32_t index) const;
  int32_t IndexOf(const TZmFileInfo* record) const;
  const std::vector<TZmFileInfo*>& VisibleItems() const { return Visible_; }

  const std::string& Path() const { return Path_; }
  // Sets the folder to scan; a trailing "/" is added when missing.
  void SetPath(const std::string& path);
  // The extension filter (".jpg" with the dot; compared without regard to ASCII case). Empty
  // means no filter.
  const std::vector<std::string>& ExtList() const { return ExtList_; }
  void SetExtList(std::vector<std::string> extensions);

  TZmFileInfoListOptions Options = 0;
  bool SortDown = false;
  int32_t SortMode = smName;
  // Type names and icons of new records; may be null (empty names, icon 0). Not owned.
  IFileTypeProvider* FileTypes = nullptr;

  // Folders found by the scan, each with trailing "/", in discovery order.
  std::vector<std::string> SubFolders;
  // Every entry found by the scan, files and folders, in discovery order. Owns the records.
  std::vector<std::unique_ptr<TZmFileInfo>> AllFiles;
  // What the scan could not read, in the order met; empty when it read everything.
  std::vector<TZmUnreadable> Unreadable;
  int64_t TotalSize() const { return TotalSize_; }

  // Scans Path (and every sub-folder when filoSubFolderSearch is set, breadth first) and builds
  // the visible list. Folders and entries that cannot be read contribute nothing but are listed
  // in Unreadable; each folder is entered at most once per scan, so symbolic-link cycles end.
  // Depth has no limit: paths longer than the system's path limit are listed too.
  virtual void MakeList();
  // Rebuilds the visible list and TotalSize from AllFiles without scanning again.
  void FilterList();
  // Orders the visible list by SortMode and SortDown.
  void Sort();
  // The ordering Sort uses: negative when a sorts first.
  static int CompareFileInfos(const TZmFileInfo& a, const TZmFileInfo& b, int32_t sortMode, bool sortDown);

  // Clears the records of the last scan, the visible list and Unreadable.
  void ClearAll();
  // Numbers AllFiles in order (FindIndex).
  void NumberRecords();

 protected:
  // Enumerates one folder (trailing "/") into AllFiles and SubFolders, and what it cannot read
  // into Unreadable. Stops early, after the current entry, when `stop` returns true.
  void SearchFolder(std::string folder, const std::function<bool()>& stop = {});
  // Forgets which folders the current scan has entered.
  void ResetVisited() { Visited_.clear(); }

 private:
  bool PassesFilter(const TZmFileInfo& record) const;

  std::string Path_;
  std::vector<std::string> ExtList_;
  std::unordered_set<std::string> ExtSet_;  // lower-case copies of ExtList_
  std::vector<TZmFileInfo*> Visible_;
  int64_t TotalSize_ = 0;

  struct TFolderIdHash {
    size_t operator()(const TFolderId& id) const { return std::hash<uint64_t>()(id.Inode * 31 + id.Device); }
  };
  std::unordered_set<TFolderId, TFolderIdHash> Visited_;

  friend class TZmThreadFileInfoList;
  friend class TZmThreadFileInfoListThread;
};
