// TZmThreadFileInfoListThread: the worker that scans for a TZmThreadFileInfoList.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "catalogue/ZmFileInfoList.h"
#include "catalogue/ZmThreadFileInfoList.h"
#include "platform/Thread.h"

// The scan ends with its work list filled and Aborted_ set; the owner publishes both in the
// worker's end event.
class TZmThreadFileInfoListThread : public TThread {
 public:
  // The work list gets copies of the owner's Options, Path, ExtList and type provider now, so
  // that changing them during the scan does not affect it.
  explicit TZmThreadFileInfoListThread(TZmThreadFileInfoList& owner);

 protected:
  void Execute() override;

 private:
  void ReportFolder();

  TZmThreadFileInfoList& Owner_;
  std::unique_ptr<TZmFileInfoList> WorkList_;
  bool Aborted_ = false;
  std::function<void(const TZmFolderSearched&)> OnFolderSearched_;
  int32_t FoldersSearched_ = 0;
  std::chrono::steady_clock::time_point LastReport_;

  friend class TZmThreadFileInfoList;
};
