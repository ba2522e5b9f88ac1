#include "catalogue/ZmThreadFileInfoList.h"

#include <algorithm>

#include "catalogue/ZmThreadFileInfoListThread.h"
#include "options/IniFile.h"

namespace {
// Option keys are the option names without their lower-case prefix.
struct TOptionKey {
  TZmFileInfoListOption Option;
  const char* Key;
};
constexpr TOptionKey OptionKeys[] = {
    {filoHiddenFileView, "HiddenFileView"},
    {filoIncludePath, "IncludePath"},
    {filoSubFolderSearch, "SubFolderSearch"},
};
}  // namespace

TZmThreadFileInfoListDefaults::TZmThreadFileInfoListDefaults(TZmThreadFileInfoList& owner) : Owner_(owner) {
  IniSectionName = "OptionFileInfoList";
}

void TZmThreadFileInfoListDefaults::LoadFromIni(const TMemIniFile& ini) {
  const std::string& section = IniSectionName;
  TZmFileInfoListOptions options = 0;
  for (const TOptionKey& k : OptionKeys)
    if (ini.ReadBool(section, k.Key, DefaultOptions & k.Option)) options |= k.Option;
  Owner_.Options = options;
  // A priority outside the seven known ones falls back to the default.
  const int32_t priority = ini.ReadInteger(section, "Priority", int32_t(DefaultPriority));
  Owner_.Priority = priority >= 0 && priority <= int32_t(TThreadPriority::tpTimeCritical) ? TThreadPriority(priority)
                                                                                           : DefaultPriority;
  Owner_.SortDown = ini.ReadBool(section, "SortDown", DefaultSortDown);
  Owner_.SortMode = ini.ReadInteger(section, "SortMode", DefaultSortMode);
}

void TZmThreadFileInfoListDefaults::SetDefaults() {
  Owner_.Options = DefaultOptions;
  Owner_.Priority = DefaultPriority;
  Owner_.SortDown = DefaultSortDown;
  Owner_.SortMode = DefaultSortMode;
}

void TZmThreadFileInfoListDefaults::SaveToIni(TMemIniFile& ini) const {
  // "IncludePath" is read but never written: it is a hand-edited setting.
  const std::string& section = IniSectionName;
  ini.WriteBool(section, "HiddenFileView", Owner_.Options & filoHiddenFileView);
  ini.WriteBool(section, "SubFolderSearch", Owner_.Options & filoSubFolderSearch);
  ini.WriteBool(section, "SortDown", Owner_.SortDown);
  ini.WriteInteger(section, "Priority", int32_t(Owner_.Priority));
  ini.WriteInteger(section, "SortMode", Owner_.SortMode);
}

TZmThreadFileInfoList::TZmThreadFileInfoList()
    : Defaults(std::make_unique<TZmThreadFileInfoListDefaults>(*this)) {
  Defaults->SetDefaults();
}

TZmThreadFileInfoList::~TZmThreadFileInfoList() {
  // No end event during destruction: the owner is going away too.
  OnTerminate = nullptr;
  OnFolderSearched = nullptr;
  Stop();
}

void TZmThreadFileInfoList::MakeList() {
  if (UseThread) {
    Start();
    return;
  }
  TZmFileInfoList::MakeList();
  if (OnTerminate) OnTerminate();
  if (RestartPending_) {
    RestartPending_ = false;
    Start();
  }
}

void TZmThreadFileInfoList::Start() {
  if (InWorkerCall_ && Thread_) {
    // Started from inside the running scan's progress event: one worker at a time, so the new
    // scan begins when the running one has ended.
    Thread_->Terminate();
    RestartPending_ = true;
    return;
  }
  Stop();
  ClearAll();
  Busy_ = true;
  Aborted_ = false;
  auto* worker = new TZmThreadFileInfoListThread(*this);
  worker->Priority = Priority;
  worker->FreeOnTerminate = true;
  worker->OnTerminate = [this](TThread* t) { WorkerEnded(t); };
  Thread_ = worker;
  worker->Start();
}

void TZmThreadFileInfoList::Stop() {
  TZmThreadFileInfoListThread* worker = Thread_;
  if (!worker) return;
  if (InWorkerCall_) {
    // The worker waits for the call we are in; waiting for the worker here would never end.
    worker->Terminate();
    return;
  }
  // Take the worker over before its end event can run; it then no longer frees itself.
  worker->FreeOnTerminate = false;
  worker->Terminate();
  worker->WaitFor();  // runs the publish step and the end event meanwhile
  delete worker;
}

void TZmThreadFileInfoList::Publish(TZmFileInfoList& work, bool aborted) {
  SubFolders = std::move(work.SubFolders);
  AllFiles = std::move(work.AllFiles);
  NumberRecords();
  FilterList();
  Aborted_ = aborted;
  Busy_ = false;
}

void TZmThreadFileInfoList::WorkerEnded(TThread* worker) {
  // Forget the worker before the end event: a handler that starts the next scan must not meet it.
  if (Thread_ == worker) Thread_ = nullptr;
  if (Busy_) {  // the worker ended without publishing
    Busy_ = false;
    Aborted_ = true;
  }
  if (OnTerminate) OnTerminate();
  if (RestartPending_) {
    RestartPending_ = false;
    Start();
  }
}
