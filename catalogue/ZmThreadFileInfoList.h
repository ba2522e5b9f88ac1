// TZmThreadFileInfoList: the file list whose scan runs on a worker thread, and its settings
// record.
//
// All members are used on the user-interface thread only. A threaded scan fills a private work
// list on the worker; the worker's end event publishes it here and raises OnTerminate in the same
// step, so Busy() is false only once every end handler has run.
#pragma once

#include <functional>
#include <memory>

#include "catalogue/ZmCustomDefaults.h"
#include "catalogue/ZmFileInfoList.h"
#include "platform/Thread.h"
#include "platform/WorkerSlot.h"

class TZmThreadFileInfoList;
class TZmThreadFileInfoListThread;

class TZmThreadFileInfoListDefaults : public TZmCustomDefaults {
 public:
  explicit TZmThreadFileInfoListDefaults(TZmThreadFileInfoList& owner);

  // Reads the options ("HiddenFileView", "IncludePath", "SubFolderSearch"), "Priority",
  // "SortDown" and "SortMode" into the owner; missing keys take the defaults below.
  void LoadFromIni(const TMemIniFile& ini) override;
  void SetDefaults() override;
  // Writes "HiddenFileView", "SubFolderSearch", "SortDown", "Priority", "SortMode".
  void SaveToIni(TMemIniFile& ini) const override;

  TZmFileInfoListOptions DefaultOptions = filoHiddenFileView;
  TThreadPriority DefaultPriority = TThreadPriority::tpHighest;
  bool DefaultSortDown = false;
  int32_t DefaultSortMode = 0;

 private:
  TZmThreadFileInfoList& Owner_;
};

// Progress of a threaded scan, reported after a folder has been enumerated (at most every 50 ms).
struct TZmFolderSearched {
  int32_t FoldersSearched;  // folders enumerated so far, the first one included
  int32_t EntriesFound;     // entries found so far
};

class TZmThreadFileInfoList : public TZmFileInfoList {
 public:
  TZmThreadFileInfoList();
  ~TZmThreadFileInfoList() override;

  // With UseThread, starts a threaded scan; otherwise scans at once and raises OnTerminate.
  void MakeList() override;
  // Stops a running scan, then starts a new one on a worker over copies of Options, Path,
  // ExtList. Returns at once. Called from inside OnFolderSearched, the new scan starts right
  // after the running one has ended.
  void Start();
  // Ends a running scan: the worker stops after its current entry, the partial result is
  // published with Aborted set, and OnTerminate runs, all before Stop returns. Does nothing
  // when no scan runs. Called from inside OnFolderSearched it cannot wait for the worker (which
  // waits for that very handler): it then only asks the worker to stop, and the partial result
  // and the end event follow as soon as the handler has returned.
  void Stop();

  bool Busy() const { return Busy_; }
  bool Aborted() const { return Aborted_; }

  std::unique_ptr<TZmThreadFileInfoListDefaults> Defaults;
  TThreadPriority Priority = TThreadPriority::tpNormal;
  bool UseThread = false;
  std::function<void(const TZmFolderSearched&)> OnFolderSearched;
  std::function<void()> OnTerminate;

 private:
  void WorkerEnded(TZmThreadFileInfoListThread& worker);
  void RaiseEnd();

  bool Busy_ = false;
  bool Aborted_ = false;
  TWorkerSlot Workers_;

  friend class TZmThreadFileInfoListThread;
};
