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
  RaiseEnd();
}

void TZmThreadFileInfoList::Start() {
  // One worker at a time; inside the running scan's progress event the new scan begins when the
  // running one has ended.
  if (Workers_.DeferStart([this] { Start(); })) return;
  Stop();
  ClearAll();
  Busy_ = true;
  Aborted_ = false;
  auto worker = std::make_unique<TZmThreadFileInfoListThread>(*this);
  worker->Priority = Priority;
  Workers_.Start(std::move(worker),
                 [this](TThread& t) { WorkerEnded(static_cast<TZmThreadFileInfoListThread&>(t)); });
}

void TZmThreadFileInfoList::Stop() { Workers_.Stop(); }

void TZmThreadFileInfoList::WorkerEnded(TZmThreadFileInfoListThread& worker) {
  TZmFileInfoList& work = *worker.WorkList_;
  SubFolders = std::move(work.SubFolders);
  AllFiles = std::move(work.AllFiles);
  NumberRecords();
  FilterList();
  Aborted_ = worker.Aborted_;
  Busy_ = false;
  RaiseEnd();
}

void TZmThreadFileInfoList::RaiseEnd() {
  if (!OnTerminate) return;
  const std::function<void()> handler = OnTerminate;  // a handler may replace the event it runs from
  handler();
}
