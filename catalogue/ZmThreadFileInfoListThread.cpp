#include "catalogue/ZmThreadFileInfoListThread.h"

#include <chrono>

TZmThreadFileInfoListThread::TZmThreadFileInfoListThread(TZmThreadFileInfoList& owner)
    : Owner_(owner), WorkList_(std::make_unique<TZmFileInfoList>()), OnFolderSearched_(owner.OnFolderSearched) {
  WorkList_->Options = owner.Options;
  WorkList_->SetPath(owner.Path());
  WorkList_->SetExtList(owner.ExtList());
  WorkList_->FileTypes = owner.FileTypes;
}

void TZmThreadFileInfoListThread::ReportFolder() {
  ++FoldersSearched_;
  if (!OnFolderSearched_) return;
  // Each report waits for the user-interface thread; in a tree of many small folders that
  // would cost more than the scan, so reports come at most every 50 ms (the first at once).
  const auto now = std::chrono::steady_clock::now();
  if (FoldersSearched_ > 1 && now - LastReport_ < std::chrono::milliseconds(50)) return;
  LastReport_ = now;
  const TZmFolderSearched progress{FoldersSearched_, int32_t(WorkList_->AllFiles.size())};
  Synchronize([&] { Owner_.Workers_.Raise([&] { OnFolderSearched_(progress); }); });
}

void TZmThreadFileInfoListThread::Execute() {
  TZmFileInfoList& work = *WorkList_;
  const auto stop = [this] { return Terminated(); };
  bool failed = false;
  try {
    work.ResetVisited();
    work.SearchFolder(work.Path(), stop);
    ReportFolder();
    if (work.Options & filoSubFolderSearch) {
      for (size_t i = 0; i < work.SubFolders.size() && !Terminated(); ++i) {
        work.SearchFolder(work.SubFolders[i], stop);
        ReportFolder();
      }
    }
  } catch (...) {
    // Out of memory in a huge tree: publish what was found, as if the scan had been stopped.
    failed = true;
  }
  work.ResetVisited();
  Aborted_ = failed || Terminated();
}
