// TZmFileInfo: one listed file or folder.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/FileSystem.h"

class TZmJpegInfo;

// The directory entry as the file system reported it (symbolic links followed).
struct TSearchRec {
  int64_t Size = 0;  // bytes; 0 for folders
  uint32_t Attr = 0;  // faReadOnly, faHidden, faSysFile, faDirectory, faArchive
  std::string Name;   // without folder; the file system's bytes, not necessarily UTF-8
  TFileTime ftCreationTime = 0;
  TFileTime ftLastAccessTime = 0;
  TFileTime ftLastWriteTime = 0;
};

class TZmFileInfo {
 public:
  TZmFileInfo();
  ~TZmFileInfo();
  TZmFileInfo(const TZmFileInfo&) = delete;
  TZmFileInfo& operator=(const TZmFileInfo&) = delete;

  // Path followed by Name.
  std::string FullFileName() const;
  // The last component of Path ("2004" for /photos/2004/; empty for "/").
  std::string PathOnly() const;
  const std::string& Path() const { return *Path_; }
  const std::string& TypeName() const { return *TypeName_; }
  bool IsFolder() const { return SearchRec.Attr & faDirectory; }

  void SetPath(std::shared_ptr<const std::string> path) { Path_ = std::move(path); }
  void SetTypeName(std::shared_ptr<const std::string> name) { TypeName_ = std::move(name); }
  // Shared texts for records made by hand (tests, single files).
  static std::shared_ptr<const std::string> SharedText(std::string text);

  // Replaces the analysis result; the previous one is freed.
  void SetJpegInfo(std::unique_ptr<TZmJpegInfo> info);
  // The verdict of the latest JPEG check (TZmJpegResult); jrNotAnalyzed without one.
  int32_t JpegResult() const;

  int32_t FindIndex = 0;   // position in the scan's list of all entries (discovery order)
  int32_t IconIndex = 0;   // index into the type provider's icon list
  std::unique_ptr<TZmJpegInfo> JpegInfo;  // the latest JPEG check's result, if any
  TSearchRec SearchRec;

 private:
  // Folder of the entry, ending in "/", shared by every record of that folder.
  std::shared_ptr<const std::string> Path_;
  // Type description (at most 80 characters), shared by every record of the same type.
  std::shared_ptr<const std::string> TypeName_;
};
