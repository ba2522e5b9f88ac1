#include "jpeg/ZmJpegChecker.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "catalogue/ZmFileInfo.h"
#include "catalogue/ZmFileInfos.h"
#include "jpeg/ZmJpegInfo.h"

// The worker: analyses the records one after the other and hands the results over in
// synchronized steps. Between two steps only the worker touches Pending, Stored and Errors; inside
// a step only the user-interface thread does, while the worker waits.
class TZmJpegCheckThread : public TThread {
 public:
  using TAnalyzer = std::function<void(const std::string&, TZmJpegInfo&)>;

  TZmJpegCheckThread(TZmThreadJpegChecker& owner, std::vector<TZmFileInfo*> records, TAnalyzer analyzer,
                     std::chrono::milliseconds interval)
      : Records(std::move(records)), Owner_(owner), Analyzer_(std::move(analyzer)), Interval_(interval) {}

  const std::vector<TZmFileInfo*> Records;  // the visible list as it was at Start
  std::vector<std::unique_ptr<TZmJpegInfo>> Pending;  // results for Records[Stored], [Stored + 1], ...
  size_t Stored = 0;  // records whose results have been handed over
  int32_t Errors = 0;  // results so far that are errors

 protected:
  void Execute() override;

 private:
  std::unique_ptr<TZmJpegInfo> Analyze(const TZmFileInfo& record);

  TZmThreadJpegChecker& Owner_;
  const TAnalyzer Analyzer_;
  const std::chrono::milliseconds Interval_;
};

std::unique_ptr<TZmJpegInfo> TZmJpegCheckThread::Analyze(const TZmFileInfo& record) {
  auto info = std::make_unique<TZmJpegInfo>();
  try {
    Analyzer_(record.FullFileName(), *info);
    return info;
  } catch (...) {
  }
  // Reading failed after the file was opened (an I/O error, a file cut short while we read it).
  // The half-filled result is dropped, but the file must not keep an old verdict or look
  // unchecked: it gets the code of a failed analysis and counts as an error.
  *info = TZmJpegInfo();
  info->Result = jrAnalysisFailed;
  return info;
}

void TZmJpegCheckThread::Execute() {
  Synchronize([this] { Owner_.Workers_.Raise(Owner_.OnStartExecute); });
  // Two analyses run at once where there are two cores: the walk over a file's markers costs
  // about as much as reading it. Both threads take the next record in turn; results wait in
  // `done` until every earlier one is there, so they are handed over in list order.
  const size_t n = Records.size();
  std::vector<std::unique_ptr<TZmJpegInfo>> done;
  std::mutex doneMutex;
  std::atomic<size_t> next{0};
  std::atomic<bool> stop{false};
  const auto analyseNext = [&]() -> bool {
    const size_t i = next.fetch_add(1);
    if (i >= n || stop) return false;
    std::unique_ptr<TZmJpegInfo> info = Analyze(*Records[i]);
    std::lock_guard lock(doneMutex);
    done[i] = std::move(info);
    return true;
  };
  size_t handed = 0;  // records whose results have moved to Pending
  // Moves the results that follow the handed ones, at most `most` of them; false when none.
  const auto collect = [&](size_t most) {
    std::lock_guard lock(doneMutex);
    size_t moved = 0;
    for (; moved < most && handed < n && done[handed]; ++handed, ++moved) {
      if (IsJpegError(done[handed]->Result)) ++Errors;
      Pending.push_back(std::move(done[handed]));
    }
    return moved > 0;
  };
  std::thread helper;
  try {
    done.resize(n);
    if (n > 1 && std::thread::hardware_concurrency() > 1)
      helper = std::thread([&, priority = Priority] {
        SetCallerThreadPriority(priority);
        try {
          while (analyseNext()) {
          }
        } catch (...) {  // out of memory: the records left are the worker's
        }
      });
    auto lastStep = std::chrono::steady_clock::now();
    bool first = true;
    // Without an interval every result is a step of its own.
    const size_t perStep = Interval_.count() == 0 ? 1 : n;
    for (bool more = true; more;) {
      if (Terminated()) stop = true;
      more = analyseNext();
      if (!more && helper.joinable()) helper.join();  // the helper finishes the record it holds
      // The first and the last results are always reported, and a stop request hands the results
      // over at once; otherwise one step per interval.
      while (collect(perStep)) {
        const auto now = std::chrono::steady_clock::now();
        if (first || !more || stop || perStep == 1 || now - lastStep >= Interval_) {
          Synchronize([this] { Owner_.Deliver(*this, true); });
          lastStep = std::chrono::steady_clock::now();
          first = false;
        } else {
          break;
        }
      }
    }
  } catch (...) {
    // Out of memory: the check ends as if stopped, keeping the results so far; the end event
    // hands over what is still pending.
  }
  stop = true;
  if (helper.joinable()) helper.join();
}

TZmThreadJpegChecker::TZmThreadJpegChecker() = default;

TZmThreadJpegChecker::~TZmThreadJpegChecker() {
  // No events during destruction: the owner is going away too.
  OnStartExecute = nullptr;
  OnProgress = nullptr;
  OnTerminate = nullptr;
  Stop();
}

void TZmThreadJpegChecker::Start() {
  // One worker at a time; inside an event the running one waits for, the new check begins when
  // the running one has ended.
  if (Workers_.DeferStart([this] { Start(); })) return;
  Stop();
  std::vector<TZmFileInfo*> records;
  if (FileInfos) records = FileInfos->List().VisibleItems();
  Running_ = true;
  ErrorCount_ = 0;
  Progress_ = 0;
  auto worker = std::make_unique<TZmJpegCheckThread>(
      *this, std::move(records), Analyzer ? Analyzer : TZmJpegCheckThread::TAnalyzer(AnalyzeJpegFile), ProgressInterval);
  worker->Priority = FileInfos ? FileInfos->Priority() : TThreadPriority::tpHighest;
  Workers_.Start(std::move(worker), [this](TThread& t) { WorkerEnded(static_cast<TZmJpegCheckThread&>(t)); });
}

void TZmThreadJpegChecker::Stop() { Workers_.Stop(); }

void TZmThreadJpegChecker::Deliver(TZmJpegCheckThread& worker, bool raiseProgress) {
  // Stored here, on the user-interface thread, so that nothing reading a record's result meanwhile
  // (the error selection, a repaint) can meet one being freed.
  for (std::unique_ptr<TZmJpegInfo>& info : worker.Pending)
    worker.Records[worker.Stored++]->SetJpegInfo(std::move(info));
  worker.Pending.clear();
  ErrorCount_ = worker.Errors;
  Progress_ = worker.Records.empty() ? 0.0f : float(double(worker.Stored) / double(worker.Records.size()));
  if (raiseProgress) Workers_.Raise(OnProgress);
}

void TZmThreadJpegChecker::WorkerEnded(TZmJpegCheckThread& worker) {
  // The last results, the idle state and the end event in one step: once Running() is false,
  // every result is stored and every handler has run.
  Deliver(worker, !worker.Pending.empty());
  Running_ = Workers_.Running() != nullptr;  // a progress handler may have started the next check
  if (!OnTerminate) return;
  const std::function<void()> handler = OnTerminate;
  handler();
}
