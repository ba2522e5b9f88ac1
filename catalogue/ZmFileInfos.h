// TZmFileInfos: the file list component the main window owns (ZmFileInfos1). It owns a
// TZmThreadFileInfoList and publishes its settings; its settings section is "OptionFileInfos".
#pragma once

#include <string>
#include <vector>

#include "catalogue/ZmThreadFileInfoList.h"

// The file list component: owns a TZmThreadFileInfoList and publishes its settings.
class TZmFileInfos {
 public:
  TZmFileInfos() { List_.Defaults->IniSectionName = "OptionFileInfos"; }

  TZmThreadFileInfoList& List() { return List_; }
  const TZmThreadFileInfoList& List() const { return List_; }

  const std::vector<std::string>& ExtList() const { return List_.ExtList(); }
  void SetExtList(std::vector<std::string> ext) { List_.SetExtList(std::move(ext)); }
  const std::string& IniSectionName() const { return List_.Defaults->IniSectionName; }
  void SetIniSectionName(std::string name) { List_.Defaults->IniSectionName = std::move(name); }
  TZmFileInfoListOptions Options() const { return List_.Options; }
  void SetOptions(TZmFileInfoListOptions o) { List_.Options = o; }
  const std::string& Path() const { return List_.Path(); }
  void SetPath(const std::string& path) { List_.SetPath(path); }
  TThreadPriority Priority() const { return List_.Priority; }
  void SetPriority(TThreadPriority p) { List_.Priority = p; }
  bool SortDown() const { return List_.SortDown; }
  void SetSortDown(bool d) { List_.SortDown = d; }
  int32_t SortMode() const { return List_.SortMode; }
  void SetSortMode(int32_t m) { List_.SortMode = m; }
  bool UseThread() const { return List_.UseThread; }
  void SetUseThread(bool u) { List_.UseThread = u; }
  void SetOnTerminate(std::function<void()> fn) { List_.OnTerminate = std::move(fn); }
  void SetFileTypes(IFileTypeProvider* types) { List_.FileTypes = types; }

 private:
  TZmThreadFileInfoList List_;
};
